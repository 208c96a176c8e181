// vormlan-cli list, run as a program: its output, its JSON and its exit
// statuses.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

#include "tests/support/TestSupport.h"

namespace {

using vormlan::test::ReadFile;
using vormlan::test::TempDir;
using vormlan::test::WriteFile;

using Run = vormlan::test::ProgramRun;

Run RunList(const std::string& arguments) {
  return vormlan::test::RunProgram(std::string("'") + VORMLAN_CLI + "' list " + arguments);
}

const std::string kFixture = std::string("'") + LIST_FIXTURE + "'";

TEST(CliList, PrintsOneNamePerLineInRegistryOrder) {
  const auto run = RunList("--registry " + kFixture);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "\\\\list-srv\\laser\n"
            "List Caf\xc3\xa9 \xc2\xab"
            "2\xc2\xbb\n"
            "List\\tTab\n"
            "List Office Laser\n"
            "List \"Quoted\" C:\\Path\n");
  EXPECT_EQ(run.err, "");
}

TEST(CliList, JsonArrayIsEscapedUtf8) {
  const auto run = RunList("--json --registry " + kFixture);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "[\n"
            "  \"\\\\\\\\list-srv\\\\laser\",\n"
            "  \"List Caf\xc3\xa9 \xc2\xab"
            "2\xc2\xbb\",\n"
            "  \"List\\tTab\",\n"
            "  \"List Office Laser\",\n"
            "  \"List \\\"Quoted\\\" C:\\\\Path\"\n"
            "]\n");
}

TEST(CliList, RegistryWithoutPrintersSaysSoAndSucceeds) {
  TempDir dir;
  const auto file = dir.Path() / "empty.reg";
  WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n");
  for (const char* drivers : {"", "--drivers "}) {
    auto run = RunList(drivers + ("--registry '" + file.string() + "'"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, *drivers ? "No drivers.\n" : "No printers.\n") << drivers;
    run = RunList(drivers + ("--json --registry '" + file.string() + "'"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "[]\n") << drivers;
  }
}

TEST(CliList, UnreadableExportFileIsAnErrorNamingTheFile) {
  TempDir dir;
  const auto missing = dir.Path() / "missing.reg";
  auto run = RunList("--registry '" + missing.string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(missing.string()), std::string::npos) << run.err;

  const auto bad = dir.Path() / "bad.reg";
  WriteFile(bad, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"Name\"=bogus:1\r\n");
  run = RunList("--registry '" + bad.string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("bad.reg:4"), std::string::npos) << run.err;
}

TEST(CliList, UnreadableSourceWithJsonPrintsAnErrorObject) {
  TempDir dir;
  const auto missing = dir.Path() / "missing.reg";
  for (const std::string source : {"--registry", "--hive"}) {
    const auto run = RunList("--json " + source + " '" + missing.string() + "'");
    EXPECT_EQ(run.status, 1);
    const auto j = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_TRUE(j.is_object()) << source << ": " << run.out;
    const std::string message = j["error"]["message"];
    EXPECT_NE(message.find(missing.string()), std::string::npos) << message;
    EXPECT_TRUE(j["error"]["hints"].is_array());
    // Still said on standard error, for whoever reads no JSON.
    EXPECT_NE(run.err.find(missing.string()), std::string::npos) << run.err;
  }
}

// Text from outside (here a file name) reaches the terminal escaped: no
// escape sequence, no line of its own.
TEST(CliList, ErrorsEscapeControlCharactersOfWhatTheyQuote) {
  TempDir dir;
  const auto run = RunList("--registry \"$(printf '" + dir.Path().string() +
                           "/x\\033[31m\\r\\nhint: fake\\007.reg')\"");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\x07'), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("/x\\x1b[31m\\r\\nhint: fake\\x07.reg: cannot open the file."),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("\nhint: fake"), std::string::npos) << run.err;
}

TEST(CliList, WithoutExportFileThisSystemNeedsOne) {
  const auto run = RunList("");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("--registry"), std::string::npos) << run.err;
}

}  // namespace
