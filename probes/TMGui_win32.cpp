#include "probes/TMGui_win32.h"

#include <string>
#include <utility>

#include "common/WideText_win32.h"

namespace vormlan::probes {
namespace {

// A window's client-area device context; released on destruction.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  WindowDc(WindowDc&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A GDI object selected into a device context; the previous one is selected
// back on destruction.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object)
      : dc_(dc),
        previous_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  SelectedObject(SelectedObject&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)),
        previous_(std::exchange(other.previous_, nullptr)) {}
  SelectedObject& operator=(SelectedObject&&) = delete;
  ~SelectedObject() {
    if (dc_ != nullptr && previous_ != nullptr && previous_ != HGDI_ERROR)
      SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

class Win32ListBox : public ListBoxSurface {
 public:
  explicit Win32ListBox(HWND listBox)
      : listBox_(listBox),
        dc_(listBox),
        font_(dc_.Get(), reinterpret_cast<HGDIOBJ>(SendMessageA(listBox, WM_GETFONT, 0, 0))) {}

  std::size_t LineCount() override {
    const LRESULT count = SendMessageA(listBox_, LB_GETCOUNT, 0, 0);
    return count > 0 ? static_cast<std::size_t>(count) : 0;
  }

  // Lines are read and measured through the W-functions, in UTF-8, so that
  // names beyond the ANSI code page get their own width.
  std::string Line(std::size_t index) override {
    const LRESULT length = SendMessageW(listBox_, LB_GETTEXTLEN, index, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(listBox_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return Utf8FromWide(text);
  }

  int TextWidth(const std::string& text) override {
    if (dc_.Get() == nullptr || text.empty()) return 0;
    const std::wstring wide = WideFromUtf8(text);
    SIZE size{};
    if (!GetTextExtentPoint32W(dc_.Get(), wide.c_str(), static_cast<int>(wide.size()), &size))
      return 0;
    return size.cx;
  }

  void SetHorizontalExtent(int pixels) override {
    SendMessageA(listBox_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels), 0);
  }

 private:
  HWND listBox_;
  WindowDc dc_;
  SelectedObject font_;
};

}  // namespace

bool SetListBoxExtent(HWND listBox) {
  Win32ListBox surface(listBox);
  return SetListBoxExtent(surface);
}

}  // namespace vormlan::probes
