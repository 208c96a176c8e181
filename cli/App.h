#pragma once
// The command line of vormlan-cli as one CLI11 application: the program's
// options and its commands. The program parses it; the build also reads it
// to write the manual page and the shell completions, so that they say what
// --help says.

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

namespace vormlan::cli {

// The application; each command's callback stores its exit status in status.
std::unique_ptr<CLI::App> MakeApp(int& status);

// "vormlan-cli" or "vormlan-cli COMMAND", as usage lines name it.
std::string UsageName(const CLI::App& about);

// The help of the program or of a command, ending in a line end.
std::string HelpText(CLI::App& about);

}  // namespace vormlan::cli
