// vormlan-cli: the generation core from the command line.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Terminal.h"
#include "common/Version.h"

namespace {

using namespace vormlan::cli;

// The help of the program or of a command, as the formatter makes it (App::help
// would describe a command chosen on the command line instead).
void PrintHelp(CLI::App& about) {
  std::string text =
      about.get_formatter()->make_help(&about, about.get_name(), CLI::AppFormatMode::Normal);
  if (!text.empty() && text.back() != '\n') text += '\n';
  Out().Text(text);
}

// "vormlan-cli help [COMMAND]": the help of the program or of a command.
void AddHelpCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand("help", "Show the help of vormlan-cli or of a command");
  auto topic = std::make_shared<std::string>();
  cmd->add_option("command", *topic, "The command to explain");
  cmd->callback([&app, topic, &status] {
    CLI::App* about = &app;
    if (!topic->empty()) {
      about = nullptr;
      for (auto* sub : app.get_subcommands({})) {
        if (sub->get_name() == *topic) about = sub;
      }
      if (about == nullptr) throw UsageError("help: there is no command '" + *topic + "'");
    }
    // The formatter directly: App::help() would describe the "help" command itself.
    Out().Text(
        about->get_formatter()->make_help(about, about->get_name(), CLI::AppFormatMode::Normal));
    status = kExitOk;
  });
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "vormlan-cli: turns an installed printer driver into an INF-based driver directory.\n"
      "Reads the live registry on Windows, a registry export file (--registry) or a binary "
      "SYSTEM hive (--hive).",
      "vormlan-cli"};
  app.require_subcommand(1);
  app.set_version_flag("-V,--version", "vormlan-cli " VORMLAN_VERSION);
  app.footer(
      "Exit status: 0 done, 1 error, 2 usage, 3 written but some driver files were not found.\n"
      "`vormlan-cli help COMMAND` explains a command.");
  int status = kExitOk;
  AddListCommand(app, status);
  AddInfCommand(app, status);
  AddGenerateCommand(app, status);
  AddCheckCommand(app, status);
  AddHelpCommand(app, status);

  std::vector<std::string> arguments = Utf8Arguments(argc, argv);
  arguments.erase(arguments.begin());
  std::reverse(arguments.begin(), arguments.end());
  try {
    // A first word that names no command is said to be one, rather than
    // reported as a missing command.
    if (!arguments.empty() && !arguments.back().empty() && arguments.back()[0] != '-') {
      const auto commands = app.get_subcommands({});
      if (std::none_of(commands.begin(), commands.end(),
                       [&](const CLI::App* c) { return c->get_name() == arguments.back(); })) {
        throw UsageError("unknown command '" + arguments.back() + "'");
      }
    }
    app.parse(arguments);
  } catch (const CLI::CallForVersion& e) {
    Out().Line(e.what());
    return Finish(kExitOk);
  } catch (const CLI::CallForHelp&) {
    // -h on a command explains that command.
    CLI::App* about = &app;
    for (auto* sub : app.get_subcommands()) about = sub;
    PrintHelp(*about);
    return Finish(kExitOk);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) {
      PrintHelp(app);
      return Finish(kExitOk);
    }
    Err().Line(std::string("vormlan-cli: ") + e.what());
    Err().Line("`vormlan-cli help` shows the commands and their options");
    return Finish(kExitUsage);
  } catch (const UsageError& e) {
    Err().Line(std::string("vormlan-cli: ") + e.what());
    Err().Line("`vormlan-cli help` shows the commands and their options");
    return Finish(kExitUsage);
  }
  return Finish(status);
}
