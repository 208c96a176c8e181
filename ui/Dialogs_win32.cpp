#include "ui/Dialogs_win32.h"

#include <windows.h>

#include "ui/DialogTemplate_win32.h"
#include "ui/DirectoryChooser_win32.h"
#include "ui/main.h"

namespace vormlan::ui {

void Win32Dialogs::ShowPlainMessage(const std::string& text) {
  RunMessageDialog(GetActiveWindow(), kApplicationTitle, text, nullptr, {{"OK", IDOK}}, IDOK, IDOK);
}

void Win32Dialogs::ShowErrorBox(const std::string& text) {
  MessageBoxA(GetActiveWindow(), text.c_str(), kApplicationTitle, MB_OK | MB_ICONSTOP);
}

std::optional<std::string> Win32Dialogs::ChooseDirectory(const std::string& start) {
  return RunDirectoryChooser(GetActiveWindow(), start);
}

}  // namespace vormlan::ui
