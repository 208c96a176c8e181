// The portable word sort against the system's own CompareStringA: under Wine
// (or Windows) both comparisons must order every name the same way.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/Ansi.h"
#include "common/Collation.h"
#include "print/DriverFiles.h"

namespace vormlan::generation {
namespace {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

int Sign(int v) {
  return (v > 0) - (v < 0);
}

// A fixed-seed source of choices; mt19937's output is the same everywhere,
// and the modulo keeps it free of library-specific distributions.
class Dice {
 public:
  explicit Dice(std::uint32_t seed) : engine_(seed) {}
  std::size_t Below(std::size_t n) { return engine_() % n; }
  bool Chance(unsigned percent) { return Below(100) < percent; }
  template <typename T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  std::mt19937 engine_;
};

// Driver-like file names: stems, separators, digits, extensions, mixed case,
// accented letters, ligatures, hyphens and apostrophes, and now and then any
// byte of the code page.
std::vector<std::string> MakeNames(std::size_t count) {
  static const char* const stems[] = {"unidrv",
                                      "unidrvui",
                                      "pscript",
                                      "ps5ui",
                                      "tsprint",
                                      "co",
                                      "op",
                                      "coop",
                                      "l",
                                      "imprimante",
                                      "hp",
                                      "pcl",
                                      "res",
                                      "a",
                                      "ab",
                                      "b",
                                      "laser",
                                      "jet",
                                      "\xDC"
                                      "ber",
                                      "stra\xDF"
                                      "e",
                                      "strasse",
                                      "\xC6"
                                      "ther",
                                      "aether",
                                      "\xDE"
                                      "orn",
                                      "thorn",
                                      "caf\xE9",
                                      "cafe",
                                      "na\xEF"
                                      "ve",
                                      "se\xF1"
                                      "or",
                                      "\xC5"
                                      "ngstr\xF6"
                                      "m",
                                      "\x8C"
                                      "uvre",
                                      "oeuvre",
                                      "\x9A"
                                      "koda",
                                      "M\xFC"
                                      "ller",
                                      "dat"};
  static const char* const separators[] = {"",  "",  "",  "-", "_", ".", " ", "'",    "-",   "~",
                                           "(", ")", "+", "=", "!", "#", "@", "\x96", "\xAD"};
  static const char* const extensions[] = {".dll", ".DLL", ".ini", ".gpd", ".hlp", ".ntf",
                                           ".dat", ".ppd", ".inf", ".cab", "",     ".d-ll"};
  static const char* const accented[] = {"\xE1", "\xE0", "\xE2", "\xE4", "\xE3", "\xE5", "\xC1",
                                         "\xC9", "\xE9", "\xE8", "\xF6", "\xD8", "\xF8", "\xE7",
                                         "\xFF", "\x9F", "\xAA", "\xBA", "\xB2", "\xB9", "\xBC"};
  Dice dice(20240611);
  std::vector<std::string> names;
  names.reserve(count);
  while (names.size() < count) {
    std::string name;
    const std::size_t parts = 1 + dice.Below(3);
    for (std::size_t p = 0; p < parts; ++p) {
      if (p > 0) name += dice.Pick(separators);
      name += dice.Pick(stems);
      if (dice.Chance(30)) name += std::to_string(dice.Below(dice.Chance(50) ? 10 : 2000));
    }
    if (dice.Chance(25)) name.insert(dice.Below(name.size() + 1), dice.Pick(accented));
    if (dice.Chance(10)) name.insert(dice.Below(name.size() + 1), dice.Pick(separators));
    if (dice.Chance(8)) {
      name.insert(dice.Below(name.size() + 1), 1, static_cast<char>(1 + dice.Below(255)));
    }
    for (char& c : name) {
      if (c >= 'a' && c <= 'z' && dice.Chance(20)) c = static_cast<char>(c - 'a' + 'A');
    }
    name += dice.Pick(extensions);
    names.push_back(name);
    // Near twins: the same name in other case, or without its hyphens.
    if (dice.Chance(10)) {
      std::string twin = name;
      for (char& c : twin) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
      names.push_back(twin);
    }
    if (dice.Chance(5)) {
      std::string twin = name;
      std::erase(twin, '-');
      names.push_back(twin);
    }
  }
  names.resize(count);
  return names;
}

template <typename Compare>
std::vector<std::string> Sorted(std::vector<std::string> names, Compare compare) {
  std::stable_sort(
      names.begin(), names.end(),
      [&compare](const std::string& a, const std::string& b) { return compare(a, b) < 0; });
  return names;
}

// Reports at most a handful of disagreements with both strings in hex.
class Disagreements {
 public:
  void Check(const std::string& a, const std::string& b) {
    const int system = Sign(CompareNames(a, b));
    const int portable = Sign(WordSortCompare(a, b));
    ++checked_;
    if (system == portable) return;
    if (++count_ <= 10) {
      ADD_FAILURE() << Hex(a) << " vs " << Hex(b) << ": CompareStringA " << system
                    << ", WordSortCompare " << portable;
    }
  }
  ~Disagreements() { EXPECT_EQ(count_, 0u) << "of " << checked_ << " comparisons"; }

 private:
  std::size_t count_ = 0;
  std::size_t checked_ = 0;
};

TEST(CollationAgainstSystem, SortsGeneratedNamesIdentically) {
  const std::vector<std::string> names = MakeNames(4000);
  const auto bySystem = Sorted(names, CompareNames);
  const auto byPortable = Sorted(names, WordSortCompare);
  const auto mismatch = std::mismatch(bySystem.begin(), bySystem.end(), byPortable.begin());
  EXPECT_TRUE(mismatch.first == bySystem.end())
      << "first difference at index " << (mismatch.first - bySystem.begin()) << ": "
      << Hex(*mismatch.first) << " (CompareStringA) vs " << Hex(*mismatch.second);

  Disagreements disagreements;
  for (std::size_t i = 1; i < bySystem.size(); ++i)
    disagreements.Check(bySystem[i - 1], bySystem[i]);
  Dice dice(7);
  for (int i = 0; i < 20000; ++i) {
    disagreements.Check(names[dice.Below(names.size())], names[dice.Below(names.size())]);
  }
}

TEST(CollationAgainstSystem, DriverFilesKeepTheSameEntries) {
  const std::vector<std::string> names = MakeNames(1500);
  DriverFiles bySystem(CompareNames);
  DriverFiles byPortable(WordSortCompare);
  DriverFiles byKeys(registry::TextEncoding::Utf8);
  for (const auto& name : names) {
    bySystem.Add(name);
    byPortable.Add(name);
    byKeys.Add(ansi::ToUtf8(name));
  }
  EXPECT_EQ(bySystem.Items(), byPortable.Items());
  // CompareStringW on the UTF-8 names keeps the same entries in the same order.
  std::vector<std::string> asUtf8;
  for (const auto& name : bySystem.Items()) asUtf8.push_back(ansi::ToUtf8(name));
  EXPECT_EQ(byKeys.Items(), asUtf8);
}

// Every byte against every byte, alone and inside a name, so that each row of
// the weight table is checked on every level it has.
TEST(CollationAgainstSystem, EveryBytePairAgrees) {
  Disagreements disagreements;
  for (int x = 0; x < 256; ++x) {
    for (int y = 0; y < 256; ++y) {
      const std::string cx(1, static_cast<char>(x));
      const std::string cy(1, static_cast<char>(y));
      disagreements.Check(cx, cy);
      disagreements.Check("a" + cx + "b", "a" + cy + "b");
      disagreements.Check(cx + "e", "e" + cy);
    }
  }
}

// Hyphens, apostrophes and other tie-breakers at every position.
TEST(CollationAgainstSystem, TieBreakPositionsAgree) {
  const char* const marks[] = {"-", "'", "\x01", "\x7F", "\x96", "\x97", "\xAD", "", "--", "-'"};
  const std::string base =
      "ab\xE6"
      "cd";
  std::vector<std::string> variants;
  for (const char* mark : marks) {
    for (std::size_t at = 0; at <= base.size(); ++at) {
      std::string v = base;
      v.insert(at, mark);
      variants.push_back(v);
      variants.push_back(v + "-");
    }
  }
  Disagreements disagreements;
  for (const auto& a : variants) {
    for (const auto& b : variants) disagreements.Check(a, b);
  }
}

}  // namespace
}  // namespace vormlan::generation
