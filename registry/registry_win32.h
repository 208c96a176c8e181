#pragma once
// The live Windows registry behind RegistryApi (Windows builds only).
// ANSI: the A-functions, as the program's window reads the registry. UTF-8:
// the W-functions with names and string data converted, so that the command
// line sees every name as it is.

#include <memory>

#include "registry/RegistryApi.h"

namespace vormlan::registry {

class Win32Registry : public RegistryApi {
 public:
  explicit Win32Registry(TextEncoding encoding = TextEncoding::Ansi) : encoding_(encoding) {}

  TextEncoding Encoding() const override { return encoding_; }
  // RegOpenKeyExA/W; "" below a predefined root hands back the root itself.
  long OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
               KeyHandle& result) override;
  // RegQueryValueExA; in UTF-8, RegQueryValueExW with REG_SZ, REG_EXPAND_SZ
  // and REG_MULTI_SZ data converted (sizes are those of the UTF-8 bytes).
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  // RegEnumKeyExA/W until ERROR_NO_MORE_ITEMS.
  long EnumSubKeys(KeyHandle key, std::vector<std::string>& names) override;
  // RegCloseKey; predefined roots are left alone.
  long CloseKey(KeyHandle key) override;
  // FormatMessageA (FormatMessageW in UTF-8) from the system message table
  // and, when it loads as a data-only module, "netmsg.dll"; language neutral
  // / default sublanguage.
  std::optional<std::string> ErrorText(long code) override;

 private:
  long QueryValueUtf8(KeyHandle key, const std::string& name, std::uint32_t* type,
                      std::uint8_t* data, std::uint32_t* size);

  TextEncoding encoding_;
};

}  // namespace vormlan::registry
