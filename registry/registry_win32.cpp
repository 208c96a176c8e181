#include "registry/registry_win32.h"

#include <windows.h>

#include <utility>

namespace vormlan::registry {
namespace {

HKEY ToHkey(KeyHandle key) {
  return reinterpret_cast<HKEY>(key);
}

// A module loaded as data only; freed when it goes out of scope.
class DataModule {
 public:
  explicit DataModule(const char* name)
      : module_(LoadLibraryExA(name, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;
  ~DataModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE Get() const { return module_; }

 private:
  HMODULE module_;
};

// A buffer that FormatMessageA allocated; released with LocalFree.
class LocalBuffer {
 public:
  LocalBuffer() = default;
  LocalBuffer(const LocalBuffer&) = delete;
  LocalBuffer& operator=(const LocalBuffer&) = delete;
  ~LocalBuffer() {
    if (buffer_ != nullptr) LocalFree(buffer_);
  }
  char** Receive() { return &buffer_; }
  const char* Get() const { return buffer_; }

 private:
  char* buffer_ = nullptr;
};

}  // namespace

long Win32Registry::OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
                            KeyHandle& result) {
  HKEY opened = nullptr;
  const LONG rc = RegOpenKeyExA(ToHkey(parent), subKey.c_str(), 0, accessMask, &opened);
  if (rc == ERROR_SUCCESS) result = reinterpret_cast<KeyHandle>(opened);
  return rc;
}

long Win32Registry::QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* size) {
  DWORD t = 0;
  DWORD s = size != nullptr ? *size : 0;
  const LONG rc = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, type ? &t : nullptr, data,
                                   size ? &s : nullptr);
  if (type != nullptr && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)) *type = t;
  if (size != nullptr && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)) *size = s;
  return rc;
}

long Win32Registry::CloseKey(KeyHandle key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  return RegCloseKey(ToHkey(key));
}

std::optional<std::string> Win32Registry::ErrorText(long code) {
  const DataModule netmsg("netmsg.dll");
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                FORMAT_MESSAGE_FROM_SYSTEM;                           // 0x1300
  if (netmsg.Get() != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;  // 0x1B00
  LocalBuffer text;
  const DWORD length = FormatMessageA(flags, netmsg.Get(), static_cast<DWORD>(code),
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<char*>(text.Receive()), 0, nullptr);
  if (length == 0 || text.Get() == nullptr) return std::nullopt;
  return std::string(text.Get(), length);
}

}  // namespace vormlan::registry
