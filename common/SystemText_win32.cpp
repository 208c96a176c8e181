#include "common/SystemText_win32.h"

namespace vormlan {
namespace {

// A buffer that FormatMessageA allocated; released with LocalFree.
class LocalText {
 public:
  LocalText() = default;
  LocalText(const LocalText&) = delete;
  LocalText& operator=(const LocalText&) = delete;
  ~LocalText() {
    if (text_ != nullptr) LocalFree(text_);
  }
  char** Receive() { return &text_; }
  const char* Get() const { return text_; }

 private:
  char* text_ = nullptr;
};

}  // namespace

std::optional<std::string> SystemMessageText(DWORD code, HMODULE module) {
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                FORMAT_MESSAGE_FROM_SYSTEM;                     // 0x1300
  if (module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;  // 0x1B00
  LocalText text;
  const DWORD length =
      FormatMessageA(flags, module, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<char*>(text.Receive()), 0, nullptr);
  if (length == 0 || text.Get() == nullptr) return std::nullopt;
  return std::string(text.Get(), length);
}

}  // namespace vormlan
