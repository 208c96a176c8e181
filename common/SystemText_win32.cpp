#include "common/SystemText_win32.h"

#include "common/UniqueHandle_win32.h"
#include "common/WideText_win32.h"

namespace vormlan {
namespace {

DWORD Flags(HMODULE module) {
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                FORMAT_MESSAGE_FROM_SYSTEM;                     // 0x1300
  if (module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;  // 0x1B00
  return flags;
}

}  // namespace

std::optional<std::string> SystemMessageText(DWORD code, HMODULE module) {
  LocalBuffer<char> text;
  const DWORD length =
      FormatMessageA(Flags(module), module, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<char*>(text.Receive()), 0, nullptr);
  if (length == 0 || text.Get() == nullptr) return std::nullopt;
  return std::string(text.Get(), length);
}

std::optional<std::string> SystemMessageTextUtf8(DWORD code, HMODULE module) {
  LocalBuffer<wchar_t> text;
  const DWORD length =
      FormatMessageW(Flags(module), module, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<wchar_t*>(text.Receive()), 0, nullptr);
  if (length == 0 || text.Get() == nullptr) return std::nullopt;
  return Utf8FromWide(std::wstring_view(text.Get(), length));
}

}  // namespace vormlan
