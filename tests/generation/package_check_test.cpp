// The package check: on packages the composer writes, on hand-written x64
// ones, and on broken folders.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "inf/InfComposer.h"
#include "inf/PackageCheck.h"
#include "tests/support/TestSupport.h"

namespace vormlan::generation {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;
using Names = std::vector<std::string>;

DriverDescription Description() {
  DriverDescription d;
  d.printerKeyFound = true;
  d.driverName = "Three Driver";
  d.dataFile = "three.gpd";
  d.driverFile = "unidrv.dll";
  d.configFile = "UNIDRVUI.DLL";
  d.helpFile = "";
  d.monitorFound = true;
  d.monitorName = "PJL Monitor";
  d.monitorDriver = "pjlmon.dll";
  d.dependentFiles = {"unires.dll", "three-res.dll"};
  return d;
}

// A package the way a driver store keeps it for x64: decorated models and
// install section, files in subfolders, a catalog.
const std::string kX64Inf =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Printer\r\n"
    "ClassGuid={4d36e979-e325-11ce-bfc1-08002be10318}\r\n"
    "Provider=%Kel%\r\n"
    "CatalogFile.NTamd64=kel64.cat\r\n"
    "[Manufacturer]\r\n"
    "%Kel%=Kel,NTamd64\r\n"
    "[Kel.NTamd64]\r\n"
    "\"Kel Laser\" = KelInst, KEL_LASER\r\n"
    "[KelInst.NTamd64]\r\n"
    "CopyFiles=KelFiles, @kel.gpd\r\n"
    "[KelInst]\r\n"
    "CopyFiles=@x86-only.dll\r\n"
    "[KelFiles]\r\n"
    "kelui.dll\r\n"
    "kel.dll, kelsrc.dll\r\n"
    "[SourceDisksNames.amd64]\r\n"
    "1 = %Disk%,,,\\Drivers\r\n"
    "[SourceDisksFiles.amd64]\r\n"
    "kelsrc.dll = 1, amd64\r\n"
    "kelui.dll = 1\r\n"
    "[DestinationDirs]\r\n"
    "DefaultDestDir=66000\r\n"
    "[Strings]\r\n"
    "Kel=\"Kel\"\r\n"
    "Disk=\"Kel disk\"\r\n";

class PackageCheckTest : public ::testing::Test {
 protected:
  void Write(const std::string& relative, const std::string& bytes = "x") {
    const auto path = dir_.Path() / relative;
    fs::create_directories(path.parent_path());
    WriteFile(path, bytes);
  }
  void WriteX64Package(const std::string& inf) {
    Write("kel.inf", inf);
    Write("KEL64.CAT");
    Write("Kel.gpd");
    Write("drivers/AMD64/kelsrc.dll");
    Write("drivers/kelui.dll");
  }
  Names Problems(Arch arch) const {
    Names texts;
    for (const auto& p : CheckPackage(dir_.Path(), arch).problems) {
      texts.push_back(p.inf + ": " + p.problem);
    }
    return texts;
  }
  // Problems of kX64Inf with one piece of text replaced.
  Names ProblemsWith(const std::string& from, const std::string& to) {
    std::string inf = kX64Inf;
    const auto at = inf.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    inf.replace(at, from.size(), to);
    WriteX64Package(inf);
    return Problems(Arch::X64);
  }

  TempDir dir_;
};

TEST_F(PackageCheckTest, ComposedPackagePassesAndNamesEachMissingFile) {
  const auto composed = ComposeInf(Description());
  Write("vormlan.inf", InfText(composed.lines));
  for (const auto* name : {"THREE.GPD", "unidrv.dll", "unidrvui.dll", "pjlmon.dll", "unires.dll"}) {
    Write(name);
  }
  EXPECT_EQ(Problems(Arch::X86),
            Names{"vormlan.inf: file \"three-res.dll\" of [KELInstSec_Files] is missing"});
  Write("Three-Res.DLL");
  const auto result = CheckPackage(dir_.Path(), Arch::X86);
  EXPECT_TRUE(result.Ok());
  EXPECT_EQ(result.infs, Names{"vormlan.inf"});
  // 64-bit Windows ignores its undecorated models section.
  EXPECT_EQ(Problems(Arch::X64), Names{"vormlan.inf: no models section for x64: [Manufacturer] "
                                       "names none decorated NTamd64 (64-bit Windows ignores "
                                       "undecorated ones)"});
}

TEST_F(PackageCheckTest, ComposedInfWithoutPrinterKeyHasNoInstallSection) {
  auto description = Description();
  description.printerKeyFound = false;
  Write("vormlan.inf", InfText(ComposeInf(description).lines));
  EXPECT_EQ(Problems(Arch::X86), Names{"vormlan.inf: install section [three.gpd] of model "
                                       "\"DataFile\" in [KEL] does not exist"});
}

TEST_F(PackageCheckTest, X64PackageFindsFilesThroughSourceDisks) {
  WriteX64Package(kX64Inf);
  EXPECT_EQ(Problems(Arch::X64), Names{});
  const auto needs = RequirementsOf(InfFile::Parse(kX64Inf, "kel.inf"), Arch::X64);
  EXPECT_EQ(needs.modelsSections, Names{"Kel.NTamd64"});
  ASSERT_EQ(needs.files.size(), 3u);
  EXPECT_EQ(needs.files[0].folders, Names{"Drivers"});
  EXPECT_EQ(needs.files[0].origin, "[KelFiles]");
  EXPECT_EQ(needs.files[1].folders, (Names{"Drivers", "amd64"}));
  EXPECT_EQ(needs.files[1].name, "kelsrc.dll");
  EXPECT_EQ(needs.files[2].folders, Names{});  // @kel.gpd
  EXPECT_EQ(needs.files[2].origin, "CopyFiles of [KelInst.NTamd64]");
  EXPECT_EQ(needs.catalog, "kel64.cat");

  fs::remove(dir_.Path() / "drivers" / "AMD64" / "kelsrc.dll");
  const std::string shown = (fs::path("Drivers") / "amd64" / "kelsrc.dll").string();
  EXPECT_EQ(Problems(Arch::X64), Names{"kel.inf: file \"" + shown + "\" of [KelFiles] is missing"});
  // For x86 the undecorated models section is the one, and it is not there.
  EXPECT_EQ(Problems(Arch::X86),
            Names{"kel.inf: models section [Kel] named in [Manufacturer] does not exist"});
}

TEST_F(PackageCheckTest, BrokenX64PackagesNameWhatIsWrong) {
  const auto one = [](const std::string& text) { return Names{"kel.inf: " + text}; };
  EXPECT_EQ(ProblemsWith("Class=Printer", "Class=Net"),
            one("[Version] Class is \"Net\", not Printer"));
  EXPECT_EQ(ProblemsWith("{4d36e979", "{4d36e972"),
            one("[Version] ClassGUID is \"{4d36e972-e325-11ce-bfc1-08002be10318}\", not the "
                "printer class {4D36E979-E325-11CE-BFC1-08002BE10318}"));
  EXPECT_EQ(ProblemsWith("Signature=\"$Windows NT$\"", "Signature=$Other$"),
            one("[Version] Signature is \"$Other$\", not \"$Windows NT$\""));
  EXPECT_EQ(ProblemsWith("[DestinationDirs]\r\nDefaultDestDir=66000", ""),
            one("no [DestinationDirs] section"));
  EXPECT_EQ(ProblemsWith("%Kel%=Kel,NTamd64", "%Kel%=Kel"),
            one("no models section for x64: [Manufacturer] names none decorated NTamd64 (64-bit "
                "Windows ignores undecorated ones)"));
  EXPECT_EQ(ProblemsWith("%Kel%=Kel,NTamd64", "%Kel%=Kel,NTamd64.10.0"),
            one("models section [Kel.NTamd64.10.0] named in [Manufacturer] does not exist"));
  EXPECT_EQ(ProblemsWith("CatalogFile.NTamd64=kel64.cat", "CatalogFile.NTamd64=other.cat"),
            one("catalog file \"other.cat\" named in [Version] is missing"));
  EXPECT_EQ(ProblemsWith("KelFiles, @kel.gpd", "KelFile, @kel.gpd"),
            one("CopyFiles section [KelFile] named in [KelInst.NTamd64] does not exist"));
  EXPECT_EQ(
      ProblemsWith("= KelInst, KEL", "= Nowhere, KEL"),
      one("install section [Nowhere] of model \"Kel Laser\" in [Kel.NTamd64] does not exist"));
  EXPECT_EQ(ProblemsWith("kelsrc.dll = 1, amd64", "kelsrc.dll = 2, amd64"),
            one("disk \"2\" of \"kelsrc.dll\" in [SourceDisksFiles] is not listed in "
                "[SourceDisksNames]"));
  // Nothing outside the folder is looked at.
  EXPECT_EQ(ProblemsWith("kelsrc.dll = 1, amd64", "kelsrc.dll = 1, ..\\..\\amd64"),
            one("the path of \"kelsrc.dll\" (\\Drivers and ..\\..\\amd64) leads out of the "
                "folder"));
  EXPECT_EQ(ProblemsWith("@kel.gpd", "@..\\kel.gpd"),
            one("file name \"..\\kel.gpd\" in CopyFiles of [KelInst.NTamd64] is not a plain file "
                "name"));
  EXPECT_EQ(ProblemsWith("=kel64.cat", "=C:kel64.cat"),
            one("CatalogFile \"C:kel64.cat\" in [Version] is not a plain file name"));
  // Names that the INF's own syntax or Windows would take for something else.
  EXPECT_EQ(ProblemsWith("@kel.gpd", "@\"kel%.gpd\""),
            one("file name \"kel%.gpd\" in CopyFiles of [KelInst.NTamd64] is not a plain file "
                "name, whose '%' would change the INF's structure"));
  EXPECT_EQ(ProblemsWith("@kel.gpd", "@nul.gpd"),
            one("file name \"nul.gpd\" in CopyFiles of [KelInst.NTamd64] is not a plain file "
                "name, which Windows takes for a device, not a file"));
}

TEST(RequirementsOf, ModelsDecorationsFollowTheArchitecture) {
  const auto models = [](const std::string& manufacturer, Arch arch) {
    const auto inf = InfFile::Parse("[Manufacturer]\n" + manufacturer +
                                        "\n[M]\nm=I\n[M.NT]\nm=I\n[M.NTx86]\nm=I\n[M.NTx86.6.0]\n"
                                        "m=I\n[M.NTamd64]\nm=I\n[M.NTarm64]\nm=I\n[I]\n",
                                    "m.inf");
    return RequirementsOf(inf, arch).modelsSections;
  };
  EXPECT_EQ(models("\"M\"", Arch::X86), Names{"M"});
  EXPECT_EQ(models("K=M,NTamd64", Arch::X86), Names{"M"});
  EXPECT_EQ(models("K=M,NT,NTamd64", Arch::X86), Names{"M.NT"});
  // The platform's own decoration wins over "NT"; versions all count.
  EXPECT_EQ(models("K=M,NT,ntx86,NTx86.6.0", Arch::X86), (Names{"M.ntx86", "M.NTx86.6.0"}));
  EXPECT_EQ(models("K=M,NT,NTx86,NTamd64", Arch::X64), Names{"M.NTamd64"});
  EXPECT_EQ(models("K=M,NTamd64", Arch::Arm64), Names{});
  EXPECT_EQ(models("K=M,NTarm64", Arch::Arm64), Names{"M.NTarm64"});
}

TEST_F(PackageCheckTest, FolderProblems) {
  const auto check = [](const fs::path& path) {
    const auto result = CheckPackage(path, Arch::X86);
    EXPECT_TRUE(result.infs.empty());
    EXPECT_EQ(result.problems.size(), 1u);
    return result.problems.empty() ? std::string() : result.problems[0].problem;
  };
  EXPECT_EQ(check(dir_.Path() / "nothing"), "folder does not exist");
  Write("file.inf", "[Version]\n");
  EXPECT_EQ(check(dir_.Path() / "file.inf"), "is not a folder");
  fs::remove(dir_.Path() / "file.inf");
  fs::create_directory(dir_.Path() / "folder.inf");
  Write("sub/nested.inf");
  Write("readme.txt");
  EXPECT_EQ(check(dir_.Path()), "holds no INF file");
}

TEST_F(PackageCheckTest, EveryInfIsCheckedAndParseErrorsGiveTheLine) {
  WriteX64Package(kX64Inf);
  Write("B.INF", "[Version]\n[Broken\n");
  Write("a.Inf", kX64Inf);
  const auto result = CheckPackage(dir_.Path(), Arch::X64);
  EXPECT_EQ(result.infs, (Names{"B.INF", "a.Inf", "kel.inf"}));
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].inf, "B.INF");
  EXPECT_EQ(result.problems[0].problem, "line 2: section header has no closing \"]\"");
}

#ifndef _WIN32
TEST_F(PackageCheckTest, LinksLeadingOutAreNotFollowed) {
  TempDir outside;
  WriteFile(outside.Path() / "kelsrc.dll", "x");
  WriteX64Package(kX64Inf);
  fs::remove_all(dir_.Path() / "drivers" / "AMD64");
  fs::create_directory_symlink(outside.Path(), dir_.Path() / "drivers" / "amd64");
  // A device under an INF's name is not read: it would never end.
  fs::create_symlink("/dev/zero", dir_.Path() / "zero.inf");
  const auto result = CheckPackage(dir_.Path(), Arch::X64);
  ASSERT_EQ(result.problems.size(), 2u);
  EXPECT_EQ(result.problems[0].problem,
            "file \"Drivers/amd64/kelsrc.dll\" of [KelFiles] is missing");
  EXPECT_EQ(result.problems[1].inf, "zero.inf");
  EXPECT_EQ(result.problems[1].problem, "is not a regular file");
}
#endif

}  // namespace
}  // namespace vormlan::generation

namespace vormlan::generation {
namespace {

// A PE image's first bytes: "MZ", the offset of "PE\0\0" at 0x3C, the machine.
std::string PeImage(std::uint16_t machine) {
  std::string bytes(0x200, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = '\x80';
  bytes.replace(0x80, 4, std::string("PE\0\0", 4));
  bytes[0x84] = static_cast<char>(machine & 0xFF);
  bytes[0x85] = static_cast<char>(machine >> 8);
  return bytes;
}

TEST(PeMachine, ReadsTheMachineOfAnImageAndNothingElse) {
  EXPECT_EQ(PeMachineOf(PeImage(0x014C)), 0x014Cu);
  EXPECT_EQ(PeMachineOf(PeImage(0x8664)), 0x8664u);
  EXPECT_EQ(PeMachineOf(PeImage(0xAA64)), 0xAA64u);
  EXPECT_EQ(PeMachineOf(PeImage(0x01C4)), 0x01C4u);
  EXPECT_EQ(PeMachineOf("placeholder"), std::nullopt);
  // A header offset past the bytes read, or no PE signature there.
  std::string far = PeImage(0x8664);
  far[0x3C] = '\x7F';
  far[0x3D] = '\x7F';
  EXPECT_EQ(PeMachineOf(far), std::nullopt);
  EXPECT_EQ(PeMachineOf(PeImage(0x8664).substr(0, 0x84)), std::nullopt);
}

TEST_F(PackageCheckTest, RefusesWhatWindowsCannotInstallFromOneFolder) {
  const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
  // x86 images under an x64 INF: the package of another architecture.
  WriteX64Package(kX64Inf);
  Write("drivers/kelui.dll", PeImage(0x014C));
  Write("drivers/AMD64/kelsrc.dll", PeImage(0x8664));
  EXPECT_EQ(Problems(Arch::X64),
            Names{"kel.inf: file \"Drivers" + sep +
                  "kelui.dll\" is a PE image for x86, not x64: Windows of that architecture "
                  "cannot load it"});

#ifndef _WIN32
  // Two names that differ only in case, in the folder and in a subfolder (a
  // Windows file system cannot hold them: a copy from another disk can).
  Write("drivers/kelui.dll", PeImage(0x8664));
  Write("KEL.GPD");
  Write("drivers/KELUI.DLL", PeImage(0x8664));
  const auto problems = Problems(Arch::X64);
  ASSERT_EQ(problems.size(), 2u) << testing::PrintToString(problems);
  EXPECT_NE(problems[0].find("differ only in letter case"), std::string::npos) << problems[0];
  EXPECT_NE(problems[0].find("\"DRIVERS/KELUI.DLL\" and \"DRIVERS/kelui.dll\""), std::string::npos)
      << problems[0];
  EXPECT_NE(problems[1].find("\"KEL.GPD\" and \"Kel.gpd\""), std::string::npos) << problems[1];
#endif
}

TEST_F(PackageCheckTest, RefusesTheInfsOfSeveralDriversButNotTwoOfOne) {
  WriteX64Package(kX64Inf);
  std::string other = kX64Inf;
  other.replace(other.find("Kel Laser"), 9, "Kel Other");
  Write("other.inf", other);
  EXPECT_EQ(Problems(Arch::X64), Names{": the INFs of several drivers share the folder: "
                                       "\"kel.inf\" installs \"Kel Laser\", \"other.inf\" "
                                       "installs \"Kel Other\"; their files would mix"});
  Write("other.inf", kX64Inf);
  EXPECT_EQ(Problems(Arch::X64), Names{});
}

}  // namespace
}  // namespace vormlan::generation
