// window-texts CAPTION [CLASS]: the top-level window with that caption (and
// window class, "#32770" for a dialog) and its child windows as another
// program sees them, one a line in UTF-8: the control id, the screen bounds
// (left top width height) and the window text. The end-to-end suite reads
// the program's boxes and places clicks with it. Exit code 1 when no such
// window is visible.

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/WideText_win32.h"

namespace {

void Print(HWND window, int id) {
  RECT r{};
  GetWindowRect(window, &r);
  // WM_GETTEXT, not GetWindowText: across processes only the message gives
  // an edit box's contents.
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 2000, &copied);
  text.resize(std::min<std::size_t>(copied, length));
  const std::string line = std::to_string(id) + " " + std::to_string(r.left) + " " +
                           std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
                           std::to_string(r.bottom - r.top) + " " + vormlan::Utf8FromWide(text) +
                           "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr || count < 2 || count > 3) {
    std::fputs("usage: window-texts CAPTION [CLASS]\n", stderr);
    return 2;
  }
  HWND window = FindWindowW(count == 3 ? args[2] : nullptr, args[1]);
  LocalFree(args);
  if (window == nullptr || !IsWindowVisible(window)) return 1;
  Print(window, 0);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child)) Print(child, GetDlgCtrlID(child));
  }
  return 0;
}
