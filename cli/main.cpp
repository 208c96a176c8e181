// vormlan-cli: the generation core from the command line.

#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/Commands.h"
#include "common/Version.h"

int main(int argc, char** argv) {
  CLI::App app{
      "vormlan-cli: turns an installed printer driver into an INF-based driver directory.\n"
      "Reads the live registry on Windows, or a registry export file (--registry).",
      "vormlan-cli"};
  app.require_subcommand(1);
  app.set_version_flag("-V,--version", "vormlan-cli " VORMLAN_VERSION);
  int status = vormlan::cli::kExitOk;
  vormlan::cli::AddInfCommand(app, status);
  vormlan::cli::AddGenerateCommand(app, status);
  vormlan::cli::AddListCommand(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? vormlan::cli::kExitOk : vormlan::cli::kExitUsage;
  }
  return status;
}
