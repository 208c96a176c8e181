// Orderings of the word sort, checked for both comparisons: natively
// CompareNames is the portable one, under Wine it is the system's own, so the
// same expectations hold the table to what Windows does.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Ansi.h"
#include "common/Collation.h"
#include "print/DriverFiles.h"

namespace vormlan::generation {
namespace {

using CompareFn = int (*)(std::string_view, std::string_view);

struct NamedCompare {
  const char* name;
  CompareFn compare;
};

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

void PrintTo(const NamedCompare& c, std::ostream* os) {
  *os << c.name;
}

class Collation : public ::testing::TestWithParam<NamedCompare> {
 protected:
  int Cmp(std::string_view a, std::string_view b) const {
    const int r = GetParam().compare(a, b);
    return (r > 0) - (r < 0);
  }

  // Every element before every later one, in both directions.
  void ExpectStrictOrder(const std::vector<std::string>& ordered) const {
    for (std::size_t i = 0; i < ordered.size(); ++i) {
      for (std::size_t j = i + 1; j < ordered.size(); ++j) {
        EXPECT_EQ(Cmp(ordered[i], ordered[j]), -1)
            << Hex(ordered[i]) << " should sort before " << Hex(ordered[j]);
        EXPECT_EQ(Cmp(ordered[j], ordered[i]), 1)
            << Hex(ordered[j]) << " should sort after " << Hex(ordered[i]);
      }
    }
  }

  void ExpectEqual(std::string_view a, std::string_view b) const {
    EXPECT_EQ(Cmp(a, b), 0) << Hex(a) << " vs " << Hex(b);
    EXPECT_EQ(Cmp(b, a), 0) << Hex(b) << " vs " << Hex(a);
  }
};

TEST_P(Collation, PunctuationThenSymbolsThenDigitsThenLetters) {
  ExpectStrictOrder({"",  " ", "!", "\"", "#", "$", "%", "&",  "(", ")", "*", ",",
                     ".", "/", ":", ";",  "?", "@", "[", "\\", "]", "^", "_", "`",
                     "{", "|", "}", "~",  "+", "<", "=", ">",  "0", "1", "2", "3",
                     "4", "5", "6", "7",  "8", "9", "a", "B",  "c", "m", "Y", "z"});
}

TEST_P(Collation, NamesThatByteOrderGetsWrong) {
  ExpectStrictOrder({"tsprint.dll", "tsprint-datafile.dat"});
  ExpectStrictOrder({"a.dll", "a_.dll"});
  ExpectStrictOrder({"coop", "co-op"});
  ExpectStrictOrder({"ab", "a'b"});
  ExpectStrictOrder({"10.dll", "9.dll"});
  ExpectStrictOrder({"PS5UI.DLL", "pscript.hlp", "PSCRIPT5.DLL"});
  ExpectStrictOrder({"abc", "ABD"});
}

// Hyphen and apostrophe weigh nothing until everything else ties; then the
// string whose mark stands later wins, then the lighter mark.
TEST_P(Collation, HyphenAndApostropheOnlyBreakTies) {
  ExpectStrictOrder({"coop", "coo-p", "co-op", "-coop"});
  ExpectStrictOrder({"ab-c", "a-bc"});
  ExpectStrictOrder({"a'b", "a-b"});
  ExpectStrictOrder({"a-b", "a--b"});
  ExpectStrictOrder({"ab", "a-b", "ac", "a-c"});
  // An accent outweighs any hyphen.
  ExpectStrictOrder({"a-b",
                     "\xE1"
                     "b"});
}

TEST_P(Collation, AccentsCountOnlyAfterTheLetters) {
  ExpectStrictOrder({"a", "\xE1", "\xE0", "\xE2", "\xE4", "\xE3", "\xE5", "b"});
  ExpectStrictOrder(
      {"\xE1"
       "a",
       "ab",
       "\xE1"
       "b"});
  ExpectStrictOrder({"e", "\xE9", "\xE8", "\xEA", "\xEB", "f"});
  // The first accented letter from the left decides.
  ExpectStrictOrder({"e\xE9",
                     "\xE9"
                     "e"});
  ExpectStrictOrder({"o", "\xF6", "\xF8", "p"});
  ExpectStrictOrder({"d", "\xF0", "e"});
  ExpectEqual("\xC9", "\xE9");
}

TEST_P(Collation, CaseIsIgnored) {
  ExpectEqual("UNIDRV.DLL", "unidrv.dll");
  ExpectEqual(
      "Stra\xDF"
      "e",
      "STRASSE");
  ExpectEqual("\xC4RGER", "\xE4rger");
  ExpectEqual("\x8A", "\x9A");
  ExpectEqual("\xFF", "\x9F");
}

TEST_P(Collation, LigaturesEqualTheirLetters) {
  ExpectEqual("\xDF", "ss");
  ExpectEqual(
      "stra\xDF"
      "e.dll",
      "strasse.dll");
  ExpectEqual("\xE6", "ae");
  ExpectEqual("\xC6ther", "AETHER");
  ExpectEqual("\xFE", "th");
  ExpectEqual("\x9C", "oe");
  ExpectEqual("\x8C", "OE");
  // A ligature holds two places, for the hyphen after it too.
  ExpectEqual("\xE6-b", "ae-b");
  ExpectStrictOrder({"s", "\xDF", "st"});
}

TEST_P(Collation, ControlCharactersAndInvisibles) {
  // NUL and the soft hyphen weigh nothing at all.
  ExpectEqual("ab", std::string("a\0b", 3));
  ExpectEqual("ab",
              "a\xAD"
              "b");
  ExpectEqual("", std::string(1, '\0'));
  // Most controls act like the hyphen, lighter than it.
  ExpectStrictOrder({"ab",
                     "a\x01"
                     "b",
                     "a\x1F"
                     "b",
                     "a\x7F"
                     "b",
                     "a'b", "a-b",
                     "a\x96"
                     "b",
                     "a\x97"
                     "b"});
  // Tab to carriage return are spaces of a sort.
  ExpectStrictOrder({"a b",
                     "a\xA0"
                     "b",
                     "a\tb", "a\nb", "a\rb", "a!b"});
  // The bytes the code page leaves undefined sort after the symbols and
  // before the digits, each apart.
  ExpectStrictOrder({"\x86", "\x81", "\x8D", "\x8F", "\x90", "\x9D", "0"});
}

TEST_P(Collation, SymbolsSuperscriptsAndFractions) {
  ExpectStrictOrder({"~",    "+",    "<",    "=",    ">",    "\xB1", "\xAB", "\xBB", "\xD7", "\xF7",
                     "\xA7", "\xA9", "\xAC", "\xAE", "\xB0", "\xB5", "\xB6", "\xB7", "\x86", "0"});
  ExpectStrictOrder({"\xA2", "\xA3", "\xA4", "\xA5", "\x80"});
  ExpectStrictOrder({"0", "\xBC", "\xBD", "\xBE", "1", "\xB9", "2", "\xB2", "3", "\xB3", "4"});
  ExpectStrictOrder({"2", "\xB2", "2a"});
  ExpectStrictOrder({"f", "\x83", "g"});
  ExpectStrictOrder({"a", "\xAA", "b"});
}

TEST_P(Collation, EmptySortsFirst) {
  for (int c = 1; c < 256; ++c) {
    const std::string one(1, static_cast<char>(c));
    if (c == 0xAD) continue;  // weightless, so equal to nothing at all
    EXPECT_EQ(Cmp("", one), -1) << Hex(one);
  }
  ExpectEqual("", "\xAD");
}

// Sorting all one- and two-byte strings must leave a consistent order: each
// later string compares greater than or equal to each earlier one.
TEST_P(Collation, OrderIsConsistentOverShortStrings) {
  std::vector<std::string> items;
  const char probes[] = {'\0', '\x01', ' ',    '-',    '\'',   '.',    '0',    '9',    'a',   'B',
                         's',  '\xDF', '\xE6', '\xE1', '\xB2', '\xAD', '\x81', '\xA7', '\x96'};
  for (int c = 0; c < 256; ++c) items.emplace_back(1, static_cast<char>(c));
  for (const char x : probes) {
    for (const char y : probes) items.push_back(std::string{x, y});
  }
  std::sort(items.begin(), items.end(),
            [this](const std::string& a, const std::string& b) { return Cmp(a, b) < 0; });
  for (std::size_t i = 0; i < items.size(); ++i) {
    for (std::size_t j = i + 1; j < items.size(); ++j) {
      ASSERT_LE(Cmp(items[i], items[j]), 0) << Hex(items[i]) << " vs " << Hex(items[j]);
      ASSERT_EQ(Cmp(items[i], items[j]), -Cmp(items[j], items[i]));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Both, Collation,
                         ::testing::Values(NamedCompare{"WordSortCompare", WordSortCompare},
                                           NamedCompare{"CompareNames", CompareNames}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(DriverFilesList, KeepsNamesInCollationOrder) {
  DriverFiles files;
  for (const char* name : {"unidrv.dll", "PS5UI.DLL", "tsprint-datafile.dat", "tsprint.dll",
                           "9.dll", "10.dll", "a_.dll", "a.dll",
                           "stra\xDF"
                           "e.ini"}) {
    files.Add(name);
  }
  const std::vector<std::string> expected = {"10.dll",
                                             "9.dll",
                                             "a.dll",
                                             "a_.dll",
                                             "PS5UI.DLL",
                                             "stra\xDF"
                                             "e.ini",
                                             "tsprint.dll",
                                             "tsprint-datafile.dat",
                                             "unidrv.dll"};
  EXPECT_EQ(files.Items(), expected);
}

TEST(DriverFilesList, FirstOfEqualNamesStaysWithItsCase) {
  for (const auto encoding : {registry::TextEncoding::Ansi, registry::TextEncoding::Utf8}) {
    DriverFiles files(encoding);
    for (const char* name :
         {"unidrv.dll", "unidrv.hlp", "UNIDRV.DLL", "Unidrv.Dll", "STRASSE.INI", "unidrv.hlp"}) {
      files.Add(name);
    }
    files.Add(encoding == registry::TextEncoding::Ansi ? "stra\xDF"
                                                         "e.ini"
                                                       : "straße.ini");
    const std::vector<std::string> expected = {"STRASSE.INI", "unidrv.dll", "unidrv.hlp"};
    EXPECT_EQ(files.Items(), expected);
  }
}

TEST(DriverFilesList, HyphenatedTwinsAreDistinct) {
  DriverFiles files;
  for (const char* name : {"co-op.dll", "coop.dll", "CO-OP.DLL"}) files.Add(name);
  const std::vector<std::string> expected = {"coop.dll", "co-op.dll"};
  EXPECT_EQ(files.Items(), expected);
}

TEST(DriverFilesList, EmptyEntriesCollapseAndSortFirst) {
  DriverFiles files;
  for (const char* name : {"pscript.ntf", "", " ", "", "-"}) files.Add(name);
  const std::vector<std::string> expected = {"", "-", " ", "pscript.ntf"};
  EXPECT_EQ(files.Items(), expected);
  EXPECT_EQ(files.Count(), 4u);
  files.Add("A.DLL");  // names added after a read are sorted in at the next
  EXPECT_EQ(files.Items()[3], "A.DLL");
}

TEST(DriverFilesList, UsesTheComparisonItIsGiven) {
  DriverFiles files([](std::string_view a, std::string_view b) { return a.compare(b); });
  for (const char* name : {"b", "B", "a", "b"}) files.Add(name);
  const std::vector<std::string> expected = {"B", "a", "b"};
  EXPECT_EQ(files.Items(), expected);
}

// The keys must order exactly as the level-by-level comparison: checked on
// every pair of a set of names built from the characters that behave
// differently (specials, ligatures, accents, case, controls).
TEST(WordSortKeys, OrderAsTheComparisonOnEveryPair) {
  const std::string alphabet = std::string(
                                   "aA-'e\xE9\xC6\xDF"
                                   "s0\x01 .~\x96\xAD",
                                   16) +
                               std::string(1, '\0');
  std::vector<std::string> names = {""};
  for (const char a : alphabet) {
    names.emplace_back(1, a);
    for (const char b : alphabet) {
      names.push_back(std::string{a, b});
      for (const char c : std::string("a-\xE6")) names.push_back(std::string{a, b, c});
    }
  }
  for (const auto& x : names) {
    const std::string kx = WordSortKey(x);
    for (const auto& y : names) {
      const int expected = WordSortCompare(x, y);
      const int viaKeys = kx.compare(WordSortKey(y));
      ASSERT_EQ((viaKeys > 0) - (viaKeys < 0), expected) << Hex(x) << " vs " << Hex(y);
    }
  }
}

TEST(WordSortKeys, Utf8NamesSortAsTheirAnsiSpellingAndOthersAfterLetters) {
  for (const char* ansiName : {"caf\xE9.dll", "\x80uro", "\x9Cuvre",
                               "Stra\xDF"
                               "e",
                               "x-y'z"}) {
    EXPECT_EQ(WordSortKeyUtf8(ansi::ToUtf8(ansiName)), WordSortKey(ansiName)) << ansiName;
  }
  DriverFiles files(registry::TextEncoding::Utf8);
  for (const char* name : {"ダ.dll", "zeta.dll", "Отдел.gpd", "ОТДЕЛ.GPD", "1.dll", "ダ.DLL"}) {
    files.Add(name);
  }
  const std::vector<std::string> expected = {"1.dll", "zeta.dll", "Отдел.gpd", "ダ.dll"};
  EXPECT_EQ(files.Items(), expected);
}

}  // namespace
}  // namespace vormlan::generation
