// vormlan-cli list: the installed printers, one per line or as JSON; with
// --drivers also each printer's port and driver in every environment.

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Report.h"
#include "common/ErrorText.h"
#include "generation/DriverRegistration.h"
#include "probes/Printers.h"
#ifdef _WIN32
#include "probes/Printers_win32.h"
#endif

namespace vormlan::cli {
namespace {

using json = nlohmann::ordered_json;

std::vector<generation::PrinterRegistration> Describe(registry::RegistryApi& registry,
                                                      const std::vector<std::string>& names) {
  std::vector<generation::PrinterRegistration> printers;
  printers.reserve(names.size());
  for (const auto& name : names) printers.push_back(generation::DescribePrinter(registry, name));
  return printers;
}

json DriverJson(const generation::EnvironmentDriver& e) {
  const auto& info = generation::InfoOf(e.arch);
  json j = {{"arch", info.name}, {"environment", info.environment}, {"version", e.version}};
  if (!e.infPath.empty()) j["infPath"] = e.infPath;
  if (!e.manufacturer.empty()) j["manufacturer"] = e.manufacturer;
  if (!e.driverVersion.empty()) j["driverVersion"] = e.driverVersion;
  if (!e.coreDependencies.empty()) j["coreDependencies"] = e.coreDependencies;
  if (!e.packageDependencies.empty()) j["packageDependencies"] = e.packageDependencies;
  return j;
}

json PrinterJson(const generation::PrinterRegistration& p) {
  json environments = json::array();
  for (const auto& e : p.environments) environments.push_back(DriverJson(e));
  json j = {{"name", p.printerName}};
  if (!p.port.empty()) j["port"] = p.port;
  if (!p.driverName.empty()) j["driver"] = p.driverName;
  j["environments"] = std::move(environments);
  return j;
}

void PrintDrivers(const std::vector<generation::PrinterRegistration>& printers) {
  for (const auto& p : printers) {
    Out().Line(EscapeControls(p.printerName));
    if (!p.port.empty()) Out().Line("  port: " + EscapeControls(p.port));
    Out().Line("  driver: " +
               (p.driverName.empty() ? std::string("(none)") : EscapeControls(p.driverName)));
    if (!p.driverName.empty() && p.environments.empty()) {
      Out().Line("  registered for no environment");
    }
    for (const auto& e : p.environments) {
      std::string line = "  " + std::string(generation::InfoOf(e.arch).name) + ": version " +
                         std::to_string(e.version);
      if (!e.manufacturer.empty()) line += "; manufacturer " + e.manufacturer;
      if (!e.driverVersion.empty()) line += "; driver version " + e.driverVersion;
      if (!e.infPath.empty()) line += "; inf " + e.infPath;
      Out().Line(EscapeControls(line));
    }
  }
}

}  // namespace

void AddListCommand(CLI::App& app, int& status) {
  auto* cmd =
      app.add_subcommand("list", "List the installed printers (with --drivers, their drivers)");
  cmd->footer(
      "Reads the live print spooler on Windows, or the printers of a registry export or hive.\n"
      "With --drivers, also each printer's port and driver, and for every environment that "
      "registers the driver (x86, x64, arm64) its version, manufacturer, driver version and "
      "driver-store INF.\n"
      "Control characters in names are written as C escapes (\\n, \\t, \\x01).\n" +
      SourceHelp() + "\n" + ExitStatusHelp(false) +
      " (0 also when there are no printers: then \"No printers.\", or [] with --json)");
  cmd->allow_extras();
  struct Options {
    SourceOptions source;
    bool json = false;
    bool drivers = false;
  };
  auto o = std::make_shared<Options>();
  AddSourceOptions(*cmd, o->source);
  cmd->add_flag("--drivers", o->drivers,
                "Also print each printer's port and its driver in every environment");
  cmd->add_flag("--json", o->json, "Print JSON (UTF-8) instead of lines");
  AddQuietOption(*cmd);
  cmd->callback([cmd, o, &status] {
    RequireNoExtras(*cmd);
    std::vector<std::string> names;
    std::unique_ptr<registry::RegistryApi> registry;
    try {
      registry = OpenRegistry(o->source);
#ifdef _WIN32
      // The live registry's printers are the spooler's to list.
      const bool fromFile = !o->source.registryFile.empty() || !o->source.hiveFile.empty();
      names = fromFile ? probes::PrinterNamesFromRegistry(*registry)
                       : probes::InstalledPrinterNamesUtf8();
#else
      names = probes::PrinterNamesFromRegistry(*registry);
#endif
    } catch (const UsageError&) {
      throw;
    } catch (const std::exception& e) {
      PrintError(e);
      if (o->json) {
        const auto* hinted = dynamic_cast<const Exception*>(&e);
        Out().Line(JsonText(
            {{"error", ErrorJson(ErrorBoxText(e.what()),
                                 hinted ? hinted->Hints() : std::vector<std::string>{})}}));
      }
      status = kExitError;
      return;
    }
    if (names.empty() && !o->json) {
      Out().Line("No printers.");
      status = kExitOk;
      return;
    }
    if (o->drivers) {
      const auto printers = Describe(*registry, names);
      if (o->json) {
        json all = json::array();
        for (const auto& p : printers) all.push_back(PrinterJson(p));
        Out().Line(all.dump(2, ' ', false, json::error_handler_t::replace));
      } else {
        PrintDrivers(printers);
      }
    } else if (o->json) {
      Out().Line(json(names).dump(2, ' ', false, json::error_handler_t::replace));
    } else {
      for (const auto& name : names) Out().Line(EscapeControls(name));
    }
    status = kExitOk;
  });
}

}  // namespace vormlan::cli
