// vormlan-cli list: prints the installed printers.

#include "cli/Commands.h"

namespace vormlan::cli {

void AddListCommand(CLI::App& app, int& status) {
  (void)app;
  (void)status;
}

}  // namespace vormlan::cli
