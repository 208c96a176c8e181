// The probes against Wine's own spooler, version record and per-program
// Windows versions. The printers come from tests/wine/probes-printers.reg,
// the versions from tests/wine/probes-osname.reg; other suites may add
// printers to the same prefix, so lists are checked for what they contain.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "probes/Printers.h"
#include "probes/Printers_win32.h"
#include "probes/tmpc.h"
#include "probes/tmpc_win32.h"

namespace vormlan::probes {
namespace {

using Lines = std::vector<std::string>;

const char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool AnyStartsWith(const Lines& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// --- The spooler.

TEST(WineSpooler, ListsRegistryOnlyPrintersByName) {
  const Lines names = InstalledPrinterNames();
  EXPECT_TRUE(Contains(names, "Probes Office Laser 5"));
  EXPECT_TRUE(Contains(names, "Probes Plain"));
  EXPECT_TRUE(Contains(names, "\\\\probes-srv\\laser"));
  EXPECT_FALSE(Contains(names, ",,probes-srv,laser"));
}

TEST(WineSpooler, AnswersTheTwoCallSizeProtocol) {
  Win32PrinterEnumerator spooler;
  const auto size = spooler.Enumerate(6, 4, 0);
  ASSERT_FALSE(size.ok);
  EXPECT_EQ(size.error, kErrorInsufficientBuffer);
  ASSERT_GT(size.needed, 0u);

  const auto tooSmall = spooler.Enumerate(6, 4, size.needed - 1);
  EXPECT_FALSE(tooSmall.ok);
  EXPECT_EQ(tooSmall.error, kErrorInsufficientBuffer);
  EXPECT_EQ(tooSmall.needed, size.needed);

  const auto data = spooler.Enumerate(6, 4, size.needed);
  ASSERT_TRUE(data.ok);
  EXPECT_GE(data.records.size(), 3u);
}

TEST(WineSpooler, LevelFiveGivesPortLines) {
  Win32PrinterEnumerator spooler;
  const Lines lines = ListPrinters(spooler, false);
  EXPECT_TRUE(Contains(lines, "Probes Office Laser 5 on LPT1:"));
  EXPECT_TRUE(Contains(lines, "Probes Office Laser 5 on COM1:"));
  EXPECT_FALSE(AnyStartsWith(lines, "Probes Plain"));  // no port, no line
}

TEST(WineSpooler, ListIsRememberedWhilePrintersChange) {
  const Lines first = InstalledPrinterNames();
  const std::string added = std::string(kPrintersKey) + "\\Probes Added Later";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, added.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  // Wine's spooler only fills a missing "Name" when it loads, so give one.
  const char name[] = "Probes Added Later";
  RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof(name));
  RegCloseKey(key);

  Win32PrinterEnumerator spooler;
  const bool spoolerSeesIt = Contains(ListPrinters(spooler, true), "Probes Added Later");
  const Lines second = InstalledPrinterNames();
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, added.c_str());

  EXPECT_TRUE(spoolerSeesIt);
  EXPECT_EQ(second, first);
}

// --- The version record.

TEST(WineVersion, RecordMatchesTheSystemAndNamesTheFamily) {
  Win32VersionSource source;
  const auto record = source.Query();
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->platformId, static_cast<std::uint32_t>(VER_PLATFORM_WIN32_NT));
  const DWORD version = GetVersion();
  EXPECT_EQ(record->majorVersion, LOBYTE(LOWORD(version)));
  EXPECT_EQ(record->minorVersion, HIBYTE(LOWORD(version)));
  EXPECT_EQ(GetOSName(), OsNameFromVersion(*record));
  EXPECT_TRUE(IsNtPlatform(SystemVersionSource()));
}

// Runs a copy of the report helper beside this test and returns its lines.
Lines RunHelper(const std::string& exeName) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  dir.resize(dir.find_last_of("\\/") + 1);
  const std::string command = "\"\"" + dir + exeName + "\"\"";
  Lines lines;
  FILE* pipe = _popen(command.c_str(), "r");
  if (pipe == nullptr) return lines;
  char buffer[1024];
  while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    lines.push_back(line);
  }
  _pclose(pipe);
  return lines;
}

struct VersionCase {
  const char* wineVersion;
  const char* osName;
};

class WineAppVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(WineAppVersion, ReportsTheFamilyOfThatVersion) {
  const auto lines = RunHelper(std::string("probes_os_") + GetParam().wineVersion + ".exe");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), std::string("os=") + GetParam().osName);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, WineAppVersion,
    ::testing::Values(VersionCase{"win31", "Windows 31"}, VersionCase{"win95", "Windows 95"},
                      VersionCase{"win98", "Windows 95"}, VersionCase{"nt40", "Windows NT"},
                      VersionCase{"win2k", "Windows 2000"}, VersionCase{"winxp", "Windows 2000"},
                      VersionCase{"win7", "Windows NT"}, VersionCase{"win10", "Windows NT"}),
    [](const auto& p) { return std::string(p.param.wineVersion); });

TEST(WineAppVersion, NineXFamilyListsPrintersWithTheirPorts) {
  const auto lines = RunHelper("probes_os_win98.exe");
  EXPECT_TRUE(Contains(lines, "printer=Probes Office Laser 5 on LPT1:"));
  EXPECT_TRUE(Contains(lines, "printer=Probes Office Laser 5 on COM1:"));
  EXPECT_FALSE(Contains(lines, "printer=Probes Office Laser 5"));
}

TEST(WineAppVersion, NtFamilyListsPrinterNames) {
  const auto lines = RunHelper("probes_os_win2k.exe");
  EXPECT_TRUE(Contains(lines, "printer=Probes Office Laser 5"));
  EXPECT_TRUE(Contains(lines, "printer=\\\\probes-srv\\laser"));
}

}  // namespace
}  // namespace vormlan::probes
