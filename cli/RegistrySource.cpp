#include "cli/RegistrySource.h"

#include "cli/Commands.h"
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

void AddPrinterOption(CLI::App& command, std::string& printer) {
  command.add_option("--printer", printer, "Printer name as listed (e.g. \\\\srv\\laser)")
      ->required();
}

void AddRegistryOption(CLI::App& command, std::string& registryFile) {
  auto* option = command.add_option(
      "--registry", registryFile,
      "Registry export file (.reg) to read instead of the live registry (required where "
      "there is no live registry, as on Linux)");
#ifndef _WIN32
  option->required();
#else
  (void)option;
#endif
}

}  // namespace vormlan::cli
