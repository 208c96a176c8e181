#pragma once
// The subcommands of vormlan-cli. Each Add function registers its subcommand
// on the application; the callback it installs stores the command's exit
// status in status.

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "common/Exception.h"
#include "generation/Architecture.h"
#include "generation/InfComposer.h"
#include "registry/RegistryApi.h"

namespace vormlan::cli {

// Exit statuses shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitMissingFiles = 3;

// A command line that cannot be carried out as given: printed with a pointer
// to --help, exit status 2.
class UsageError : public Exception {
 public:
  using Exception::Exception;
};

// Where the registry comes from: an export file ("-": standard input), a
// binary SYSTEM hive, or (on Windows) the live registry.
struct SourceOptions {
  std::string registryFile;
  std::string hiveFile;
};
void AddSourceOptions(CLI::App& command, SourceOptions& options);
// Where the registry comes from when no option names it, for the help.
std::string SourceHelp();

// The registry the options name, in UTF-8. Says on standard error how
// CurrentControlSet was found when the file does not say it itself. Throws
// UsageError when no registry is named on a system without one of its own,
// and vormlan::Exception when the file cannot be read.
std::unique_ptr<registry::RegistryApi> OpenRegistry(const SourceOptions& options);

// --arch and --inf-encoding.
struct ArchOption {
  std::string name = "x86";
  generation::Arch Get() const;
};
void AddArchOption(CLI::App& command, ArchOption& option);
struct InfEncodingOption {
  std::string name = "ansi";
  generation::InfEncoding Get() const;
};
void AddInfEncodingOption(CLI::App& command, InfEncodingOption& option);

// --quiet, -q: errors only (no notes, warnings, messages or progress).
inline constexpr char kQuietHelp[] = "Print errors only: no messages, notes, warnings or progress";
// Adds --quiet, -q, which turns on quiet mode (SetQuiet) when given.
void AddQuietOption(CLI::App& command);

// Unknown options and missing arguments, checked before a command runs, so
// that an unknown option is named as unknown rather than taken for a
// missing one. Throws UsageError.
void RequireNoExtras(const CLI::App& command);
void RequireOption(const CLI::App& command, const std::string& name, const std::string& value);

// The error as the command line prints it: the message as the window's
// error box shows it, then one "hint: " line per hint.
void PrintError(const std::exception& error);

// The exit status texts of every subcommand's help.
std::string ExitStatusHelp(bool missingFiles);

void AddInfCommand(CLI::App& app, int& status);
void AddGenerateCommand(CLI::App& app, int& status);
void AddListCommand(CLI::App& app, int& status);
void AddCheckCommand(CLI::App& app, int& status);

}  // namespace vormlan::cli
