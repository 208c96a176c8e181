// Start-up of vormlan.exe: the main window over the live registry, shown,
// and the message loop until the quit request.

#include <windows.h>

#include <exception>

#include "common/ErrorText.h"
#include "registry/registry_win32.h"
#include "ui/Dialogs_win32.h"
#include "ui/SystemServices_win32.h"
#include "ui/WindowHost_win32.h"
#include "ui/main_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  using namespace vormlan::ui;
  // Names in any script: the window reads, shows and passes on UTF-8 text,
  // through the W-functions.
  constexpr auto utf8 = vormlan::registry::TextEncoding::Utf8;
  Win32Dialogs dialogs(utf8);
  try {
    vormlan::registry::Win32Registry registry(utf8);
    WindowHost host(dialogs, utf8);
    SystemServices services(registry, host, utf8);
    Form1Window Form1(services, dialogs);
    Form1.Create();
    Form1.Show(showCommand);

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (Form1.PreTranslateMessage(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return 0;
  } catch (const std::exception& e) {
    dialogs.ShowErrorBox(vormlan::ErrorBoxText(e.what()));
    return 1;
  }
}
