#pragma once
// The main window Form1 of class TForm1: a two-page wizard. Page 1 ("About")
// shows the disclaimer that must be acknowledged; page 2 ("Generate driver")
// lists the installed printers and starts a generation run for the selected
// one.
//
// TForm1 holds the page flow and the handlers and reaches the window only
// through MainFormView; the Windows window is Form1Window (main_win32.h).

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "ui/Dialogs.h"
#include "ui/FormServices.h"
#include "ui/PageControl.h"

namespace vormlan::ui {

inline constexpr char kApplicationTitle[] = "Vormlan";
inline constexpr char kUnsupportedSystemText[] = "Sorry, but only WinNT or above is supported";

// The 26 rows of the disclaimer shown on page 1.
std::vector<std::string> DisclaimerLines();

// What TForm1 needs from the window's controls.
class MainFormView {
 public:
  virtual ~MainFormView() = default;

  virtual void SetCaption(const std::string& caption) = 0;
  // Whether cboxAgree is checked (after the click that toggled it).
  virtual bool IsAgreeChecked() = 0;
  virtual void SetNextEnabled(bool enabled) = 0;
  // Shows the visible tabs of pages and its active page.
  virtual void ShowPages(const PageControl& pages) = 0;
  // Replaces the lines of ListBox1; afterwards no line is selected.
  virtual void ReplacePrinterLines(const std::vector<std::string>& lines) = 0;
  virtual std::vector<std::string> PrinterLines() = 0;
  virtual bool IsPrinterSelected(std::size_t line) = 0;
  // Sets ListBox1's horizontal scroll extent to fit its widest line.
  virtual void FitPrinterListExtent() = 0;
  // Shows the "Architecture:" drop-down with these names, the one at
  // selected chosen; no names hide it.
  virtual void ShowArchitectureChoice(const std::vector<std::string>& names, std::size_t selected) {
    (void)names;
    (void)selected;
  }
  // The architecture chosen in the drop-down; "" while it is hidden.
  virtual std::string ChosenArchitecture() { return {}; }
};

class TForm1 {
 public:
  // The pages of PageControl1, in page order.
  enum Page : PageControl::PageIndex { TabSheet1 = 0, TabSheet2 = 1 };

  // The window description names TabSheet2 as the active page with both tabs
  // visible; FormCreate changes that before the window is shown.
  TForm1(MainFormView& view, FormServices& services, Dialogs& dialogs);

  // --- Handlers. Each may throw; the window calls them through Handle().

  // Window created, still invisible: caption := application title,
  // TabSheet1's tab shown, TabSheet2's tab hidden (page 1 becomes active).
  void FormCreate();
  // Checked: enables btnNext, then shows TabSheet2's tab. Unchecked: hides
  // TabSheet2's tab, then disables btnNext.
  void cboxAgreeClick();
  // Shows TabSheet2's tab, then steps to the next page.
  void btnNextClick();
  // Steps to the previous page.
  void btnBackClick();
  // Both ask for the end of the program.
  void btnExitClick();
  void btnExit2Click();
  // Page 2 became active while the window is visible: refuses "Windows 95"
  // (message, then the end request, and goes on), replaces the printer list
  // with the installed printers (no selection afterwards) and fits its extent.
  void TabSheet2Show();
  // One generation run over ListBox1's lines and selection, for the
  // architecture chosen where the drop-down offers a choice.
  void Button1Click();
  // The selection of ListBox1 changed: the drop-down offers the
  // architectures of the selected printer's driver where there are several,
  // and is hidden otherwise.
  void ListBox1Click();
  // Opens the mail program on "mailto:" + the contact address.
  void Image1Click();

  // --- Events of PageControl1 and the window.

  // A click on the visible tab at tabIndex.
  void PageControl1TabClick(std::size_t tabIndex);
  // Ctrl+Tab (forward) or Ctrl+Shift+Tab.
  void PageControl1CtrlTab(bool forward);
  // The window has become visible: from now on page 2's show handler runs
  // whenever page 2 becomes active.
  void FormShown();

  const PageControl& PageControl1() const { return pages_; }

  // Runs one handler. An exception escaping it is shown in the error box
  // (its message with ErrorBoxText's "." rule) and goes no further.
  void Handle(const std::function<void()>& handler) noexcept;

 private:
  // Applies a change of the page control, shows the result and runs page 2's
  // show handler when page 2 became active in a visible window.
  void ChangePages(const std::function<bool()>& change);

  MainFormView& view_;
  FormServices& services_;
  Dialogs& dialogs_;
  PageControl pages_;
  bool shown_ = false;
};

}  // namespace vormlan::ui
