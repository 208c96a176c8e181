// The whole path of the command line over an export file: load, list the
// printers, describe and look up each one, check the description, compose
// the INF in both encodings and write the package to an in-memory host that
// refuses any write outside the chosen directory.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "print/Architecture.h"
#include "inf/DescriptionCheck.h"
#include "print/DriverLookup.h"
#include "print/DriverRegistration.h"
#include "inf/InfComposer.h"
#include "inf/StoreReady.h"
#include "generation/PackageWriter.h"
#include "print/PrintQueues.h"
#include "probes/Printers.h"
#include "registry/ControlSet.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#include "registry/unitEXRegistry.h"

namespace {

using namespace vormlan;

// The package for the driver store of a checked description: what the
// registration adds must not break the INF's lines, and the print processor
// and color profiles it names must land in the chosen directory only.
void StoreReady(registry::RegistryApi& registry, const generation::DriverDescription& description,
                generation::InfEncoding infEncoding) {
  const auto details =
      generation::ReadStagingDetails(registry, description.arch, description.driverKeyPath);
  generation::StoreReadyInf inf;
  try {
    inf =
        generation::ComposeStoreReady(description, details, infEncoding, generation::kInfFileName);
    generation::InfBytes(inf.lines, description.encoding, infEncoding);
  } catch (const Exception&) {
    return;  // refused: nothing may be written
  }
  for (const auto& line : inf.lines) {
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
      fuzz::Fail("a store-ready INF line holds a line break or a NUL");
    }
  }
  fuzz::MemoryHost host;
  generation::PackageOptions options;
  options.arch = description.arch;
  options.textEncoding = description.encoding;
  options.infEncoding = infEncoding;
  for (const auto& file : inf.stagedFiles) {
    options.extraFiles.push_back({file.name, {host.WindowsDir() + "\\System32\\"}});
  }
  generation::WriteDriverPackage(host, description.driverVersion, inf.lines, inf.files, options);
}

// A printer's driver or, with byName, a driver by its name.
void Package(registry::RegistryApi& registry, const std::string& name, generation::Arch arch,
             bool byName = false) {
  generation::DriverDescription description;
  try {
    description = byName ? generation::LookupDriverByName(registry, name, arch)
                         : generation::LookupDriver(registry, name, arch);
  } catch (const registry::ERegistryException&) {
    return;
  }
  for (const auto infEncoding :
       {generation::InfEncoding::CodePage, generation::InfEncoding::Utf16}) {
    try {
      generation::CheckDescription(description, infEncoding);
    } catch (const Exception&) {
      continue;  // refused as unsafe: nothing may be written
    }
    const auto inf = generation::ComposeInf(description);
    for (const auto& line : inf.lines) {
      if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        fuzz::Fail("a checked description gave an INF line with a line break or a NUL");
      }
    }
    generation::InfBytes(inf.lines, description.encoding, infEncoding);
    fuzz::MemoryHost host;
    generation::PackageOptions options;
    options.arch = arch;
    options.textEncoding = description.encoding;
    options.infEncoding = infEncoding;
    const auto result = generation::WriteDriverPackage(host, description.driverVersion, inf.lines,
                                                       inf.files, options);
    if (host.written.count(fuzz::MemoryHost::Fold(result.infPath)) != 1) {
      fuzz::Fail("the package has no INF");
    }
    StoreReady(registry, description, infEncoding);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  registry::MemoryRegistry registry(registry::TextEncoding::Utf8);
  try {
    registry::LoadRegText(registry, std::string_view(reinterpret_cast<const char*>(data), size),
                          "fuzz.reg");
  } catch (const registry::RegFileError&) {
    return 0;
  }
  registry::LinkExportControlSet(registry);
  auto names = probes::PrinterNamesFromRegistry(registry);
  if (names.size() > 4) names.resize(4);
  // The queues of SYSTEM and SOFTWARE, and drivers that no queue uses.
  for (const auto& queue : generation::ListQueues(registry).queues) {
    if (names.size() >= 8) break;
    names.push_back(queue.name);
  }
  std::size_t drivers = 0;
  for (const auto& driver : generation::ListDrivers(registry)) {
    if (!driver.arch || ++drivers > 4) continue;
    if (generation::FindDriver(registry, *driver.arch, driver.name)) {
      Package(registry, driver.name, *driver.arch, true);
    }
  }
  for (const auto& name : names) {
    generation::DescribePrinter(registry, name);
    for (const auto arch :
         {generation::Arch::X86, generation::Arch::X64, generation::Arch::Arm64}) {
      Package(registry, name, arch);
    }
  }
  return 0;
}
