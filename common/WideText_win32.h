#pragma once
// UTF-8 text to and from the UTF-16 strings of the W-functions (Windows
// builds only, where wchar_t is 16 bits wide).

#include <string>
#include <string_view>

#include "common/Unicode.h"

namespace vormlan {

static_assert(sizeof(wchar_t) == 2, "the W-functions take UTF-16");

inline std::wstring WideFromUtf8(std::string_view utf8) {
  const std::string bytes = unicode::ToUtf16Le(utf8);
  std::wstring wide(bytes.size() / 2, L'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return wide;
}

inline std::string Utf8FromWide(std::wstring_view wide) {
  std::string bytes(wide.size() * 2, '\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const auto unit = static_cast<unsigned>(wide[i]);
    bytes[2 * i] = static_cast<char>(unit & 0xFF);
    bytes[2 * i + 1] = static_cast<char>((unit >> 8) & 0xFF);
  }
  return unicode::FromUtf16Le(bytes);
}

}  // namespace vormlan
