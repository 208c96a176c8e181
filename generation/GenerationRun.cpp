#include "generation/GenerationRun.h"

#include "generation/DescriptionCheck.h"
#include "generation/DriverLookup.h"
#include "generation/InfComposer.h"

namespace vormlan::generation {

std::optional<PackageResult> Generate(registry::RegistryApi& registry, HostServices& host,
                                      const std::vector<std::string>& entries,
                                      const std::function<bool(std::size_t)>& isSelected) {
  std::optional<PackageResult> last;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!isSelected(i)) continue;
    // Everything of the run lives in this scope and is released on every
    // path, the exceptional ones included.
    const DriverDescription description = LookupDriver(registry, entries[i]);
    CheckDescription(description);
    const ComposedInf inf = ComposeInf(description);
    last = WriteDriverPackage(host, description.driverVersion, inf.lines, inf.files);
  }
  return last;
}

}  // namespace vormlan::generation
