#include <windows.h>

#include <climits>

#include "common/CodePage.h"
#include "common/WideText_win32.h"

namespace vormlan {

std::optional<std::string> ToInfCodePage(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  if (!unicode::IsValid(utf8)) return std::nullopt;
  const std::wstring wide = WideFromUtf8(utf8);
  if (wide.size() > INT_MAX / 4) return std::nullopt;
  const int length = static_cast<int>(wide.size());
  // CP_UTF8 and CP_UTF7 refuse the flag and the default-character question.
  const UINT codePage = GetACP();
  const bool unicodePage = codePage == CP_UTF8 || codePage == CP_UTF7;
  BOOL usedDefault = FALSE;
  const DWORD flags = unicodePage ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* const used = unicodePage ? nullptr : &usedDefault;
  const int size =
      WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, used);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, flags, wide.data(), length, out.data(), size, nullptr, used);
  if (usedDefault) return std::nullopt;
  return out;
}

std::string InfCodePageName() {
  return "the ANSI code page (" + std::to_string(GetACP()) + ")";
}

}  // namespace vormlan
