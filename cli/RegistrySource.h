#pragma once
// The registry the command line reads: a registry export file when one is
// named, the live registry otherwise (Windows and Wine only).

#include <memory>
#include <string>

#include "registry/RegistryApi.h"

namespace vormlan::cli {

// Throws vormlan::Exception when the file cannot be loaded or, without a
// file, when this system has no registry of its own.
std::unique_ptr<registry::RegistryApi> OpenRegistry(const std::string& regFile);

}  // namespace vormlan::cli
