// INF composition: the exact lines, the optional sections and the file list.

#include <gtest/gtest.h>

#include <algorithm>

#include "inf/Contact.h"
#include "inf/InfComposer.h"

namespace vormlan::generation {
namespace {

DriverDescription FullDescription() {
  DriverDescription d;
  d.printerName = "Laser Three";
  d.printerKeyName = "Laser Three";
  d.printerKeyFound = true;
  d.driverName = "Three Driver";
  d.driverVersion = 3;
  d.dataFile = "three.gpd";
  d.driverFile = "unidrv.dll";
  d.configFile = "UNIDRVUI.DLL";
  d.helpFile = "unidrv.hlp";
  d.monitorName = "PJL Monitor";
  d.monitorFound = true;
  d.monitorDriver = "pjlmon.dll";
  d.dependentFiles = {"UNIDRV.DLL", "unires.dll", "three-res.dll", "unires.dll"};
  return d;
}

const std::vector<std::string> kHeader = {
    "; This file is written by ",
    "; Ulvmarsk's Vormlan",
    "; Made by Ulvmarsk",
    std::string("; ") + kContactAddress,
    ";",
    "[Version]",
    "Signature=\"$Windows NT$\"",
    "Provider=%OEM%",
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}",
    "Class=Printer",
    " ",
    "[Manufacturer]",
    "\"KEL\"",
    " ",
    "[KEL]",
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ComposeInf, FullDescriptionGivesEveryItemInOrder) {
  const auto inf = ComposeInf(FullDescription());
  const auto expected = Concat(kHeader, {
                                            "\"Three Driver\" = KELInstSec",
                                            " ",
                                            "[KELInstSec]",
                                            "DataSection=KELInstSec_DATA",
                                            "CopyFiles=KELInstSec_Files",
                                            "DataFile=three.gpd",
                                            "",
                                            "[KELInstSec_DATA]",
                                            "DriverFile=unidrv.dll",
                                            "ConfigFile=UNIDRVUI.DLL",
                                            "HelpFile=unidrv.hlp",
                                            "LanguageMonitor= \"PJL Monitor, pjlmon.dll\"",
                                            "",
                                            "[KELInstSec_Files]",
                                            "pjlmon.dll",
                                            "three.gpd",
                                            "three-res.dll",
                                            "unidrv.dll",
                                            "unidrv.hlp",
                                            "UNIDRVUI.DLL",
                                            "unires.dll",
                                            "",
                                            "[DestinationDirs]",
                                            "DefaultDestDir=66000",
                                        });
  EXPECT_EQ(inf.lines, expected);
}

TEST(ComposeInf, MissingPrinterKeyPutsDataFileRightUnderManufacturerSection) {
  DriverDescription d;  // nothing found: every value empty
  const auto inf = ComposeInf(d);
  const auto expected = Concat(kHeader, {
                                            "DataFile=",
                                            "",
                                            "[KELInstSec_DATA]",
                                            "DriverFile=",
                                            "ConfigFile=",
                                            "HelpFile=",
                                            "",
                                            "[KELInstSec_Files]",
                                            "",
                                            "",
                                            "[DestinationDirs]",
                                            "DefaultDestDir=66000",
                                        });
  EXPECT_EQ(inf.lines, expected);
  // The four empty file values collapse into one empty entry.
  EXPECT_EQ(inf.files.Items(), std::vector<std::string>{""});
}

TEST(ComposeInf, NoHelpFileGivesAnEmptyEntryRightAfterFilesSection) {
  auto d = FullDescription();
  d.helpFile.clear();
  d.monitorFound = false;
  const auto inf = ComposeInf(d);
  EXPECT_EQ(inf.files.Items().front(), "");
  const auto section = std::find(inf.lines.begin(), inf.lines.end(), "[KELInstSec_Files]");
  ASSERT_NE(section, inf.lines.end());
  EXPECT_EQ(*(section + 1), "");
  EXPECT_EQ(*(section + 2), "three.gpd");
  EXPECT_EQ(std::count(inf.lines.begin(), inf.lines.end(), "HelpFile="), 1);
  EXPECT_EQ(std::count_if(inf.lines.begin(), inf.lines.end(),
                          [](const std::string& l) { return l.starts_with("LanguageMonitor"); }),
            0);
}

TEST(ComposeInf, FirstSpellingOfEqualNamesWins) {
  const auto inf = ComposeInf(FullDescription());
  // The driver file "unidrv.dll" comes before the dependent "UNIDRV.DLL".
  const auto& files = inf.files.Items();
  EXPECT_EQ(std::count(files.begin(), files.end(), "unidrv.dll"), 1);
  EXPECT_EQ(std::count(files.begin(), files.end(), "UNIDRV.DLL"), 0);
  EXPECT_EQ(std::count(files.begin(), files.end(), "unires.dll"), 1);
}

TEST(ComposeInf, QuotesInsideQuotedStringsAreDoubled) {
  auto d = FullDescription();
  d.driverName = "Laser \"Pro\"";
  d.monitorName = "Mon\"X";
  const auto inf = ComposeInf(d);
  EXPECT_NE(std::find(inf.lines.begin(), inf.lines.end(), "\"Laser \"\"Pro\"\"\" = KELInstSec"),
            inf.lines.end());
  EXPECT_NE(
      std::find(inf.lines.begin(), inf.lines.end(), "LanguageMonitor= \"Mon\"\"X, pjlmon.dll\""),
      inf.lines.end());
}

TEST(InfText, EveryLineEndsInCrLf) {
  EXPECT_EQ(InfText({"a", "", " "}), "a\r\n\r\n \r\n");
  EXPECT_EQ(InfText({}), "");
}

}  // namespace
}  // namespace vormlan::generation
