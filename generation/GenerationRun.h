#pragma once
// One press of Generate: lookup, composition and package writing for the
// selected printer list entry.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "generation/HostServices.h"
#include "generation/PackageWriter.h"
#include "registry/RegistryApi.h"

namespace vormlan::generation {

struct GenerationResult {
  DriverDescription description;
  PackageResult package;
};

// One printer: lookup in options.arch's environment, the safety check of the
// description (and of the INF code page where the INF is 8-bit), composition
// and package writing. Every error passes to the caller untouched.
GenerationResult GeneratePrinter(registry::RegistryApi& registry, HostServices& host,
                                 const std::string& printerName,
                                 const PackageOptions& options = {});

// Runs the generation for every selected entry (the printer list allows one).
// Does nothing for an empty list or when nothing is selected. Every error
// (registry, unsafe description, directory, file) passes to the caller
// untouched. Returns the result of the last package written, or nothing.
std::optional<PackageResult> Generate(registry::RegistryApi& registry, HostServices& host,
                                      const std::vector<std::string>& entries,
                                      const std::function<bool(std::size_t)>& isSelected);

}  // namespace vormlan::generation
