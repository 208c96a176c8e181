// vormlan-cli inf: prints the INF text of a printer's driver exactly as it
// would be saved.

#include <iostream>
#include <string>

#include "cli/Commands.h"
#include "cli/RegistrySource.h"
#include "generation/DriverLookup.h"
#include "generation/InfComposer.h"
#include "cli/Console.h"
#include "common/ErrorText.h"

namespace vormlan::cli {

void AddInfCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand(
      "inf", "Print the INF file composed for a printer's driver (CR LF line ends) to stdout");
  auto printer = std::make_shared<std::string>();
  auto regFile = std::make_shared<std::string>();
  AddPrinterOption(*cmd, *printer);
  AddRegistryOption(*cmd, *regFile);
  cmd->callback([printer, regFile, &status] {
    try {
      auto registry = OpenRegistry(*regFile);
      const auto description = generation::LookupDriver(*registry, ArgToAnsi(*printer));
      const auto inf = generation::ComposeInf(description);
      const std::string text = generation::InfText(inf.lines);
      UseBinaryStdout();
      std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
      std::cout.flush();
      status = kExitOk;
    } catch (const std::exception& e) {
      std::cerr << ForTerminal(ErrorBoxText(e.what())) << '\n';
      status = kExitError;
    }
  });
}

}  // namespace vormlan::cli
