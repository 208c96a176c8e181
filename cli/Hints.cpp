#include "cli/Hints.h"

#include <algorithm>

#include "common/Exception.h"
#include "common/Unicode.h"
#include "generation/DriverRegistration.h"
#include "probes/Printers.h"

namespace vormlan::cli {
namespace {

// The name folded, without its blanks.
std::string Loose(const std::string& name) {
  std::string squeezed;
  for (const char c : name) {
    if (c != ' ' && c != '\t') squeezed += c;
  }
  return unicode::Fold(squeezed);
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

std::vector<std::string> CloseNames(const std::vector<std::string>& candidates,
                                    const std::string& name) {
  std::vector<std::string> close;
  const std::string wanted = Loose(name);
  for (const auto& candidate : candidates) {
    if (candidate != name && Loose(candidate) == wanted) close.push_back(candidate);
  }
  return close;
}

std::vector<std::string> LookupHints(registry::RegistryApi& registry,
                                     const std::string& printerName, generation::Arch arch) {
  std::vector<std::string> hints;
  const auto printer = generation::DescribePrinter(registry, printerName);
  const std::string archName(generation::InfoOf(arch).name);
  if (!printer.printerKeyFound) {
    hints.push_back("no printer is called " + Quoted(printerName));
    for (const auto& name : CloseNames(probes::PrinterNamesFromRegistry(registry), printerName)) {
      hints.push_back("did you mean " + Quoted(name) + "?");
    }
    hints.push_back("`vormlan-cli list` shows the printers");
    return hints;
  }
  if (printer.driverName.empty()) {
    hints.push_back("the printer's key names no driver (its \"Printer Driver\" value is empty)");
    return hints;
  }
  const auto* here = printer.In(arch);
  if (here == nullptr) {
    if (printer.environments.empty()) {
      hints.push_back("the driver " + Quoted(printer.driverName) +
                      " is registered in no environment");
    }
    for (const auto& e : printer.environments) {
      const std::string name(generation::InfoOf(e.arch).name);
      hints.push_back("registered for " + name + ": add --arch " + name);
    }
  } else if (here->version == 4) {
    hints.push_back(
        "it is a version 4 driver: `vormlan-cli generate --source store` copies its "
        "driver-store package");
  }
  return hints;
}

std::vector<std::string> DriverHints(registry::RegistryApi& registry, const std::string& driverName,
                                     generation::Arch arch) {
  std::vector<std::string> hints;
  std::vector<std::string> names;
  for (const auto& d : generation::ListDrivers(registry)) {
    if (unicode::EqualsIgnoreCase(d.name, driverName) && d.arch && *d.arch != arch) {
      const std::string name(generation::InfoOf(*d.arch).name);
      const std::string hint = "registered for " + name + ": add --arch " + name;
      if (std::find(hints.begin(), hints.end(), hint) == hints.end()) hints.push_back(hint);
    }
    if (!d.arch || *d.arch == arch) names.push_back(d.name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (const auto& name : CloseNames(names, driverName)) {
    hints.push_back("did you mean " + Quoted(name) + "?");
  }
  hints.push_back("`vormlan-cli list --drivers` shows the registered drivers");
  return hints;
}

void RefuseVersion4(const std::string& driverName, const std::string& printerName,
                    const generation::EnvironmentDriver& here) {
  if (here.version != 4) return;
  std::vector<std::string> hints = {
      "`vormlan-cli generate --source store` copies the driver's own package from the driver "
      "store"};
  if (!here.packageDependencies.empty() || !here.coreDependencies.empty()) {
    std::string needs;
    for (const auto* list : {&here.packageDependencies, &here.coreDependencies}) {
      for (const auto& p : *list) needs += (needs.empty() ? "" : ", ") + p;
    }
    hints.push_back("it builds on the inbox packages " + needs);
  }
  const std::string whose = printerName.empty() ? "" : " of printer " + Quoted(printerName);
  throw Exception("The driver " + Quoted(driverName) + whose + " is a version 4 driver (" +
                      std::string(generation::InfoOf(here.arch).environment) +
                      "\\Drivers\\Version-4): a composed INF cannot install it, because its "
                      "files come from other packages; use --source store",
                  std::move(hints));
}

generation::RegisteredDriver ComposableDriver(registry::RegistryApi& registry,
                                              const std::string& driverName, generation::Arch arch,
                                              bool refuseVersion4, bool spelled) {
  auto found = generation::FindDriver(registry, arch, driverName, spelled);
  if (!found) {
    throw Exception("No driver called " + Quoted(driverName) + " is registered for " +
                        std::string(generation::InfoOf(arch).environment),
                    DriverHints(registry, driverName, arch));
  }
  if (refuseVersion4) RefuseVersion4(found->name, "", found->details);
  return std::move(*found);
}

void RefuseVersion4Only(registry::RegistryApi& registry, const std::string& printerName,
                        generation::Arch arch) {
  if (arch == generation::Arch::X86) return;
  const auto printer = generation::DescribePrinter(registry, printerName);
  if (const auto* here = printer.In(arch)) RefuseVersion4(printer.driverName, printerName, *here);
}

}  // namespace vormlan::cli
