// The INF parser: lines and fields as setup reads them, strings, encodings
// and the errors it reports.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Unicode.h"
#include "inf/InfFile.h"

namespace vormlan::generation {
namespace {

using Fields = std::vector<std::string>;
using namespace std::string_literals;

InfFile Parse(const std::string& text) {
  return InfFile::Parse(text, "t.inf");
}

// The message of the error parsing text raises, or "" when it parses.
std::string ErrorOf(const std::string& bytes) {
  try {
    InfFile::Parse(bytes, "bad.inf");
  } catch (const InfParseError& e) {
    return e.what();
  }
  return "";
}

TEST(InfFile, LinesSplitIntoKeyAndTrimmedFields) {
  const auto inf = Parse(
      "[Files]\r\n"
      "  Key Name  =  first value , \"quoted, ; kept\" ,, last \r\n"
      "a.dll,b.dll=c\r\n"
      "\"x\"\"y\" tail ; comment\r\n"
      "empty =\r\n");
  const auto& lines = inf.Find("files")->Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].hasKey);
  EXPECT_EQ(lines[0].key, "Key Name");
  EXPECT_EQ(lines[0].fields, (Fields{"first value", "quoted, ; kept", "", "last"}));
  // An "=" after the first comma is text: the line has no key.
  EXPECT_FALSE(lines[1].hasKey);
  EXPECT_EQ(lines[1].fields, (Fields{"a.dll", "b.dll=c"}));
  EXPECT_EQ(lines[2].fields, (Fields{"x\"y tail"}));
  EXPECT_EQ(lines[3].fields, (Fields{""}));
  EXPECT_EQ(lines[0].Field(0), "Key Name");
  EXPECT_EQ(lines[0].Field(2), "quoted, ; kept");
  EXPECT_EQ(lines[0].Field(9), "");
  EXPECT_EQ(lines[2].number, 4u);
}

TEST(InfFile, SectionsMergeAndLookupsIgnoreCase) {
  const auto inf = Parse(
      "; leading comment\n"
      "[Version] trailing text is ignored\n"
      "Class=Printer\n"
      "[Other]\n"
      "x\n"
      "[VERSION]\n"
      "CLASS=Second\n"
      "Provider=P\n");
  ASSERT_EQ(inf.Sections().size(), 2u);
  EXPECT_EQ(inf.Sections()[0].Name(), "Version");
  EXPECT_EQ(inf.Find("version")->Lines().size(), 3u);
  EXPECT_EQ(inf.Value("VERSION", "class"), "Printer");  // the first line with the key
  EXPECT_EQ(inf.Find("version")->FindAll("Class").size(), 2u);
  EXPECT_EQ(inf.Value("Version", "provider"), "P");
  EXPECT_EQ(inf.Value("Version", "Missing"), std::nullopt);
  EXPECT_EQ(inf.Find("Nowhere"), nullptr);
}

TEST(InfFile, BackslashAtLineEndContinuesTheLine) {
  const auto inf = Parse(
      "[S]\n"
      "CopyFiles = A, \\\n"
      "      B,\\ ; comment after the backslash\n"
      "  C\n"
      "Path = C:\\dir\\file.dll\n"
      "Join = left \\\n"
      "  right\n"
      "Last = end\\");
  const auto& lines = inf.Find("S")->Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].fields, (Fields{"A", "B", "C"}));
  EXPECT_EQ(lines[1].fields, (Fields{"C:\\dir\\file.dll"}));
  EXPECT_EQ(lines[1].number, 5u);
  EXPECT_EQ(lines[2].fields, (Fields{"leftright"}));
  EXPECT_EQ(lines[3].fields, (Fields{"end"}));
  // Line numbers go on counting the joined lines.
  EXPECT_EQ(ErrorOf("[S]\na=\\\n b\n[broken\n"), "bad.inf:4: section header has no closing \"]\"");
}

TEST(InfFile, StringsAreSubstitutedEverywhereButInStrings) {
  const auto inf = Parse(
      "[Version]\n"
      "Provider=%Maker%\n"
      "Note=\"100%% %maker% %Unknown% %open\"\n"
      "%DiskKey%=%Disk%,1\n"
      "[Strings]\n"
      "MAKER=\"Kel, Inc.\"\n"
      "Disk=first,second\n"
      "DiskKey=K\n"
      "Self=%Maker%\n");
  EXPECT_EQ(inf.Value("Version", "Provider"), "Kel, Inc.");
  EXPECT_EQ(inf.Value("Version", "Note"), "100% Kel, Inc. %Unknown% %open");
  // A string is the first field of its line; a substituted key is found.
  const InfLine* line = inf.Find("Version")->Find("K");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->fields, (Fields{"first", "1"}));
  EXPECT_EQ(inf.Value("Strings", "Self"), "%Maker%");
}

TEST(InfFile, DecodesUtf16AndUtf8WithBomAndAnsiOtherwise) {
  const std::string text =
      "[Strings]\r\nName=\"\xe3\x83\x97\xe3\x83\xaa\xe3\x83\xb3\xe3\x82\xbf\"\r\n";
  const auto utf16 = InfFile::Parse("\xFF\xFE" + unicode::ToUtf16Le(text), "u16.inf");
  EXPECT_EQ(utf16.Value("Strings", "Name"), "\xe3\x83\x97\xe3\x83\xaa\xe3\x83\xb3\xe3\x82\xbf");
  const auto utf8 = InfFile::Parse("\xEF\xBB\xBF" + text, "u8.inf");
  EXPECT_EQ(utf8.Value("Strings", "Name"), utf16.Value("Strings", "Name"));
  const auto ansi = Parse("[S]\nName=Caf\xe9 \x80\n");
  EXPECT_EQ(ansi.Value("S", "Name"), "Caf\xc3\xa9 \xe2\x82\xac");
  // Control-Z ends the text.
  EXPECT_EQ(Parse("[S]\na=1\n\x1A\n[T]\n").Find("T"), nullptr);
  // An unclosed quote ends with its line, not with the CR before the LF.
  EXPECT_EQ(Parse("[S]\r\na=\"open\r\n").Value("S", "a"), "open");
}

TEST(InfFile, ErrorsNameTheFileAndLine) {
  EXPECT_EQ(ErrorOf("\nx=1\n[S]\n"), "bad.inf:2: text before the first section header");
  EXPECT_EQ(ErrorOf("x=1\n[S]\n[strings]\n"), "");
  EXPECT_EQ(ErrorOf("[S]\n\n[Broken\n"), "bad.inf:3: section header has no closing \"]\"");
  EXPECT_EQ(ErrorOf("\xEF\xBB\xBF[S]\na=ok\nb=\xC3(\n"),
            "bad.inf:3: malformed UTF-8 in a file marked as UTF-8");
  EXPECT_EQ(ErrorOf("[S]\na=1\nb=\0\n"s), "bad.inf:3: NUL character in the text");
  EXPECT_NE(ErrorOf("\xFE\xFF"), "");
  EXPECT_EQ(ErrorOf("[" + std::string(256, 's') + "]\n"),
            "bad.inf:1: section name longer than 255 characters");
  EXPECT_EQ(ErrorOf("[" + std::string(255, 's') + "]\n"), "");
  // Strings that multiply each other cannot blow a line up.
  std::string bomb = "[Strings]\nA=" + std::string(1000, 'a') + "\n[S]\n";
  bomb += "\nx=" + std::string(10, '%') + "%A%%A%%A%%A%%A%\n";
  EXPECT_EQ(ErrorOf(bomb), "bad.inf:5: a key or value longer than 4096 characters");
  try {
    InfFile::Parse("[S]\n[T\n", "x.inf");
    FAIL();
  } catch (const InfParseError& e) {
    EXPECT_EQ(e.Line(), 2u);
    EXPECT_EQ(e.What(), "section header has no closing \"]\"");
  }
}

// One bound on the whole file: lines of strings that are each within the
// field limit cannot together grow the text without end, and many short
// lines, fields or sections are refused before they cost more than their
// text. The error names the file.
TEST(InfFile, WholeFileIsBoundedAfterTheStringsArePutIn) {
  const std::string strings = "[Strings]\na=" + std::string(4096, 'a') + "\n[S]\n";
  const std::size_t linesPast = kMaxInfTextBytes / 4096 + 1;
  std::string text = strings;
  text.reserve(strings.size() + linesPast * 6);
  for (std::size_t i = 0; i < linesPast; ++i) text += "x=%a%\n";
  const std::string error = ErrorOf(text);
  EXPECT_TRUE(error.starts_with("bad.inf:")) << error;
  EXPECT_NE(error.find("grows past " + std::to_string(kMaxInfTextBytes) + " bytes"),
            std::string::npos)
      << error;
  // Just under the bound it reads.
  text.resize(strings.size() + (linesPast - 100) * 6);
  EXPECT_EQ(ErrorOf(text), "");
}

TEST(InfFile, LinesFieldsAndSectionsAreCounted) {
  std::string lines = "[S]\n";
  for (std::size_t i = 0; i <= kMaxInfLines; ++i) lines += "a\n";
  EXPECT_NE(ErrorOf(lines).find("more than " + std::to_string(kMaxInfLines) + " lines"),
            std::string::npos);
  std::string fields = "[S]\n";
  for (std::size_t i = 0; i <= kMaxInfFields / 1000; ++i) {
    fields += "a";
    for (int f = 1; f < 1000; ++f) fields += ",a";
    fields += "\n";
  }
  EXPECT_NE(ErrorOf(fields).find("more than " + std::to_string(kMaxInfFields) + " fields"),
            std::string::npos);
  std::string sections;
  for (std::size_t i = 0; i <= kMaxInfSections; ++i) sections += "[" + std::to_string(i) + "]\n";
  EXPECT_NE(ErrorOf(sections).find("more than " + std::to_string(kMaxInfSections) + " sections"),
            std::string::npos);
  // Same-named headers are one section.
  std::string same;
  for (std::size_t i = 0; i <= kMaxInfSections; ++i) same += "[s]\n";
  EXPECT_EQ(ErrorOf(same), "");
}

TEST(InfFile, CatalogFilePrefersThePlatformKey) {
  const auto inf = Parse(
      "[Version]\n"
      "CatalogFile=all.cat\n"
      "CatalogFile.NTamd64=x64.cat\n"
      "CatalogFile.NT=nt.cat\n");
  EXPECT_EQ(CatalogFileOf(inf, Arch::X64), "x64.cat");
  EXPECT_EQ(CatalogFileOf(inf, Arch::X86), "nt.cat");
  EXPECT_EQ(CatalogFileOf(Parse("[Version]\nCatalogFile=all.cat\n"), Arch::Arm64), "all.cat");
  EXPECT_EQ(CatalogFileOf(Parse("[Version]\nCatalogFile=\n"), Arch::X86), std::nullopt);
  EXPECT_EQ(CatalogFileOf(Parse("[Version]\nClass=Printer\n"), Arch::X86), std::nullopt);
}

}  // namespace
}  // namespace vormlan::generation
