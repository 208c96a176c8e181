#include "ui/DirectoryChooser_win32.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <vector>

#include "ui/DialogTemplate_win32.h"
#include "ui/FolderList.h"
#include "ui/TextCalls_win32.h"

namespace vormlan::ui {

namespace {

constexpr int kRowHeight = 16;
constexpr int kIndent = 12;

struct ChooserState {
  explicit ChooserState(registry::TextEncoding encoding) : calls(encoding) {}
  TextCalls calls;
  std::string start;
  std::string currentDir;
  std::vector<FolderRow> rows;
  std::optional<std::string> result;
  // The message face for the name, folder and file lists once a name beyond
  // the ANSI code page is shown or typed there.
  UniqueGdiObject wideFont;
  std::exception_ptr error;  // an exception of the dialog procedure, rethrown by the caller
};

// Gives the name box and both lists a font that draws text in any script
// when text needs one.
void FitFontTo(HWND dialog, ChooserState& state, const std::string& text) {
  if (state.wideFont || !state.calls.BeyondAnsi(text)) return;
  state.wideFont = MessageFaceFontLike(dialog);
  if (!state.wideFont) return;
  for (int id : {chooser_id::NameEdit, chooser_id::FolderList, chooser_id::FileList}) {
    SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(state.wideFont.Get()),
                        TRUE);
  }
}

void FillDrives(HWND dialog, const ChooserState& state) {
  HWND combo = GetDlgItem(dialog, chooser_id::DriveList);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  const DWORD drives = GetLogicalDrives();
  const std::string& currentDir = state.currentDir;
  for (int i = 0; i < 26; ++i) {
    if ((drives & (1u << i)) == 0) continue;
    const LRESULT index =
        state.calls.AddString(combo, CB_ADDSTRING, DriveRoot(static_cast<char>('A' + i)));
    if (currentDir.size() >= 2 && currentDir[1] == ':' &&
        std::toupper(static_cast<unsigned char>(currentDir[0])) == 'A' + i) {
      SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
  }
}

// Makes folder the current folder: process directory, lists, drive and edit
// box. False (and nothing changed) when the folder cannot be entered. folder
// is a copy: it often comes from state.rows, which this replaces.
bool EnterFolder(HWND dialog, ChooserState& state, std::string folder) {
  if (!SplitFolderPath(folder) || !state.calls.ChangeFolder(folder)) return false;
  state.currentDir = folder;
  state.rows = FolderRows(folder, state.calls.FolderEntries(folder, true), state.calls.Encoding());
  const std::vector<std::string> files = state.calls.FolderEntries(folder, false);
  for (const FolderRow& row : state.rows) FitFontTo(dialog, state, row.name);
  for (const std::string& name : files) FitFontTo(dialog, state, name);

  HWND list = GetDlgItem(dialog, chooser_id::FolderList);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const FolderRow& row : state.rows) state.calls.AddString(list, LB_ADDSTRING, row.name);
  SendMessageA(list, LB_SETCURSEL, CurrentFolderRow(state.rows), 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);

  HWND fileList = GetDlgItem(dialog, chooser_id::FileList);
  SendMessageA(fileList, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : files) state.calls.AddString(fileList, LB_ADDSTRING, name);

  FillDrives(dialog, state);
  HWND edit = GetDlgItem(dialog, chooser_id::NameEdit);
  state.calls.SetText(edit, folder);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  return true;
}

void Place(HWND dialog, int id, int x, int y, int width, int height) {
  SetWindowPos(GetDlgItem(dialog, id), nullptr, x, y, width, height, SWP_NOZORDER);
}

void LayOut(HWND dialog, const TextCalls& calls) {
  using namespace chooser_id;
  calls.SetText(dialog, kChooserCaption);
  SetDlgItemTextA(dialog, NameLabel, "Directory &Name:");
  SetDlgItemTextA(dialog, FoldersLabel, "&Directories:");
  SetDlgItemTextA(dialog, FilesLabel, "&Files: (*.*)");
  SetDlgItemTextA(dialog, DrivesLabel, "D&rives:");
  SetDlgItemTextA(dialog, IDOK, "OK");
  SetDlgItemTextA(dialog, IDCANCEL, "Cancel");
  Place(dialog, NameLabel, 8, 8, 408, 13);
  Place(dialog, NameEdit, 8, 24, 408, 21);
  Place(dialog, FoldersLabel, 8, 54, 200, 13);
  Place(dialog, FolderList, 8, 70, 200, 134);
  Place(dialog, FilesLabel, 216, 54, 200, 13);
  Place(dialog, FileList, 216, 70, 200, 134);
  Place(dialog, DrivesLabel, 8, 210, 200, 13);
  Place(dialog, DriveList, 8, 225, 200, 160);
  Place(dialog, IDOK, 260, 222, 75, 25);
  Place(dialog, IDCANCEL, 341, 222, 75, 25);
  EnableWindow(GetDlgItem(dialog, FileList), FALSE);
  SetClientSize(dialog, kChooserClientWidth, kChooserClientHeight);
  CenterOnScreen(dialog);
}

void DrawFolderRow(const DRAWITEMSTRUCT& item, const ChooserState& state) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  HDC dc = item.hDC;
  FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const int level = item.itemID < state.rows.size() ? state.rows[item.itemID].level : 0;
  RECT glyph{item.rcItem.left + 2 + level * kIndent, item.rcItem.top + 3, 0, 0};
  glyph.right = glyph.left + 14;
  glyph.bottom = glyph.top + 10;
  HBRUSH folderBrush = CreateSolidBrush(RGB(0xE8, 0xC8, 0x50));
  FillRect(dc, &glyph, folderBrush);
  DeleteObject(folderBrush);
  FrameRect(dc, &glyph, GetSysColorBrush(COLOR_BTNSHADOW));

  const std::string text = state.calls.ItemText(item.hwndItem, item.itemID);
  RECT textBounds = item.rcItem;
  textBounds.left = glyph.right + 4;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  state.calls.Draw(dc, text, textBounds, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &item.rcItem);
}

void OnOk(HWND dialog, ChooserState& state) {
  const std::string text = state.calls.GetText(GetDlgItem(dialog, chooser_id::NameEdit));
  if (!state.calls.IsFolder(text)) {
    const int answer =
        RunMessageDialog(dialog, kConfirmCaption, kCreateDirectoryQuestion, IDI_QUESTION,
                         {{"&Yes", IDYES}, {"&No", IDNO}}, IDYES, IDNO, state.calls.Encoding());
    if (answer != IDYES) return;
  }
  state.result = text;
  EndDialog(dialog, IDOK);
}

INT_PTR ChooserMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<ChooserState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<ChooserState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      LayOut(dialog, state->calls);
      const std::string current = state->calls.CurrentFolder();
      if (!EnterFolder(dialog, *state, ChooserStartFolder(state->start, current))) {
        EnterFolder(dialog, *state, current);
      }
      SetFocus(GetDlgItem(dialog, chooser_id::FolderList));
      return FALSE;
    }
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure->CtlID != chooser_id::FolderList) return FALSE;
      measure->itemHeight = kRowHeight;
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (state == nullptr || item->CtlID != chooser_id::FolderList) return FALSE;
      DrawFolderRow(*item, *state);
      return TRUE;
    }
    case WM_COMMAND: {
      if (state == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDOK) {
        OnOk(dialog, *state);
      } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      } else if (id == chooser_id::FolderList && code == LBN_DBLCLK) {
        const LRESULT row = SendDlgItemMessageA(dialog, chooser_id::FolderList, LB_GETCURSEL, 0, 0);
        if (row >= 0 && static_cast<std::size_t>(row) < state->rows.size() &&
            !EnterFolder(dialog, *state, state->rows[static_cast<std::size_t>(row)].path)) {
          MessageBeep(MB_ICONWARNING);
        }
      } else if (id == chooser_id::NameEdit && code == EN_CHANGE) {
        FitFontTo(dialog, *state, state->calls.GetText(reinterpret_cast<HWND>(lParam)));
      } else if (id == chooser_id::DriveList && code == CBN_SELCHANGE) {
        HWND combo = GetDlgItem(dialog, chooser_id::DriveList);
        const LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        const std::string root =
            index >= 0 ? state->calls.ItemText(combo, static_cast<WPARAM>(index), true) : "";
        if (!root.empty() && !EnterFolder(dialog, *state, DriveRoot(root[0]))) {
          MessageBeep(MB_ICONWARNING);
          FillDrives(dialog, *state);
        }
      } else {
        return FALSE;
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// No exception may cross the dialog manager: one is kept for the caller and
// ends the dialog.
INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return ChooserMessage(dialog, message, wParam, lParam);
  } catch (...) {
    auto* state = reinterpret_cast<ChooserState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (state != nullptr && !state->error) state->error = std::current_exception();
    EndDialog(dialog, IDABORT);
    return TRUE;
  }
}

}  // namespace

std::optional<std::string> RunDirectoryChooser(HWND owner, const std::string& start,
                                               registry::TextEncoding encoding) {
  using namespace chooser_id;
  DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_DLGMODALFRAME);
  dialog.AddItem(NameLabel, DialogClass::Static, WS_VISIBLE | SS_LEFT);
  dialog.AddItem(NameEdit, DialogClass::Edit, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                 WS_EX_CLIENTEDGE);
  dialog.AddItem(FoldersLabel, DialogClass::Static, WS_VISIBLE | SS_LEFT);
  dialog.AddItem(FolderList, DialogClass::ListBox,
                 WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                     LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                 WS_EX_CLIENTEDGE);
  dialog.AddItem(FilesLabel, DialogClass::Static, WS_VISIBLE | SS_LEFT);
  dialog.AddItem(FileList, DialogClass::ListBox,
                 WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_SORT | LBS_NOINTEGRALHEIGHT,
                 WS_EX_CLIENTEDGE);
  dialog.AddItem(DrivesLabel, DialogClass::Static, WS_VISIBLE | SS_LEFT);
  dialog.AddItem(DriveList, DialogClass::ComboBox,
                 WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST);
  dialog.AddItem(IDOK, DialogClass::Button, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
  dialog.AddItem(IDCANCEL, DialogClass::Button, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);

  ChooserState state(encoding);
  state.start = start;
  const INT_PTR result =
      state.calls.RunDialog(dialog.Get(), owner, ChooserProc, reinterpret_cast<LPARAM>(&state));
  if (state.error) std::rethrow_exception(state.error);
  if (result != IDOK) return std::nullopt;
  return state.result;
}

}  // namespace vormlan::ui
