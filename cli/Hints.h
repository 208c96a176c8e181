#pragma once
// Advice for a printer whose driver could not be looked up: what the
// registry holds instead, and which option would find it.

#include <string>
#include <vector>

#include "generation/Architecture.h"
#include "registry/RegistryApi.h"

namespace vormlan::cli {

// The hints for printerName looked up in arch's environment: for an unknown
// printer that it is unknown, the names close to it and the list command; for a driver registered
// only elsewhere the --arch to use; for a version 4 driver the driver store. Empty when there is
// nothing to add.
std::vector<std::string> LookupHints(registry::RegistryApi& registry,
                                     const std::string& printerName, generation::Arch arch);

// The names among candidates (name itself aside) that are a few edits from
// name once case and blanks are ignored: the closest first, at most three;
// only those that differ in nothing else when there are any.
// The number of edits allowed grows with the name's length; names shorter
// than four letters must match but for case and blanks. Linear in the
// number of candidates.
std::vector<std::string> CloseNames(const std::vector<std::string>& candidates,
                                    const std::string& name);

// Throws vormlan::Exception when the printer's driver is registered in
// arch's environment only as a version 4 driver (x64 and arm64), which a
// composed INF cannot install.
void RefuseVersion4Only(registry::RegistryApi& registry, const std::string& printerName,
                        generation::Arch arch);

}  // namespace vormlan::cli
