#pragma once
// The program's dialogs in either text encoding: ANSI through the
// A-functions, byte for byte as the system code page has it, or UTF-8
// through the W-functions, so that names in any script are shown, typed and
// listed as themselves. The dialog code says what it does once; this says
// which function does it.

#include <windows.h>

#include <string>
#include <vector>

#include "common/UniqueHandle_win32.h"
#include "registry/RegistryApi.h"

namespace vormlan::ui {

class TextCalls {
 public:
  explicit TextCalls(registry::TextEncoding encoding) : encoding_(encoding) {}

  bool Utf8() const { return encoding_ == registry::TextEncoding::Utf8; }
  registry::TextEncoding Encoding() const { return encoding_; }

  // A modal dialog from an in-memory template: a Unicode dialog in UTF-8.
  INT_PTR RunDialog(const DLGTEMPLATE* dialog, HWND owner, DLGPROC procedure,
                    LPARAM parameter) const;

  std::string GetText(HWND window) const;
  void SetText(HWND window, const std::string& text) const;
  // LB_ADDSTRING or CB_ADDSTRING: the index of the new item.
  LRESULT AddString(HWND control, UINT message, const std::string& text) const;
  // The text of a list box's item (combo: a combo box's).
  std::string ItemText(HWND control, WPARAM index, bool combo = false) const;
  int Draw(HDC dc, const std::string& text, RECT& bounds, UINT format) const;

  // The process's current directory ("" when it cannot be read).
  std::string CurrentFolder() const;
  bool ChangeFolder(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  // The names of a folder's sub-folders (folders) or of its files.
  std::vector<std::string> FolderEntries(const std::string& folder, bool folders) const;

  // Whether text holds a character that the ANSI code page lacks (always
  // false for ANSI text).
  bool BeyondAnsi(const std::string& text) const;

 private:
  registry::TextEncoding encoding_;
};

// The face of the system's message boxes (present on every machine): it
// draws far more scripts than MS Sans Serif, which holds the ANSI code page
// only.
std::string MessageFace();

// The font of window at the same height in the message face, for texts
// beyond the ANSI code page; none when window has no font.
UniqueGdiObject MessageFaceFontLike(HWND window);

}  // namespace vormlan::ui
