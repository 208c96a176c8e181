#pragma once
// Form1, the program's main window on Windows: the window and controls of
// TForm1's description, wired to TForm1's handlers.

#include <windows.h>

#include <vector>

#include "common/UniqueHandle_win32.h"
#include "ui/main.h"

namespace vormlan::ui {

inline constexpr int kFormClientWidth = 509;
inline constexpr int kFormClientHeight = 337;

// The frames of the pages (drawn by the page, as sunken boxes), in page
// client coordinates: left, top, right, bottom.
inline constexpr RECT kBevel3Bounds{0, 0, 501, 273};
inline constexpr RECT kBevel1Bounds{0, 0, 497, 273};

// Control ids (the WM_COMMAND ids of the controls).
enum ControlId : int {
  idPageControl1 = 100,
  idImage1,
  idMemo1,
  idcboxAgree,
  idbtnNext,
  idbtnExit,
  idLabel1,
  idListBox1,
  idbtnBack,
  idButton1,
  idbtnExit2,
  idlblArchitecture,
  idcmbArchitecture,
};

// The window handles of Form1's controls, named as the controls. TabSheet1
// and TabSheet2 are the page windows that hold each page's controls; the
// frames Bevel3 and Bevel1 have no window (kBevel3Bounds, kBevel1Bounds).
struct Form1Controls {
  HWND PageControl1 = nullptr;
  HWND TabSheet1 = nullptr;
  HWND Image1 = nullptr;
  HWND Memo1 = nullptr;
  HWND cboxAgree = nullptr;
  HWND btnNext = nullptr;
  HWND btnExit = nullptr;
  HWND TabSheet2 = nullptr;
  HWND Label1 = nullptr;
  HWND ListBox1 = nullptr;
  HWND btnBack = nullptr;
  HWND Button1 = nullptr;
  HWND btnExit2 = nullptr;
  HWND Image1Tip = nullptr;  // the "Mail me" tooltip
  // The "Architecture:" drop-down of page 2 and its label, shown only where
  // the selected printer's driver is registered for several architectures.
  HWND lblArchitecture = nullptr;
  HWND cmbArchitecture = nullptr;
};

// Where the architecture drop-down and its label stand on page 2 (at 96
// pixels per inch): left of the buttons, below the printer list.
inline constexpr RECT kArchitectureLabelBounds{8, 286, 70, 13};  // left, top, width, height
inline constexpr RECT kArchitectureComboBounds{80, 282, 90, 120};

class Form1Window : public MainFormView {
 public:
  // services and dialogs must outlive the window.
  Form1Window(FormServices& services, Dialogs& dialogs);
  // Destroys the window; its messages no longer reach the form from then on.
  ~Form1Window() override;
  Form1Window(const Form1Window&) = delete;
  Form1Window& operator=(const Form1Window&) = delete;

  // Creates the window and its controls, still invisible, and runs
  // FormCreate (an error of FormCreate is shown in the error box). Throws
  // vormlan::Exception "Cannot create the main window" when the system
  // refuses; nothing is left over then.
  void Create();

  // Shows the window (ShowWindow's showCommand); from now on page 2's show
  // handler runs whenever page 2 becomes active.
  void Show(int showCommand);

  // The message loop's keyboard handling for the window: Ctrl+Tab and
  // Ctrl+Shift+Tab among the visible tabs, Enter for the focused or the
  // default button, Tab, arrow and mnemonic navigation. True when msg was
  // consumed and must not be dispatched.
  bool PreTranslateMessage(MSG& msg);

  HWND Handle() const { return window_.Get(); }
  const Form1Controls& Controls() const { return controls_; }
  TForm1& Form() { return form_; }

  // --- MainFormView.
  void SetCaption(const std::string& caption) override;
  bool IsAgreeChecked() override;
  void SetNextEnabled(bool enabled) override;
  void ShowPages(const PageControl& pages) override;
  void ReplacePrinterLines(const std::vector<std::string>& lines) override;
  std::vector<std::string> PrinterLines() override;
  bool IsPrinterSelected(std::size_t line) override;
  void FitPrinterListExtent() override;
  void ShowArchitectureChoice(const std::vector<std::string>& names, std::size_t selected) override;
  std::string ChosenArchitecture() override;

  // Pixels per inch the window is laid out for (96: the sizes above).
  int Dpi() const { return dpi_; }

 private:
  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Messages of the window and of its page windows (window is the receiver).
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);
  void CreateControls();
  HWND PageWindow(PageControl::PageIndex page) const;
  void RestoreFocus();
  // A length at 96 pixels per inch, in the window's pixels.
  int Scaled(int length) const;
  // The window font for dpi_: MS Sans Serif 8 pt, or the system's message
  // face where that font is missing.
  void CreateFormFont();
  // Places every control at its bounds scaled to dpi_, with the font.
  void LayOut();
  // The printer list's font (listFont_ where listBeyondAnsi_, else the
  // window font) and line height for dpi_.
  void ApplyListFont();
  // WM_DPICHANGED: the new pixels per inch and the window's suggested bounds.
  void OnDpiChanged(int dpi, const RECT& suggested);

  // A control and its bounds at 96 pixels per inch (left, top, width, height).
  struct Placement {
    HWND window;
    RECT bounds;
  };

  FormServices& services_;
  TForm1 form_;
  UniqueGdiObject font_;
  // The printer list's font where a name holds characters the window font
  // lacks (the system's message face, same height); null otherwise.
  UniqueGdiObject listFont_;
  bool listBeyondAnsi_ = false;  // the printer list holds such a name
  Form1Controls controls_;
  HWND lastFocus_ = nullptr;
  int dpi_ = 96;
  std::vector<Placement> placements_;
  bool choiceShown_ = false;
  UniqueWindow window_;  // destroyed first, before the font its controls use
};

}  // namespace vormlan::ui
