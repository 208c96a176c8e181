#include "cli/Hints.h"

#include <algorithm>
#include <utility>

#include "common/Quoted.h"
#include "common/Exception.h"
#include "common/Unicode.h"
#include "print/DriverRegistration.h"
#include "print/PrintQueues.h"

namespace vormlan::cli {
namespace {

// The name folded, without its blanks, as code points (a byte that is no
// UTF-8 stands for itself).
std::u32string Loose(const std::string& name) {
  const std::string folded = unicode::Fold(name);
  std::u32string loose;
  loose.reserve(folded.size());
  std::size_t pos = 0;
  while (pos < folded.size()) {
    char32_t cp = 0;
    const std::size_t at = pos;
    if (!unicode::Decode(folded, pos, cp)) {
      cp = static_cast<unsigned char>(folded[at]);
      pos = at + 1;
    }
    if (cp != U' ' && cp != U'\t') loose += cp;
  }
  return loose;
}

// How many edits a typed name may be from a registered one to be offered:
// none beyond case and blanks for names under four letters, then one more
// for every six letters, at most three.
std::size_t AllowedEdits(std::size_t length) {
  if (length < 4) return 0;
  return std::min<std::size_t>(3, 1 + (length - 4) / 6);
}

// The edit distance between a and b counting insertions, deletions,
// substitutions and swaps of neighbours, or limit + 1 once it exceeds limit.
std::size_t EditDistance(const std::u32string& a, const std::u32string& b, std::size_t limit) {
  const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  if (gap > limit) return limit + 1;
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    std::size_t rowBest = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      std::size_t d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d = std::min(d, before[j - 2] + 1);
      }
      current[j] = d;
      rowBest = std::min(rowBest, d);
    }
    // Every later row is at least this row's best.
    if (rowBest > limit) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return std::min(previous[b.size()], limit + 1);
}

// The most names one lookup offers.
constexpr std::size_t kMostCloseNames = 3;

}  // namespace

std::vector<std::string> CloseNames(const std::vector<std::string>& candidates,
                                    const std::string& name) {
  const std::u32string wanted = Loose(name);
  const std::size_t limit = AllowedEdits(wanted.size());
  // (distance, position): the closest first, ties in the candidates' order.
  std::vector<std::pair<std::size_t, std::size_t>> close;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (candidates[i] == name) continue;
    const std::size_t distance = EditDistance(Loose(candidates[i]), wanted, limit);
    if (distance <= limit) close.emplace_back(distance, i);
  }
  // A name that differs only in case or blanks is surely the one meant.
  const bool exact =
      std::any_of(close.begin(), close.end(), [](const auto& c) { return c.first == 0; });
  if (exact) std::erase_if(close, [](const auto& c) { return c.first != 0; });
  const std::size_t kept = std::min(close.size(), kMostCloseNames);
  std::partial_sort(close.begin(), close.begin() + static_cast<std::ptrdiff_t>(kept), close.end());
  std::vector<std::string> names;
  names.reserve(kept);
  for (std::size_t k = 0; k < kept; ++k) names.push_back(candidates[close[k].second]);
  return names;
}

const generation::PrinterRegistration& PrinterRegistrationOnce::Get() {
  if (!registration_) registration_ = generation::DescribePrinter(registry_, printerName_);
  return *registration_;
}

std::vector<std::string> LookupHints(registry::RegistryApi& registry,
                                     const generation::PrinterRegistration& printer,
                                     generation::Arch arch) {
  std::vector<std::string> hints;
  const std::string& printerName = printer.printerName;
  const std::string archName(generation::InfoOf(arch).name);
  if (!printer.printerKeyFound) {
    hints.push_back("no printer named " + Quoted(printerName));
    std::vector<std::string> names;
    for (auto& queue : generation::ListQueues(registry).queues)
      names.push_back(std::move(queue.name));
    for (const auto& name : CloseNames(names, printerName)) {
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

void RefuseVersion4Only(const generation::PrinterRegistration& printer, generation::Arch arch) {
  if (arch == generation::Arch::X86) return;
  if (const auto* here = printer.In(arch)) {
    RefuseVersion4(printer.driverName, printer.printerName, *here);
  }
}

}  // namespace vormlan::cli
