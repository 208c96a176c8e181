#pragma once
// Dialogs built in memory: a DLGTEMPLATE builder, screen centring, and the
// small message dialogs whose buttons the system message box cannot label
// ("&Yes"/"&No") or whose placement it does not fix (centred on the screen).

#include <windows.h>

#include <string>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::ui {

inline constexpr char kDialogFontName[] = "MS Sans Serif";
inline constexpr WORD kDialogFontPoints = 8;

// Predefined control classes of a dialog template.
enum class DialogClass : WORD {
  Button = 0x80,
  Edit = 0x81,
  Static = 0x82,
  ListBox = 0x83,
  ComboBox = 0x85
};

// A dialog template in the "MS Sans Serif" 8 pt font. Items get no text and
// no bounds: the dialog procedure sets texts and lays them out in pixels in
// WM_INITDIALOG. The caption is set there too.
class DialogTemplate {
 public:
  explicit DialogTemplate(DWORD style, DWORD exStyle = 0);
  void AddItem(WORD id, DialogClass itemClass, DWORD style, DWORD exStyle = 0);
  // The template, valid until the next AddItem or the builder's end.
  const DLGTEMPLATE* Get() const;

 private:
  void Align();
  void PutDword(DWORD value);
  std::vector<WORD> words_;
};

// Places window at the centre of the primary screen's work area.
void CenterOnScreen(HWND window);

// Resizes window so that its client area is width x height pixels.
void SetClientSize(HWND window, int width, int height);

struct DialogButton {
  std::string text;
  int id;
};

// A modal message dialog: caption, the text (no "&" prefixes), an optional
// system icon (IDI_QUESTION, ...; nullptr for none) and a row of buttons
// under it; centred on the screen. defaultId answers Enter; Esc and the close
// button give escapeId. Returns the id of the answer; escapeId also when the
// dialog could not be shown. Texts are in the given encoding; in UTF-8 the
// dialog shows them in any script (in the system's message face where the
// ANSI code page lacks a character).
int RunMessageDialog(HWND owner, const std::string& caption, const std::string& text, LPCSTR icon,
                     const std::vector<DialogButton>& buttons, int defaultId, int escapeId,
                     registry::TextEncoding encoding = registry::TextEncoding::Ansi);

}  // namespace vormlan::ui
