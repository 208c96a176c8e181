#include "generation/GenerationRun.h"

#include "inf/DescriptionCheck.h"
#include "print/DriverLookup.h"
#include "inf/InfComposer.h"

namespace vormlan::generation {

namespace {

// Composition and package writing for a looked-up description.
void Write(HostServices& host, GenerationResult& result, const PackageOptions& options) {
  const DriverDescription& description = result.description;
  const ComposedInf inf = ComposeChecked(description, options.infEncoding);
  PackageOptions writing = options;
  writing.textEncoding = description.encoding;
  result.package =
      WriteDriverPackage(host, description.driverVersion, inf.lines, inf.files, writing);
}

}  // namespace

ComposedInf ComposeChecked(const DriverDescription& description, InfEncoding infEncoding) {
  CheckDescription(description, infEncoding);
  return ComposeInf(description);
}

GenerationResult GeneratePrinter(registry::RegistryApi& registry, HostServices& host,
                                 const std::string& printerName, const PackageOptions& options) {
  // Everything of the run lives in this scope and is released on every
  // path, the exceptional ones included.
  GenerationResult result;
  result.description = LookupDriver(registry, printerName, options.arch);
  Write(host, result, options);
  return result;
}

GenerationResult GenerateDriver(registry::RegistryApi& registry, HostServices& host,
                                const std::string& driverName, const PackageOptions& options) {
  GenerationResult result;
  result.description = LookupDriverByName(registry, driverName, options.arch);
  Write(host, result, options);
  return result;
}

std::optional<PackageResult> Generate(registry::RegistryApi& registry, HostServices& host,
                                      const std::vector<std::string>& entries,
                                      const std::function<bool(std::size_t)>& isSelected) {
  std::optional<PackageResult> last;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!isSelected(i)) continue;
    last = GeneratePrinter(registry, host, entries[i]).package;
  }
  return last;
}

}  // namespace vormlan::generation
