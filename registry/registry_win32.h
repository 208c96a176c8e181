#pragma once
// The live Windows registry behind RegistryApi (Windows builds only).

#include <memory>

#include "registry/RegistryApi.h"

namespace vormlan::registry {

class Win32Registry : public RegistryApi {
 public:
  // RegOpenKeyExA; "" below a predefined root hands back the root itself.
  long OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
               KeyHandle& result) override;
  // RegQueryValueExA.
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  // RegCloseKey; predefined roots are left alone.
  long CloseKey(KeyHandle key) override;
  // FormatMessageA from the system message table and, when it loads as a
  // data-only module, "netmsg.dll"; language neutral / default sublanguage.
  std::optional<std::string> ErrorText(long code) override;
};

}  // namespace vormlan::registry
