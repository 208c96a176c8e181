#include "registry/registry_win32.h"

#include <windows.h>

#include "common/UniqueHandle_win32.h"
#include "common/SystemText_win32.h"
#include "common/WideText_win32.h"

#include <algorithm>
#include <utility>

namespace vormlan::registry {
namespace {

HKEY ToHkey(KeyHandle key) {
  return reinterpret_cast<HKEY>(key);
}

bool IsText(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

long Win32Registry::OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
                            KeyHandle& result) {
  HKEY opened = nullptr;
  const LONG rc =
      encoding_ == TextEncoding::Utf8
          ? RegOpenKeyExW(ToHkey(parent), WideFromUtf8(subKey).c_str(), 0, accessMask, &opened)
          : RegOpenKeyExA(ToHkey(parent), subKey.c_str(), 0, accessMask, &opened);
  if (rc == ERROR_SUCCESS) result = reinterpret_cast<KeyHandle>(opened);
  return rc;
}

long Win32Registry::QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* size) {
  if (encoding_ == TextEncoding::Utf8) return QueryValueUtf8(key, name, type, data, size);
  DWORD t = 0;
  DWORD s = size != nullptr ? *size : 0;
  const LONG rc = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, type ? &t : nullptr, data,
                                   size ? &s : nullptr);
  if (type != nullptr && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)) *type = t;
  if (size != nullptr && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)) *size = s;
  return rc;
}

long Win32Registry::QueryValueUtf8(KeyHandle key, const std::string& name, std::uint32_t* type,
                                   std::uint8_t* data, std::uint32_t* size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  const std::wstring wideName = WideFromUtf8(name);
  // The whole value, read again while it grows between the two calls.
  DWORD t = 0;
  std::string raw;
  LONG rc = ERROR_MORE_DATA;
  for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < 4; ++attempt) {
    DWORD s = 0;
    rc = RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &t, nullptr, &s);
    if (rc != ERROR_SUCCESS) return rc;
    raw.assign(s, '\0');
    rc = RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &t,
                          reinterpret_cast<BYTE*>(raw.data()), &s);
    if (rc == ERROR_SUCCESS) raw.resize(s);
  }
  if (rc != ERROR_SUCCESS) return rc;
  const std::string bytes = IsText(t) ? unicode::FromUtf16Le(raw) : raw;
  if (type != nullptr) *type = t;
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  std::copy(bytes.begin(), bytes.end(), data);
  *size = needed;
  return ERROR_SUCCESS;
}

long Win32Registry::EnumSubKeys(KeyHandle key, std::vector<std::string>& names) {
  std::vector<std::string> found;
  for (DWORD index = 0;; ++index) {
    LONG rc = ERROR_SUCCESS;
    if (encoding_ == TextEncoding::Utf8) {
      wchar_t buffer[256];  // key names hold at most 255 characters
      DWORD length = 256;
      rc = RegEnumKeyExW(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_SUCCESS) found.push_back(Utf8FromWide(std::wstring_view(buffer, length)));
    } else {
      char buffer[256];
      DWORD length = 256;
      rc = RegEnumKeyExA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_SUCCESS) found.emplace_back(buffer, length);
    }
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return rc;
  }
  names = std::move(found);
  return ERROR_SUCCESS;
}

long Win32Registry::CloseKey(KeyHandle key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  return RegCloseKey(ToHkey(key));
}

std::optional<std::string> Win32Registry::ErrorText(long code) {
  const UniqueModule netmsg(LoadLibraryExA("netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
  return encoding_ == TextEncoding::Utf8
             ? SystemMessageTextUtf8(static_cast<DWORD>(code), netmsg.Get())
             : SystemMessageText(static_cast<DWORD>(code), netmsg.Get());
}

}  // namespace vormlan::registry
