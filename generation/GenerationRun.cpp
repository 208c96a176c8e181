#include "generation/GenerationRun.h"

#include "generation/DescriptionCheck.h"
#include "generation/DriverLookup.h"
#include "generation/InfComposer.h"

namespace vormlan::generation {

GenerationResult GeneratePrinter(registry::RegistryApi& registry, HostServices& host,
                                 const std::string& printerName, const PackageOptions& options) {
  // Everything of the run lives in this scope and is released on every
  // path, the exceptional ones included.
  GenerationResult result;
  result.description = LookupDriver(registry, printerName, options.arch);
  const DriverDescription& description = result.description;
  CheckDescription(description, options.infEncoding);
  const ComposedInf inf = ComposeInf(description);
  PackageOptions writing = options;
  writing.textEncoding = description.encoding;
  result.package =
      WriteDriverPackage(host, description.driverVersion, inf.lines, inf.files, writing);
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
