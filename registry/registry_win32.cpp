#include "registry/registry_win32.h"

#include <windows.h>

#include "common/SystemText_win32.h"

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
  return SystemMessageText(static_cast<DWORD>(code), netmsg.Get());
}

}  // namespace vormlan::registry
