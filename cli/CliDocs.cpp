// vormlan-cli-docs OUTDIR: writes the manual page vormlan-cli.1 and the bash
// and zsh completions of vormlan-cli (vormlan-cli.bash, _vormlan-cli) from
// the program's own command line, so that they name every command and option
// its --help names, with the same texts. Run by the build; not installed.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "cli/App.h"
#include "common/Version.h"

namespace {

using vormlan::cli::MakeApp;

// What an option's value is, for the completions.
struct ValueKind {
  std::string words;  // the values to offer
  bool file = false;
  bool directory = false;
  bool printer = false;
};

// The values of the options that take a known set, or name files, folders
// or printers. An option not named here completes to nothing.
const std::map<std::string, ValueKind>& ValueKinds() {
  static const std::map<std::string, ValueKind> kinds = {
      {"arch", {"x86 x64 arm64 all"}},
      {"source", {"composed store auto"}},
      {"inf-encoding", {"ansi utf-16"}},
      {"registry", {"", true}},
      {"hive", {"", true}},
      {"software-hive", {"", true}},
      {"out", {"", false, true}},
      {"windows-dir", {"", false, true}},
      {"printer", {"", false, false, true}},
  };
  return kinds;
}

const ValueKind* KindOf(const CLI::Option& option) {
  for (const auto& name : option.get_lnames()) {
    const auto found = ValueKinds().find(name);
    if (found != ValueKinds().end()) return &found->second;
  }
  return nullptr;
}

bool TakesValue(const CLI::Option& option) {
  return option.get_items_expected_min() > 0;
}

std::vector<std::string> NamesOf(const CLI::Option& option) {
  std::vector<std::string> names;
  for (const auto& s : option.get_snames()) names.push_back("-" + s);
  for (const auto& l : option.get_lnames()) names.push_back("--" + l);
  return names;
}

std::vector<const CLI::Option*> OptionsOf(const CLI::App& app) {
  return app.get_options([](const CLI::Option* o) { return o->nonpositional(); });
}

std::vector<const CLI::Option*> PositionalsOf(const CLI::App& app) {
  return app.get_options([](const CLI::Option* o) { return !o->nonpositional(); });
}

std::vector<const CLI::App*> CommandsOf(const CLI::App& app) {
  std::vector<const CLI::App*> commands;
  for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    commands.push_back(sub);
  }
  return commands;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (const char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// --- the manual page.

// text as roff: backslashes and minus signs escaped, and no line taken for
// a request.
std::string Roff(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

// Paragraphs, one per line of text.
std::string RoffParagraphs(const std::string& text) {
  std::string out;
  for (const auto& line : Lines(text)) {
    if (!line.empty()) out += ".PP\n" + Roff(line) + "\n";
  }
  return out;
}

std::string RoffOptions(const CLI::App& app) {
  std::string out;
  for (const auto* option : OptionsOf(app)) {
    std::string names;
    for (const auto& name : NamesOf(*option)) {
      names += (names.empty() ? "" : ", ") + ("\\fB" + Roff(name) + "\\fR");
    }
    if (TakesValue(*option)) names += " \\fI" + Roff(option->get_type_name()) + "\\fR";
    out += ".TP\n" + names + "\n";
    std::string description = option->get_description();
    if (!option->get_default_str().empty()) {
      description += " (default: " + option->get_default_str() + ")";
    }
    for (const auto& line : Lines(description)) out += Roff(line) + "\n";
  }
  for (const auto* positional : PositionalsOf(app)) {
    out += ".TP\n\\fI" + Roff(positional->get_name()) + "\\fR\n";
    out += Roff(positional->get_description()) + "\n";
  }
  return out;
}

// The usage line of the command's help, without its label: the program and
// command's names in bold, the rest as it is.
std::string RoffUsage(const CLI::App& command) {
  const std::string name = vormlan::cli::UsageName(command);
  std::string usage = CLI::Formatter().make_usage(&command, name);
  usage = usage.substr(0, usage.find('\n'));
  const std::size_t at = usage.find(name);
  const std::string rest = at == std::string::npos ? usage : usage.substr(at + name.size());
  return "\\fB" + Roff(name) + "\\fR" + Roff(rest);
}

std::string ManPage(CLI::App& app) {
  std::string summary = app.get_description();
  summary = summary.substr(0, summary.find('\n'));
  const std::string prefix = app.get_name() + ": ";
  if (summary.rfind(prefix, 0) == 0) summary = summary.substr(prefix.size());
  if (!summary.empty() && summary.back() == '.') summary.pop_back();

  std::string out = ".\\\" Written by vormlan-cli-docs from the program's help texts.\n";
  out += ".TH VORMLAN\\-CLI 1 \"\" \"vormlan-cli " VORMLAN_VERSION "\" \"User Commands\"\n";
  out += ".SH NAME\nvormlan\\-cli \\- " + Roff(summary) + "\n";
  out += ".SH SYNOPSIS\n";
  for (const auto* command : CommandsOf(app)) out += ".br\n" + RoffUsage(*command) + "\n";
  out += ".br\n\\fBvormlan\\-cli\\fR \\fB\\-\\-version\\fR | \\fB\\-\\-help\\fR\n";
  std::string description = app.get_description();
  if (description.rfind(prefix, 0) == 0) description = description.substr(prefix.size());
  out += ".SH DESCRIPTION\n" + RoffParagraphs(description);
  out += ".SH OPTIONS\n" + RoffOptions(app);
  out += ".SH COMMANDS\n";
  for (const auto* command : CommandsOf(app)) {
    out += ".SS \"" + Roff(vormlan::cli::UsageName(*command)) + "\"\n";
    out += Roff(command->get_description()) + "\n.PP\n" + RoffUsage(*command) + "\n";
    out += RoffParagraphs(command->get_footer());
    out += RoffOptions(*command);
  }
  out += ".SH EXIT STATUS\n" + RoffParagraphs(app.get_footer());
  return out;
}

// --- the completions.

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

std::vector<std::string> AllNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const auto* option : OptionsOf(app)) {
    for (const auto& name : NamesOf(*option)) names.push_back(name);
  }
  return names;
}

std::vector<std::string> CommandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const auto* command : CommandsOf(app)) names.push_back(command->get_name());
  return names;
}

std::string BashCompletion(CLI::App& app) {
  // Every option that takes a value, by what completes it.
  std::map<std::string, std::vector<std::string>> byWords;
  std::vector<std::string> files, directories, printers, free;
  for (const auto* command : CommandsOf(app)) {
    for (const auto* option : OptionsOf(*command)) {
      if (!TakesValue(*option)) continue;
      const ValueKind* kind = KindOf(*option);
      auto& into = kind == nullptr   ? free
                   : kind->file      ? files
                   : kind->directory ? directories
                   : kind->printer   ? printers
                                     : byWords[kind->words];
      for (const auto& name : NamesOf(*option)) {
        if (std::find(into.begin(), into.end(), name) == into.end()) into.push_back(name);
      }
    }
  }
  auto pattern = [](const std::vector<std::string>& names) {
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : "|") + n;
    return text;
  };

  std::string out =
      "# bash completion for vormlan-cli, written by vormlan-cli-docs from the program's\n"
      "# options.\n\n"
      "# The printers of the --registry or --hive named on the line.\n"
      "_vormlan_cli_printers() {\n"
      "  local i file=\"\" option=\"\" name\n"
      "  for ((i = 1; i < ${#COMP_WORDS[@]} - 1; i++)); do\n"
      "    case ${COMP_WORDS[i]} in\n"
      "      --registry | --hive)\n"
      "        option=${COMP_WORDS[i]}\n"
      "        file=${COMP_WORDS[i + 1]}\n"
      "        ;;\n"
      "    esac\n"
      "  done\n"
      "  file=${file/#\\~/$HOME}\n"
      "  [ -n \"$option\" ] && [ -r \"$file\" ] || return 0\n"
      "  while IFS= read -r name; do\n"
      "    [ \"$name\" = \"No printers.\" ] && continue\n"
      "    [[ $name == \"$1\"* ]] && COMPREPLY+=(\"$(printf '%q' \"$name\")\")\n"
      "  done < <(command vormlan-cli list \"$option\" \"$file\" --quiet 2>/dev/null)\n"
      "}\n\n"
      "_vormlan_cli() {\n"
      "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
      "  local command=\"\" i\n"
      "  COMPREPLY=()\n"
      "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      "    case ${COMP_WORDS[i]} in\n"
      "      -*) ;;\n"
      "      *)\n"
      "        command=${COMP_WORDS[i]}\n"
      "        break\n"
      "        ;;\n"
      "    esac\n"
      "  done\n"
      "  if [ -n \"$command\" ]; then\n"
      "    case $prev in\n";
  for (const auto& [words, names] : byWords) {
    out += "      " + pattern(names) + ")\n";
    out += "        COMPREPLY=($(compgen -W \"" + words +
           "\" -- \"$cur\"))\n        return\n        ;;\n";
  }
  if (!files.empty()) {
    out += "      " + pattern(files) +
           ")\n        compopt -o filenames 2>/dev/null\n"
           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n        return\n        ;;\n";
  }
  if (!directories.empty()) {
    out += "      " + pattern(directories) +
           ")\n        compopt -o filenames 2>/dev/null\n"
           "        COMPREPLY=($(compgen -d -- \"$cur\"))\n        return\n        ;;\n";
  }
  if (!printers.empty()) {
    out += "      " + pattern(printers) + ")\n        _vormlan_cli_printers \"$cur\"\n" +
           "        return\n        ;;\n";
  }
  if (!free.empty()) out += "      " + pattern(free) + ")\n        return\n        ;;\n";
  out += "    esac\n  fi\n  case $command in\n";
  out += "    \"\")\n        COMPREPLY=($(compgen -W \"" + Joined(AllNames(app)) + " " +
         Joined(CommandNames(app)) + "\" -- \"$cur\"))\n        ;;\n";
  for (const auto* command : CommandsOf(app)) {
    std::string words = Joined(AllNames(*command));
    if (command->get_name() == "help") words += " " + Joined(CommandNames(app));
    out += "    " + command->get_name() + ")\n        COMPREPLY=($(compgen -W \"" + words +
           "\" -- \"$cur\"))\n";
    // Other commands' operands are folders (check DIR).
    const bool folders = command->get_name() != "help" && !PositionalsOf(*command).empty();
    if (folders) {
      out +=
          "        if [[ $cur != -* ]]; then\n          compopt -o filenames 2>/dev/null\n"
          "          COMPREPLY+=($(compgen -d -- \"$cur\"))\n        fi\n";
    }
    out += "        ;;\n";
  }
  out += "  esac\n}\ncomplete -F _vormlan_cli vormlan-cli\n";
  return out;
}

// text inside single quotes, and inside the brackets of an _arguments
// description.
std::string ZshDescription(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  std::string out;
  for (const char c : line) {
    if (c == '\'') {
      out += "'\\''";
    } else if (c == '[' || c == ']' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out;
}

std::string ZshEntries(const CLI::App& app, const std::string& indent) {
  std::string out;
  for (const auto* option : OptionsOf(app)) {
    const auto names = NamesOf(*option);
    std::string entry;
    if (names.size() > 1) {
      entry = "'(" + Joined(names) + ")'{";
      for (std::size_t i = 0; i < names.size(); ++i) entry += (i ? "," : "") + names[i];
      entry += "}'";
    } else {
      entry = "'" + names.front();
    }
    entry += "[" + ZshDescription(option->get_description()) + "]";
    if (TakesValue(*option)) {
      const ValueKind* kind = KindOf(*option);
      std::string action = " ";
      if (kind != nullptr && kind->file) action = "_files";
      if (kind != nullptr && kind->directory) action = "_files -/";
      if (kind != nullptr && kind->printer) action = "_vormlan-cli_printers";
      if (kind != nullptr && !kind->words.empty()) action = "(" + kind->words + ")";
      entry += ":" + option->get_lnames().front() + ":" + action;
    }
    out += indent + entry + "' \\\n";
  }
  return out;
}

std::string ZshCompletion(CLI::App& app) {
  std::string out =
      "#compdef vormlan-cli\n"
      "# zsh completion for vormlan-cli, written by vormlan-cli-docs from the program's\n"
      "# options.\n\n"
      "# The printers of the --registry or --hive named on the line.\n"
      "_vormlan-cli_printers() {\n"
      "  local i option file\n"
      "  local -a printers\n"
      "  for ((i = 1; i < ${#words}; i++)); do\n"
      "    case ${words[i]} in\n"
      "      --registry|--hive) option=${words[i]}; file=${(Q)words[i+1]} ;;\n"
      "    esac\n"
      "  done\n"
      "  file=${~file}\n"
      "  [[ -n $option && -r $file ]] || return 1\n"
      "  printers=(${(f)\"$(command vormlan-cli list $option $file --quiet 2>/dev/null)\"})\n"
      "  printers=(${printers:#No printers.})\n"
      "  compadd -a printers\n"
      "}\n\n"
      "_vormlan-cli() {\n"
      "  local curcontext=$curcontext state line\n"
      "  local -a commands\n"
      "  commands=(\n";
  for (const auto* command : CommandsOf(app)) {
    out += "    '" + command->get_name() + ":" + ZshDescription(command->get_description()) + "'\n";
  }
  out += "  )\n  _arguments -C \\\n" + ZshEntries(app, "    ") +
         "    '1:command:->command' \\\n    '*::argument:->argument'\n"
         "  case $state in\n"
         "    command) _describe -t commands command commands ;;\n"
         "    argument)\n"
         "      curcontext=${curcontext%:*:*}:vormlan-cli-$words[1]:\n"
         "      case $words[1] in\n";
  for (const auto* command : CommandsOf(app)) {
    std::string entries = ZshEntries(*command, "            ");
    if (command->get_name() == "help") {
      entries += "            '1:command:(" + Joined(CommandNames(app)) + ")'\n";
    } else if (!PositionalsOf(*command).empty()) {
      entries += "            '*:folder:_files -/'\n";
    } else {
      entries.erase(entries.size() - 3);  // no operands: the last option ends the call
      entries += "\n";
    }
    out += "        " + command->get_name() + ")\n          _arguments \\\n" + entries;
    out += "          ;;\n";
  }
  out += "      esac\n      ;;\n  esac\n}\n\n_vormlan-cli \"$@\"\n";
  return out;
}

bool Save(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  file.close();
  if (!file) {
    std::cerr << "vormlan-cli-docs: cannot write " << path << "\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vormlan-cli-docs OUTDIR\n";
    return 2;
  }
  int status = 0;
  const auto app = MakeApp(status);
  const std::string dir = argv[1];
  const bool saved = Save(dir + "/vormlan-cli.1", ManPage(*app)) &&
                     Save(dir + "/vormlan-cli.bash", BashCompletion(*app)) &&
                     Save(dir + "/_vormlan-cli", ZshCompletion(*app));
  return saved ? 0 : 1;
}
