#pragma once
// Whole-value reads for listings: the value's type and bytes at once, and
// the strings they hold. Unlike the accessor, these never throw: a value that
// is missing, of another type or unreadable simply reads as nothing.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::registry {

struct ValueData {
  std::uint32_t type = value_type::None;
  std::string bytes;
};

// Reads the value name of the open key. Nothing when it cannot be read or
// holds more than maxBytes.
std::optional<ValueData> ReadValue(RegistryApi& api, KeyHandle key, const std::string& name,
                                   std::size_t maxBytes = 1024 * 1024);

// The text of a REG_SZ or REG_EXPAND_SZ value up to its first NUL; nothing
// for other types.
std::optional<std::string> TextOf(const ValueData& value);

// The strings of a REG_MULTI_SZ value up to the first empty one (a missing
// final terminator is tolerated); nothing for other types.
std::optional<std::vector<std::string>> StringsOf(const ValueData& value);

// Opens path below parent for reading; the key, or an empty RegKey.
RegKey OpenForReading(RegistryApi& api, KeyHandle parent, const std::string& path);

}  // namespace vormlan::registry
