#include "registry/ValueRead.h"

namespace vormlan::registry {

std::optional<ValueData> ReadValue(RegistryApi& api, KeyHandle key, const std::string& name,
                                   std::size_t maxBytes) {
  ValueData value;
  // The value may change between the two calls; a few attempts suffice.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::uint32_t size = 0;
    if (api.QueryValue(key, name, &value.type, nullptr, &size) != error::Success)
      return std::nullopt;
    if (size > maxBytes) return std::nullopt;
    value.bytes.assign(size, '\0');
    const long rc = api.QueryValue(key, name, &value.type,
                                   reinterpret_cast<std::uint8_t*>(value.bytes.data()), &size);
    if (rc == error::MoreData) continue;
    if (rc != error::Success) return std::nullopt;
    value.bytes.resize(size);
    return value;
  }
  return std::nullopt;
}

std::optional<std::string> TextOf(const ValueData& value) {
  if (value.type != value_type::Sz && value.type != value_type::ExpandSz) return std::nullopt;
  return value.bytes.substr(0, value.bytes.find('\0'));
}

std::optional<std::vector<std::string>> StringsOf(const ValueData& value) {
  if (value.type != value_type::MultiSz) return std::nullopt;
  std::vector<std::string> strings;
  std::size_t pos = 0;
  while (pos < value.bytes.size()) {
    std::size_t end = value.bytes.find('\0', pos);
    if (end == std::string::npos) end = value.bytes.size();
    if (end == pos) break;
    strings.push_back(value.bytes.substr(pos, end - pos));
    pos = end + 1;
  }
  return strings;
}

RegKey OpenForReading(RegistryApi& api, KeyHandle parent, const std::string& path) {
  KeyHandle handle = 0;
  if (api.OpenKey(parent, path, access::Read, handle) != error::Success) return RegKey();
  return RegKey(api, handle);
}

}  // namespace vormlan::registry
