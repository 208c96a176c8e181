#pragma once
// The subcommands of vormlan-cli. Each Add function registers its subcommand
// on the application; the callback it installs stores the command's exit
// status in status.

#include <CLI/CLI.hpp>

#include <string>

namespace vormlan::cli {

// Exit statuses shared by all subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitMissingFiles = 3;

// Options shared by the subcommands that read a printer's registration:
// --printer (required) and --registry (required where there is no live
// registry, as on Linux).
void AddPrinterOption(CLI::App& command, std::string& printer);
void AddRegistryOption(CLI::App& command, std::string& registryFile);

void AddInfCommand(CLI::App& app, int& status);
void AddGenerateCommand(CLI::App& app, int& status);
void AddListCommand(CLI::App& app, int& status);
void AddCheckCommand(CLI::App& app, int& status);

}  // namespace vormlan::cli
