#include "common/Unicode.h"

#include <algorithm>
#include <array>

#include "common/Ansi.h"

namespace vormlan::unicode {
namespace {

struct CaseRun {
  char32_t first;
  char32_t last;
  int delta;
  int stride;
};

constexpr CaseRun kCaseRuns[] = {
#include "common/CaseTable.inc"
};

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

bool Decode(std::string_view s, std::size_t& pos, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    cp = b0;
    ++pos;
    return true;
  }
  int extra = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    value = b0 & 0x1F;
    minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    value = b0 & 0x0F;
    minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    value = b0 & 0x07;
    minimum = 0x10000;
  } else {
    ++pos;
    return false;
  }
  if (pos + static_cast<std::size_t>(extra) >= s.size()) {
    ++pos;
    return false;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return false;
    }
    value = (value << 6) | (b & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return false;
  }
  pos += static_cast<std::size_t>(extra) + 1;
  cp = value;
  return true;
}

void Append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsValid(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
      ++pos;
      continue;
    }
    char32_t cp = 0;
    if (!Decode(bytes, pos, cp)) return false;
  }
  return true;
}

char32_t ToUpper(char32_t cp) {
  if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 0x20 : cp;
  if (cp > 0xFFFF) return cp;
  // The runs are sorted by their first code point and do not overlap.
  const auto* end = std::end(kCaseRuns);
  const auto* run = std::upper_bound(std::begin(kCaseRuns), end, cp,
                                     [](char32_t c, const CaseRun& r) { return c < r.first; });
  if (run == std::begin(kCaseRuns)) return cp;
  --run;
  if (cp > run->last || (cp - run->first) % static_cast<char32_t>(run->stride) != 0) return cp;
  return static_cast<char32_t>(static_cast<int>(cp) + run->delta);
}

std::string Fold(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[pos]);
    if (b < 0x80) {
      out += static_cast<char>((b >= 'a' && b <= 'z') ? b - 0x20 : b);
      ++pos;
      continue;
    }
    const std::size_t start = pos;
    char32_t cp = 0;
    if (Decode(utf8, pos, cp)) {
      Append(out, ToUpper(cp));
    } else {
      out.append(utf8.substr(start, pos - start));
    }
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[j]);
    if (x < 0x80 && y < 0x80) {
      if (ToUpper(x) != ToUpper(y)) return false;
      ++i;
      ++j;
      continue;
    }
    // Malformed bytes only equal the same malformed bytes, as in Fold.
    const std::size_t si = i;
    const std::size_t sj = j;
    char32_t cx = 0;
    char32_t cy = 0;
    const bool okx = Decode(a, i, cx);
    const bool oky = Decode(b, j, cy);
    if (okx != oky) return false;
    if (okx ? ToUpper(cx) != ToUpper(cy) : a.substr(si, i - si) != b.substr(sj, j - sj)) {
      return false;
    }
  }
  return i == a.size() && j == b.size();
}

std::string FromUtf16Le(std::string_view bytes) {
  std::string out;
  const std::size_t units = bytes.size() / 2;
  out.reserve(units);
  auto unit = [&](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t u = unit(i);
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
               unit(i + 1) <= 0xDFFF) {
      Append(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      Append(out, kReplacement);
    } else {
      Append(out, u);
    }
  }
  return out;
}

std::string ToUtf16Le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  auto put = [&out](char32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>((u >> 8) & 0xFF);
  };
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = 0;
    if (!Decode(utf8, pos, cp)) cp = kReplacement;
    if (cp >= 0x10000) {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

std::string FromAnsi(std::string_view ansiText) {
  return ansi::ToUtf8(ansiText);
}

std::optional<std::string> ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    // ASCII stands as it is in Windows-1252: copied a run at a time.
    std::size_t run = pos;
    while (run < utf8.size() && static_cast<unsigned char>(utf8[run]) < 0x80) ++run;
    if (run > pos) {
      out.append(utf8.substr(pos, run - pos));
      pos = run;
      continue;
    }
    char32_t cp = 0;
    if (!Decode(utf8, pos, cp)) return std::nullopt;
    const char c = ansi::FromCodePoint(cp);
    if (c == '?' && cp != '?') return std::nullopt;
    out += c;
  }
  return out;
}

}  // namespace vormlan::unicode
