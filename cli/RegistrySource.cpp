#include "cli/RegistrySource.h"

#include "common/Exception.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#ifdef _WIN32
#include "registry/registry_win32.h"
#endif

namespace vormlan::cli {

std::unique_ptr<registry::RegistryApi> OpenRegistry(const std::string& regFile) {
  if (!regFile.empty()) {
    auto memory = std::make_unique<registry::MemoryRegistry>();
    registry::LoadRegFile(*memory, regFile);
    return memory;
  }
#ifdef _WIN32
  return std::make_unique<registry::Win32Registry>();
#else
  throw Exception("This system has no registry of its own: name an export file with --registry");
#endif
}

}  // namespace vormlan::cli
