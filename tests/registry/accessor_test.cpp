#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"
#include "registry/unitEXRegistry.h"

namespace vormlan::registry {
namespace {

using Strings = std::vector<std::string>;

TEST(AccessorSmoke, ReadsAStringFromAnOpenedKey) {
  MemoryRegistry reg;
  reg.SetString(root::LocalMachine, "SOFTWARE\\Test", "Name", "value");
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  ASSERT_TRUE(a.OpenPath("\\SOFTWARE\\Test"));
  EXPECT_EQ(a.ReadText("Name"), "value");
  EXPECT_EQ(a.CurrentPath(), "SOFTWARE\\Test");
}

// The in-memory registry with hooks that make value reads misbehave the way
// a changing or failing registry can, and a log of the queries made.
class ScriptedRegistry : public MemoryRegistry {
 public:
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override {
    log.push_back((data == nullptr ? "size:" : "data:") + name);
    if (data != nullptr && dataFailure) return *dataFailure;
    const long rc = MemoryRegistry::QueryValue(key, name, type, data, size);
    if (rc == error::Success && data == nullptr && size != nullptr && sizeOverride) {
      *size = *sizeOverride;
    }
    return rc;
  }
  std::optional<std::string> ErrorText(long code) override {
    if (noTexts) return std::nullopt;
    return MemoryRegistry::ErrorText(code);
  }

  std::optional<long> dataFailure;            // every data read fails with this code
  std::optional<std::uint32_t> sizeOverride;  // size queries report this size
  bool noTexts = false;                       // the system has no message texts
  Strings log;
};

class AccessorTest : public ::testing::Test {
 protected:
  AccessorTest() {
    reg.SetString(root::LocalMachine, "Soft\\A", "Name", "alpha");
    reg.SetString(root::LocalMachine, "Soft\\A\\B", "Name", "beta");
    reg.CreateKey(root::LocalMachine, "Soft\\C");
    reg.SetString(root::CurrentUser, "Soft\\A", "Name", "user alpha");
  }
  ScriptedRegistry reg;
};

// --- Creation, root and path rule ---

TEST_F(AccessorTest, StartsBelowCurrentUserWithFullAccessAndNoKey) {
  TRegistry a(reg);
  EXPECT_EQ(a.Root(), root::CurrentUser);
  EXPECT_EQ(a.Access(), access::AllAccess);
  EXPECT_FALSE(a.HasCurrentKey());
  EXPECT_EQ(a.CurrentPath(), "");
  ASSERT_TRUE(a.OpenPath("\\Soft\\A"));
  EXPECT_EQ(a.ReadText("Name"), "user alpha");
}

TEST_F(AccessorTest, SetRootClosesCurrentKeyOnlyWhenRootChanges) {
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  ASSERT_TRUE(a.OpenPath("\\Soft\\A"));
  a.SetRoot(root::LocalMachine);
  EXPECT_TRUE(a.HasCurrentKey());
  EXPECT_EQ(a.CurrentPath(), "Soft\\A");
  a.SetRoot(root::CurrentUser);
  EXPECT_FALSE(a.HasCurrentKey());
  EXPECT_EQ(a.CurrentPath(), "");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(AccessorTest, OpenPathComposesCurrentPath) {
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  ASSERT_TRUE(a.OpenPath("Soft"));  // relative with no key open: below the root
  EXPECT_EQ(a.CurrentPath(), "Soft");
  ASSERT_TRUE(a.OpenPath("A"));
  EXPECT_EQ(a.CurrentPath(), "Soft\\A");
  ASSERT_TRUE(a.OpenPath("B"));
  EXPECT_EQ(a.CurrentPath(), "Soft\\A\\B");
  EXPECT_EQ(a.ReadText("Name"), "beta");
  ASSERT_TRUE(a.OpenPath("\\Soft\\C"));  // absolute: replaces the path
  EXPECT_EQ(a.CurrentPath(), "Soft\\C");
  ASSERT_TRUE(a.OpenPath("\\Soft\\A\\"));  // only the one leading "\" goes
  EXPECT_EQ(a.CurrentPath(), "Soft\\A\\");
  ASSERT_TRUE(a.OpenPath(""));
  EXPECT_EQ(a.CurrentPath(), "Soft\\A\\\\");
  EXPECT_EQ(a.ReadText("Name"), "alpha");
  EXPECT_EQ(reg.OpenHandleCount(), 1u);  // each open closed the previous key
}

TEST_F(AccessorTest, FailedOpenChangesNothing) {
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  ASSERT_TRUE(a.OpenPath("\\Soft\\A"));
  const KeyHandle current = a.CurrentKey();
  EXPECT_FALSE(a.OpenPath("Missing"));
  EXPECT_FALSE(a.OpenPath("\\Soft\\Missing"));
  EXPECT_FALSE(a.OpenPath("\\\\Soft"));  // a second leading "\" is refused
  EXPECT_EQ(a.CurrentKey(), current);
  EXPECT_EQ(a.CurrentPath(), "Soft\\A");
  EXPECT_EQ(a.ReadText("Name"), "alpha");
  EXPECT_EQ(reg.OpenHandleCount(), 1u);
}

TEST_F(AccessorTest, OpenPathNeverCreatesKeys) {
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  EXPECT_FALSE(a.OpenPath("\\Soft\\New"));
  EXPECT_FALSE(reg.KeyExists(root::LocalMachine, "Soft\\New"));
}

TEST_F(AccessorTest, OpenPathUsesTheAccessMask) {
  reg.RestrictAccess(root::LocalMachine, "Soft\\A", access::Read);
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  EXPECT_FALSE(a.OpenPath("\\Soft\\A"));  // full access refused
  a.SetAccess(access::Read);
  EXPECT_TRUE(a.OpenPath("\\Soft\\A"));
}

// --- OpenPathForReading ---

struct MaskCase {
  std::uint32_t allowed;
  bool opens;
  std::uint32_t mask;  // the access mask afterwards
};

class ReadingMaskTest : public AccessorTest, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(ReadingMaskTest, KeepsTheFirstMaskThatOpens) {
  const MaskCase c = GetParam();
  reg.RestrictAccess(root::LocalMachine, "Soft\\A", c.allowed);
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  ASSERT_TRUE(a.OpenPath("\\Soft\\C"));
  EXPECT_EQ(a.OpenPathForReading("\\Soft\\A"), c.opens);
  EXPECT_EQ(a.Access(), c.mask);
  EXPECT_EQ(a.CurrentPath(), c.opens ? "Soft\\A" : "Soft\\C");
  if (c.opens) {
    EXPECT_EQ(a.ReadText("Name"), "alpha");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Masks, ReadingMaskTest,
    ::testing::Values(MaskCase{access::AllAccess, true, access::Read},
                      MaskCase{access::Read, true, access::Read},
                      MaskCase{access::ReadNoNotify, true, access::ReadNoNotify},
                      MaskCase{access::QueryValue, true, access::QueryValue},
                      MaskCase{access::EnumerateSubKeys, false, access::AllAccess},
                      MaskCase{0, false, access::AllAccess}));

TEST_F(AccessorTest, ReadingMaskStaysForLaterOpens) {
  reg.RestrictAccess(root::LocalMachine, "Soft\\A", access::QueryValue);
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  ASSERT_TRUE(a.OpenPathForReading("\\Soft\\A"));
  ASSERT_TRUE(a.OpenPath("\\Soft\\C"));  // now with KEY_QUERY_VALUE only
  EXPECT_EQ(a.Access(), access::QueryValue);
}

// --- PathExists ---

TEST_F(AccessorTest, PathExistsUsesReadWithoutNotify) {
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  reg.RestrictAccess(root::LocalMachine, "Soft\\A", access::ReadNoNotify);
  EXPECT_TRUE(a.PathExists("\\Soft\\A"));
  EXPECT_EQ(reg.OpenHandleCount(), 0u);  // the probe key was closed again
  reg.RestrictAccess(root::LocalMachine, "Soft\\A", access::QueryValue);
  EXPECT_FALSE(a.PathExists("\\Soft\\A"));
  // The empty name is the current key: false when that key refuses the mask.
  ASSERT_TRUE(a.OpenPathForReading("\\Soft\\A"));
  EXPECT_FALSE(a.PathExists(""));
}

// --- ReadText ---

class ReadTextTest : public AccessorTest {
 protected:
  ReadTextTest() : a(reg) {
    a.SetRoot(root::LocalMachine);
    reg.SetValue(root::LocalMachine, "Soft\\V", "NoNul", value_type::Sz, "abc");
    reg.SetValue(root::LocalMachine, "Soft\\V", "Inner", value_type::Sz,
                 std::string("ab\0cd\0", 6));
    reg.SetValue(root::LocalMachine, "Soft\\V", "Expand", value_type::ExpandSz,
                 std::string("%WINDIR%\\x\0", 11));
    reg.SetValue(root::LocalMachine, "Soft\\V", "EmptyDword", value_type::Dword, "");
    reg.SetValue(root::LocalMachine, "Soft\\V", "EmptySz", value_type::Sz, "");
    reg.SetDword(root::LocalMachine, "Soft\\V", "Driver", 3);
    reg.SetMultiString(root::LocalMachine, "Soft\\V", "Multi", {"a"});
    reg.SetValue(root::LocalMachine, "Soft\\V", "Bin", value_type::Binary, "xy");
    reg.SetString(root::LocalMachine, "Soft\\V", "", "default");
    EXPECT_TRUE(a.OpenPath("\\Soft\\V"));
  }
  TRegistry a;
};

TEST_F(ReadTextTest, ReturnsTheTextUpToTheFirstNul) {
  EXPECT_EQ(a.ReadText("NoNul"), "abc");
  EXPECT_EQ(a.ReadText("Inner"), "ab");
  EXPECT_EQ(a.ReadText("Expand"), "%WINDIR%\\x");  // never expanded
  EXPECT_EQ(a.ReadText(""), "default");
  EXPECT_EQ(a.ReadText("name"), "");  // missing ("Name" lives elsewhere)
}

TEST_F(ReadTextTest, SizeZeroOrMissingIsEmptyWhateverTheType) {
  EXPECT_EQ(a.ReadText("EmptyDword"), "");
  EXPECT_EQ(a.ReadText("EmptySz"), "");
  EXPECT_EQ(a.ReadText("Missing"), "");
  a.CloseCurrent();
  EXPECT_EQ(a.ReadText("Driver"), "");  // no key open: the size query fails
}

TEST_F(ReadTextTest, AsksTheSizeBeforeReadingData) {
  reg.log.clear();
  a.ReadText("NoNul");
  a.ReadText("Missing");
  EXPECT_EQ(reg.log, (Strings{"size:NoNul", "data:NoNul", "size:Missing"}));
}

TEST_F(ReadTextTest, FailedDataReadIsReportedByName) {
  reg.dataFailure = error::AccessDenied;
  try {
    a.ReadText("NoNul");
    FAIL() << "no exception";
  } catch (const EExRegistryException&) {
    FAIL() << "plain accessor error expected";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to get data for 'NoNul'");
  }
  // The read fails before the type is looked at.
  EXPECT_THROW(
      {
        try {
          a.ReadText("Driver");
        } catch (const ERegistryException& e) {
          EXPECT_STREQ(e.what(), "Failed to get data for 'Driver'");
          throw;
        }
      },
      ERegistryException);
}

TEST_F(ReadTextTest, ValueGrownSinceTheSizeQueryFailsTheRead) {
  reg.sizeOverride = 2;  // the data no longer fits the buffer sized from the query
  EXPECT_THROW(a.ReadText("NoNul"), ERegistryException);
}

TEST_F(ReadTextTest, ValueShrunkSinceTheSizeQueryKeepsOnlyTheDataRead) {
  reg.sizeOverride = 64;
  EXPECT_EQ(a.ReadText("NoNul"), "abc");
  EXPECT_EQ(a.ReadText("Inner"), "ab");
}

// --- ReadMultiSz ---

class MultiSzTest : public AccessorTest {
 protected:
  MultiSzTest() : x(reg) {
    x.SetRoot(root::LocalMachine);
    reg.SetMultiString(root::LocalMachine, "Soft\\M", "Two", {"a.dll", "b.dll"});
    reg.SetMultiString(root::LocalMachine, "Soft\\M", "Dups", {"a.dll", "a.dll"});
    reg.SetValue(root::LocalMachine, "Soft\\M", "Empty", value_type::MultiSz, "");
    reg.SetValue(root::LocalMachine, "Soft\\M", "OnlyNul", value_type::MultiSz,
                 std::string(1, '\0'));
    reg.SetValue(root::LocalMachine, "Soft\\M", "Gap", value_type::MultiSz,
                 std::string("a\0\0b\0\0", 6));
    reg.SetValue(root::LocalMachine, "Soft\\M", "Unterminated", value_type::MultiSz,
                 std::string("a\0bc", 4));
    reg.SetValue(root::LocalMachine, "Soft\\M", "SingleNul", value_type::MultiSz,
                 std::string("a\0b\0", 4));
    reg.SetString(root::LocalMachine, "Soft\\M", "Sz", "a.dll");
    reg.SetValue(root::LocalMachine, "Soft\\M", "Expand", value_type::ExpandSz,
                 std::string("a\0", 2));
    EXPECT_TRUE(x.OpenPathForReading("\\Soft\\M"));
  }
  Strings Read(const std::string& name) {
    Strings list{"stale"};
    x.ReadMultiSz(name, list);
    return list;
  }
  // The exception a failing read raises; the list must have been cleared.
  template <typename E>
  E Failure(const std::string& name) {
    Strings list{"stale"};
    try {
      x.ReadMultiSz(name, list);
    } catch (const E& e) {
      EXPECT_TRUE(list.empty());
      return e;
    }
    throw std::logic_error("ReadMultiSz did not fail for " + name);
  }
  TExRegistry x;
};

TEST_F(MultiSzTest, WalksUntilTheFirstEmptyStringOrTheEndOfData) {
  EXPECT_EQ(Read("Dups"), (Strings{"a.dll", "a.dll"}));  // stored order, duplicates kept
  EXPECT_EQ(Read("Empty"), Strings{});
  EXPECT_EQ(Read("OnlyNul"), Strings{});
  EXPECT_EQ(Read("Gap"), Strings{"a"});
  EXPECT_EQ(Read("SingleNul"), (Strings{"a", "b"}));
  EXPECT_EQ(Read("Unterminated"), (Strings{"a", "bc"}));  // never past the data
}

TEST_F(MultiSzTest, MissingValueReportsCodeTwoWithSystemText) {
  const auto e = Failure<EExRegistryException>("Missing");
  EXPECT_EQ(e.ErrorCode(), 2);
  EXPECT_STREQ(e.what(),
               "Error 2 : The system cannot find the file specified.\r\n:Unable read MULTI_SZ "
               "value");
}

TEST_F(MultiSzTest, NoOpenKeyReportsInvalidHandle) {
  x.CloseCurrent();
  const auto e = Failure<EExRegistryException>("Two");
  EXPECT_EQ(e.ErrorCode(), 6);
  EXPECT_STREQ(e.what(), "Error 6 : The handle is invalid.\r\n:Unable read MULTI_SZ value");
}

TEST_F(MultiSzTest, OtherTypesAreNotAList) {
  for (const char* name : {"Sz", "Expand"}) {
    Strings list{"stale"};
    try {
      x.ReadMultiSz(name, list);
      ADD_FAILURE() << name;
    } catch (const EExRegistryException&) {
      ADD_FAILURE() << "plain accessor error expected for " << name;
    } catch (const ERegistryException& e) {
      EXPECT_STREQ(e.what(), "String list expected");
    }
    EXPECT_TRUE(list.empty());
  }
}

TEST_F(MultiSzTest, FailedDataReadIsReportedWithItsCode) {
  reg.dataFailure = error::AccessDenied;
  const auto e = Failure<EExRegistryException>("Two");
  EXPECT_EQ(e.ErrorCode(), 5);
  EXPECT_STREQ(e.what(), "Error 5 : Access is denied.\r\n:Unable read MULTI_SZ value");
}

TEST_F(MultiSzTest, ValueGrownSinceTheSizeQueryIsAnError) {
  reg.sizeOverride = 3;
  EXPECT_EQ(Failure<EExRegistryException>("Two").ErrorCode(), error::MoreData);
}

TEST_F(MultiSzTest, ValueShrunkSinceTheSizeQueryReadsOnlyTheData) {
  reg.sizeOverride = 100;
  EXPECT_EQ(Read("Two"), (Strings{"a.dll", "b.dll"}));
  EXPECT_EQ(Read("Unterminated"), (Strings{"a", "bc"}));
}

// --- Exception texts ---

TEST(ExRegistryExceptionTest, MessageWithAndWithoutSystemText) {
  ScriptedRegistry reg;
  const EExRegistryException withText(reg, "Unable read MULTI_SZ value", 5);
  EXPECT_STREQ(withText.what(), "Error 5 : Access is denied.\r\n:Unable read MULTI_SZ value");
  EXPECT_EQ(withText.ErrorCode(), 5);

  const EExRegistryException unknown(reg, "text", 4321);  // no text for this code
  EXPECT_STREQ(unknown.what(), "Error 4321:text");
  EXPECT_EQ(unknown.ErrorCode(), 4321);

  reg.noTexts = true;
  const EExRegistryException noText(reg, "Unable read MULTI_SZ value", 2);
  EXPECT_STREQ(noText.what(), "Error 2:Unable read MULTI_SZ value");
  EXPECT_EQ(noText.ErrorCode(), 2);
  const ERegistryException& base = noText;  // a kind of the accessor's error
  EXPECT_STREQ(base.what(), "Error 2:Unable read MULTI_SZ value");
}

// --- Closing ---

TEST_F(AccessorTest, CloseCurrentAndDestructionReleaseTheKey) {
  {
    TExRegistry a(reg);
    a.SetRoot(root::LocalMachine);
    ASSERT_TRUE(a.OpenPath("\\Soft\\A"));
    EXPECT_EQ(reg.OpenHandleCount(), 1u);
    a.CloseCurrent();
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    EXPECT_EQ(a.CurrentPath(), "");
    a.CloseCurrent();  // closing twice is harmless
    ASSERT_TRUE(a.OpenPath("\\Soft\\A"));
  }
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(AccessorTest, RootOpenedAsCurrentKeyIsNeverClosed) {
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  ASSERT_TRUE(a.OpenPath(""));
  EXPECT_EQ(a.CurrentKey(), root::LocalMachine);
  EXPECT_EQ(a.ReadText("Nothing"), "");
  a.CloseCurrent();
  ASSERT_TRUE(a.OpenPath("Soft\\A"));  // the root still answers
  EXPECT_EQ(a.ReadText("Name"), "alpha");
}

}  // namespace
}  // namespace vormlan::registry
