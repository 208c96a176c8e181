#pragma once
// The subcommands of vormlan-cli. Each Add function registers its subcommand
// on the application; the callback it installs stores the command's exit
// status in status.

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "print/Architecture.h"
#include "inf/InfComposer.h"
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

// Where the registry comes from: up to two export files ("-": standard
// input), a binary SYSTEM hive and the SOFTWARE hive of the same disk, the
// hives of an offline Windows directory, or (on Windows) the live registry.
struct SourceOptions {
  std::vector<std::string> registryFiles;
  std::string hiveFile;
  std::string softwareHive;
  std::string windowsDir;  // also where generate takes the driver files from
};
void AddSourceOptions(CLI::App& command, SourceOptions& options);
// Where the registry comes from when no option names it, for the help.
std::string SourceHelp();

// The registry the options name, in UTF-8, and what it is.
struct Source {
  std::unique_ptr<registry::RegistryApi> registry;
  bool live = false;          // the running system's registry
  std::string systemHive;     // the SYSTEM hive read, if one was
  bool softwareRead = false;  // a SOFTWARE hive was read

  // Where the queues of a hive without them are, and what to add; empty
  // when a SOFTWARE hive was read or no hive was.
  // withDrivers adds where its drivers are shown.
  std::vector<std::string> QueueHints(bool withDrivers = true) const;
};

// Opens the registry the options name. Says on standard error, one line
// each, how CurrentControlSet was found when the file does not say it
// itself, which SOFTWARE hive is read when it was found beside the SYSTEM
// hive, and when a hive was not closed cleanly. Throws UsageError when no
// registry is named on a system without one of its own, and
// vormlan::Exception when a file cannot be read.
Source OpenRegistry(const SourceOptions& options);

// --arch: a name, a list ("x64,x86") or "all"; empty when not given.
struct ArchOption {
  std::string name;
  // The architectures to package, in the order given ("all": every
  // environment that registers drivers, in x86, x64, arm64 order). Not
  // given: the architecture Windows runs on for the live registry, else
  // PROCESSOR_ARCHITECTURE of the registry read (x86 without it); a note on
  // standard error says which was taken (none for x86 on a running x86
  // Windows). Throws UsageError for an unknown name, or for several where
  // several is false.
  std::vector<generation::Arch> Resolve(const Source& source, bool several) const;
};
void AddArchOption(CLI::App& command, ArchOption& option, bool several);
// --arch of one architecture, x86 unless given: the names of the
// architecture table, in any letter case, turned into the enum as parsed.
void AddSingleArchOption(CLI::App& command, generation::Arch& arch, const std::string& help);
struct InfEncodingOption {
  generation::InfEncoding value = generation::InfEncoding::CodePage;
  generation::InfEncoding Get() const { return value; }
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
