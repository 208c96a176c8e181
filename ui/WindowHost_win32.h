#pragma once
// The host of the program's generation runs: the Windows file operations of
// Win32Host, plus the chooser, the plain message box and the end request of
// the program's window.

#include "host/host_win32.h"
#include "ui/Dialogs.h"

namespace vormlan::ui {

class WindowHost : public generation::Win32Host {
 public:
  // Paths in the given encoding (the dialogs' texts must be in it too).
  explicit WindowHost(Dialogs& dialogs,
                      registry::TextEncoding encoding = registry::TextEncoding::Ansi)
      : generation::Win32Host(encoding), dialogs_(dialogs) {}

  // dialogs.ChooseDirectory(start); after OK the chosen directory is created
  // with its missing parents (an empty text creates nothing; whether the
  // creation worked is not checked). Nothing on cancel.
  std::optional<std::string> ChooseDirectory(const std::string& start) override;
  void ShowPlainMessage(const std::string& text) override;
  // PostQuitMessage(0): the message loop ends with exit code 0.
  void RequestApplicationEnd() override;

 private:
  Dialogs& dialogs_;
};

}  // namespace vormlan::ui
