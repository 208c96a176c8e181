#include "ui/Dialogs_win32.h"

#include <windows.h>

#include "common/WideText_win32.h"
#include "ui/DialogTemplate_win32.h"
#include "ui/DirectoryChooser_win32.h"
#include "ui/main.h"

namespace vormlan::ui {

namespace {

// UTF-8 to the ANSI code page the A-functions take; characters it lacks
// become the system's default character.
std::string AnsiFromUtf8(const std::string& utf8) {
  const std::wstring wide = WideFromUtf8(utf8);
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), size,
                        nullptr, nullptr);
  }
  return ansi;
}

std::string Utf8FromAnsi(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) {
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), size);
  }
  return Utf8FromWide(wide);
}

}  // namespace

void Win32Dialogs::ShowPlainMessage(const std::string& text) {
  const bool utf8 = encoding_ == registry::TextEncoding::Utf8;
  RunMessageDialog(GetActiveWindow(), kApplicationTitle, utf8 ? AnsiFromUtf8(text) : text, nullptr,
                   {{"OK", IDOK}}, IDOK, IDOK);
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
  if (encoding_ != registry::TextEncoding::Utf8) {
    return RunDirectoryChooser(GetActiveWindow(), start);
  }
  // The chooser works in the ANSI code page: what it gives back is turned
  // into UTF-8 for the host.
  auto chosen = RunDirectoryChooser(GetActiveWindow(), AnsiFromUtf8(start));
  if (chosen) *chosen = Utf8FromAnsi(*chosen);
  return chosen;
}

}  // namespace vormlan::ui
