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
#include "inf/StoreReady.h"
#include "generation/PackageWriter.h"
#include "registry/RegistryApi.h"

namespace vormlan::generation {

struct GenerationResult {
  DriverDescription description;
  PackageResult package;
};

// What one package is made of: the driver's description as the lookup
// found it, and the INF composed from it. The inf command prints it, the
// generation run writes it: both make it the same way.
struct Composition {
  DriverDescription description;
  ComposedInf inf;
  // A store-ready composition's files beside the driver's (the print
  // processor, the color profiles) and its notes; see MakeStoreReady.
  std::vector<StagedFile> stagedFiles;
  std::vector<std::string> notes;
};

// The composing step of a run: the description checked for the INF's
// encoding (and the INF code page where the INF is 8-bit), then the INF's
// lines and files. Pure.
ComposedInf ComposeChecked(const DriverDescription& description, InfEncoding infEncoding);

// One printer's composition: the lookup in arch's environment, then
// ComposeChecked. Reads the registry only; every error passes to the caller
// untouched.
Composition ComposePrinter(registry::RegistryApi& registry, const std::string& printerName,
                           Arch arch, InfEncoding infEncoding);

// As ComposePrinter for a driver that arch's environment registers under
// driverName, whether a queue uses it or not: the composition of a queue
// using that driver.
Composition ComposeDriver(registry::RegistryApi& registry, const std::string& driverName, Arch arch,
                          InfEncoding infEncoding);

// Puts the INF of a package for the driver store (StoreReady.h) in place of
// the composed one, from the registration's staging details. Throws as
// ComposeStoreReady does, before anything is written.
void MakeStoreReady(registry::RegistryApi& registry, Composition& composition,
                    InfEncoding infEncoding);

// Writes a composition's package (see WriteDriverPackage), the INF in the
// description's text encoding. Every error passes to the caller untouched.
PackageResult WriteComposition(HostServices& host, const Composition& composition,
                               const PackageOptions& options = {});

// One printer: ComposePrinter in options.arch's environment, then
// WriteComposition.
GenerationResult GeneratePrinter(registry::RegistryApi& registry, HostServices& host,
                                 const std::string& printerName,
                                 const PackageOptions& options = {});

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
