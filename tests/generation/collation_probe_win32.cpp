// Measuring tool for the collation work: asks the running Windows (or Wine)
// how CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE) orders ANSI text.
// Strings travel as hex so that no code page touches them on the way.
//
//   collation_probe info         code pages and user locale
//   collation_probe keys         sort key of every single byte 01..FF
//   collation_probe table        rows of the weight table in Collation.cpp, derived from
//                                the sort key of every byte 00..FF
//   collation_probe cmp          stdin: "HEX HEX" per line; prints -1/0/1 per line
//                                (99 where CompareStringA fails)
//   collation_probe key          stdin: one HEX string per line; prints its sort key
//   collation_probe sort         stdin: one HEX string per line; prints them sorted

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::string ToHex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

int Compare(const std::string& a, const std::string& b) {
  const int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                               static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
  if (r == 0) return 99;
  return r - CSTR_EQUAL;
}

std::string SortKey(const std::string& s) {
  char key[512];
  const int n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, s.data(),
                             static_cast<int>(s.size()), key, sizeof key);
  return std::string(key, key + (n > 0 ? n : 0));
}

// The sort key of one ANSI string split into its levels: primary weights,
// diacritic weights, case weights, the unused extra level and the special
// (tie-break) weights, each ended by a 01 byte; the whole key ends with 00.
struct Levels {
  std::string primary, diacritic, caseWeights, extra, special;
};

Levels Split(const std::string& key) {
  Levels out;
  std::string* parts[] = {&out.primary, &out.diacritic, &out.caseWeights, &out.extra};
  std::size_t pos = 0;
  for (std::string* part : parts) {
    const std::size_t end = key.find('\x01', pos);
    if (end == std::string::npos) throw std::runtime_error("malformed key " + ToHex(key));
    *part = key.substr(pos, end - pos);
    pos = end + 1;
  }
  const std::size_t end = key.find('\0', pos);
  out.special = key.substr(pos, end - pos);
  return out;
}

// One table row for byte c. The byte is keyed alone (primary and special
// weights) and again followed by a mark with non-default diacritic and case
// weights, so that its own default weights are not stripped from the key.
std::string TableRow(unsigned char c) {
  const std::string alone(1, static_cast<char>(c));
  const Levels single = Split(SortKey(alone));
  const Levels marked = Split(SortKey(alone + "\xAA"));  // feminine ordinal: diacritic 03, case 06
  char row[160];
  const char* shown = c >= 0x20 && c < 0x7F && c != '\\' ? alone.c_str() : "";
  if (single.primary.empty() && single.special.empty()) {
    std::snprintf(row, sizeof row, "    Ignored(),  // %02X %s", c, shown);
  } else if (single.primary.empty()) {
    if (single.special.size() != 4 || single.special.substr(0, 2) != "\xFF\xFF" ||
        single.special[3] != '\x12') {
      throw std::runtime_error("unexpected special key " + ToHex(single.special));
    }
    std::snprintf(row, sizeof row, "    Special(0x%02X),  // %02X %s",
                  static_cast<unsigned char>(single.special[2]), c, shown);
  } else {
    const std::size_t elements = marked.diacritic.size() - 1;
    if (elements == 0 || elements > 2 || single.primary.size() != 2 * elements ||
        marked.caseWeights.size() != elements + 1 || !single.special.empty()) {
      throw std::runtime_error("unexpected key " + ToHex(SortKey(alone + "\xAA")));
    }
    auto u = [](char b) { return static_cast<unsigned>(static_cast<unsigned char>(b)); };
    if (elements == 1) {
      std::snprintf(row, sizeof row, "    One(0x%02X%02X, %u, %u),  // %02X %s",
                    u(single.primary[0]), u(single.primary[1]), u(marked.diacritic[0]),
                    u(marked.caseWeights[0]), c, shown);
    } else {
      std::snprintf(row, sizeof row, "    Two(0x%02X%02X, %u, %u, 0x%02X%02X, %u, %u),  // %02X %s",
                    u(single.primary[0]), u(single.primary[1]), u(marked.diacritic[0]),
                    u(marked.caseWeights[0]), u(single.primary[2]), u(single.primary[3]),
                    u(marked.diacritic[1]), u(marked.caseWeights[1]), c, shown);
    }
  }
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "info";
  if (mode == "info") {
    char name[85] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, name, sizeof name);
    char country[85] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGCOUNTRY, country, sizeof country);
    std::printf("ACP %u OEMCP %u user LCID %04lx system LCID %04lx name %s / %s\n", GetACP(),
                GetOEMCP(), GetUserDefaultLCID(), GetSystemDefaultLCID(), name, country);
    return 0;
  }
  if (mode == "keys") {
    for (int c = 1; c < 256; ++c) {
      std::printf("%02X %s\n", c, ToHex(SortKey(std::string(1, static_cast<char>(c)))).c_str());
    }
    return 0;
  }
  if (mode == "table") {
    for (int c = 0; c < 256; ++c)
      std::printf("%s\n", TableRow(static_cast<unsigned char>(c)).c_str());
    return 0;
  }
  std::string line;
  if (mode == "cmp") {
    while (std::getline(std::cin, line)) {
      const auto space = line.find(' ');
      const std::string a = FromHex(line.substr(0, space));
      const std::string b =
          space == std::string::npos ? std::string() : FromHex(line.substr(space + 1));
      std::printf("%d\n", Compare(a, b));
    }
    return 0;
  }
  if (mode == "key") {
    while (std::getline(std::cin, line)) {
      std::printf("%s %s\n", line.c_str(), ToHex(SortKey(FromHex(line))).c_str());
    }
    return 0;
  }
  if (mode == "sort") {
    std::vector<std::string> items;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      items.push_back(FromHex(line));
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const std::string& a, const std::string& b) { return Compare(a, b) < 0; });
    for (const auto& s : items) std::printf("%s\n", ToHex(s).c_str());
    return 0;
  }
  std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
  return 2;
}
