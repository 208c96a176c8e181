#include "common/Collation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Ansi.h"
#include "common/Unicode.h"

namespace vormlan::generation {
namespace {

// Windows' default word sort weighs every character on four levels, and two
// strings are compared level by level, the next level only on a tie:
//   1. primary: what the character is (space and punctuation < symbols <
//      digits < letters). A character may stand for one weight or for two
//      ("ß" is "ss", "æ" is "ae", "þ" is "th"), or for none.
//   2. diacritic: the accent of each primary weight (plain is 2).
//   3. case: with case ignored only superscripts and ordinals keep a mark.
//   4. special: the characters without a primary weight that still count
//      (hyphen, apostrophe, dashes and most control characters), each with its
//      position, so that "coop" < "co-op". A character later in the string
//      gets a lower position value and so sorts first: "ab-c" < "a-bc".
// Characters of no weight at all (NUL, soft hyphen) vanish from the
// comparison. Levels 2 and 3 hold one mark per primary weight, so once the
// primary weights tie, both strings have as many marks and are compared mark
// by mark.

struct Element {
  std::uint16_t primary;  // script in the high byte, weight in the low byte
  std::uint8_t diacritic;
  std::uint8_t caseMark;
};

struct CharWeights {
  std::uint8_t count;    // primary elements: 0, 1 or 2
  std::uint8_t special;  // nonzero: a special-level weight (then count is 0)
  std::array<Element, 2> elements;
};

constexpr CharWeights Ignored() {
  return {0, 0, {}};
}
constexpr CharWeights Special(std::uint8_t weight) {
  return {0, weight, {}};
}
constexpr CharWeights One(std::uint16_t primary, std::uint8_t diacritic, std::uint8_t caseMark) {
  return {1, 0, {Element{primary, diacritic, caseMark}, Element{}}};
}
constexpr CharWeights Two(std::uint16_t primary1, std::uint8_t diacritic1, std::uint8_t case1,
                          std::uint16_t primary2, std::uint8_t diacritic2, std::uint8_t case2) {
  return {2, 0, {Element{primary1, diacritic1, case1}, Element{primary2, diacritic2, case2}}};
}

// The weights of every Windows-1252 byte with case ignored, as the en-US
// locale's CompareStringA uses them (measured with the probe in
// tests/generation/collation_probe.cpp, "table" mode). Upper and lower case
// letters share their rows' values. The five bytes the code page leaves
// undefined act as C1 controls.
constexpr std::array<CharWeights, 256> kWeights = {{
    Ignored(),                        // 00 control
    Special(0x03),                    // 01 control
    Special(0x04),                    // 02 control
    Special(0x05),                    // 03 control
    Special(0x06),                    // 04 control
    Special(0x07),                    // 05 control
    Special(0x08),                    // 06 control
    Special(0x09),                    // 07 control
    Special(0x0A),                    // 08 control
    One(0x0705, 2, 2),                // 09 control
    One(0x0706, 2, 2),                // 0A control
    One(0x0707, 2, 2),                // 0B control
    One(0x0708, 2, 2),                // 0C control
    One(0x0709, 2, 2),                // 0D control
    Special(0x0B),                    // 0E control
    Special(0x0C),                    // 0F control
    Special(0x0D),                    // 10 control
    Special(0x0E),                    // 11 control
    Special(0x0F),                    // 12 control
    Special(0x10),                    // 13 control
    Special(0x11),                    // 14 control
    Special(0x12),                    // 15 control
    Special(0x13),                    // 16 control
    Special(0x14),                    // 17 control
    Special(0x15),                    // 18 control
    Special(0x16),                    // 19 control
    Special(0x17),                    // 1A control
    Special(0x18),                    // 1B control
    Special(0x19),                    // 1C control
    Special(0x1A),                    // 1D control
    Special(0x1B),                    // 1E control
    Special(0x1C),                    // 1F control
    One(0x0702, 2, 2),                // 20 space
    One(0x071C, 2, 2),                // 21 !
    One(0x071D, 2, 2),                // 22 "
    One(0x071F, 2, 2),                // 23 #
    One(0x0721, 2, 2),                // 24 $
    One(0x0723, 2, 2),                // 25 %
    One(0x0725, 2, 2),                // 26 &
    Special(0x80),                    // 27 '
    One(0x0727, 2, 2),                // 28 (
    One(0x072A, 2, 2),                // 29 )
    One(0x072D, 2, 2),                // 2A *
    One(0x0803, 2, 2),                // 2B +
    One(0x072F, 2, 2),                // 2C ,
    Special(0x82),                    // 2D -
    One(0x0733, 2, 2),                // 2E .
    One(0x0735, 2, 2),                // 2F /
    One(0x0D03, 2, 2),                // 30 0
    One(0x0D1A, 2, 2),                // 31 1
    One(0x0D1C, 2, 2),                // 32 2
    One(0x0D1E, 2, 2),                // 33 3
    One(0x0D20, 2, 2),                // 34 4
    One(0x0D22, 2, 2),                // 35 5
    One(0x0D24, 2, 2),                // 36 6
    One(0x0D26, 2, 2),                // 37 7
    One(0x0D28, 2, 2),                // 38 8
    One(0x0D2A, 2, 2),                // 39 9
    One(0x0737, 2, 2),                // 3A :
    One(0x073A, 2, 2),                // 3B ;
    One(0x080E, 2, 2),                // 3C <
    One(0x0812, 2, 2),                // 3D =
    One(0x0814, 2, 2),                // 3E >
    One(0x073C, 2, 2),                // 3F ?
    One(0x073E, 2, 2),                // 40 @
    One(0x0E02, 2, 2),                // 41 A
    One(0x0E09, 2, 2),                // 42 B
    One(0x0E0A, 2, 2),                // 43 C
    One(0x0E1A, 2, 2),                // 44 D
    One(0x0E21, 2, 2),                // 45 E
    One(0x0E23, 2, 2),                // 46 F
    One(0x0E25, 2, 2),                // 47 G
    One(0x0E2C, 2, 2),                // 48 H
    One(0x0E32, 2, 2),                // 49 I
    One(0x0E35, 2, 2),                // 4A J
    One(0x0E36, 2, 2),                // 4B K
    One(0x0E48, 2, 2),                // 4C L
    One(0x0E51, 2, 2),                // 4D M
    One(0x0E70, 2, 2),                // 4E N
    One(0x0E7C, 2, 2),                // 4F O
    One(0x0E7E, 2, 2),                // 50 P
    One(0x0E89, 2, 2),                // 51 Q
    One(0x0E8A, 2, 2),                // 52 R
    One(0x0E91, 2, 2),                // 53 S
    One(0x0E99, 2, 2),                // 54 T
    One(0x0E9F, 2, 2),                // 55 U
    One(0x0EA2, 2, 2),                // 56 V
    One(0x0EA4, 2, 2),                // 57 W
    One(0x0EA6, 2, 2),                // 58 X
    One(0x0EA7, 2, 2),                // 59 Y
    One(0x0EA9, 2, 2),                // 5A Z
    One(0x073F, 2, 2),                // 5B [
    One(0x0741, 2, 2),                // 5C backslash
    One(0x0742, 2, 2),                // 5D ]
    One(0x0743, 2, 2),                // 5E ^
    One(0x0744, 2, 2),                // 5F _
    One(0x0748, 2, 2),                // 60 `
    One(0x0E02, 2, 2),                // 61 a
    One(0x0E09, 2, 2),                // 62 b
    One(0x0E0A, 2, 2),                // 63 c
    One(0x0E1A, 2, 2),                // 64 d
    One(0x0E21, 2, 2),                // 65 e
    One(0x0E23, 2, 2),                // 66 f
    One(0x0E25, 2, 2),                // 67 g
    One(0x0E2C, 2, 2),                // 68 h
    One(0x0E32, 2, 2),                // 69 i
    One(0x0E35, 2, 2),                // 6A j
    One(0x0E36, 2, 2),                // 6B k
    One(0x0E48, 2, 2),                // 6C l
    One(0x0E51, 2, 2),                // 6D m
    One(0x0E70, 2, 2),                // 6E n
    One(0x0E7C, 2, 2),                // 6F o
    One(0x0E7E, 2, 2),                // 70 p
    One(0x0E89, 2, 2),                // 71 q
    One(0x0E8A, 2, 2),                // 72 r
    One(0x0E91, 2, 2),                // 73 s
    One(0x0E99, 2, 2),                // 74 t
    One(0x0E9F, 2, 2),                // 75 u
    One(0x0EA2, 2, 2),                // 76 v
    One(0x0EA4, 2, 2),                // 77 w
    One(0x0EA6, 2, 2),                // 78 x
    One(0x0EA7, 2, 2),                // 79 y
    One(0x0EA9, 2, 2),                // 7A z
    One(0x074A, 2, 2),                // 7B {
    One(0x074C, 2, 2),                // 7C |
    One(0x074E, 2, 2),                // 7D }
    One(0x0750, 2, 2),                // 7E ~
    Special(0x1D),                    // 7F control
    One(0x07A9, 2, 2),                // 80 €
    One(0x0CFA, 30, 2),               // 81 control
    One(0x077B, 2, 2),                // 82 ‚
    One(0x0E23, 67, 2),               // 83 ƒ
    One(0x077F, 2, 2),                // 84 „
    One(0x0A10, 2, 2),                // 85 …
    One(0x0B25, 2, 2),                // 86 †
    One(0x0B26, 2, 2),                // 87 ‡
    One(0x0743, 2, 2),                // 88 ˆ
    One(0x0B2C, 12, 2),               // 89 ‰
    One(0x0E91, 20, 2),               // 8A Š
    One(0x0788, 2, 2),                // 8B ‹
    Two(0x0E7C, 2, 2, 0x0E21, 2, 2),  // 8C Œ
    One(0x0CFA, 42, 2),               // 8D control
    One(0x0EA9, 20, 2),               // 8E Ž
    One(0x0CFA, 44, 2),               // 8F control
    One(0x0CFA, 45, 2),               // 90 control
    One(0x0779, 2, 2),                // 91 ‘
    One(0x077A, 2, 2),                // 92 ’
    One(0x077D, 2, 2),                // 93 “
    One(0x077E, 2, 2),                // 94 ”
    One(0x0B27, 2, 2),                // 95 •
    Special(0x89),                    // 96 –
    Special(0x90),                    // 97 —
    One(0x075D, 2, 2),                // 98 ˜
    One(0x0E9C, 2, 2),                // 99 ™
    One(0x0E91, 20, 2),               // 9A š
    One(0x0789, 2, 2),                // 9B ›
    Two(0x0E7C, 2, 2, 0x0E21, 2, 2),  // 9C œ
    One(0x0CFA, 58, 2),               // 9D control
    One(0x0EA9, 20, 2),               // 9E ž
    One(0x0EA7, 19, 2),               // 9F Ÿ
    One(0x0704, 2, 2),                // A0 no-break space
    One(0x0751, 2, 2),                // A1 ¡
    One(0x0797, 2, 2),                // A2 ¢
    One(0x0798, 2, 2),                // A3 £
    One(0x0799, 2, 2),                // A4 ¤
    One(0x079A, 2, 2),                // A5 ¥
    One(0x0752, 2, 2),                // A6 ¦
    One(0x0A06, 2, 2),                // A7 §
    One(0x0753, 2, 2),                // A8 ¨
    One(0x0A07, 2, 2),                // A9 ©
    One(0x0E02, 3, 6),                // AA ª
    One(0x0818, 2, 2),                // AB «
    One(0x0A08, 2, 2),                // AC ¬
    Ignored(),                        // AD soft hyphen
    One(0x0A09, 2, 2),                // AE ®
    One(0x0754, 2, 2),                // AF ¯
    One(0x0A0A, 2, 2),                // B0 °
    One(0x0817, 2, 2),                // B1 ±
    One(0x0D1C, 2, 6),                // B2 ²
    One(0x0D1E, 2, 6),                // B3 ³
    One(0x0755, 2, 2),                // B4 ´
    One(0x0A0B, 2, 2),                // B5 µ
    One(0x0A0C, 2, 2),                // B6 ¶
    One(0x0A0D, 2, 2),                // B7 ·
    One(0x0756, 2, 2),                // B8 ¸
    One(0x0D1A, 2, 6),                // B9 ¹
    One(0x0E7C, 3, 6),                // BA º
    One(0x081A, 2, 2),                // BB »
    One(0x0D0D, 2, 2),                // BC ¼
    One(0x0D11, 2, 2),                // BD ½
    One(0x0D15, 2, 2),                // BE ¾
    One(0x0757, 2, 2),                // BF ¿
    One(0x0E02, 15, 2),               // C0 À
    One(0x0E02, 14, 2),               // C1 Á
    One(0x0E02, 18, 2),               // C2 Â
    One(0x0E02, 25, 2),               // C3 Ã
    One(0x0E02, 19, 2),               // C4 Ä
    One(0x0E02, 26, 2),               // C5 Å
    Two(0x0E02, 2, 2, 0x0E21, 2, 2),  // C6 Æ
    One(0x0E0A, 28, 2),               // C7 Ç
    One(0x0E21, 15, 2),               // C8 È
    One(0x0E21, 14, 2),               // C9 É
    One(0x0E21, 18, 2),               // CA Ê
    One(0x0E21, 19, 2),               // CB Ë
    One(0x0E32, 15, 2),               // CC Ì
    One(0x0E32, 14, 2),               // CD Í
    One(0x0E32, 18, 2),               // CE Î
    One(0x0E32, 19, 2),               // CF Ï
    One(0x0E1A, 104, 2),              // D0 Ð
    One(0x0E70, 25, 2),               // D1 Ñ
    One(0x0E7C, 15, 2),               // D2 Ò
    One(0x0E7C, 14, 2),               // D3 Ó
    One(0x0E7C, 18, 2),               // D4 Ô
    One(0x0E7C, 25, 2),               // D5 Õ
    One(0x0E7C, 19, 2),               // D6 Ö
    One(0x081C, 2, 2),                // D7 ×
    One(0x0E7C, 33, 2),               // D8 Ø
    One(0x0E9F, 15, 2),               // D9 Ù
    One(0x0E9F, 14, 2),               // DA Ú
    One(0x0E9F, 18, 2),               // DB Û
    One(0x0E9F, 19, 2),               // DC Ü
    One(0x0EA7, 14, 2),               // DD Ý
    Two(0x0E99, 2, 2, 0x0E2C, 2, 2),  // DE Þ
    Two(0x0E91, 2, 2, 0x0E91, 2, 2),  // DF ß
    One(0x0E02, 15, 2),               // E0 à
    One(0x0E02, 14, 2),               // E1 á
    One(0x0E02, 18, 2),               // E2 â
    One(0x0E02, 25, 2),               // E3 ã
    One(0x0E02, 19, 2),               // E4 ä
    One(0x0E02, 26, 2),               // E5 å
    Two(0x0E02, 2, 2, 0x0E21, 2, 2),  // E6 æ
    One(0x0E0A, 28, 2),               // E7 ç
    One(0x0E21, 15, 2),               // E8 è
    One(0x0E21, 14, 2),               // E9 é
    One(0x0E21, 18, 2),               // EA ê
    One(0x0E21, 19, 2),               // EB ë
    One(0x0E32, 15, 2),               // EC ì
    One(0x0E32, 14, 2),               // ED í
    One(0x0E32, 18, 2),               // EE î
    One(0x0E32, 19, 2),               // EF ï
    One(0x0E1A, 104, 2),              // F0 ð
    One(0x0E70, 25, 2),               // F1 ñ
    One(0x0E7C, 15, 2),               // F2 ò
    One(0x0E7C, 14, 2),               // F3 ó
    One(0x0E7C, 18, 2),               // F4 ô
    One(0x0E7C, 25, 2),               // F5 õ
    One(0x0E7C, 19, 2),               // F6 ö
    One(0x081D, 2, 2),                // F7 ÷
    One(0x0E7C, 33, 2),               // F8 ø
    One(0x0E9F, 15, 2),               // F9 ù
    One(0x0E9F, 14, 2),               // FA ú
    One(0x0E9F, 18, 2),               // FB û
    One(0x0E9F, 19, 2),               // FC ü
    One(0x0EA7, 14, 2),               // FD ý
    Two(0x0E99, 2, 2, 0x0E2C, 2, 2),  // FE þ
    One(0x0EA7, 19, 2),               // FF ÿ
}};

const CharWeights& WeightsOf(char c) {
  return kWeights[static_cast<unsigned char>(c)];
}

// Walks the primary elements of a string in order (with their diacritic and
// case marks), skipping the characters that have none.
class ElementCursor {
 public:
  explicit ElementCursor(std::string_view text) : text_(text) {}

  // The next element, or nullptr once the string is used up.
  const Element* Next() {
    while (taken_ == row_->count) {
      if (pos_ == text_.size()) return nullptr;
      row_ = &WeightsOf(text_[pos_++]);
      taken_ = 0;
    }
    return &row_->elements[taken_++];
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  const CharWeights* row_ = &kWeights[0];  // weightless: the walk starts with the first byte
  std::uint8_t taken_ = 0;
};

// Compares one level: the key of each element in turn, a string that runs
// out first being the lesser. -1, 0 or 1.
template <typename Key>
int CompareLevel(std::string_view a, std::string_view b, Key key) {
  ElementCursor ca(a);
  ElementCursor cb(b);
  for (;;) {
    const Element* x = ca.Next();
    const Element* y = cb.Next();
    if (x == nullptr || y == nullptr) return (x != nullptr) - (y != nullptr);
    const auto kx = key(*x);
    const auto ky = key(*y);
    if (kx != ky) return kx < ky ? -1 : 1;
  }
}

// The special-level keys of a string: position << 8 | weight for each
// character that only breaks ties. The position is 0xFFFF less the number of
// primary weights before the character, wrapping like a 16-bit count.
class SpecialCursor {
 public:
  explicit SpecialCursor(std::string_view text) : text_(text) {}

  // False once the string holds no further such character.
  bool Next(std::uint32_t& key) {
    while (pos_ < text_.size()) {
      const CharWeights& w = WeightsOf(text_[pos_++]);
      if (w.special != 0) {
        key = (0xFFFFu - (primaries_ & 0xFFFFu)) << 8 | w.special;
        return true;
      }
      primaries_ += w.count;
    }
    return false;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t primaries_ = 0;
};

int CompareSpecial(std::string_view a, std::string_view b) {
  SpecialCursor ca(a);
  SpecialCursor cb(b);
  for (;;) {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    const bool hasX = ca.Next(x);
    const bool hasY = cb.Next(y);
    if (!hasX || !hasY) return static_cast<int>(hasX) - static_cast<int>(hasY);
    if (x != y) return x < y ? -1 : 1;
  }
}

// Sort keys: the four levels one after the other, each level but the last
// closed by kLevelEnd, which is below every byte that starts a weight, so a
// level that runs out first sorts first, as in CompareLevel.
constexpr char kLevelEnd = 0x01;

// One character's weights for a key: a code page character's row of the
// table, or for a character outside the code page a primary weight above all
// of the table's (its script byte 0x0F and up) with plain accent and case.
struct KeyChar {
  const CharWeights* row = nullptr;  // the table's row, or null
  char32_t extended = 0;             // upper-case code point when row is null
};

// Writes the three bytes of one element's primary weight at p.
char* PutPrimary(char* p, const KeyChar& c, std::size_t element) {
  if (c.row != nullptr) {
    const std::uint16_t w = c.row->elements[element].primary;
    *p++ = static_cast<char>(w >> 8);
    *p++ = static_cast<char>(w & 0xFF);
    *p++ = '\0';
  } else {
    *p++ = static_cast<char>(0x0F + (c.extended >> 16));
    *p++ = static_cast<char>((c.extended >> 8) & 0xFF);
    *p++ = static_cast<char>(c.extended & 0xFF);
  }
  return p;
}

// The key is sized first and then written in place: sorting many names
// builds one key per name.
std::string BuildKey(const std::vector<KeyChar>& chars) {
  auto count = [](const KeyChar& c) -> std::size_t { return c.row ? c.row->count : 1; };
  std::size_t elements = 0;
  std::size_t specials = 0;
  for (const auto& c : chars) {
    elements += count(c);
    specials += c.row != nullptr && c.row->special != 0;
  }
  std::string key(5 * elements + 3 + 3 * specials, '\0');
  char* p = key.data();
  for (const auto& c : chars) {
    for (std::size_t e = 0; e < count(c); ++e) p = PutPrimary(p, c, e);
  }
  *p++ = kLevelEnd;
  for (const auto& c : chars) {
    for (std::size_t e = 0; e < count(c); ++e) {
      *p++ = static_cast<char>(c.row ? c.row->elements[e].diacritic : 2);
    }
  }
  *p++ = kLevelEnd;
  for (const auto& c : chars) {
    for (std::size_t e = 0; e < count(c); ++e) {
      *p++ = static_cast<char>(c.row ? c.row->elements[e].caseMark : 2);
    }
  }
  *p++ = kLevelEnd;
  std::size_t primaries = 0;
  for (const auto& c : chars) {
    if (c.row != nullptr && c.row->special != 0) {
      const std::uint32_t position = 0xFFFFu - (primaries & 0xFFFFu);
      *p++ = static_cast<char>(position >> 8);
      *p++ = static_cast<char>(position & 0xFF);
      *p++ = static_cast<char>(c.row->special);
    }
    primaries += count(c);
  }
  return key;
}

}  // namespace

std::string WordSortKey(std::string_view ansiText) {
  std::vector<KeyChar> chars;
  chars.reserve(ansiText.size());
  for (const char c : ansiText) chars.push_back(KeyChar{&WeightsOf(c), 0});
  return BuildKey(chars);
}

std::string WordSortKeyUtf8(std::string_view utf8) {
  std::vector<KeyChar> chars;
  chars.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = 0;
    if (!unicode::Decode(utf8, pos, cp)) cp = 0xFFFD;
    const char ansiChar = ansi::FromCodePoint(cp);
    if (ansiChar != '?' || cp == '?') {
      chars.push_back(KeyChar{&WeightsOf(ansiChar), 0});
    } else {
      chars.push_back(KeyChar{nullptr, unicode::ToUpper(cp)});
    }
  }
  return BuildKey(chars);
}

int WordSortCompare(std::string_view a, std::string_view b) {
  if (const int r = CompareLevel(a, b, [](const Element& e) { return e.primary; })) return r;
  if (const int r = CompareLevel(a, b, [](const Element& e) { return e.diacritic; })) return r;
  if (const int r = CompareLevel(a, b, [](const Element& e) { return e.caseMark; })) return r;
  return CompareSpecial(a, b);
}

#ifndef _WIN32
int CompareNames(std::string_view a, std::string_view b) {
  return WordSortCompare(a, b);
}

int CompareNamesUtf8(std::string_view a, std::string_view b) {
  const int r = WordSortKeyUtf8(a).compare(WordSortKeyUtf8(b));
  return (r > 0) - (r < 0);
}
#endif

}  // namespace vormlan::generation
