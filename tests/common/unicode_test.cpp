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

// Malformed UTF-8: encoded surrogates, overlong forms, code points past
// U+10FFFF, stray continuation bytes and sequences cut short, each beside the
// nearest well-formed sequence.
TEST(UnicodeMalformed, IsValidDrawsTheLinesExactly) {
  for (const char* bad : {
           "\xED\xA0\x80",
           "\xED\xBF\xBF",              // surrogates D800, DFFF
           "\xED\xA0\xBD\xED\xB2\xA9",  // a surrogate pair, as CESU-8 writes it
           "\xC0\xAF",
           "\xC1\xBF",
           "\xC0\x80",  // overlong '/', U+007F, NUL
           "\xE0\x9F\xBF",
           "\xF0\x8F\xBF\xBF",  // overlong U+07FF, U+FFFF
           "\xF4\x90\x80\x80",
           "\xF5\x80\x80\x80",
           "\xF8\x88\x80\x80\x80",
           "\xFF",
           "\x80",
           "a\xBF",  // continuation bytes alone
           "\xC3",
           "\xE2\x82",
           "\xF0\x9F\x98",  // cut short at the end
           "\xE2\x82"
           "A",
           "\xF0\x9F\x98"
           "A",  // cut short before ASCII
       }) {
    EXPECT_FALSE(IsValid(bad)) << testing::PrintToString(std::string(bad));
  }
  for (const char* good : {"\xED\x9F\xBF", "\xEE\x80\x80", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80",
                           "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\x7F", ""}) {
    EXPECT_TRUE(IsValid(good)) << testing::PrintToString(std::string(good));
  }
}

// Decode gives up one byte at a time, so that what follows a bad byte is read
// on its own and never swallowed.
TEST(UnicodeMalformed, ConversionsReplaceOrKeepEachBadByte) {
  std::size_t pos = 0;
  char32_t cp = 0;
  EXPECT_FALSE(Decode("\xED\xA0\x80", pos, cp));
  EXPECT_EQ(pos, 1u);
  pos = 0;
  EXPECT_FALSE(
      Decode("\xE2\x82"
             "A",
             pos, cp));
  EXPECT_EQ(pos, 1u);

  const std::string fffd("\xFD\xFF", 2);
  EXPECT_EQ(ToUtf16Le("\xED\xA0\x80"), fffd + fffd + fffd);
  EXPECT_EQ(ToUtf16Le("\xC0\xAF"), fffd + fffd);
  EXPECT_EQ(ToUtf16Le("\xE2\x82"
                      "A"),
            fffd + fffd + std::string("A\0", 2));
  EXPECT_EQ(ToUtf16Le("a\xF0\x9F\x98"), std::string("a\0", 2) + fffd + fffd + fffd);
  EXPECT_EQ(FromUtf16Le(ToUtf16Le("x\xED\xB2\xA9y")), "x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDy");

  // Folding keeps malformed bytes and still folds what is around them; an
  // overlong '/' is no '/'.
  EXPECT_EQ(Fold("a\xED\xA0\x80"
                 "b\xC0\xAF"
                 "c\xE2\x82"),
            "A\xED\xA0\x80"
            "B\xC0\xAF"
            "C\xE2\x82");
  EXPECT_EQ(Fold("\xE2\x82"
                 "a"),
            "\xE2\x82"
            "A");
  EXPECT_FALSE(EqualsIgnoreCase("\xC0\xAF", "/"));
  EXPECT_FALSE(EqualsIgnoreCase("\xC0\x80", std::string(1, '\0')));
  EXPECT_FALSE(EqualsIgnoreCase("\xED\xA0\x80", "\xEF\xBF\xBD"));
  EXPECT_TRUE(EqualsIgnoreCase("x\xED\xA0\x80", "X\xED\xA0\x80"));
  EXPECT_FALSE(EqualsIgnoreCase("\xE2\x82", "\xE2\x82\xAC"));

  for (const char* bad : {"\xED\xA0\x80", "\xC0\xAF", "caf\xC3",
                          "\xE2\x82"
                          "A"}) {
    EXPECT_EQ(ToAnsi(bad), std::nullopt) << testing::PrintToString(std::string(bad));
  }
}

}  // namespace
}  // namespace vormlan::unicode
