// Packages for the driver store: the composed INF kept line for line, the
// lines staging adds, what the registration may hold and what it must not,
// and the package check of such a package.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "inf/PackageCheck.h"
#include "inf/StoreReady.h"
#include "tests/support/TestSupport.h"

namespace vormlan::generation {
namespace {

using Lines = std::vector<std::string>;

DriverDescription Description(Arch arch = Arch::X86) {
  DriverDescription d;
  d.arch = arch;
  d.printerName = "Colour Laser";
  d.printerKeyFound = true;
  d.driverName = "Kel Colour PS";
  d.driverVersion = 3;
  d.dataFile = "KELC.PPD";
  d.driverFile = "PSCRIPT5.DLL";
  d.configFile = "PS5UI.DLL";
  d.helpFile = "";
  d.dependentFiles = {"kelres.dll", "PSCRIPT5.DLL"};
  return d;
}

StagingDetails Details() {
  StagingDetails s;
  s.driverDate = "6/21/2006";
  s.driverVersion = "6.1.7600.16385";
  s.provider = "Kel \"Print\" 100%";
  s.manufacturer = "Kel";
  s.printProcessor = "kelpp";
  s.printProcessorFile = "kelpp.dll";
  s.colorProfiles = {"kelc.icm", "KELC.ICM", "kelg.icm"};
  s.driverAttributes = 5;
  s.coreDependencies = {"{D20EA372-DD35-4950-9ED8-A6335AFE79F1}"};
  return s;
}

StoreReadyInf Compose(const DriverDescription& d, const StagingDetails& s) {
  return ComposeStoreReady(d, s, InfEncoding::CodePage, "vormlan.inf");
}

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines of the section named header, up to the next blank line.
Lines Section(const Lines& lines, const std::string& header) {
  auto at = std::find(lines.begin(), lines.end(), header);
  Lines out;
  if (at == lines.end()) return out;
  for (++at; at != lines.end() && !at->empty(); ++at) out.push_back(*at);
  return out;
}

TEST(DriverVer, DatesAndVersionsAreCheckedAndWrittenAsStagingWantsThem) {
  EXPECT_EQ(DriverDateOf("6/21/2006"), "06/21/2006");
  EXPECT_EQ(DriverDateOf("02/29/2004"), "02/29/2004");
  EXPECT_EQ(DriverDateOf("02/29/2000"), "02/29/2000");
  for (const char* bad : {"02/29/2005", "02/29/1900", "13/01/2006", "00/10/2006", "06/31/2006",
                          "06/21/06", "06/21/20066", "6-21-2006", "06/21/2006/1", "1/1/1979", "",
                          "//", "123/1/2006", "06/21/2006 "}) {
    EXPECT_EQ(DriverDateOf(bad), std::nullopt) << bad;
  }
  for (const char* good : {"6.1.7600.16385", "1", "65535.0.0.0", "0.0"}) {
    EXPECT_TRUE(IsDriverVersion(good)) << good;
  }
  for (const char* bad :
       {"", "1.2.3.4.5", "65536.0", "1..2", "1.2.", ".1", "a.b", "1,2", "000001", "-1.0"}) {
    EXPECT_FALSE(IsDriverVersion(bad)) << bad;
  }
  EXPECT_EQ(CatalogNameOf("vormlan.inf"), "vormlan.cat");
}

TEST(ComposeStoreReady, KeepsEveryComposedLineInOrderAndAddsWhatStagingNeeds) {
  const auto composed = ComposeInf(Description());
  const auto inf = Compose(Description(), Details());
  // The composed lines are a subsequence of the staged ones.
  auto at = inf.lines.begin();
  for (const auto& line : composed.lines) {
    at = std::find(at, inf.lines.end(), line);
    ASSERT_NE(at, inf.lines.end()) << line;
    ++at;
  }
  const auto version = Section(inf.lines, "[Version]");
  EXPECT_TRUE(Has(version, "CatalogFile=vormlan.cat"));
  EXPECT_TRUE(Has(version, "DriverVer=06/21/2006,6.1.7600.16385"));
  EXPECT_TRUE(Has(version, "Provider=%OEM%"));
  EXPECT_EQ(Section(inf.lines, "[Strings]"),
            (Lines{"OEM=\"Kel \"\"Print\"\" 100%%\"", "DiskName=\"Printer driver files\""}));
  EXPECT_TRUE(inf.notes.empty());

  // The print processor and the color profiles (each once), each copied
  // through its own section to its own folder.
  const auto install = Section(inf.lines, "[KELInstSec]");
  EXPECT_TRUE(Has(install, "CopyFiles=KELInstSec_PrintProcessor"));
  EXPECT_TRUE(Has(install, "PrintProcessor=\"kelpp,kelpp.dll\""));
  EXPECT_TRUE(Has(install, "CopyFiles=KELInstSec_ColorProfiles"));
  EXPECT_EQ(Section(inf.lines, "[KELInstSec_PrintProcessor]"), Lines{"kelpp.dll"});
  EXPECT_EQ(Section(inf.lines, "[KELInstSec_ColorProfiles]"), (Lines{"kelc.icm", "kelg.icm"}));
  EXPECT_EQ(Section(inf.lines, "[DestinationDirs]"),
            (Lines{"DefaultDestDir=66000", "KELInstSec_PrintProcessor=66001",
                   "KELInstSec_ColorProfiles=66003"}));
  ASSERT_EQ(inf.stagedFiles.size(), 3u);
  EXPECT_EQ(inf.stagedFiles[0].folder, StagedFolder::PrintProcessors);
  EXPECT_EQ(inf.stagedFiles[2].name, "kelg.icm");
  EXPECT_EQ(inf.stagedFiles[2].folder, StagedFolder::Color);

  // Every file once, the empty help file left out.
  EXPECT_EQ(Section(inf.lines, "[SourceDisksNames.x86]"), Lines{"1=%DiskName%"});
  EXPECT_EQ(Section(inf.lines, "[SourceDisksFiles.x86]"),
            (Lines{"KELC.PPD=1", "kelres.dll=1", "PS5UI.DLL=1", "PSCRIPT5.DLL=1", "kelpp.dll=1",
                   "kelc.icm=1", "kelg.icm=1"}));
}

TEST(ComposeStoreReady, SourceDisksAndPackageSectionsAreDecoratedForTheArchitecture) {
  for (const auto& [arch, suffix] : {std::pair{Arch::X86, "x86"}, std::pair{Arch::X64, "amd64"},
                                     std::pair{Arch::Arm64, "arm64"}}) {
    const auto inf = Compose(Description(arch), Details());
    const std::string s(suffix);
    EXPECT_FALSE(Section(inf.lines, "[SourceDisksNames." + s + "]").empty()) << s;
    EXPECT_FALSE(Section(inf.lines, "[SourceDisksFiles." + s + "]").empty()) << s;
    EXPECT_EQ(Section(inf.lines, "[PrinterPackageInstallation." + s + "]"),
              (Lines{"PackageAware=TRUE",
                     "CoreDriverDependencies={D20EA372-DD35-4950-9ED8-A6335AFE79F1}"}))
        << s;
  }
}

TEST(ComposeStoreReady, PackageAwareOnlyWhereTheAttributesSaySo) {
  auto details = Details();
  for (const std::optional<std::uint32_t> attributes :
       {std::optional<std::uint32_t>(4), std::optional<std::uint32_t>()}) {
    details.driverAttributes = attributes;
    const auto inf = Compose(Description(), details);
    EXPECT_TRUE(Section(inf.lines, "[PrinterPackageInstallation.x86]").empty());
    EXPECT_FALSE(std::any_of(inf.lines.begin(), inf.lines.end(), [](const std::string& line) {
      return line.starts_with("CoreDriverDependencies");
    }));
    ASSERT_EQ(inf.notes.size(), 1u);
    EXPECT_NE(inf.notes[0].find("not package-aware"), std::string::npos);
  }
  details.driverAttributes = 1;
  details.coreDependencies.clear();
  EXPECT_EQ(Section(Compose(Description(), details).lines, "[PrinterPackageInstallation.x86]"),
            Lines{"PackageAware=TRUE"});
}

TEST(ComposeStoreReady, AMalformedOrMissingDateOrVersionGivesWayToTheDefault) {
  auto details = Details();
  details.driverDate = "31/12/2006";
  auto inf = Compose(Description(), details);
  EXPECT_TRUE(Has(inf.lines, "DriverVer=01/01/2000,6.1.7600.16385"));
  ASSERT_EQ(inf.notes.size(), 1u);
  EXPECT_EQ(inf.notes[0],
            "the registration's DriverDate \"31/12/2006\" is no date (mm/dd/yyyy): DriverVer has "
            "01/01/2000");

  details = Details();
  details.driverVersion = "6.1\r\n[Evil]";
  inf = Compose(Description(), details);
  EXPECT_TRUE(Has(inf.lines, "DriverVer=06/21/2006,1.0.0.0"));
  ASSERT_EQ(inf.notes.size(), 1u);
  EXPECT_NE(inf.notes[0].find("\"6.1\\x0D\\x0A[Evil]\" is no version"), std::string::npos);

  inf = Compose(Description(), StagingDetails{});
  EXPECT_TRUE(Has(inf.lines, "DriverVer=01/01/2000,1.0.0.0"));
  EXPECT_EQ(inf.notes.size(), 2u);
  // Without provider or manufacturer, the string keeps its own name.
  EXPECT_TRUE(Has(inf.lines, "OEM=\"OEM\""));
  EXPECT_TRUE(Section(inf.lines, "[KELInstSec_PrintProcessor]").empty());
}

TEST(ComposeStoreReady, RegistryValuesThatWouldBreakTheInfOrLeaveTheFolderAreRefused) {
  const auto refused = [](const StagingDetails& details, const std::string& part) {
    try {
      Compose(Description(), details);
      ADD_FAILURE() << "not refused: " << part;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
  };
  auto d = Details();
  d.printProcessor = "kel,pp";
  refused(d, "'Print Processor' of the driver \"Kel Colour PS\" names \"kel,pp\"");
  d = Details();
  d.printProcessorFile = "..\\..\\System32\\evil.dll";
  refused(d, "'Driver' of the print processor \"kelpp\" names");
  d = Details();
  d.colorProfiles = {"ok.icm", "..\\secret.icm"};
  refused(d, "'ColorProfiles' of the driver \"Kel Colour PS\" names \"..\\secret.icm\"");
  d = Details();
  d.provider = "Kel\r\n[Strings]";
  refused(d, "'Provider' of the driver \"Kel Colour PS\" holds a line break");
  d = Details();
  d.provider = std::string(300, 'K');
  refused(d, "300 bytes long");
  d = Details();
  d.coreDependencies = {"{D20EA372-DD35-4950-9ED8-A6335AFE79F1},PSCRIPT.OEM"};
  refused(d, "'CoreDependencies' of the driver \"Kel Colour PS\" holds");

  auto orphan = Description();
  orphan.printerKeyFound = false;
  EXPECT_THROW(ComposeStoreReady(orphan, Details(), InfEncoding::CodePage, "vormlan.inf"),
               Exception);

  // A UTF-8 registry's provider the 8-bit INF cannot hold.
  auto wide = Description();
  wide.encoding = registry::TextEncoding::Utf8;
  d = Details();
  d.provider = "Кел";
  EXPECT_THROW(ComposeStoreReady(wide, d, InfEncoding::CodePage, "vormlan.inf"), Exception);
  EXPECT_NO_THROW(ComposeStoreReady(wide, d, InfEncoding::Utf16, "vormlan.inf"));
}

class StoreReadyCheckTest : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes = "x") {
    test::WriteFile(dir_.Path() / name, bytes);
  }
  void WritePackage(const Lines& lines) {
    Write("vormlan.inf", InfText(lines));
    for (const auto* name : {"kelres.dll", "KELC.PPD", "PS5UI.DLL", "PSCRIPT5.DLL", "kelpp.dll",
                             "kelc.icm", "kelg.icm", "vormlan.cat"}) {
      Write(name);
    }
  }
  std::vector<std::string> Problems() const {
    std::vector<std::string> texts;
    for (const auto& p : CheckPackage(dir_.Path(), Arch::X86).problems) texts.push_back(p.problem);
    return texts;
  }
  test::TempDir dir_;
};

TEST_F(StoreReadyCheckTest, AStoreReadyPackagePassesAndEveryListedOrCopiedFileCounts) {
  const auto inf = Compose(Description(), Details());
  WritePackage(inf.lines);
  EXPECT_EQ(Problems(), std::vector<std::string>{});

  // A color profile gone from the folder.
  std::filesystem::remove(dir_.Path() / "kelg.icm");
  EXPECT_EQ(Problems(),
            std::vector<std::string>{"file \"kelg.icm\" of [KELInstSec_ColorProfiles] is missing"});
  Write("kelg.icm");

  // A copied file left out of [SourceDisksFiles] is not staged.
  Lines unlisted = inf.lines;
  unlisted.erase(std::find(unlisted.begin(), unlisted.end(), "kelpp.dll=1"));
  WritePackage(unlisted);
  EXPECT_EQ(Problems(), std::vector<std::string>{"file \"kelpp.dll\" of "
                                                 "[KELInstSec_PrintProcessor] is not listed in "
                                                 "[SourceDisksFiles]"});

  // A listed file that no section copies must be there all the same.
  Lines extra = inf.lines;
  extra.insert(std::find(extra.begin(), extra.end(), "kelpp.dll=1"), "readme.txt=1");
  WritePackage(extra);
  EXPECT_EQ(Problems(),
            std::vector<std::string>{"file \"readme.txt\" of [SourceDisksFiles.x86] is missing"});
}

}  // namespace
}  // namespace vormlan::generation
