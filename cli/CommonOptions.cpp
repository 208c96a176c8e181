// Options and error reporting shared by the subcommands.

#include "cli/Commands.h"

#include <map>
#include "cli/Output.h"
#include "common/ErrorText.h"
#include "generation/FolderCheck.h"

namespace vormlan::cli {

void AddArchOption(CLI::App& command, ArchOption& option, bool several) {
  std::string text =
      "Driver architecture: x86 (\"Windows NT x86\"), x64 (\"Windows x64\") or arm64 "
      "(\"Windows ARM64\"). By default the architecture Windows runs on, or for a hive or "
      "export the one its PROCESSOR_ARCHITECTURE names (x86 without it)";
  if (several) {
    text +=
        "; a list (x64,x86) or all (every environment that registers drivers) packages "
        "each into a folder of its own";
  }
  command.add_option("--arch", option.name, text)
      ->check(CLI::Validator(
          [several](std::string& value) -> std::string {
            std::size_t start = 0;
            std::size_t items = 0;
            while (true) {
              const auto comma = value.find(',', start);
              const std::string item = value.substr(start, comma - start);
              ++items;
              std::string lower = item;
              for (char& c : lower) {
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
              }
              if (!generation::ParseArch(lower) && !(several && lower == "all")) {
                return "'" + EscapeControls(item) + "' is no architecture (x86, x64, arm64" +
                       (several ? ", a list of them, or all)" : ")");
              }
              if (comma == std::string::npos) break;
              start = comma + 1;
            }
            if (items > 1 && !several) return "one architecture here";
            return std::string();
          },
          several ? "x86|x64|arm64[,...]|all" : "x86|x64|arm64"));
}

void AddInfEncodingOption(CLI::App& command, InfEncodingOption& option) {
  command
      .add_option("--inf-encoding", option.value,
                  "How the INF is written: ansi (8-bit text in Windows-1252, or in the ANSI code "
                  "page on Windows; the default) or utf-16 (UTF-16LE with a byte-order mark, for "
                  "names the code page cannot hold)")
      ->transform(CLI::CheckedTransformer(
                      std::map<std::string, generation::InfEncoding>{
                          {"ansi", generation::InfEncoding::CodePage},
                          {"utf-16", generation::InfEncoding::Utf16}},
                      CLI::ignore_case)
                      .description(""))
      ->type_name("ansi|utf-16")
      ->default_str("ansi");
}

void AddSingleArchOption(CLI::App& command, generation::Arch& arch, const std::string& help) {
  std::map<std::string, generation::Arch> names;
  std::string type;
  for (const auto& info : generation::kArchitectures) {
    names.emplace(std::string(info.name), info.arch);
    type += (type.empty() ? "" : "|") + std::string(info.name);
  }
  command.add_option("--arch", arch, help)
      ->transform(CLI::CheckedTransformer(names, CLI::ignore_case).description(""))
      ->type_name(type)
      ->default_str("x86");
}

void AddQuietOption(CLI::App& command) {
  command.add_flag_callback(
      "--quiet,-q", [] { SetQuiet(true); }, kQuietHelp);
}

void RequireNoExtras(const CLI::App& command) {
  const auto extras = command.remaining();
  if (extras.empty()) return;
  const std::string& first = extras.front();
  const std::string what =
      !first.empty() && first[0] == '-' ? "unknown option " : "unexpected argument ";
  throw UsageError(command.get_name() + ": " + what + "'" + first + "'");
}

void RequireOption(const CLI::App& command, const std::string& name, const std::string& value) {
  if (value.empty()) throw UsageError(command.get_name() + ": " + name + " is required");
}

void PrintError(const std::exception& error) {
  if (const auto* mixed = dynamic_cast<const generation::MixedFolderError*>(&error)) {
    // Its lines are ours; what they quote is escaped line by line.
    Err().Line(EscapeControls(mixed->Heading()));
    for (const auto& c : mixed->Conflicts())
      Err().Line("  " + EscapeControls(c.name + ": " + c.why));
  } else {
    Err().Line(EscapeMessage(ErrorBoxText(error.what())));
  }
  if (const auto* e = dynamic_cast<const Exception*>(&error)) {
    // One line each, whatever the names they quote hold.
    for (const auto& hint : e->Hints()) Err().Line("hint: " + EscapeControls(hint));
  }
}

std::string ExitStatusHelp(bool missingFiles) {
  std::string text = "Exit status: 0 done, 1 error, 2 usage";
  if (missingFiles) text += ", 3 written but some driver files were not found (they are listed)";
  return text + ".";
}

}  // namespace vormlan::cli
