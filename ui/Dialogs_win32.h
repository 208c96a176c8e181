#pragma once
// The program's boxes and dialogs on Windows.

#include "registry/RegistryApi.h"
#include "ui/Dialogs.h"

namespace vormlan::ui {

// Each box is owned by the thread's active window (the main window while it
// is active), so that the window takes no input while the box is open.
class Win32Dialogs : public Dialogs {
 public:
  // Texts in the given encoding: ANSI as the A-functions take it, or UTF-8.
  explicit Win32Dialogs(registry::TextEncoding encoding = registry::TextEncoding::Ansi)
      : encoding_(encoding) {}

  // A message dialog with one "OK" (Enter and Esc), no icon, centred on the screen.
  void ShowPlainMessage(const std::string& text) override;
  // MessageBoxA with MB_OK | MB_ICONSTOP under the application title.
  void ShowErrorBox(const std::string& text) override;
  // RunDirectoryChooser (DirectoryChooser_win32.h).
  std::optional<std::string> ChooseDirectory(const std::string& start) override;

 private:
  registry::TextEncoding encoding_;
};

}  // namespace vormlan::ui
