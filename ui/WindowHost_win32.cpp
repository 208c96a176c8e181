#include "ui/WindowHost_win32.h"

#include <windows.h>

namespace vormlan::ui {

std::optional<std::string> WindowHost::ChooseDirectory(const std::string& start) {
  std::optional<std::string> directory = dialogs_.ChooseDirectory(start);
  // Whether that worked is found out by the package writer, which makes sure
  // the directory is there before anything is copied.
  if (directory && !directory->empty()) CreateDirectoryTree(*directory);
  return directory;
}

void WindowHost::ShowPlainMessage(const std::string& text) {
  dialogs_.ShowPlainMessage(text);
}

void WindowHost::RequestApplicationEnd() {
  PostQuitMessage(0);
}

}  // namespace vormlan::ui
