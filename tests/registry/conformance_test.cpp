// One table of accessor cases run against every registry backend: the
// in-memory registry loaded from registry-conformance.reg and, in the Windows
// build, the system registry into which the same file was imported. Backends
// must agree on results and error codes; message texts from the system may
// differ and are not compared.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#include "registry/unitEXRegistry.h"
#ifdef _WIN32
#include "registry/registry_win32.h"
#endif

namespace vormlan::registry {
namespace {

using Strings = std::vector<std::string>;

const std::string kBase = "\\Software\\VormlanConformance";
const std::string kStrings = kBase + "\\Strings";
const std::string kV5 = kBase + "\\V5";

// The fixtures live beside the Wine prefix setup, which imports them.
std::string FixturePath(const std::string& file) {
  std::string path = std::string(VORMLAN_CONFORMANCE_DIR) + "/" + file;
#ifdef _WIN32
  if (!path.empty() && path.front() == '/') path = "Z:" + path;
#endif
  return path;
}

struct Backend {
  const char* name;
  std::function<std::unique_ptr<RegistryApi>()> make;
};

std::vector<Backend> Backends() {
  std::vector<Backend> backends{{"Memory", [] {
                                   auto reg = std::make_unique<MemoryRegistry>();
                                   LoadRegFile(*reg, FixturePath("registry-conformance.reg"));
                                   LoadRegFile(*reg, FixturePath("registry-conformance-v5.reg"));
                                   return std::unique_ptr<RegistryApi>(std::move(reg));
                                 }}};
#ifdef _WIN32
  backends.push_back(
      {"Win32", [] { return std::unique_ptr<RegistryApi>(std::make_unique<Win32Registry>()); }});
#endif
  return backends;
}

// An accessor below HKEY_LOCAL_MACHINE, as the program uses it.
struct Fixture {
  explicit Fixture(RegistryApi& api) : reg(api) { reg.SetRoot(root::LocalMachine); }
  TExRegistry reg;
};

// The error code of a multi-string read that must fail with a system code.
long MultiSzErrorCode(TExRegistry& reg, const std::string& name) {
  Strings list{"stale"};
  try {
    reg.ReadMultiSz(name, list);
  } catch (const EExRegistryException& e) {
    EXPECT_TRUE(list.empty());
    const std::string message = e.what();
    EXPECT_EQ(message.substr(0, 6), "Error ");
    EXPECT_TRUE(message.ends_with(":Unable read MULTI_SZ value")) << message;
    return e.ErrorCode();
  }
  ADD_FAILURE() << "no EExRegistryException for " << name;
  return 0;
}

Strings MultiSz(TExRegistry& reg, const std::string& name) {
  Strings list{"stale"};
  reg.ReadMultiSz(name, list);
  return list;
}

std::uint32_t ValueSize(RegistryApi& api, KeyHandle key, const std::string& name) {
  std::uint32_t size = 0;
  EXPECT_EQ(api.QueryValue(key, name, nullptr, nullptr, &size), error::Success) << name;
  return size;
}

struct Case {
  const char* name;
  std::function<void(RegistryApi&)> run;
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"AbsoluteOpenSetsPathWithoutLeadingSlash",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kBase));
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance");
         EXPECT_EQ(f.reg.ReadText("Text"), "plain");
         EXPECT_EQ(f.reg.ReadText(""), "default text");
       }},
      {"MissingKeyLeavesCurrentKeyInPlace",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kStrings));
         EXPECT_FALSE(f.reg.OpenPath(kBase + "\\NoSuchKey"));
         EXPECT_FALSE(f.reg.OpenPath("NoSuchKey"));
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance\\Strings");
         EXPECT_EQ(f.reg.ReadText("Plain"), "a.dll");
       }},
      {"RelativeOpenAppendsToCurrentPath",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kBase));
         ASSERT_TRUE(f.reg.OpenPath("Deep\\Level1"));
         ASSERT_TRUE(f.reg.OpenPath("Level2"));
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance\\Deep\\Level1\\Level2");
         EXPECT_EQ(f.reg.ReadText("Leaf"), "leaf");
       }},
      {"RelativeOpenWithoutKeyStartsAtRoot",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath("Software\\VormlanConformance\\Strings"));
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance\\Strings");
         EXPECT_EQ(f.reg.ReadText("Plain"), "a.dll");
       }},
      {"TrailingAndDoubledBackslashesAreAccepted",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kBase + "\\Drivers\\Version-2\\"));
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance\\Drivers\\Version-2\\");
         EXPECT_TRUE(f.reg.PathExists("Laser Driver"));
         ASSERT_TRUE(f.reg.OpenPath("\\Software\\\\VormlanConformance\\\\Strings"));
         EXPECT_EQ(f.reg.ReadText("Plain"), "a.dll");
       }},
      {"SecondLeadingBackslashIsRefused",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kBase));
         EXPECT_FALSE(f.reg.OpenPath("\\" + kStrings));
         EXPECT_FALSE(f.reg.PathExists("\\" + kStrings));
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance");
         KeyHandle out = 0;
         EXPECT_EQ(api.OpenKey(root::LocalMachine, "\\Software", access::Read, out),
                   error::BadPathname);
       }},
      {"EmptyPathBelowOpenKeyIsANewHandleToIt",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kStrings));
         const KeyHandle before = f.reg.CurrentKey();
         ASSERT_TRUE(f.reg.OpenPath(""));
         EXPECT_NE(f.reg.CurrentKey(), before);
         EXPECT_FALSE(IsPredefined(f.reg.CurrentKey()));
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance\\Strings\\");
         EXPECT_EQ(f.reg.ReadText("Plain"), "a.dll");
       }},
      {"EmptyPathWithoutKeyIsTheRootItself",
       [](RegistryApi& api) {
         Fixture f(api);
         EXPECT_TRUE(f.reg.PathExists(""));
         ASSERT_TRUE(f.reg.OpenPath(""));
         EXPECT_EQ(f.reg.CurrentKey(), root::LocalMachine);
         EXPECT_EQ(f.reg.CurrentPath(), "");
         f.reg.CloseCurrent();  // must leave the root usable
         EXPECT_FALSE(f.reg.HasCurrentKey());
         ASSERT_TRUE(f.reg.OpenPath(kStrings));
         EXPECT_EQ(f.reg.ReadText("Plain"), "a.dll");
       }},
      {"PathExistsLeavesCurrentKeyAndMask",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kBase + "\\Drivers\\Version-2"));
         const KeyHandle current = f.reg.CurrentKey();
         EXPECT_TRUE(f.reg.PathExists("Laser Driver"));
         EXPECT_TRUE(f.reg.PathExists(""));
         EXPECT_FALSE(f.reg.PathExists("Other Driver"));
         EXPECT_TRUE(f.reg.PathExists(kBase + "\\Deep"));
         EXPECT_FALSE(f.reg.PathExists("Deep"));
         EXPECT_EQ(f.reg.CurrentKey(), current);
         EXPECT_EQ(f.reg.Access(), access::AllAccess);
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance\\Drivers\\Version-2");
       }},
      {"KeyNamesCompareWithoutCase",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath("\\SOFTWARE\\vormlanconformance\\STRINGS"));
         EXPECT_EQ(f.reg.ReadText("PLAIN"), "a.dll");
         ASSERT_TRUE(f.reg.OpenPath(kBase + "\\CL\xC9"));
         EXPECT_EQ(f.reg.ReadText("Name"), "accented");
       }},
      {"OpenForReadingKeepsReadMask",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPathForReading(kStrings));
         EXPECT_EQ(f.reg.Access(), access::Read);
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance\\Strings");
         EXPECT_FALSE(f.reg.OpenPathForReading(kBase + "\\NoSuchKey"));
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance\\Strings");
       }},
      {"ReadTextOfStringValues",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kStrings));
         EXPECT_EQ(f.reg.ReadText("Escaped"), "say \"hi\" \\ there");
         EXPECT_EQ(f.reg.ReadText("Ansi"), "caf\xE9 \xA9");
         EXPECT_EQ(f.reg.ReadText("Expand"), "%SystemRoot%\\x.dll");
         EXPECT_EQ(f.reg.ReadText("Empty"), "");
         EXPECT_EQ(f.reg.ReadText("Missing"), "");
       }},
      {"ReadTextOfOtherTypes",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kStrings));
         EXPECT_EQ(f.reg.ReadText("EmptyBinary"), "");  // size 0: empty whatever the type
         try {
           f.reg.ReadText("Driver");
           ADD_FAILURE() << "dword read as text";
         } catch (const ERegistryException& e) {
           EXPECT_STREQ(e.what(), "Invalid data type for 'Driver'");
         }
         EXPECT_THROW(f.reg.ReadText("Binary"), ERegistryException);
         EXPECT_THROW(f.reg.ReadText("Multi"), ERegistryException);
       }},
      {"ReadTextWithoutKeyIsEmpty",
       [](RegistryApi& api) {
         Fixture f(api);
         EXPECT_EQ(f.reg.ReadText("Text"), "");
         ASSERT_TRUE(f.reg.OpenPath(kBase));
         f.reg.CloseCurrent();
         EXPECT_EQ(f.reg.CurrentPath(), "");
         EXPECT_EQ(f.reg.ReadText("Text"), "");
       }},
      {"ReadMultiSzLists",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPathForReading(kStrings));
         EXPECT_EQ(MultiSz(f.reg, "Multi"), (Strings{"a.dll", "b.dll"}));
         EXPECT_EQ(MultiSz(f.reg, "MultiLong"), (Strings{"one.dll", "two.dll", "three.dll"}));
         EXPECT_EQ(MultiSz(f.reg, "MultiEmpty"), Strings{});
         EXPECT_EQ(MultiSz(f.reg, "MultiGap"), Strings{"a"});
       }},
      {"ReadMultiSzErrors",
       [](RegistryApi& api) {
         Fixture f(api);
         EXPECT_EQ(MultiSzErrorCode(f.reg, "Multi"), error::InvalidHandle);
         ASSERT_TRUE(f.reg.OpenPathForReading(kStrings));
         EXPECT_EQ(MultiSzErrorCode(f.reg, "Missing"), error::FileNotFound);
         Strings list{"stale"};
         try {
           f.reg.ReadMultiSz("Plain", list);
           ADD_FAILURE() << "string read as list";
         } catch (const EExRegistryException&) {
           ADD_FAILURE() << "wrong exception class";
         } catch (const ERegistryException& e) {
           EXPECT_STREQ(e.what(), "String list expected");
         }
         EXPECT_TRUE(list.empty());
       }},
      {"RootChangeClosesCurrentKey",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPath(kBase));
         f.reg.SetRoot(root::LocalMachine);
         EXPECT_EQ(f.reg.CurrentPath(), "Software\\VormlanConformance");
         f.reg.SetRoot(root::CurrentUser);
         EXPECT_FALSE(f.reg.HasCurrentKey());
         EXPECT_EQ(f.reg.CurrentPath(), "");
         EXPECT_FALSE(f.reg.OpenPath(kBase));
       }},
      {"SizesAreAnsiByteCounts",
       [](RegistryApi& api) {
         KeyHandle key = 0;
         ASSERT_EQ(api.OpenKey(root::LocalMachine, kStrings.substr(1), access::Read, key),
                   error::Success);
         RegKey owned(api, key);
         EXPECT_EQ(ValueSize(api, key, "Plain"), 6u);
         EXPECT_EQ(ValueSize(api, key, "Empty"), 1u);
         EXPECT_EQ(ValueSize(api, key, "Multi"), 13u);
         EXPECT_EQ(ValueSize(api, key, "MultiEmpty"), 1u);
         EXPECT_EQ(ValueSize(api, key, "Driver"), 4u);
         EXPECT_EQ(ValueSize(api, key, "EmptyBinary"), 0u);
         std::uint32_t type = 0;
         std::uint8_t small[3] = {};
         std::uint32_t size = sizeof small;
         EXPECT_EQ(api.QueryValue(key, "Plain", &type, small, &size), error::MoreData);
         EXPECT_EQ(size, 6u);
         EXPECT_EQ(type, value_type::Sz);
         EXPECT_EQ(api.QueryValue(key, "Expand", &type, nullptr, &size), error::Success);
         EXPECT_EQ(type, value_type::ExpandSz);
       }},
      {"HandleErrors",
       [](RegistryApi& api) {
         std::uint32_t size = 0;
         EXPECT_EQ(api.QueryValue(0, "Plain", nullptr, nullptr, &size), error::InvalidHandle);
         KeyHandle key = 0;
         EXPECT_EQ(api.OpenKey(root::LocalMachine, "Software\\VormlanConformance\\NoSuchKey",
                               access::Read, key),
                   error::FileNotFound);
         EXPECT_EQ(key, 0u);
         ASSERT_EQ(api.OpenKey(root::LocalMachine, kStrings.substr(1), access::Read, key),
                   error::Success);
         EXPECT_EQ(api.QueryValue(key, "Missing", nullptr, nullptr, &size), error::FileNotFound);
         EXPECT_EQ(api.QueryValue(key, "", nullptr, nullptr, &size), error::FileNotFound);
         EXPECT_EQ(api.CloseKey(key), error::Success);
         EXPECT_EQ(api.QueryValue(key, "Plain", nullptr, nullptr, &size), error::InvalidHandle);
       }},
      {"Version5TextIsConvertedToAnsi",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPathForReading(kV5));
         EXPECT_EQ(f.reg.ReadText("Unicode"), "\x80 caf\xE9 ? ?");
         EXPECT_EQ(f.reg.ReadText("HexSz"), "hi");
         EXPECT_EQ(f.reg.ReadText("Expand"), "%WINDIR%\\\x80?");
         EXPECT_EQ(MultiSz(f.reg, "Multi"), (Strings{"a.dll", "\xE9.dll", "?"}));
         std::uint32_t size = 0;
         EXPECT_EQ(api.QueryValue(f.reg.CurrentKey(), "Multi", nullptr, nullptr, &size),
                   error::Success);
         EXPECT_EQ(size, 15u);
         ASSERT_TRUE(
             f.reg.OpenPath("STRA\xDF"
                            "E"));
         EXPECT_EQ(f.reg.ReadText("Name"), "street");
       }},
      {"Version5DeletionsTookEffect",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPathForReading(kV5));
         EXPECT_EQ(f.reg.ReadText("Gone"), "");
         std::uint32_t size = 0;
         EXPECT_EQ(api.QueryValue(f.reg.CurrentKey(), "Gone", nullptr, nullptr, &size),
                   error::FileNotFound);
         EXPECT_FALSE(f.reg.PathExists("Doomed"));
         EXPECT_FALSE(f.reg.PathExists("Doomed\\Child"));
       }},
      {"DataWithoutSizeIsAParameterError",
       [](RegistryApi& api) {
         KeyHandle key = 0;
         ASSERT_EQ(api.OpenKey(root::LocalMachine, kStrings.substr(1), access::Read, key),
                   error::Success);
         RegKey owned(api, key);
         std::uint8_t buffer[64] = {};
         EXPECT_EQ(api.QueryValue(key, "Plain", nullptr, buffer, nullptr), error::InvalidParameter);
         EXPECT_EQ(api.QueryValue(key, "Missing", nullptr, buffer, nullptr),
                   error::InvalidParameter);
         EXPECT_EQ(api.QueryValue(0, "Plain", nullptr, buffer, nullptr), error::InvalidParameter);
       }},
      {"QueryNeedsTheQueryValueRight",
       [](RegistryApi& api) {
         KeyHandle key = 0;
         ASSERT_EQ(
             api.OpenKey(root::LocalMachine, kStrings.substr(1), access::EnumerateSubKeys, key),
             error::Success);
         RegKey owned(api, key);
         std::uint32_t size = 0;
         EXPECT_EQ(api.QueryValue(key, "Plain", nullptr, nullptr, &size), error::AccessDenied);
         KeyHandle sub = 0;  // opening below it needs no right on it
         ASSERT_EQ(api.OpenKey(key, "", access::QueryValue, sub), error::Success);
         RegKey ownedSub(api, sub);
         EXPECT_EQ(api.QueryValue(sub, "Plain", nullptr, nullptr, &size), error::Success);
         EXPECT_EQ(size, 6u);
       }},
  };
  return cases;
}

class Conformance : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t>> {};

TEST_P(Conformance, Case) {
  const Backend backend = Backends()[std::get<0>(GetParam())];
  const Case& c = Cases()[std::get<1>(GetParam())];
  std::unique_ptr<RegistryApi> api = backend.make();
  c.run(*api);
}

INSTANTIATE_TEST_SUITE_P(Registry, Conformance,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Backends().size()),
                                            ::testing::Range<std::size_t>(0, Cases().size())),
                         [](const ::testing::TestParamInfo<Conformance::ParamType>& param) {
                           return std::string(Backends()[std::get<0>(param.param)].name) + "_" +
                                  Cases()[std::get<1>(param.param)].name;
                         });

}  // namespace
}  // namespace vormlan::registry
