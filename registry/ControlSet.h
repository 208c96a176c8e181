#pragma once
// Which ControlSetNNN stands for CurrentControlSet in a registry read from a
// file: a hive saved from HKEY_LOCAL_MACHINE\SYSTEM, or an export of such a
// hive loaded under another name. On a running Windows the system makes that
// link itself; in a file it has to be made from the Select key.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"

namespace vormlan::registry {

struct ControlSetChoice {
  std::string name;  // "ControlSet002", spelled as in the registry
  // Whether Select\Current named it; when false, note says how it was chosen.
  bool fromSelect = false;
  std::string note;  // one line for the user, e.g. "no Select key: ..."
};

// The control set to use, given the value of Select\Current (nothing when the
// key or the value is missing or not a REG_DWORD) and the names of the
// subkeys of the SYSTEM key. Select\Current = n names "ControlSet%03d";
// without it (or when it names a missing set) the only control set is used,
// or else ControlSet001, or else the lowest-numbered one. Nothing when there
// is no ControlSetNNN at all.
std::optional<ControlSetChoice> ChooseControlSet(std::optional<std::uint32_t> selectCurrent,
                                                 const std::vector<std::string>& systemSubKeys);

// For a registry loaded from an export file: when HKEY_LOCAL_MACHINE has no
// SYSTEM\CurrentControlSet but holds control sets — below SYSTEM, or below
// one other key (an offline hive loaded as, say, HKLM\OFFLINE) — links
// HKLM\SYSTEM (and in it CurrentControlSet) to them. Returns the line to tell
// the user what was done, or nothing when the export needed no help.
std::optional<std::string> LinkExportControlSet(MemoryRegistry& registry);

}  // namespace vormlan::registry
