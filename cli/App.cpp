#include "cli/App.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "common/Version.h"

namespace vormlan::cli {
namespace {

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
      if (about == nullptr) {
        throw UsageError("help: there is no command '" + EscapeControls(*topic) + "'");
      }
    }
    // Not App::help(), which would describe the "help" command itself.
    Out().Text(HelpText(*about));
    status = kExitOk;
  });
}

}  // namespace

std::unique_ptr<CLI::App> MakeApp(int& status) {
  auto app = std::make_unique<CLI::App>(
      "vormlan-cli: turns an installed printer driver into an INF-based driver directory.\n"
      "Reads the live registry on Windows, a registry export file (--registry) or a binary "
      "SYSTEM hive (--hive).",
      "vormlan-cli");
  app->require_subcommand(1);
  app->set_version_flag("-V,--version", "vormlan-cli " VORMLAN_VERSION);
  app->footer(
#ifdef _WIN32
      "/? after the program or a command shows its help.\n"
#endif
      "Exit status: 0 done, 1 error, 2 usage, 3 written but some driver files were not found.\n"
      "`vormlan-cli help COMMAND` explains a command.");
  AddListCommand(*app, status);
  AddInfCommand(*app, status);
  AddGenerateCommand(*app, status);
  AddCheckCommand(*app, status);
  AddHelpCommand(*app, status);
  return app;
}

std::string UsageName(const CLI::App& about) {
  std::string name = about.get_name();
  for (const CLI::App* up = about.get_parent(); up != nullptr; up = up->get_parent()) {
    name = up->get_name() + " " + name;
  }
  return name;
}

std::string HelpText(CLI::App& about) {
  // The formatter directly: App::help would describe a command chosen on the
  // command line instead.
  std::string text =
      about.get_formatter()->make_help(&about, UsageName(about), CLI::AppFormatMode::Normal);
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}

}  // namespace vormlan::cli
