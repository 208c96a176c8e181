// The system registry behind the accessor (Windows build, run under Wine):
// error texts come from the system and multi-string failures carry the
// system's code. Texts differ between Windows and Wine, so only their
// presence and shape are checked.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/registry_win32.h"
#include "registry/unitEXRegistry.h"

namespace vormlan::registry {
namespace {

TEST(Win32RegistryErrorText, SystemHasTextsForRegistryCodes) {
  Win32Registry reg;
  for (const long code : {error::FileNotFound, error::AccessDenied, error::InvalidHandle}) {
    const auto text = reg.ErrorText(code);
    ASSERT_TRUE(text.has_value()) << code;
    EXPECT_FALSE(text->empty()) << code;
    EXPECT_TRUE(text->ends_with("\r\n")) << code;  // as FormatMessage returns it
  }
}

TEST(Win32RegistryErrorText, UnknownCodeHasNoText) {
  Win32Registry reg;
  EXPECT_FALSE(reg.ErrorText(0x7FFFFFF0).has_value());
}

TEST(Win32RegistryMultiSz, MissingValueCarriesCodeTwoAndTheSystemText) {
  Win32Registry reg;
  TExRegistry x(reg);
  x.SetRoot(root::LocalMachine);
  ASSERT_TRUE(x.OpenPathForReading("\\Software\\VormlanConformance\\Strings"));
  std::vector<std::string> list{"stale"};
  try {
    x.ReadMultiSz("No Such Value", list);
    FAIL() << "read a missing value";
  } catch (const EExRegistryException& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
    const std::string expected = "Error 2 : " + *reg.ErrorText(2) + ":Unable read MULTI_SZ value";
    EXPECT_EQ(std::string(e.what()), expected);
  }
  EXPECT_TRUE(list.empty());
}

TEST(Win32RegistryMultiSz, NoOpenKeyCarriesInvalidHandle) {
  Win32Registry reg;
  TExRegistry x(reg);
  x.SetRoot(root::LocalMachine);
  std::vector<std::string> list;
  try {
    x.ReadMultiSz("Dependent Files", list);
    FAIL() << "read without a key";
  } catch (const EExRegistryException& e) {
    EXPECT_EQ(e.ErrorCode(), 6);
    EXPECT_TRUE(std::string(e.what()).starts_with("Error 6 : "));
  }
}

TEST(Win32RegistryHandles, PredefinedRootIsNeverClosed) {
  Win32Registry reg;
  KeyHandle key = 0;
  ASSERT_EQ(reg.OpenKey(root::LocalMachine, "", access::Read, key), error::Success);
  { RegKey owned(reg, key); }
  EXPECT_EQ(reg.CloseKey(root::LocalMachine), error::Success);
  KeyHandle sub = 0;
  ASSERT_EQ(reg.OpenKey(root::LocalMachine, "Software", access::Read, sub), error::Success);
  EXPECT_EQ(reg.CloseKey(sub), error::Success);
}

}  // namespace
}  // namespace vormlan::registry
