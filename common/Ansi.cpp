#include "common/Ansi.h"

#include <array>

#include "common/Unicode.h"

namespace vormlan::ansi {
namespace {

// Code points of the bytes 0x80..0x9F; 0 marks the five undefined positions.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

char FromCodePoint(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] != 0 && kHigh[i] == cp) return static_cast<char>(0x80 + i);
  }
  // The undefined positions round-trip through their C1 controls.
  if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D) {
    return static_cast<char>(cp);
  }
  return '?';
}

char32_t ToCodePoint(unsigned char c) {
  if (c < 0x80 || c >= 0xA0) return c;
  const char32_t cp = kHigh[c - 0x80];
  return cp != 0 ? cp : c;
}

std::string FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = 0;
    out += unicode::Decode(utf8, pos, cp) ? FromCodePoint(cp) : '?';
  }
  return out;
}

std::string FromUtf16Le(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  const std::size_t units = bytes.size() / 2;
  auto unit = [&](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      ++i;  // A character outside the BMP: never in the code page.
      out += '?';
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out += '?';
    } else {
      out += FromCodePoint(u);
    }
  }
  return out;
}

std::string ToUtf8(std::string_view ansiText) {
  std::string out;
  out.reserve(ansiText.size());
  std::size_t pos = 0;
  while (pos < ansiText.size()) {
    // ASCII is the same in UTF-8: copied a run at a time.
    std::size_t run = pos;
    while (run < ansiText.size() && static_cast<unsigned char>(ansiText[run]) < 0x80) ++run;
    out.append(ansiText.substr(pos, run - pos));
    if (run == ansiText.size()) break;
    unicode::Append(out, ToCodePoint(static_cast<unsigned char>(ansiText[run])));
    pos = run + 1;
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  return unicode::IsValid(bytes);
}

unsigned char ToUpper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A:
      return 0x8A;  // s caron
    case 0x9C:
      return 0x8C;  // oe
    case 0x9E:
      return 0x8E;  // z caron
    case 0xFF:
      return 0x9F;  // y diaeresis
    default:
      return c;
  }
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpper(static_cast<unsigned char>(a[i])) != ToUpper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace vormlan::ansi
