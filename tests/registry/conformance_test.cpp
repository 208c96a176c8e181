// One table of accessor cases run against every registry backend: the
// in-memory registry loaded from registry-conformance.reg (in ANSI, as the
// window reads it, and in UTF-8, as the command line does), natively a hive
// written from the same keys, and, in the Windows build, the system registry
// into which the same file was imported. Backends must agree on results and
// error codes; message texts from the system may differ and are not
// compared. Text outside ASCII is expected in each backend's encoding.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Unicode.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#include "registry/unitEXRegistry.h"
#ifdef _WIN32
#include "registry/registry_win32.h"
#endif
#ifdef VORMLAN_HAVE_HIVE
#include "registry/HiveRegistry.h"
#include "tests/support/HiveFixture.h"
#include "tests/support/TestSupport.h"
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

std::unique_ptr<MemoryRegistry> LoadFixtures(TextEncoding encoding) {
  auto reg = std::make_unique<MemoryRegistry>(encoding);
  LoadRegFile(*reg, FixturePath("registry-conformance.reg"));
  LoadRegFile(*reg, FixturePath("registry-conformance-v5.reg"));
  return reg;
}

#ifdef VORMLAN_HAVE_HIVE
// The conformance keys as a hive whose root is the base key, written once.
const std::string& ConformanceHive() {
  static const test::TempDir dir;
  static const std::string file = [] {
    const auto path = dir.Path() / "conformance.hive";
    test::WriteHive(path, *LoadFixtures(TextEncoding::Utf8), root::LocalMachine, kBase.substr(1));
    return path.string();
  }();
  return file;
}
#endif

std::vector<Backend> Backends() {
  std::vector<Backend> backends{
      {"Memory", [] { return std::unique_ptr<RegistryApi>(LoadFixtures(TextEncoding::Ansi)); }},
      {"MemoryUtf8",
       [] { return std::unique_ptr<RegistryApi>(LoadFixtures(TextEncoding::Utf8)); }}};
#ifdef VORMLAN_HAVE_HIVE
  backends.push_back({"Hive", [] {
                        return std::unique_ptr<RegistryApi>(std::make_unique<HiveRegistry>(
                            ConformanceHive(), HiveMount{root::LocalMachine, kBase.substr(1)}));
                      }});
#endif
#ifdef _WIN32
  backends.push_back(
      {"Win32", [] { return std::unique_ptr<RegistryApi>(std::make_unique<Win32Registry>()); }});
#endif
  return backends;
}

// Text written in Windows-1252 in the fixtures, in the backend's encoding.
std::string Local(const RegistryApi& api, const std::string& ansi) {
  return api.Encoding() == TextEncoding::Utf8 ? unicode::FromAnsi(ansi) : ansi;
}

// Whether the export loader keeps text outside ASCII in UTF-8 registries,
// which the UTF-8 backends (their fixtures are loaded by it) need.
bool ExportsKeepUnicode() {
  static const bool keeps = [] {
    MemoryRegistry reg(TextEncoding::Utf8);
    try {
      LoadRegText(reg,
                  "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"
                  "\"V\"=\"\xD0\x96\"\r\n",
                  "probe.reg");
    } catch (const RegFileError&) {
      return false;
    }
    const auto value = reg.GetValue(root::CurrentUser, "K", "V");
    return value && value->data == std::string("\xD0\x96", 3);
  }();
  return keeps;
}

// Whether the backend's text outside ASCII can be checked.
bool UnicodeReady(const RegistryApi& api) {
  return api.Encoding() == TextEncoding::Ansi || ExportsKeepUnicode();
}

constexpr char kNoUnicodeYet[] = "the export loader does not keep Unicode text yet";

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
         if (!UnicodeReady(api)) GTEST_SKIP() << kNoUnicodeYet;
         ASSERT_TRUE(f.reg.OpenPath(kBase + "\\" + Local(api, "CL\xC9")));
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
         EXPECT_EQ(f.reg.ReadText("Expand"), "%SystemRoot%\\x.dll");
         EXPECT_EQ(f.reg.ReadText("Empty"), "");
         EXPECT_EQ(f.reg.ReadText("Missing"), "");
         if (!UnicodeReady(api)) GTEST_SKIP() << kNoUnicodeYet;
         EXPECT_EQ(f.reg.ReadText("Ansi"), Local(api, "caf\xE9 \xA9"));
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
      {"Version5TextInTheRegistryEncoding",
       [](RegistryApi& api) {
         Fixture f(api);
         ASSERT_TRUE(f.reg.OpenPathForReading(kV5));
         EXPECT_EQ(f.reg.ReadText("HexSz"), "hi");
         if (!UnicodeReady(api)) GTEST_SKIP() << kNoUnicodeYet;
         // Windows-1252 has no place for the Cyrillic and Chinese letters.
         const bool utf8 = api.Encoding() == TextEncoding::Utf8;
         EXPECT_EQ(f.reg.ReadText("Unicode"),
                   utf8 ? "\u20AC caf\u00E9 \u0416 \u4E2D" : "\x80 caf\xE9 ? ?");
         EXPECT_EQ(f.reg.ReadText("Expand"), utf8 ? "%WINDIR%\\\u20AC\u0416" : "%WINDIR%\\\x80?");
         const Strings multi =
             utf8 ? Strings{"a.dll", "\u00E9.dll", "\u0416"} : Strings{"a.dll", "\xE9.dll", "?"};
         EXPECT_EQ(MultiSz(f.reg, "Multi"), multi);
         std::uint32_t size = 0;
         EXPECT_EQ(api.QueryValue(f.reg.CurrentKey(), "Multi", nullptr, nullptr, &size),
                   error::Success);
         EXPECT_EQ(size, utf8 ? 17u : 15u);  // byte counts of the registry's encoding
         ASSERT_TRUE(f.reg.OpenPath(Local(api,
                                          "STRA\xDF"
                                          "E")));
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
