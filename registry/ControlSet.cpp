#include "registry/ControlSet.h"

#include <cstdio>

#include "common/Unicode.h"

namespace vormlan::registry {
namespace {

constexpr char kPrefix[] = "CONTROLSET";

// The number of a "ControlSetNNN" key name (three digits), or nothing.
std::optional<unsigned> ControlSetNumber(const std::string& name) {
  const std::string folded = unicode::Fold(name);
  const std::size_t prefix = sizeof kPrefix - 1;
  if (folded.size() != prefix + 3 || folded.compare(0, prefix, kPrefix) != 0) return std::nullopt;
  unsigned n = 0;
  for (std::size_t i = prefix; i < folded.size(); ++i) {
    if (folded[i] < '0' || folded[i] > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(folded[i] - '0');
  }
  return n;
}

std::string SetName(std::uint32_t n) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "ControlSet%03u", static_cast<unsigned>(n));
  return buffer;
}

std::optional<std::uint32_t> SelectCurrent(const MemoryRegistry& registry,
                                           const std::string& systemPath) {
  const auto value = registry.GetValue(root::LocalMachine, systemPath + "\\Select", "Current");
  if (!value || value->type != value_type::Dword || value->data.size() != 4) return std::nullopt;
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) {
    n = (n << 8) | static_cast<unsigned char>(value->data[static_cast<std::size_t>(i)]);
  }
  return n;
}

bool HoldsControlSets(const MemoryRegistry& registry, const std::string& path) {
  for (const auto& name : registry.SubKeyNames(root::LocalMachine, path)) {
    if (ControlSetNumber(name)) return true;
  }
  return false;
}

}  // namespace

std::optional<ControlSetChoice> ChooseControlSet(std::optional<std::uint32_t> selectCurrent,
                                                 const std::vector<std::string>& systemSubKeys) {
  std::vector<std::pair<unsigned, std::string>> sets;
  for (const auto& name : systemSubKeys) {
    if (const auto n = ControlSetNumber(name)) sets.emplace_back(*n, name);
  }
  if (sets.empty()) return std::nullopt;

  std::string why;
  if (selectCurrent) {
    for (const auto& [n, name] : sets) {
      if (n == *selectCurrent) return ControlSetChoice{name, true, ""};
    }
    why = "Select\\Current names " + SetName(*selectCurrent) + ", which is missing";
  } else {
    why = "no Select\\Current value";
  }
  const std::pair<unsigned, std::string>* chosen = &sets.front();
  for (const auto& set : sets) {
    if (set.first == 1 || (chosen->first != 1 && set.first < chosen->first)) chosen = &set;
  }
  std::string how;
  if (sets.size() == 1) {
    how = "using the only control set, " + chosen->second;
  } else {
    how = "using " + chosen->second + " of " + std::to_string(sets.size()) + " control sets";
  }
  return ControlSetChoice{chosen->second, false, why + ": " + how};
}

std::optional<std::string> LinkExportControlSet(MemoryRegistry& registry) {
  const std::string system = "SYSTEM";
  if (registry.KeyExists(root::LocalMachine, system + "\\CurrentControlSet")) return std::nullopt;

  // Where the control sets are: below SYSTEM, or below exactly one other key.
  std::string holder;
  if (HoldsControlSets(registry, system)) {
    holder = system;
  } else {
    std::vector<std::string> candidates;
    for (const auto& name : registry.SubKeyNames(root::LocalMachine, "")) {
      if (HoldsControlSets(registry, name)) candidates.push_back(name);
    }
    if (candidates.size() != 1 || registry.KeyExists(root::LocalMachine, system)) {
      return std::nullopt;
    }
    holder = candidates.front();
  }

  const auto choice = ChooseControlSet(SelectCurrent(registry, holder),
                                       registry.SubKeyNames(root::LocalMachine, holder));
  if (!choice) return std::nullopt;
  std::string message = "the export holds no CurrentControlSet";
  if (holder != system) {
    registry.AddAlias(root::LocalMachine, system, holder);
    message += "; HKEY_LOCAL_MACHINE\\" + holder + " stands for SYSTEM";
  }
  registry.AddAlias(root::LocalMachine, system + "\\CurrentControlSet",
                    system + "\\" + choice->name);
  message += "; CurrentControlSet is " + choice->name;
  message += choice->fromSelect ? " (Select\\Current)" : " (" + choice->note + ")";
  return message;
}

}  // namespace vormlan::registry
