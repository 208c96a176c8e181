#include <gtest/gtest.h>

#include <optional>

#include "probes/tmpc.h"

namespace vormlan::probes {
namespace {

class FixedVersion : public VersionSource {
 public:
  explicit FixedVersion(std::optional<VersionRecord> record) : record_(record) {}
  std::optional<VersionRecord> Query() override { return record_; }

 private:
  std::optional<VersionRecord> record_;
};

std::string NameOf(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor = 0) {
  return OsNameFromVersion(VersionRecord{platformId, major, minor});
}

TEST(OsName, NamesEachPlatformFamily) {
  EXPECT_EQ(NameOf(platform::Win32s, 3, 10), "Windows 31");
  EXPECT_EQ(NameOf(platform::Windows, 4, 0), "Windows 95");
  EXPECT_EQ(NameOf(platform::NT, 4, 0), "Windows NT");
}

TEST(OsName, NinetyFiveFamilyWhateverTheVersion) {
  EXPECT_EQ(NameOf(platform::Windows, 4, 10), "Windows 95");  // 98
  EXPECT_EQ(NameOf(platform::Windows, 4, 90), "Windows 95");  // Me
  EXPECT_EQ(NameOf(platform::Windows, 5, 0), "Windows 95");   // major 5 only counts on NT
}

TEST(OsName, OnlyNtMajorFiveIsWindows2000) {
  EXPECT_EQ(NameOf(platform::NT, 5, 0), "Windows 2000");
  EXPECT_EQ(NameOf(platform::NT, 5, 1), "Windows 2000");  // XP reports 5.1
  EXPECT_EQ(NameOf(platform::NT, 3, 51), "Windows NT");
  EXPECT_EQ(NameOf(platform::NT, 6, 1), "Windows NT");
  EXPECT_EQ(NameOf(platform::NT, 10, 0), "Windows NT");
}

TEST(OsName, UnknownPlatformIsEmpty) {
  EXPECT_EQ(NameOf(3, 5), "");  // Windows CE
  EXPECT_EQ(NameOf(0xFFFFFFFFu, 5), "");
}

TEST(OsName, SourceWithoutRecordGivesEmptyNameAndNotNt) {
  FixedVersion none(std::nullopt);
  EXPECT_EQ(GetOSName(none), "");
  EXPECT_FALSE(IsNtPlatform(none));
}

TEST(OsName, SourceRecordDecidesNameAndPlatform) {
  FixedVersion nt(VersionRecord{platform::NT, 5, 0});
  EXPECT_EQ(GetOSName(nt), "Windows 2000");
  EXPECT_TRUE(IsNtPlatform(nt));
  FixedVersion nineX(VersionRecord{platform::Windows, 4, 10});
  EXPECT_FALSE(IsNtPlatform(nineX));
  FixedVersion win32s(VersionRecord{platform::Win32s, 3, 10});
  EXPECT_FALSE(IsNtPlatform(win32s));
}

#ifndef _WIN32
TEST(OsName, NonWindowsSystemHasNoFamilyName) {
  EXPECT_EQ(GetOSName(), "");
}
#endif

}  // namespace
}  // namespace vormlan::probes
