#include "ui/DialogTemplate_win32.h"

#include <algorithm>

#include "ui/TextCalls_win32.h"

namespace vormlan::ui {

DialogTemplate::DialogTemplate(DWORD style, DWORD exStyle) {
  PutDword(style | DS_SETFONT);
  PutDword(exStyle);
  words_.push_back(0);                // item count, raised by AddItem
  words_.insert(words_.end(), 4, 0);  // x, y, cx, cy
  words_.push_back(0);                // no menu
  words_.push_back(0);                // the standard dialog class
  words_.push_back(0);                // no caption
  words_.push_back(kDialogFontPoints);
  for (const char* c = kDialogFontName; *c != '\0'; ++c) words_.push_back(static_cast<WORD>(*c));
  words_.push_back(0);
}

void DialogTemplate::PutDword(DWORD value) {
  words_.push_back(LOWORD(value));
  words_.push_back(HIWORD(value));
}

void DialogTemplate::Align() {
  if (words_.size() % 2 != 0) words_.push_back(0);
}

void DialogTemplate::AddItem(WORD id, DialogClass itemClass, DWORD style, DWORD exStyle) {
  Align();
  PutDword(style | WS_CHILD);
  PutDword(exStyle);
  words_.insert(words_.end(), 4, 0);  // x, y, cx, cy
  words_.push_back(id);
  words_.push_back(0xFFFF);
  words_.push_back(static_cast<WORD>(itemClass));
  words_.push_back(0);  // no text
  words_.push_back(0);  // no creation data
  ++words_[4];          // DLGTEMPLATE::cdit
}

const DLGTEMPLATE* DialogTemplate::Get() const {
  return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
}

void CenterOnScreen(HWND window) {
  RECT area{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT bounds{};
  GetWindowRect(window, &bounds);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetClientSize(HWND window, int width, int height) {
  RECT bounds{0, 0, width, height};
  AdjustWindowRectEx(&bounds, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

constexpr int kIconId = 100;
constexpr int kTextId = 101;
constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;

struct MessageDialogState {
  TextCalls calls;
  UniqueGdiObject textFont;  // the message face, for a text beyond the ANSI code page
  const std::string* caption;
  const std::string* text;
  LPCSTR icon;
  const std::vector<DialogButton>* buttons;
  int defaultId;
  int escapeId;
};

void LayOutMessageDialog(HWND dialog, MessageDialogState& state) {
  state.calls.SetText(dialog, *state.caption);
  HWND textControl = GetDlgItem(dialog, kTextId);
  state.calls.SetText(textControl, *state.text);
  if (state.calls.BeyondAnsi(*state.text)) {
    state.textFont = MessageFaceFontLike(dialog);
    if (state.textFont) {
      SendMessageW(textControl, WM_SETFONT, reinterpret_cast<WPARAM>(state.textFont.Get()), FALSE);
    }
  }

  int left = kMargin;
  int iconBottom = 0;
  HWND iconControl = GetDlgItem(dialog, kIconId);
  if (state.icon != nullptr) {
    SendMessageA(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, state.icon)),
                 0);
    SetWindowPos(iconControl, nullptr, kMargin, kMargin, 32, 32, SWP_NOZORDER);
    left += 32 + kMargin;
    iconBottom = kMargin + 32;
  } else {
    ShowWindow(iconControl, SW_HIDE);
  }

  // Text wrapped at half the screen's width, as a message box does.
  RECT textBounds{0, 0, std::max(GetSystemMetrics(SM_CXSCREEN) / 2, 200), 0};
  HDC dc = GetDC(textControl);
  HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(textControl, WM_GETFONT, 0, 0)));
  state.calls.Draw(dc, *state.text, textBounds,
                   DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, oldFont);
  ReleaseDC(textControl, dc);
  const int textWidth = textBounds.right - textBounds.left;
  const int textHeight = std::max<int>(textBounds.bottom - textBounds.top, 13);
  const int textTop = iconBottom > 0 ? kMargin + std::max(0, (32 - textHeight) / 2) : kMargin;
  SetWindowPos(textControl, nullptr, left, textTop, textWidth, textHeight, SWP_NOZORDER);

  const int count = static_cast<int>(state.buttons->size());
  const int rowWidth = count * kButtonWidth + (count - 1) * kButtonGap;
  const int width = std::max(left + textWidth + kMargin, rowWidth + 2 * kMargin);
  const int buttonTop = std::max(textTop + textHeight, iconBottom) + kMargin + 4;
  int x = (width - rowWidth) / 2;
  for (const DialogButton& button : *state.buttons) {
    HWND control = GetDlgItem(dialog, button.id);
    state.calls.SetText(control, button.text);
    SetWindowPos(control, nullptr, x, buttonTop, kButtonWidth, kButtonHeight, SWP_NOZORDER);
    x += kButtonWidth + kButtonGap;
  }
  SetClientSize(dialog, width, buttonTop + kButtonHeight + kMargin);
  CenterOnScreen(dialog);
}

INT_PTR MessageDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<MessageDialogState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      LayOutMessageDialog(dialog, *state);
      SendMessageA(dialog, DM_SETDEFID, static_cast<WPARAM>(state->defaultId), 0);
      SetFocus(GetDlgItem(dialog, state->defaultId));
      return FALSE;  // focus set here
    }
    case WM_COMMAND: {
      const auto* state =
          reinterpret_cast<const MessageDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
      if (state == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      if (id == IDCANCEL) {
        EndDialog(dialog, state->escapeId);
        return TRUE;
      }
      for (const DialogButton& button : *state->buttons) {
        if (button.id == id) {
          EndDialog(dialog, id);
          return TRUE;
        }
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

// No exception may cross the dialog manager: one ends the dialog as Esc does.
INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return MessageDialogMessage(dialog, message, wParam, lParam);
  } catch (...) {
    const auto* state =
        reinterpret_cast<const MessageDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    EndDialog(dialog, state != nullptr ? state->escapeId : IDCANCEL);
    return TRUE;
  }
}

}  // namespace

int RunMessageDialog(HWND owner, const std::string& caption, const std::string& text, LPCSTR icon,
                     const std::vector<DialogButton>& buttons, int defaultId, int escapeId,
                     registry::TextEncoding encoding) {
  DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_DLGMODALFRAME);
  dialog.AddItem(kIconId, DialogClass::Static, WS_VISIBLE | SS_ICON);
  dialog.AddItem(kTextId, DialogClass::Static, WS_VISIBLE | SS_LEFT | SS_NOPREFIX);
  for (const DialogButton& button : buttons) {
    const DWORD kind = button.id == defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    dialog.AddItem(static_cast<WORD>(button.id), DialogClass::Button,
                   WS_VISIBLE | WS_TABSTOP | kind);
  }
  MessageDialogState state{TextCalls(encoding), UniqueGdiObject(), &caption, &text, icon, &buttons,
                           defaultId,           escapeId};
  const INT_PTR result = state.calls.RunDialog(dialog.Get(), owner, MessageDialogProc,
                                               reinterpret_cast<LPARAM>(&state));
  return result <= 0 ? escapeId : static_cast<int>(result);
}

}  // namespace vormlan::ui
