#include "common/Unicode.h"

#include <gtest/gtest.h>

#include "common/Ansi.h"

namespace vormlan::unicode {
namespace {

TEST(UnicodeFold, AgreesWithAnsiFoldingForEveryCodePageByte) {
  for (int b = 1; b < 256; ++b) {
    const std::string ansiChar(1, static_cast<char>(b));
    const std::string expected =
        FromAnsi(std::string(1, static_cast<char>(ansi::ToUpper(static_cast<unsigned char>(b)))));
    EXPECT_EQ(Fold(FromAnsi(ansiChar)), expected) << "byte " << b;
  }
}

TEST(UnicodeFold, FoldsScriptsBeyondTheCodePage) {
  EXPECT_TRUE(EqualsIgnoreCase("принтер Отдела", "ПРИНТЕР отдела"));
  EXPECT_TRUE(EqualsIgnoreCase("Σίγμα", "ΣΊΓΜΑ"));
  EXPECT_TRUE(EqualsIgnoreCase("ＬａｓｅＲ", "ｌＡＳＥｒ"));  // fullwidth Latin
  EXPECT_FALSE(EqualsIgnoreCase("プリンタ", "プリンター"));
  EXPECT_FALSE(EqualsIgnoreCase("ı", "I"));  // dotless i stays apart, as in ANSI names
  EXPECT_EQ(Fold("a\xFF"
                 "b"),
            "A\xFF"
            "B");  // malformed bytes kept
}

TEST(UnicodeConversion, Utf16RoundTripKeepsNulsAndSupplementaryCharacters) {
  const std::string text = std::string("a\0b", 3) + "ダ😀é";
  EXPECT_EQ(FromUtf16Le(ToUtf16Le(text)), text);
  EXPECT_EQ(ToUtf16Le("😀"), std::string("\x3D\xD8\x00\xDE", 4));
  EXPECT_EQ(FromUtf16Le(std::string("\x00\xD8"
                                    "A",
                                    3)),
            "\xEF\xBF\xBD");  // lone surrogate, odd byte
}

TEST(UnicodeConversion, AnsiOnlyWhenEveryCharacterFits) {
  EXPECT_EQ(ToAnsi("Café €5"), std::optional<std::string>("Caf\xE9 \x80"
                                                          "5"));
  EXPECT_EQ(ToAnsi("ダダ"), std::nullopt);
  EXPECT_EQ(ToAnsi("\xC3"), std::nullopt);
  EXPECT_EQ(ToAnsi("?"), std::optional<std::string>("?"));
}

}  // namespace
}  // namespace vormlan::unicode
