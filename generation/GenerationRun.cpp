#include "generation/GenerationRun.h"

#include "common/Exception.h"
#include "common/Quoted.h"
#include "generation/StorePackage.h"
#include "print/DriverRegistration.h"

#include "inf/DescriptionCheck.h"
#include "print/DriverLookup.h"
#include "inf/InfComposer.h"
#include "inf/StoreReady.h"

namespace vormlan::generation {

namespace {

// The INF's encoding for a looked-up description: the window's choice (the
// INF code page where it holds every name, else UTF-16) or the one asked for.
InfEncoding InfEncodingFor(const DriverDescription& description, const PackageOptions& options) {
  if (!options.utf16WhereNeeded) return options.infEncoding;
  return FitsInfCodePage(description) ? InfEncoding::CodePage : InfEncoding::Utf16;
}

}  // namespace

ComposedInf ComposeChecked(const DriverDescription& description, InfEncoding infEncoding) {
  CheckDescription(description, infEncoding);
  return ComposeInf(description);
}

Composition ComposePrinter(registry::RegistryApi& registry, const std::string& printerName,
                           Arch arch, InfEncoding infEncoding) {
  Composition composition;
  composition.description = LookupDriver(registry, printerName, arch);
  composition.inf = ComposeChecked(composition.description, infEncoding);
  return composition;
}

Composition ComposeDriver(registry::RegistryApi& registry, const std::string& driverName, Arch arch,
                          InfEncoding infEncoding) {
  Composition composition;
  composition.description = LookupDriverByName(registry, driverName, arch);
  composition.inf = ComposeChecked(composition.description, infEncoding);
  return composition;
}

void MakeStoreReady(registry::RegistryApi& registry, Composition& composition,
                    InfEncoding infEncoding) {
  const DriverDescription& description = composition.description;
  // A driver found under neither version key has no registration to read.
  const StagingDetails details =
      description.driverVersion == 0
          ? StagingDetails{}
          : ReadStagingDetails(registry, description.arch, description.driverKeyPath);
  StoreReadyInf ready = ComposeStoreReady(description, details, infEncoding, kInfFileName);
  composition.inf.lines = std::move(ready.lines);
  composition.inf.files = std::move(ready.files);
  composition.stagedFiles = std::move(ready.stagedFiles);
  composition.notes = std::move(ready.notes);
}

namespace {

// The folders below the Windows directory a staged file is looked for in.
std::vector<std::string> StagedFolders(HostServices& host, StagedFolder folder, Arch arch) {
  if (folder == StagedFolder::PrintProcessors) {
    return {host.WindowsDir() + "\\System32\\Spool\\Prtprocs\\" +
            std::string(InfoOf(arch).storeFolder) + "\\"};
  }
  return {host.WindowsDir() + "\\System32\\Spool\\Drivers\\Color\\"};
}

}  // namespace

PackageResult WriteComposition(HostServices& host, const Composition& composition,
                               const PackageOptions& options) {
  PackageOptions writing = options;
  writing.textEncoding = composition.description.encoding;
  for (const auto& file : composition.stagedFiles) {
    writing.extraFiles.push_back(
        {file.name, StagedFolders(host, file.folder, composition.description.arch)});
  }
  PackageResult result = WriteDriverPackage(host, composition.description.driverVersion,
                                            composition.inf.lines, composition.inf.files, writing);
  result.notes = composition.notes;
  return result;
}

GenerationResult GeneratePrinter(registry::RegistryApi& registry, HostServices& host,
                                 const std::string& printerName, const PackageOptions& options) {
  // Everything of the run lives in this scope and is released on every
  // path, the exceptional ones included.
  Composition composition;
  composition.description = LookupDriver(registry, printerName, options.arch);
  PackageOptions writing = options;
  writing.infEncoding = InfEncodingFor(composition.description, options);
  composition.inf = ComposeChecked(composition.description, writing.infEncoding);
  if (options.storeReady) MakeStoreReady(registry, composition, writing.infEncoding);
  GenerationResult result;
  result.package = WriteComposition(host, composition, writing);
  result.description = std::move(composition.description);
  return result;
}

namespace {

// The driver-store package of a version 4 driver, into the directory the
// person chooses.
PackageResult CopyStoreForWindow(HostServices& host, const std::string& driverName,
                                 const EnvironmentDriver& driver, Arch arch) {
  const std::string driverText = Quoted(driverName);
  if (driver.infPath.empty()) {
    throw Exception("The driver " + driverText +
                    " is a version 4 driver, which only its driver-store package installs, and "
                    "its registration names no package (no InfPath value)");
  }
  const StoreLocation location = LocateStorePackage(driver.infPath);
  if (!StorePackageExists(host, location)) {
    throw Exception("The driver " + driverText +
                    " is a version 4 driver, which only its driver-store package installs, and "
                    "the package is missing: looked for " +
                    Quoted(host.DisplayPath(StoreFolderPath(host, location))));
  }
  PackageResult result;
  const auto chosen = host.ChooseDirectory(host.ModulePath());
  if (!chosen) {
    host.ShowPlainMessage("Aborted");
    host.RequestApplicationEnd();
    result.cancelled = true;
    return result;
  }
  if (chosen->empty()) throw Exception("Unable to create directory");
  const StoreCopyResult copied = CopyStorePackage(host, location, *chosen, arch);
  result.directory = *chosen;
  result.infPath = *chosen + host.Separator() + location.infName;
  result.copiedFiles = copied.copied;
  result.keptFiles = copied.kept;
  host.ShowPlainMessage("Driver has been created from its driver-store package: install it from " +
                        location.infName);
  return result;
}

}  // namespace

std::optional<PackageResult> Generate(registry::RegistryApi& registry, HostServices& host,
                                      const std::vector<std::string>& entries,
                                      const std::function<bool(std::size_t)>& isSelected,
                                      const PackageOptions& options) {
  std::optional<PackageResult> last;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!isSelected(i)) continue;
    const PrinterRegistration printer = DescribePrinter(registry, entries[i]);
    const EnvironmentDriver* here = printer.In(options.arch);
    if (printer.printerKeyFound && here != nullptr && here->version == 4) {
      last = CopyStoreForWindow(host, printer.driverName, *here, options.arch);
      continue;
    }
    if (options.arch != Arch::X86 && printer.printerKeyFound && here == nullptr &&
        !printer.environments.empty()) {
      std::string elsewhere;
      for (const auto& env : printer.environments) {
        elsewhere += (elsewhere.empty() ? "" : ", ") + std::string(InfoOf(env.arch).name);
      }
      throw Exception("The driver " + Quoted(printer.driverName) + " is registered for " +
                      elsewhere + " only, not for " + std::string(InfoOf(options.arch).name) +
                      ", the architecture Windows runs on: it cannot be packaged here");
    }
    last = GeneratePrinter(registry, host, entries[i], options).package;
  }
  return last;
}

}  // namespace vormlan::generation
