// vormlan-cli list: the installed printers, one per line or as JSON; with
// --drivers also each printer's port and driver in every environment.

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Report.h"
#include "common/ErrorText.h"
#include "common/Unicode.h"
#include "print/DriverRegistration.h"
#include "print/PrintQueues.h"
#include "probes/Printers.h"
#ifdef _WIN32
#include "probes/Printers_win32.h"
#endif

namespace vormlan::cli {
namespace {

using json = nlohmann::ordered_json;

// A queue as list shows it.
struct Queue {
  std::string name;
  std::string driver;
  std::string port;
};

// One driver of the inventory: its registrations and the queues using it.
struct DriverEntry {
  std::string name;
  std::vector<generation::RegisteredDriver> registrations;
  std::vector<const Queue*> queues;
};

// Every registered driver, in the registry's order, then the drivers that
// queues name but no environment registers; each with its queues. Names are
// matched as Windows matches them.
std::vector<DriverEntry> Inventory(registry::RegistryApi& registry,
                                   const std::vector<Queue>& queues) {
  std::vector<DriverEntry> entries;
  std::unordered_map<std::string, std::size_t> byName;
  for (auto& d : generation::ListDrivers(registry)) {
    const auto [it, added] = byName.emplace(unicode::Fold(d.name), entries.size());
    if (added) entries.push_back({d.name, {}, {}});
    entries[it->second].registrations.push_back(std::move(d));
  }
  for (const auto& q : queues) {
    const auto [it, added] = byName.emplace(unicode::Fold(q.driver), entries.size());
    if (added) entries.push_back({q.driver, {}, {}});
    entries[it->second].queues.push_back(&q);
  }
  return entries;
}

json RegistrationJson(const generation::RegisteredDriver& d) {
  const auto& e = d.details;
  json j = json::object();
  if (d.arch) j["arch"] = generation::InfoOf(*d.arch).name;
  j["environment"] = d.environment;
  j["version"] = e.version;
  if (!e.infPath.empty()) j["infPath"] = e.infPath;
  if (!e.manufacturer.empty()) j["manufacturer"] = e.manufacturer;
  if (!e.driverVersion.empty()) j["driverVersion"] = e.driverVersion;
  if (!e.coreDependencies.empty()) j["coreDependencies"] = e.coreDependencies;
  if (!e.packageDependencies.empty()) j["packageDependencies"] = e.packageDependencies;
  return j;
}

json EntryJson(const DriverEntry& d) {
  json environments = json::array();
  for (const auto& r : d.registrations) environments.push_back(RegistrationJson(r));
  json printers = json::array();
  for (const auto* q : d.queues) {
    json p = {{"name", q->name}};
    if (!q->port.empty()) p["port"] = q->port;
    printers.push_back(std::move(p));
  }
  return {{"driver", d.name},
          {"environments", std::move(environments)},
          {"printers", std::move(printers)}};
}

void PrintInventory(const std::vector<DriverEntry>& entries) {
  for (const auto& d : entries) {
    Out().Line(d.name.empty() ? std::string("(no driver named)") : EscapeControls(d.name));
    if (d.registrations.empty() && !d.name.empty()) Out().Line("  registered for no environment");
    for (const auto& r : d.registrations) {
      const auto& e = r.details;
      std::string line =
          "  " +
          (r.arch ? std::string(generation::InfoOf(*r.arch).name) : "\"" + r.environment + "\"") +
          ": version " + std::to_string(e.version);
      if (!e.manufacturer.empty()) line += "; manufacturer " + e.manufacturer;
      if (!e.driverVersion.empty()) line += "; driver version " + e.driverVersion;
      if (!e.infPath.empty()) line += "; inf " + e.infPath;
      Out().Line(EscapeControls(line));
    }
    if (d.queues.empty()) Out().Line("  printers: none");
    for (const auto* q : d.queues) {
      std::string line = "  printer: " + q->name;
      if (!q->port.empty()) line += " (port " + q->port + ")";
      Out().Line(EscapeControls(line));
    }
  }
}

}  // namespace

void AddListCommand(CLI::App& app, int& status) {
  auto* cmd =
      app.add_subcommand("list", "List the installed printers (with --drivers, their drivers)");
  cmd->footer(
      "Reads the live print spooler on Windows, or the printer queues of a registry export or "
      "hive (SYSTEM's and SOFTWARE's, where Windows keeps them since Vista).\n"
      "With --drivers, every driver registered in every environment (x86, x64, arm64) and "
      "version instead, with its manufacturer, driver version and driver-store INF, and the "
      "printers that use it (possibly none).\n"
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
                "List every registered driver, with the printers that use it");
  cmd->add_flag("--json", o->json, "Print JSON (UTF-8) instead of lines");
  AddQuietOption(*cmd);
  cmd->callback([cmd, o, &status] {
    RequireNoExtras(*cmd);
    std::vector<Queue> queues;
    std::vector<std::string> problems;  // what kept the list from being complete
    Source source;
    try {
      source = OpenRegistry(o->source);
#ifdef _WIN32
      if (source.live) {
        // The live registry's printers are the spooler's to list.
        for (auto& name : probes::InstalledPrinterNamesUtf8()) {
          Queue q{std::move(name), {}, {}};
          if (o->drivers) {
            const auto r = generation::DescribePrinter(*source.registry, q.name);
            q.driver = r.driverName;
            q.port = r.port;
          }
          queues.push_back(std::move(q));
        }
      }
#endif
      if (!source.live) {
        auto listing = generation::ListQueues(*source.registry, o->drivers);
        for (auto& q : listing.queues) {
          queues.push_back({std::move(q.name), std::move(q.driverName), std::move(q.port)});
        }
        problems = std::move(listing.problems);
      }
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
    // A damaged Printers key is not "no printers": said, and exit 1.
    for (const auto& problem : problems) Err().Line(EscapeControls(problem));
    const int done = problems.empty() ? kExitOk : kExitError;
    if (queues.empty() && problems.empty()) {
      for (const auto& hint : source.QueueHints(!o->drivers)) Err().Line("hint: " + hint);
    }
    if (queues.empty() && !o->drivers && !o->json && problems.empty()) {
      Out().Line("No printers.");
      status = kExitOk;
      return;
    }
    if (o->drivers) {
      const auto entries = Inventory(*source.registry, queues);
      if (o->json) {
        json all = json::array();
        for (const auto& d : entries) all.push_back(EntryJson(d));
        Out().Line(all.dump(2, ' ', false, json::error_handler_t::replace));
      } else {
        if (entries.empty()) Out().Line("No drivers.");
        PrintInventory(entries);
      }
    } else if (o->json) {
      // Written as it goes, as dump(2) would write the array: a million
      // names need not be held twice more as a document and its text.
      if (queues.empty()) Out().Line("[]");
      if (!queues.empty()) Out().Line("[");
      for (std::size_t i = 0; i < queues.size(); ++i) {
        Out().Line("  " +
                   json(queues[i].name).dump(-1, ' ', false, json::error_handler_t::replace) +
                   (i + 1 < queues.size() ? "," : ""));
      }
      if (!queues.empty()) Out().Line("]");
    } else {
      for (const auto& q : queues) Out().Line(EscapeControls(q.name));
    }
    status = done;
  });
}

}  // namespace vormlan::cli
