// vormlan-cli generate: packages a printer's driver into a directory.

#include <iostream>
#include <memory>
#include <string>

#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/RegistrySource.h"
#include "common/ErrorText.h"
#include "generation/GenerationRun.h"

namespace vormlan::cli {

void AddGenerateCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand(
      "generate",
      "Package a printer's driver: copy its files into --out (created with its parents) and "
      "write vormlan.inf beside them.\n"
      "Exit status: 0 created, 1 error, 2 usage, 3 created but some driver files were not "
      "found.");
  struct Options {
    std::string printer, out, registry, windowsDir;
  };
  auto o = std::make_shared<Options>();
  AddPrinterOption(*cmd, o->printer);
  cmd->add_option("--out", o->out, "Target directory for the driver package")->required();
  AddRegistryOption(*cmd, o->registry);
  auto* windowsDir = cmd->add_option(
      "--windows-dir", o->windowsDir,
      "Directory standing for the Windows directory (holds System32\\Spool\\Drivers\\w32x86); "
      "required on Linux, the system's by default on Windows");
#ifndef _WIN32
  windowsDir->required();
#else
  (void)windowsDir;
#endif
  cmd->callback([o, &status] {
    try {
      auto registry = OpenRegistry(o->registry);
      CliHost host(MakeSystemHost(o->windowsDir), ArgToAnsi(o->out), ArgToAnsi(o->windowsDir),
                   std::cout);
      const auto result = generation::Generate(*registry, host, {ArgToAnsi(o->printer)},
                                               [](std::size_t) { return true; });
      status = (result && !result->missingFiles.empty()) ? kExitMissingFiles : kExitOk;
    } catch (const std::exception& e) {
      std::cerr << ForTerminal(ErrorBoxText(e.what())) << '\n';
      status = kExitError;
    }
  });
}

}  // namespace vormlan::cli
