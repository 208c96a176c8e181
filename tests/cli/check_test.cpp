// vormlan-cli check, run as a program: exit statuses, its lines and its JSON.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <string>

#include "inf/InfComposer.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using vormlan::test::ReadFile;
using vormlan::test::TempDir;
using vormlan::test::WriteFile;

using Run = vormlan::test::ProgramRun;

Run RunCheck(const std::string& arguments) {
  return vormlan::test::RunProgram(std::string("'") + VORMLAN_CLI + "' check " + arguments);
}

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// A package the composer writes, with all its files.
void WriteComposedPackage(const fs::path& dir, const std::string& infName) {
  vormlan::generation::DriverDescription d;
  d.printerKeyFound = true;
  d.driverName = "Check Driver";
  d.dataFile = "check.gpd";
  d.driverFile = "unidrv.dll";
  d.configFile = "unidrvui.dll";
  const auto composed = vormlan::generation::ComposeInf(d);
  fs::create_directories(dir);
  WriteFile(dir / infName, vormlan::generation::InfText(composed.lines));
  for (const auto& name : composed.files.Items()) {
    if (!name.empty()) WriteFile(dir / name, "x");
  }
}

TEST(CliCheck, ComposedPackagePasses) {
  TempDir dir;
  WriteComposedPackage(dir.Path(), "vormlan.inf");
  auto run = RunCheck(Quoted(dir.Path()));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, dir.Path().string() + ": ok for x86 (vormlan.inf)\n");
  EXPECT_EQ(run.err, "");

  run = RunCheck("--json --arch X86 " + Quoted(dir.Path()));
  EXPECT_EQ(run.status, 0) << run.err;
  const auto doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc,
            nlohmann::json::parse(R"({"folder": )" + nlohmann::json(dir.Path().string()).dump() +
                                  R"(, "arch": "x86", "ok": true, "infs": ["vormlan.inf"],
                                           "problems": []})"));
}

TEST(CliCheck, ProblemsOnePerLineAndInJson) {
  TempDir dir;
  WriteComposedPackage(dir.Path(), "vormlan.inf");
  fs::remove(dir.Path() / "unidrv.dll");
  auto run = RunCheck(Quoted(dir.Path()) + " --arch x64");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "vormlan.inf: no models section for x64: [Manufacturer] names none decorated NTamd64 "
            "(64-bit Windows ignores undecorated ones)\n");
  run = RunCheck(Quoted(dir.Path()));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "vormlan.inf: file \"unidrv.dll\" of [KELInstSec_Files] is missing\n");

  WriteFile(dir.Path() / "second.INF", "[Version]\nSignature=\"$Windows NT$\"\n");
  run = RunCheck("--json " + Quoted(dir.Path()));
  EXPECT_EQ(run.status, 1);
  const auto doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc["ok"], false);
  EXPECT_EQ(doc["arch"], "x86");
  EXPECT_EQ(doc["infs"], nlohmann::json({"second.INF", "vormlan.inf"}));
  ASSERT_EQ(doc["problems"].size(), 5u);
  EXPECT_EQ(doc["problems"][0], nlohmann::json({{"inf", "second.INF"},
                                                {"problem",
                                                 "[Version] has no Class (Printer "
                                                 "expected)"}}));
  EXPECT_EQ(doc["problems"][4]["inf"], "vormlan.inf");
}

TEST(CliCheck, MissingFolderAndUsageErrors) {
  TempDir dir;
  auto run = RunCheck(Quoted(dir.Path() / "gone"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, (dir.Path() / "gone").string() + ": folder does not exist\n");
  run = RunCheck("--json " + Quoted(dir.Path()));
  EXPECT_EQ(run.status, 1);
  const auto doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc["problems"],
            nlohmann::json::parse(R"([{"inf": null, "problem": "holds no INF file"}])"));

  EXPECT_EQ(RunCheck("").status, 2);
  EXPECT_EQ(RunCheck("--arch sparc " + Quoted(dir.Path())).status, 2);
  EXPECT_EQ(RunCheck(Quoted(dir.Path()) + " --bogus").status, 2);
  WriteComposedPackage(dir.Path(), "vormlan.inf");
  run = RunCheck(Quoted(dir.Path()) + " >/dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "vormlan-cli: cannot write to standard output: No space left on device\n");
  run = RunCheck("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Exit status: 0 all holds, 1 problems found"), std::string::npos);
}

TEST(CliCheck, NamesAreUtf8) {
  TempDir dir;
  const std::string printer = "\xe3\x83\x97\xe3\x83\xaa\xe3\x83\xb3\xe3\x82\xbf";  // katakana
  const auto folder = dir.Path() / fs::path(std::u8string(u8"pak\u00e9"));
  WriteComposedPackage(folder, printer + ".inf");
  auto run = RunCheck("--json " + Quoted(folder));
  EXPECT_EQ(run.status, 0) << run.out;
  const auto doc = nlohmann::json::parse(run.out);
  EXPECT_EQ(doc["infs"], nlohmann::json({printer + ".inf"}));
  EXPECT_EQ(doc["folder"], folder.string());

  fs::remove(folder / "check.gpd");
  run = RunCheck(Quoted(folder));
  EXPECT_EQ(run.out, printer + ".inf: file \"check.gpd\" of [KELInstSec_Files] is missing\n");
}

}  // namespace
