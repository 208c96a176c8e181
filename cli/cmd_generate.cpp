// vormlan-cli generate: packages a printer's driver into a directory.

#include "cli/Commands.h"

namespace vormlan::cli {

void AddGenerateCommand(CLI::App& app, int& status) {
  (void)app;
  (void)status;
}

}  // namespace vormlan::cli
