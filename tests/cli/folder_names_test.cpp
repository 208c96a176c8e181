// Folder names of generate --all: safe on Windows and Linux, and apart.

#include "cli/FolderNames.h"

#include <gtest/gtest.h>

#include <string>

#include "common/Unicode.h"

namespace vormlan::cli {
namespace {

// Trailing blanks and periods are dropped by Windows when a folder is made,
// so that "HP." and "HP" would be one folder.
TEST(SafeFolderName, TrailingBlanksAndPeriodsGo) {
  EXPECT_EQ(SafeFolderName("HP LaserJet "), "HP LaserJet");
  EXPECT_EQ(SafeFolderName("HP LaserJet."), "HP LaserJet");
  EXPECT_EQ(SafeFolderName("HP LaserJet. . .."), "HP LaserJet");
  EXPECT_EQ(SafeFolderName("  HP"), "HP");
  EXPECT_EQ(SafeFolderName("v1.0 Driver"), "v1.0 Driver");
  // A name that is nothing else, or nothing at all, gets a name of its own.
  for (const char* nothing : {"", " ", ".", "..", ". .", "   "}) {
    EXPECT_EQ(SafeFolderName(nothing), "driver") << '"' << nothing << '"';
  }
}

TEST(SafeFolderName, CharactersWindowsForbidsBecomeUnderscores) {
  EXPECT_EQ(SafeFolderName("a<b>c:d\"e/f\\g|h?i*j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFolderName(std::string("a\0b\tc\nd\x1F"
                                       "e\x7F"
                                       "f",
                                       11)),
            "a_b_c_d_e_f");
  EXPECT_EQ(SafeFolderName("../../etc"), ".._.._etc");
  EXPECT_EQ(SafeFolderName(".."), "driver");
  // Malformed UTF-8 gives one "_" a byte, and what follows is kept.
  EXPECT_EQ(SafeFolderName("a\xC0\xAF"
                           "b\xED\xA0\x80"
                           "c\xE2\x82"),
            "a__b___c__");
  EXPECT_EQ(SafeFolderName("Drücker €"), "Drücker €");
  // A forbidden character at the end is replaced, not left to end the name.
  EXPECT_EQ(SafeFolderName("Fax?"), "Fax_");
}

TEST(SafeFolderName, DeviceNamesAreMarkedBeforeTheExtension) {
  EXPECT_EQ(SafeFolderName("CON"), "CON_");
  EXPECT_EQ(SafeFolderName("con"), "con_");
  EXPECT_EQ(SafeFolderName("aux.x"), "aux_.x");
  EXPECT_EQ(SafeFolderName("NUL.tar.gz"), "NUL_.tar.gz");
  EXPECT_EQ(SafeFolderName("prn "), "prn_");
  EXPECT_EQ(SafeFolderName("CON."), "CON_");
  EXPECT_EQ(SafeFolderName("lpt1 .x"), "lpt1 _.x");
  EXPECT_EQ(SafeFolderName("COM1"), "COM1_");
  EXPECT_EQ(SafeFolderName("Lpt9"), "Lpt9_");
  // Not devices: other numbers, longer stems, the name in the middle.
  for (const char* plain :
       {"COM0", "LPT10", "COMA", "CONSOLE", "CONN.x", "xCON", "A.CON", "NUL_"}) {
    EXPECT_EQ(SafeFolderName(plain), plain);
  }
}

// At most 120 bytes, cut at a whole character, whatever the text is made of.
TEST(SafeFolderName, LongNamesAreCutAtAWholeCharacter) {
  EXPECT_EQ(SafeFolderName(std::string(300, 'a')), std::string(120, 'a'));
  std::string euros;
  for (int i = 0; i < 50; ++i) euros += "€";  // three bytes each
  const std::string cut = SafeFolderName("a" + euros);
  EXPECT_EQ(cut.size(), 118u);
  EXPECT_TRUE(unicode::IsValid(cut));
  // Replaced characters count as well.
  EXPECT_EQ(SafeFolderName(std::string(300, '?')), std::string(120, '_'));
  EXPECT_EQ(SafeFolderName(std::string(300, '\x01')), std::string(120, '_'));
  EXPECT_EQ(SafeFolderName("x" + std::string(300, '\xFF')), "x" + std::string(119, '_'));
  // What the cut leaves at the end is trimmed as any other end.
  EXPECT_EQ(SafeFolderName(std::string(119, 'b') + " c"), std::string(119, 'b'));
  EXPECT_EQ(SafeFolderName(std::string(119, 'b') + ".c"), std::string(119, 'b'));
}

TEST(FolderNamer, NamesDifferingOnlyInCaseAreKeptApart) {
  FolderNamer namer;
  EXPECT_EQ(namer.Next("HP"), "HP");
  EXPECT_EQ(namer.Next("hp"), "hp (2)");
  EXPECT_EQ(namer.Next("Hp"), "Hp (3)");
  // Beyond ASCII too, as Windows compares names.
  EXPECT_EQ(namer.Next("Drücker"), "Drücker");
  EXPECT_EQ(namer.Next("DRÜCKER"), "DRÜCKER (2)");
  // A name that is already some other one's numbered name is not handed out twice.
  EXPECT_EQ(namer.Next("hp (2)"), "hp (2) (2)");
  // Names that become the same once made safe collide as well.
  EXPECT_EQ(namer.Next("Fax: A"), "Fax_ A");
  EXPECT_EQ(namer.Next("Fax? A"), "Fax_ A (2)");
  EXPECT_EQ(namer.Next("Fax_ A."), "Fax_ A (3)");
  EXPECT_EQ(namer.Next(""), "driver");
  EXPECT_EQ(namer.Next("..."), "driver (2)");
}

TEST(FolderNamer, ReservedNamesAreNotHandedOut) {
  FolderNamer namer;
  namer.Reserve("index.json");
  namer.Reserve("summary.txt");
  EXPECT_EQ(namer.Next("index.json"), "index.json (2)");
  EXPECT_EQ(namer.Next("SUMMARY.TXT"), "SUMMARY.TXT (2)");
  EXPECT_EQ(namer.Next("Summary.txt."), "Summary.txt (3)");
  EXPECT_EQ(namer.Next("index"), "index");
}

}  // namespace
}  // namespace vormlan::cli
