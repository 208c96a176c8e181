// The registry the command line reads.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Terminal.h"
#include "common/Exception.h"
#include "registry/ControlSet.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#ifdef _WIN32
#include "registry/registry_win32.h"
#endif
#ifdef VORMLAN_HAVE_HIVE
#include "registry/HiveRegistry.h"
#endif

namespace vormlan::cli {

void AddSourceOptions(CLI::App& command, SourceOptions& options) {
  auto* reg = command.add_option(
      "--registry", options.registryFile,
      "Registry export file (.reg: REGEDIT4 or version 5, UTF-16 or UTF-8) to read; - reads it "
      "from standard input");
  auto* hive = command.add_option(
      "--hive", options.hiveFile,
      "Binary SYSTEM hive to read (Windows\\System32\\config\\SYSTEM of an offline disk, or "
      "reg save HKLM\\SYSTEM)");
  reg->excludes(hive);
}

std::string SourceHelp() {
#ifdef _WIN32
  return "Without --registry or --hive the live registry is read.";
#else
  return "One of --registry and --hive is needed: this system has no registry of its own.";
#endif
}

std::unique_ptr<registry::RegistryApi> OpenRegistry(const SourceOptions& options) {
  std::optional<std::string> note;
  std::unique_ptr<registry::RegistryApi> result;
  if (!options.hiveFile.empty()) {
#ifdef VORMLAN_HAVE_HIVE
    auto hive = std::make_unique<registry::HiveRegistry>(options.hiveFile);
    note = hive->ControlSetNote();
    result = std::move(hive);
#else
    throw Exception(
        "This build reads no binary hives: export the keys with regedit and use "
        "--registry, or use the Linux build");
#endif
  } else if (!options.registryFile.empty()) {
    auto memory = std::make_unique<registry::MemoryRegistry>(registry::TextEncoding::Utf8);
    if (options.registryFile == "-") {
      UseBinaryMode(stdin);
      registry::LoadRegStream(*memory, stdin, "standard input");
    } else {
      registry::LoadRegFile(*memory, options.registryFile);
    }
    note = registry::LinkExportControlSet(*memory);
    result = std::move(memory);
  } else {
#ifdef _WIN32
    result = std::make_unique<registry::Win32Registry>(registry::TextEncoding::Utf8);
#else
    throw UsageError(
        "this system has no registry of its own: name an export file with --registry FILE or a "
        "hive with --hive FILE");
#endif
  }
  if (note) Note(*note);
  return result;
}

}  // namespace vormlan::cli
