#pragma once
// One press of Generate: lookup, composition and package writing for the
// selected printer list entry.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/HostServices.h"
#include "inf/InfComposer.h"
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

// As GeneratePrinter for a driver that arch's environment registers under
// driverName, whether a queue uses it or not: the package of a queue using
// that driver.
GenerationResult GenerateDriver(registry::RegistryApi& registry, HostServices& host,
                                const std::string& driverName, const PackageOptions& options = {});

// The composing step of a run: the description checked for the INF's
// encoding, then the INF's lines and files.
ComposedInf ComposeChecked(const DriverDescription& description, InfEncoding infEncoding);

// Runs the generation for every selected entry (the printer list allows one)
// in options.arch's environment: the window's, the architecture Windows runs
// on. Does nothing for an empty list or when nothing is selected. Every
// error (registry, unsafe description, directory, file) passes to the caller
// untouched. Returns the result of the last package written, or nothing.
// Two cases are not composed at all:
// - a version 4 driver (no INF composed from its registration installs it):
//   its driver-store package is copied into the chosen directory instead,
//   and the message names the INF to install from;
// - off x86, a driver registered for other architectures only: an error
//   that says so, before anything is asked (on x86, the lookup's own error).
std::optional<PackageResult> Generate(registry::RegistryApi& registry, HostServices& host,
                                      const std::vector<std::string>& entries,
                                      const std::function<bool(std::size_t)>& isSelected,
                                      const PackageOptions& options = {});

}  // namespace vormlan::generation
