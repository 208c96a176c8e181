#include "ui/main_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "common/Exception.h"
#include "common/WideText_win32.h"
#include "probes/TMGui_win32.h"
#include "ui/TextCalls_win32.h"

namespace vormlan::ui {

namespace {

constexpr char kFormClass[] = "TForm1";
constexpr char kPageClass[] = "TTabSheet";
constexpr char kMailTip[] = "Mail me";
constexpr int kIconResource = 1;
constexpr RECT kPageControlBounds{0, 0, 508, 336};
constexpr char kFormFace[] = "MS Sans Serif";
constexpr char kArchitectureLabel[] = "&Architecture:";
// Sent to a window whose monitor's pixels per inch changed (Windows 8.1 and
// later; the headers for Windows XP lack it).
constexpr UINT kWmDpiChanged = 0x02E0;

const char* const kPageCaptions[] = {"About", "Generate driver"};

bool RegisterClasses(HINSTANCE instance) {
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
  WNDCLASSEXA form{};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = DefWindowProcA;
  form.hInstance = instance;
  form.hIcon = icon;
  form.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  form.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  form.lpszClassName = kFormClass;
  WNDCLASSEXA page = form;
  page.hIcon = nullptr;
  page.lpszClassName = kPageClass;
  for (WNDCLASSEXA* windowClass : {&form, &page}) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(instance, windowClass->lpszClassName, &existing)) continue;
    if (RegisterClassExA(windowClass) == 0) return false;
  }
  return true;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

bool IsWithin(HWND ancestor, HWND window) {
  return window != nullptr && (window == ancestor || IsChild(ancestor, window));
}

// Pixels per inch of the screen (the system's setting).
int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int CALLBACK NoteFontFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FontInstalled(const char* face) {
  LOGFONTA wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return true;
  EnumFontFamiliesExA(screen, &wanted, &NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

Form1Window::Form1Window(FormServices& services, Dialogs& dialogs)
    : services_(services), form_(*this, services, dialogs) {}

Form1Window::~Form1Window() {
  for (HWND window : {window_.Get(), controls_.TabSheet1, controls_.TabSheet2}) {
    if (window != nullptr) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  }
}

void Form1Window::Create() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterClasses(instance)) throw Exception("Cannot create the main window");

  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  dpi_ = ScreenDpi();
  CreateFormFont();

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  RECT bounds{0, 0, Scaled(kFormClientWidth), Scaled(kFormClientHeight)};
  AdjustWindowRectEx(&bounds, style, FALSE, exStyle);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  HWND window = CreateWindowExA(exStyle, kFormClass, "", style, left, top, width, height, nullptr,
                                nullptr, instance, nullptr);
  if (window == nullptr) throw Exception("Cannot create the main window");
  window_.Reset(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form1Window::FormProc));

  CreateControls();
  if (controls_.ListBox1 == nullptr || controls_.btnExit2 == nullptr) {
    window_.Reset(nullptr);
    controls_ = {};
    throw Exception("Cannot create the main window");
  }
  form_.Handle([this] { form_.FormCreate(); });
}

int Form1Window::Scaled(int length) const {
  return MulDiv(length, dpi_, 96);
}

void Form1Window::CreateFormFont() {
  const std::string face = FontInstalled(kFormFace) ? std::string(kFormFace) : MessageFace();
  font_.Reset(CreateFontA(-Scaled(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

void Form1Window::CreateControls() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND form = window_.Get();

  controls_.PageControl1 = CreateWindowExW(
      0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0, 0,
      form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(idPageControl1)), instance, nullptr);
  placements_.push_back({controls_.PageControl1, kPageControlBounds});
  for (const char* caption : kPageCaptions) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(caption);
    SendMessageA(controls_.PageControl1, TCM_INSERTITEMA,
                 static_cast<WPARAM>(SendMessageA(controls_.PageControl1, TCM_GETITEMCOUNT, 0, 0)),
                 reinterpret_cast<LPARAM>(&item));
  }

  // The pages fill the tab control's display area, above it (placed by LayOut).
  HWND* pages[] = {&controls_.TabSheet1, &controls_.TabSheet2};
  for (HWND* page : pages) {
    *page = CreateWindowExA(WS_EX_CONTROLPARENT, kPageClass, "",
                            WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, form, nullptr,
                            instance, nullptr);
    SetWindowLongPtrA(*page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(*page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form1Window::PageProc));
    SetWindowPos(*page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  // Controls are created in tab order, each put at the bottom of its page's
  // z-order, so that the z-order (which tabbing follows) is the tab order.
  // They are Unicode windows: the printer list shows names in any script.
  struct ControlDef {
    HWND* handle;
    HWND page;
    const wchar_t* windowClass;
    std::string text;
    DWORD style;
    DWORD exStyle;
    int id;
    RECT bounds;  // left, top, width, height at 96 pixels per inch
  };
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const DWORD button = child | WS_TABSTOP | BS_PUSHBUTTON;
  // clang-format off
  const ControlDef controlDefs[] = {
      {&controls_.btnExit, controls_.TabSheet1, L"BUTTON", "&Exit", button, 0, idbtnExit,
       {418, 280, 75, 25}},
      {&controls_.btnNext, controls_.TabSheet1, L"BUTTON", "&Next",
       child | WS_TABSTOP | WS_DISABLED | BS_DEFPUSHBUTTON, 0, idbtnNext, {336, 280, 75, 25}},
      {&controls_.Memo1, controls_.TabSheet1, L"EDIT", JoinLines(DisclaimerLines()),
       child | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
       WS_EX_CLIENTEDGE, idMemo1, {8, 80, 486, 166}},
      {&controls_.cboxAgree, controls_.TabSheet1, L"BUTTON", "I &Agree to the above",
       child | WS_TABSTOP | BS_AUTOCHECKBOX, 0, idcboxAgree, {192, 251, 153, 17}},
      {&controls_.Image1, controls_.TabSheet1, L"STATIC", "",
       child | SS_ICON | SS_NOTIFY | SS_CENTERIMAGE, 0, idImage1, {432, 32, 57, 41}},
      {&controls_.btnExit2, controls_.TabSheet2, L"BUTTON", "&Exit", button, 0, idbtnExit2,
       {418, 280, 75, 25}},
      {&controls_.btnBack, controls_.TabSheet2, L"BUTTON", "&Back", button, 0, idbtnBack,
       {240, 280, 75, 25}},
      {&controls_.ListBox1, controls_.TabSheet2, L"LISTBOX", "",
       child | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
       WS_EX_CLIENTEDGE, idListBox1, {8, 32, 473, 209}},
      // Hidden, and out of the tab order, until there is a choice.
      {&controls_.lblArchitecture, controls_.TabSheet2, L"STATIC", kArchitectureLabel,
       WS_CHILD | SS_LEFTNOWORDWRAP, 0, idlblArchitecture, kArchitectureLabelBounds},
      {&controls_.cmbArchitecture, controls_.TabSheet2, L"COMBOBOX", "",
       WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, 0, idcmbArchitecture, kArchitectureComboBounds},
      {&controls_.Button1, controls_.TabSheet2, L"BUTTON", "&Generate", button, 0, idButton1,
       {328, 280, 75, 25}},
      {&controls_.Label1, controls_.TabSheet2, L"STATIC", "Select Printer:",
       child | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, idLabel1, {8, 8, 66, 13}},
  };
  // clang-format on
  for (const ControlDef& def : controlDefs) {
    *def.handle = CreateWindowExW(
        def.exStyle, def.windowClass, WideFromUtf8(def.text).c_str(), def.style, 0, 0, 0, 0,
        def.page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(def.id)), instance, nullptr);
    SetWindowPos(*def.handle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    placements_.push_back({*def.handle, def.bounds});
  }
  LayOut();

  controls_.Image1Tip = CreateWindowExA(
      WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form, nullptr, instance, nullptr);
  TOOLINFOA tip{};
  tip.cbSize = TTTOOLINFOA_V2_SIZE;
  tip.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tip.hwnd = controls_.TabSheet1;
  tip.uId = reinterpret_cast<UINT_PTR>(controls_.Image1);
  tip.lpszText = const_cast<char*>(kMailTip);
  SendMessageA(controls_.Image1Tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tip));
}

void Form1Window::LayOut() {
  const auto font = reinterpret_cast<WPARAM>(font_.Get());
  for (const Placement& placement : placements_) {
    SendMessageW(placement.window, WM_SETFONT, font, FALSE);
    const RECT& b = placement.bounds;
    SetWindowPos(placement.window, nullptr, Scaled(b.left), Scaled(b.top), Scaled(b.right),
                 Scaled(b.bottom), SWP_NOZORDER | SWP_NOACTIVATE);
  }

  RECT display{0, 0, Scaled(kPageControlBounds.right), Scaled(kPageControlBounds.bottom)};
  SendMessageA(controls_.PageControl1, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (HWND page : {controls_.TabSheet1, controls_.TabSheet2}) {
    SetWindowPos(page, nullptr, display.left, display.top, display.right - display.left,
                 display.bottom - display.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  ApplyListFont();

  // Labels grow to their text where the font draws it wider.
  for (HWND label : {controls_.Label1, controls_.lblArchitecture}) {
    HDC dc = GetDC(label);
    HGDIOBJ oldFont = SelectObject(dc, font_.Get());
    char text[64] = {};
    GetWindowTextA(label, text, sizeof(text));
    SIZE extent{};
    std::string shown;
    for (const char* c = text; *c != '\0'; ++c) {
      if (*c != '&' || label == controls_.Label1) shown += *c;
    }
    GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &extent);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, oldFont);
    ReleaseDC(label, dc);
    RECT bounds{};
    GetWindowRect(label, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (extent.cx > width || metrics.tmHeight > height) {
      SetWindowPos(label, nullptr, 0, 0, extent.cx > width ? extent.cx : width,
                   metrics.tmHeight > height ? metrics.tmHeight : height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  HINSTANCE instance = GetModuleHandleA(nullptr);
  HICON icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIconResource), IMAGE_ICON,
                                             Scaled(32), Scaled(32), LR_SHARED));
  if (icon != nullptr) {
    SendMessageA(controls_.Image1, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  }
  const RECT image{432, 32, 57, 41};
  SetWindowPos(controls_.Image1, nullptr, Scaled(image.left), Scaled(image.top),
               Scaled(image.right), Scaled(image.bottom), SWP_NOZORDER | SWP_NOACTIVATE);
  if (window_.Get() != nullptr) InvalidateRect(window_.Get(), nullptr, TRUE);
}

void Form1Window::ApplyListFont() {
  if (listBeyondAnsi_ && listFont_.Get() == nullptr) {
    listFont_.Reset(CreateFontA(
        -Scaled(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, MessageFace().c_str()));
  }
  HGDIOBJ font = listBeyondAnsi_ && listFont_.Get() != nullptr ? listFont_.Get() : font_.Get();
  SendMessageW(controls_.ListBox1, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageA(controls_.ListBox1, LB_SETITEMHEIGHT, 0, Scaled(13));
}

void Form1Window::OnDpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  // The old font stays until every control has the new one.
  UniqueGdiObject oldFont = std::move(font_);
  UniqueGdiObject oldListFont = std::move(listFont_);
  CreateFormFont();
  LayOut();
  // The scroll extent was measured in the old font.
  probes::SetListBoxExtent(controls_.ListBox1);
  SetWindowPos(window_.Get(), nullptr, suggested.left, suggested.top,
               suggested.right - suggested.left, suggested.bottom - suggested.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1Window::Show(int showCommand) {
  ShowWindow(window_.Get(), showCommand);
  UpdateWindow(window_.Get());
  form_.FormShown();
  RestoreFocus();
}

HWND Form1Window::PageWindow(PageControl::PageIndex page) const {
  return page == TForm1::TabSheet1 ? controls_.TabSheet1 : controls_.TabSheet2;
}

void Form1Window::RestoreFocus() {
  if (GetActiveWindow() != window_.Get()) return;
  HWND page = PageWindow(form_.PageControl1().ActivePage());
  if (lastFocus_ != nullptr && IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_) &&
      IsWithin(window_.Get(), lastFocus_)) {
    SetFocus(lastFocus_);
    return;
  }
  HWND first = GetNextDlgTabItem(page, nullptr, FALSE);
  SetFocus(first != nullptr ? first : window_.Get());
}

bool Form1Window::PreTranslateMessage(MSG& msg) {
  HWND window = window_.Get();
  if (window == nullptr || !IsWithin(window, msg.hwnd)) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
    const bool forward = GetKeyState(VK_SHIFT) >= 0;
    form_.Handle([this, forward] { form_.PageControl1CtrlTab(forward); });
    return true;
  }
  // Alt+A on page 2 reaches the architecture drop-down where it is shown
  // (page 1's check box answers it otherwise).
  if (msg.message == WM_SYSCHAR && (msg.wParam == 'a' || msg.wParam == 'A') && choiceShown_ &&
      form_.PageControl1().ActivePage() == TForm1::TabSheet2) {
    SetFocus(controls_.cmbArchitecture);
    return true;
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
    HWND focus = GetFocus();
    const LRESULT code = focus != nullptr ? SendMessageA(focus, WM_GETDLGCODE, VK_RETURN,
                                                         reinterpret_cast<LPARAM>(&msg))
                                          : 0;
    if ((code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) != 0) return false;
    if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) {
      SendMessageA(focus, BM_CLICK, 0, 0);
      return true;
    }
    if (form_.PageControl1().ActivePage() == TForm1::TabSheet1 &&
        IsWindowEnabled(controls_.btnNext)) {
      SendMessageA(controls_.btnNext, BM_CLICK, 0, 0);
      return true;
    }
    return false;
  }
  return IsDialogMessageW(window, &msg) != FALSE;
}

// --- MainFormView.

void Form1Window::SetCaption(const std::string& caption) {
  SetWindowTextA(window_.Get(), caption.c_str());
}

bool Form1Window::IsAgreeChecked() {
  return SendMessageA(controls_.cboxAgree, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form1Window::SetNextEnabled(bool enabled) {
  EnableWindow(controls_.btnNext, enabled);
}

void Form1Window::ShowPages(const PageControl& pages) {
  HWND tabs = controls_.PageControl1;
  SendMessageA(tabs, TCM_DELETEALLITEMS, 0, 0);
  for (PageControl::PageIndex page : pages.VisibleTabs()) {
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<char*>(kPageCaptions[page]);
    item.lParam = static_cast<LPARAM>(page);
    SendMessageA(tabs, TCM_INSERTITEMA,
                 static_cast<WPARAM>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)),
                 reinterpret_cast<LPARAM>(&item));
  }
  const PageControl::PageIndex active = pages.ActivePage();
  SendMessageA(tabs, TCM_SETCURSEL, static_cast<WPARAM>(pages.TabIndexOf(active)), 0);

  HWND shown = PageWindow(active);
  HWND hidden = PageWindow(active == TForm1::TabSheet1 ? TForm1::TabSheet2 : TForm1::TabSheet1);
  const bool focusLost = IsWithin(hidden, GetFocus());
  ShowWindow(shown, SW_SHOW);
  ShowWindow(hidden, SW_HIDE);
  if (focusLost) {
    lastFocus_ = nullptr;
    RestoreFocus();
  }
}

void Form1Window::ReplacePrinterLines(const std::vector<std::string>& lines) {
  HWND list = controls_.ListBox1;
  // MS Sans Serif draws the ANSI code page only: names beyond it are shown
  // in the system's message face, which draws far more scripts.
  const TextCalls utf8(registry::TextEncoding::Utf8);
  listBeyondAnsi_ = std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& line) { return utf8.BeyondAnsi(line); });
  ApplyListFont();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& line : lines) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(line).c_str()));
  }
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

std::vector<std::string> Form1Window::PrinterLines() {
  HWND list = controls_.ListBox1;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  std::vector<std::string> lines;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring line(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                                        reinterpret_cast<LPARAM>(line.data()));
    line.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    lines.push_back(Utf8FromWide(line));
  }
  return lines;
}

bool Form1Window::IsPrinterSelected(std::size_t line) {
  return SendMessageA(controls_.ListBox1, LB_GETSEL, line, 0) > 0;
}

void Form1Window::FitPrinterListExtent() {
  probes::SetListBoxExtent(controls_.ListBox1);
}

void Form1Window::ShowArchitectureChoice(const std::vector<std::string>& names,
                                         std::size_t selected) {
  HWND combo = controls_.cmbArchitecture;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(name).c_str()));
  }
  choiceShown_ = !names.empty();
  if (choiceShown_) SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  // In the tab order only while shown.
  const LONG_PTR style = GetWindowLongPtrW(combo, GWL_STYLE);
  SetWindowLongPtrW(combo, GWL_STYLE,
                    choiceShown_ ? (style | WS_TABSTOP) : (style & ~LONG_PTR{WS_TABSTOP}));
  const bool focusLost = !choiceShown_ && GetFocus() == combo;
  ShowWindow(controls_.lblArchitecture, choiceShown_ ? SW_SHOWNA : SW_HIDE);
  ShowWindow(combo, choiceShown_ ? SW_SHOWNA : SW_HIDE);
  if (focusLost) SetFocus(controls_.ListBox1);
}

std::string Form1Window::ChosenArchitecture() {
  if (!choiceShown_) return {};
  HWND combo = controls_.cmbArchitecture;
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index < 0) return {};
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  const LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return Utf8FromWide(text);
}

// --- Messages.

LRESULT CALLBACK Form1Window::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  LRESULT result = 0;
  self->form_.Handle([&] { result = self->OnMessage(window, message, wParam, lParam); });
  return result;
}

LRESULT CALLBACK Form1Window::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return FormProc(window, message, wParam, lParam);
}

void Form1Window::OnCommand(int id, int code) {
  switch (id) {
    case idcboxAgree:
      if (code == BN_CLICKED) form_.cboxAgreeClick();
      break;
    case idbtnNext:
      if (code == BN_CLICKED) form_.btnNextClick();
      break;
    case idbtnExit:
      if (code == BN_CLICKED) form_.btnExitClick();
      break;
    case idbtnBack:
      if (code == BN_CLICKED) form_.btnBackClick();
      break;
    case idButton1:
      if (code == BN_CLICKED) form_.Button1Click();
      break;
    case idListBox1:
      if (code == LBN_SELCHANGE) form_.ListBox1Click();
      break;
    case idbtnExit2:
      if (code == BN_CLICKED) form_.btnExit2Click();
      break;
    case idImage1:
      if (code == STN_CLICKED) form_.Image1Click();
      break;
    default:
      break;
  }
}

LRESULT Form1Window::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool isForm = window == window_.Get();
  switch (message) {
    case WM_COMMAND:
      if (lParam != 0) OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == controls_.PageControl1 && header->code == TCN_SELCHANGE) {
        const LRESULT tab = SendMessageA(controls_.PageControl1, TCM_GETCURSEL, 0, 0);
        if (tab >= 0) form_.PageControl1TabClick(static_cast<std::size_t>(tab));
        return 0;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      if (window == controls_.TabSheet1) {
        // Page 1 draws its texts in the menu-text colour.
        HDC dc = reinterpret_cast<HDC>(wParam);
        const int background = message == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE;
        SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
        SetBkColor(dc, GetSysColor(background));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
      }
      break;
    case WM_PAINT:
      if (window == controls_.TabSheet1 || window == controls_.TabSheet2) {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window, &paint);
        const RECT& bevel = window == controls_.TabSheet1 ? kBevel3Bounds : kBevel1Bounds;
        RECT frame{Scaled(bevel.left), Scaled(bevel.top), Scaled(bevel.right),
                   Scaled(bevel.bottom)};
        DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
        EndPaint(window, &paint);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == controls_.Image1) {
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      if (isForm) {
        if (LOWORD(wParam) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (IsWithin(window, focus) && focus != window) lastFocus_ = focus;
        } else {
          RestoreFocus();
        }
        return 0;
      }
      break;
    case kWmDpiChanged:
      if (isForm) {
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
      }
      break;
    case WM_CLOSE:
      if (isForm) {
        services_.RequestApplicationEnd();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace vormlan::ui
