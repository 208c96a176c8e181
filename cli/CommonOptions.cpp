// Options and error reporting shared by the subcommands.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "common/ErrorText.h"

namespace vormlan::cli {

generation::Arch ArchOption::Get() const {
  return generation::ParseArch(name).value_or(generation::Arch::X86);
}

void AddArchOption(CLI::App& command, ArchOption& option) {
  command
      .add_option("--arch", option.name,
                  "Driver architecture: x86 (\"Windows NT x86\", the default), x64 (\"Windows "
                  "x64\") or arm64 (\"Windows ARM64\")")
      ->check(CLI::IsMember({"x86", "x64", "arm64"}, CLI::ignore_case))
      ->default_str("x86");
}

generation::InfEncoding InfEncodingOption::Get() const {
  // The option's check accepts any case and leaves the value as given.
  std::string lower = name;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower == "utf-16" ? generation::InfEncoding::Utf16 : generation::InfEncoding::CodePage;
}

void AddInfEncodingOption(CLI::App& command, InfEncodingOption& option) {
  command
      .add_option("--inf-encoding", option.name,
                  "How the INF is written: ansi (8-bit text in Windows-1252, or in the ANSI code "
                  "page on Windows; the default) or utf-16 (UTF-16LE with a byte-order mark, for "
                  "names the code page cannot hold)")
      ->check(CLI::IsMember({"ansi", "utf-16"}, CLI::ignore_case))
      ->default_str("ansi");
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
  Err().Line(EscapeMessage(ErrorBoxText(error.what())));
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
