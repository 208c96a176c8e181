// vormlan-cli: the generation core from the command line.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/App.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Terminal.h"

namespace {

using namespace vormlan::cli;

void PrintHelp(CLI::App& about) {
  Out().Text(HelpText(about));
}

CLI::App* CommandNamed(CLI::App& app, const std::string& word) {
  for (auto* sub : app.get_subcommands({})) {
    if (sub->get_name() == word) return sub;
  }
  return nullptr;
}

// Options before the command are the program's own: anything else there is
// named as an unknown option (rather than reported as a missing command).
void RequireKnownProgramOptions(CLI::App& app, const std::vector<std::string>& arguments) {
  for (const auto& argument : arguments) {
    if (argument.empty() || argument[0] != '-' || argument == "--") return;
    const std::string name = argument.substr(0, argument.find('='));
    if (app.get_option_no_throw(name) == nullptr) {
      throw UsageError("unknown option '" + EscapeControls(name) + "'");
    }
  }
}

#ifdef _WIN32
// "/?" and "-?" ask for help, as Windows programs take them, wherever they
// are not the value of an option (--printer /? names a printer "/?").
void TranslateWindowsHelp(CLI::App& app, std::vector<std::string>& arguments) {
  CLI::App* current = &app;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string& argument = arguments[i];
    if (argument == "/?" || argument == "-?") {
      bool isValue = false;
      if (i > 0) {
        const std::string& before = arguments[i - 1];
        if (before.size() > 1 && before[0] == '-' && before.find('=') == std::string::npos) {
          const CLI::Option* option = current->get_option_no_throw(before);
          isValue = option != nullptr && option->get_items_expected_min() > 0;
        }
      }
      if (!isValue) argument = "--help";
    } else if (current == &app && !argument.empty() && argument[0] != '-') {
      if (CLI::App* command = CommandNamed(app, argument)) current = command;
    }
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  int status = kExitOk;
  const auto app = MakeApp(status);

  std::vector<std::string> arguments = Utf8Arguments(argc, argv);
  arguments.erase(arguments.begin());
#ifdef _WIN32
  TranslateWindowsHelp(*app, arguments);
#endif
  try {
    RequireKnownProgramOptions(*app, arguments);
    // A first word that names no command is said to be one, rather than
    // reported as a missing command.
    const auto first = std::find_if(arguments.begin(), arguments.end(),
                                    [](const std::string& a) { return a.empty() || a[0] != '-'; });
    if (first != arguments.end() && CommandNamed(*app, *first) == nullptr) {
      throw UsageError("unknown command '" + EscapeControls(*first) + "'");
    }
    std::reverse(arguments.begin(), arguments.end());
    app->parse(arguments);
  } catch (const CLI::CallForVersion& e) {
    Out().Line(e.what());
    return Finish(kExitOk);
  } catch (const CLI::CallForHelp&) {
    // -h on a command explains that command.
    CLI::App* about = app.get();
    for (auto* sub : app->get_subcommands()) about = sub;
    PrintHelp(*about);
    return Finish(kExitOk);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) {
      PrintHelp(*app);
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
