#include "cli/Hints.h"

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

void RefuseVersion4Only(registry::RegistryApi& registry, const std::string& printerName,
                        generation::Arch arch) {
  if (arch == generation::Arch::X86) return;
  const auto printer = generation::DescribePrinter(registry, printerName);
  const auto* here = printer.In(arch);
  if (here == nullptr || here->version != 4) return;
  std::vector<std::string> hints = {
      "`vormlan-cli generate --source store` copies the driver's own package from the driver "
      "store"};
  if (!here->packageDependencies.empty() || !here->coreDependencies.empty()) {
    std::string needs;
    for (const auto* list : {&here->packageDependencies, &here->coreDependencies}) {
      for (const auto& p : *list) needs += (needs.empty() ? "" : ", ") + p;
    }
    hints.push_back("it builds on the inbox packages " + needs);
  }
  throw Exception("The driver " + Quoted(printer.driverName) + " of printer " +
                      Quoted(printerName) + " is a version 4 driver (" +
                      std::string(generation::InfoOf(arch).environment) +
                      "\\Drivers\\Version-4): a composed INF cannot install it, because its "
                      "files come from other packages; use --source store",
                  std::move(hints));
}

}  // namespace vormlan::cli
