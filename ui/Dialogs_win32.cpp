#include "ui/Dialogs_win32.h"

#include <windows.h>

#include "common/WideText_win32.h"
#include "ui/DialogTemplate_win32.h"
#include "ui/DirectoryChooser_win32.h"
#include "ui/main.h"

namespace vormlan::ui {

void Win32Dialogs::ShowPlainMessage(const std::string& text) {
  RunMessageDialog(GetActiveWindow(), kApplicationTitle, text, nullptr, {{"OK", IDOK}}, IDOK, IDOK,
                   encoding_);
}

void Win32Dialogs::ShowErrorBox(const std::string& text) {
  if (encoding_ == registry::TextEncoding::Utf8) {
    MessageBoxW(GetActiveWindow(), WideFromUtf8(text).c_str(),
                WideFromUtf8(kApplicationTitle).c_str(), MB_OK | MB_ICONSTOP);
    return;
  }
  MessageBoxA(GetActiveWindow(), text.c_str(), kApplicationTitle, MB_OK | MB_ICONSTOP);
}

std::optional<std::string> Win32Dialogs::ChooseDirectory(const std::string& start) {
  return RunDirectoryChooser(GetActiveWindow(), start, encoding_);
}

}  // namespace vormlan::ui
