#include "registry/unitEXRegistry.h"

#include <cstdio>
#include <optional>

namespace vormlan::registry {
namespace {

const char kMultiSzFailure[] = "Unable read MULTI_SZ value";

std::string FormatErrorDetail(RegistryApi& api, long code) {
  const std::optional<std::string> text = api.ErrorText(code);
  if (text && !text->empty()) return "Error " + std::to_string(code) + " : " + *text;
  return "Error " + std::to_string(code);
}

}  // namespace

EExRegistryException::EExRegistryException(RegistryApi& api, const std::string& text,
                                           long errorCode)
    : ERegistryException(FormatErrorDetail(api, errorCode) + ":" + text), errorCode_(errorCode) {}

TRegistry::TRegistry(RegistryApi& api) : api_(api) {}

void TRegistry::SetRoot(KeyHandle rootKey) {
  if (rootKey == root_) return;
  CloseCurrent();
  root_ = rootKey;
}

long TRegistry::OpenRaw(const std::string& path, std::uint32_t mask, RegKey& key) {
  const bool absolute = !path.empty() && path.front() == '\\';
  const std::string subKey = absolute ? path.substr(1) : path;
  const KeyHandle parent = (!absolute && current_.IsOpen()) ? current_.Get() : root_;
  KeyHandle opened = 0;
  const long rc = api_.OpenKey(parent, subKey, mask, opened);
  if (rc == error::Success) key = RegKey(api_, opened);
  return rc;
}

void TRegistry::MakeCurrent(RegKey key, const std::string& path) {
  const bool absolute = !path.empty() && path.front() == '\\';
  std::string newPath;
  if (absolute) {
    newPath = path.substr(1);
  } else if (current_.IsOpen()) {
    newPath = currentPath_ + "\\" + path;
  } else {
    newPath = path;
  }
  current_ = std::move(key);  // closes the previous current key
  currentPath_ = std::move(newPath);
}

bool TRegistry::OpenPath(const std::string& path) {
  RegKey key;
  if (OpenRaw(path, accessMask_, key) != error::Success) return false;
  MakeCurrent(std::move(key), path);
  return true;
}

bool TRegistry::OpenPathForReading(const std::string& path) {
  for (const std::uint32_t mask : {access::Read, access::ReadNoNotify, access::QueryValue}) {
    RegKey key;
    if (OpenRaw(path, mask, key) == error::Success) {
      MakeCurrent(std::move(key), path);
      accessMask_ = mask;
      return true;
    }
  }
  return false;
}

bool TRegistry::PathExists(const std::string& path) {
  RegKey key;
  return OpenRaw(path, access::ReadNoNotify, key) == error::Success;
}

std::string TRegistry::ReadText(const std::string& name) {
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (api_.QueryValue(current_.Get(), name, &type, nullptr, &size) != error::Success || size == 0) {
    return {};
  }
  std::string data(size, '\0');
  std::uint32_t got = size;
  if (api_.QueryValue(current_.Get(), name, &type, reinterpret_cast<std::uint8_t*>(data.data()),
                      &got) != error::Success) {
    throw ERegistryException("Failed to get data for '" + name + "'");
  }
  if (type != value_type::Sz && type != value_type::ExpandSz) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }
  if (got < data.size()) data.resize(got);
  const auto nul = data.find('\0');
  if (nul != std::string::npos) data.resize(nul);
  return data;
}

void TRegistry::CloseCurrent() {
  current_.Close();
  currentPath_.clear();
}

void TExRegistry::ReadMultiSz(const std::string& name, std::vector<std::string>& list) {
  list.clear();
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  long rc = Api().QueryValue(CurrentKey(), name, &type, nullptr, &size);
  if (rc != error::Success) throw EExRegistryException(Api(), kMultiSzFailure, rc);
  if (type != value_type::MultiSz) throw ERegistryException("String list expected");

  std::string data(size, '\0');
  std::uint32_t got = size;
  if (size > 0) {
    rc = Api().QueryValue(CurrentKey(), name, &type, reinterpret_cast<std::uint8_t*>(data.data()),
                          &got);
    // The value may have changed between the two queries; a failed read is
    // reported like a failed query rather than walking an unfilled buffer.
    if (rc != error::Success) throw EExRegistryException(Api(), kMultiSzFailure, rc);
    if (type != value_type::MultiSz) throw ERegistryException("String list expected");
    if (got < data.size()) data.resize(got);
  }

  std::size_t pos = 0;
  while (pos < data.size() && data[pos] != '\0') {
    std::size_t end = data.find('\0', pos);
    if (end == std::string::npos) end = data.size();  // unterminated last string
    list.push_back(data.substr(pos, end - pos));
    pos = end + 1;
  }
}

}  // namespace vormlan::registry
