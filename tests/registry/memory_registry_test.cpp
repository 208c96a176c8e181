#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"

namespace vormlan::registry {
namespace {

constexpr long kKeyDeleted = 1018;

KeyHandle Open(MemoryRegistry& reg, const std::string& path, std::uint32_t mask = access::Read) {
  KeyHandle key = 0;
  EXPECT_EQ(reg.OpenKey(root::LocalMachine, path, mask, key), error::Success) << path;
  return key;
}

TEST(MemoryRegistryBuild, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling) {
  MemoryRegistry reg;
  reg.SetString(root::LocalMachine, "Soft\\Key", "Value", "one");
  reg.SetString(root::LocalMachine, "SOFT\\KEY", "VALUE", "two");
  EXPECT_EQ(reg.SubKeyNames(root::LocalMachine, "soft"), std::vector<std::string>{"Key"});
  const auto value = reg.GetValue(root::LocalMachine, "soft\\key", "value");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->name, "Value");
  EXPECT_EQ(value->data, std::string("two\0", 4));
  reg.CreateKey(root::LocalMachine, "Soft\\\xE9t\xE9");  // accented letters fold too
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "SOFT\\\xC9T\xC9"));
}

TEST(MemoryRegistryBuild, SubKeysComeInCaseInsensitiveOrder) {
  MemoryRegistry reg;
  for (const char* name : {"beta", "Alpha", "gamma", "BETA2"}) {
    reg.CreateKey(root::LocalMachine, std::string("S\\") + name);
  }
  EXPECT_EQ(reg.SubKeyNames(root::LocalMachine, "S"),
            (std::vector<std::string>{"Alpha", "beta", "BETA2", "gamma"}));
  EXPECT_TRUE(reg.SubKeyNames(root::LocalMachine, "Missing").empty());
}

TEST(MemoryRegistryBuild, ConvenienceValuesHaveWindowsLayout) {
  MemoryRegistry reg;
  reg.SetMultiString(root::LocalMachine, "S", "M", {"a", "bc"});
  reg.SetMultiString(root::LocalMachine, "S", "E", {});
  reg.SetDword(root::LocalMachine, "S", "D", 0x01020304);
  EXPECT_EQ(reg.GetValue(root::LocalMachine, "S", "M")->data, std::string("a\0bc\0\0", 6));
  EXPECT_EQ(reg.GetValue(root::LocalMachine, "S", "E")->data, std::string(1, '\0'));
  EXPECT_EQ(reg.GetValue(root::LocalMachine, "S", "D")->data, "\x04\x03\x02\x01");
}

TEST(MemoryRegistryBuild, DeletionAndBadRoots) {
  MemoryRegistry reg;
  reg.SetString(root::LocalMachine, "S\\K\\Deep", "v", "x");
  EXPECT_TRUE(reg.DeleteValue(root::LocalMachine, "S\\K\\Deep", "V"));
  EXPECT_FALSE(reg.DeleteValue(root::LocalMachine, "S\\K\\Deep", "v"));
  EXPECT_FALSE(reg.DeleteKey(root::LocalMachine, ""));  // roots stay
  EXPECT_FALSE(reg.DeleteKey(root::LocalMachine, "S\\Missing"));
  EXPECT_TRUE(reg.DeleteKey(root::LocalMachine, "s\\k"));
  EXPECT_FALSE(reg.KeyExists(root::LocalMachine, "S\\K\\Deep"));
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "S"));
  EXPECT_THROW(reg.CreateKey(0x1234, "S"), std::invalid_argument);
  KeyHandle key = 0;
  EXPECT_EQ(reg.OpenKey(0x1234, "S", access::Read, key), error::InvalidHandle);
}

TEST(MemoryRegistryHandles, HandlesOfADeletedKeyAnswerKeyDeleted) {
  MemoryRegistry reg;
  reg.SetString(root::LocalMachine, "S\\K\\Sub", "v", "x");
  const KeyHandle key = Open(reg, "S\\K");
  const KeyHandle sub = Open(reg, "S\\K\\Sub");
  reg.DeleteKey(root::LocalMachine, "S\\K");
  std::uint32_t size = 0;
  KeyHandle out = 0;
  EXPECT_EQ(reg.QueryValue(sub, "v", nullptr, nullptr, &size), kKeyDeleted);
  EXPECT_EQ(reg.OpenKey(key, "Sub", access::Read, out), kKeyDeleted);
  EXPECT_EQ(reg.ErrorText(kKeyDeleted).value_or("").substr(0, 17), "Illegal operation");
  // A key of the same name created afterwards is a different key.
  reg.SetString(root::LocalMachine, "S\\K\\Sub", "v", "new");
  EXPECT_EQ(reg.QueryValue(sub, "v", nullptr, nullptr, &size), kKeyDeleted);
  EXPECT_EQ(reg.CloseKey(key), error::Success);
  EXPECT_EQ(reg.CloseKey(sub), error::Success);
}

TEST(MemoryRegistryHandles, EveryOpenIsANewHandleUntilClosed) {
  MemoryRegistry reg;
  reg.CreateKey(root::LocalMachine, "S");
  const KeyHandle a = Open(reg, "S");
  const KeyHandle b = Open(reg, "S");
  EXPECT_NE(a, b);
  EXPECT_FALSE(IsPredefined(a));
  EXPECT_EQ(reg.OpenHandleCount(), 2u);
  EXPECT_EQ(reg.CloseKey(a), error::Success);
  EXPECT_EQ(reg.CloseKey(a), error::InvalidHandle);
  EXPECT_EQ(reg.CloseKey(root::LocalMachine), error::Success);  // ignored
  EXPECT_EQ(reg.OpenHandleCount(), 1u);
  KeyHandle out = 0;
  EXPECT_EQ(reg.OpenKey(root::LocalMachine, "", access::AllAccess, out), error::Success);
  EXPECT_EQ(out, root::LocalMachine);
  EXPECT_EQ(reg.OpenHandleCount(), 1u);
}

TEST(MemoryRegistryAccess, RestrictionRefusesRightsOutsideTheMask) {
  MemoryRegistry reg;
  reg.CreateKey(root::LocalMachine, "S\\K\\Sub");
  reg.RestrictAccess(root::LocalMachine, "S\\K", access::ReadNoNotify);
  KeyHandle out = 0;
  EXPECT_EQ(reg.OpenKey(root::LocalMachine, "S\\K", access::Read, out), error::AccessDenied);
  EXPECT_EQ(reg.OpenKey(root::LocalMachine, "S\\K", access::AllAccess, out), error::AccessDenied);
  EXPECT_EQ(out, 0u);
  Open(reg, "S\\K", access::ReadNoNotify);
  Open(reg, "S\\K", access::QueryValue);
  Open(reg, "S\\K\\Sub", access::AllAccess);  // not recursive: the subkey is open to all
  reg.RestrictAccess(root::LocalMachine, "S", 0, true);
  EXPECT_EQ(reg.OpenKey(root::LocalMachine, "S\\K\\Sub", access::QueryValue, out),
            error::AccessDenied);
}

}  // namespace
}  // namespace vormlan::registry
