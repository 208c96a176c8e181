#pragma once
// Every box and dialog the program shows goes through this one interface, so
// that tests can answer them. The Windows implementation is Win32Dialogs
// (Dialogs_win32.h).

#include <optional>
#include <string>

namespace vormlan::ui {

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // The plain message box: modal, centred on the screen, captioned with the
  // application title, no icon, one "OK" answering Enter and Esc. Returns
  // when it was closed.
  virtual void ShowPlainMessage(const std::string& text) = 0;

  // The error box: the stop icon and "OK" under the application title. text
  // is shown as given (the caller has applied ErrorBoxText).
  virtual void ShowErrorBox(const std::string& text) = 0;

  // The "Select Directory" dialog, opening in the folder of start when start
  // begins with a drive letter and ":", else in the current directory. The
  // edit box text exactly as the user left it on OK (after the user agreed to
  // a directory that does not exist), or nothing on Cancel, Esc or close.
  // Creates no directory.
  virtual std::optional<std::string> ChooseDirectory(const std::string& start) = 0;
};

}  // namespace vormlan::ui
