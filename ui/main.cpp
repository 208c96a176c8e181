#include "ui/main.h"

#include <exception>

#include "common/ErrorText.h"
#include "inf/Contact.h"

namespace vormlan::ui {

std::vector<std::string> DisclaimerLines() {
  return {
      "Welcome to Vormlan.",
      "",
      "Please note the following:",
      "",
      "1) Bare with me....There's still a couple of 1000 printers I still haven't tested yet.",
      std::string("2) Provide me with feedback @  ") + kContactAddress,
      "",
      "This program can generate an inf-based printerdriver in a directory, that you specify, "
      "from an ",
      "already installed printer.",
      "",
      "This means, that you can use this program to generate printerdrivers to use with NDPS or ",
      "Point-And-Print, even if the supplied driver from the vendor was based on a setup.exe file.",
      "",
      "",
      "",
      "",
      "* No support can be expected for this program",
      "",
      "",
      "",
      "",
      "Written by ",
      "Ulvmarsk",
      "Denmark",
      kContactAddress,
      "",
  };
}

TForm1::TForm1(MainFormView& view, FormServices& services, Dialogs& dialogs)
    : view_(view), services_(services), dialogs_(dialogs), pages_(2, TabSheet2) {}

void TForm1::ChangePages(const std::function<bool()>& change) {
  const bool changed = change();
  view_.ShowPages(pages_);
  if (changed && shown_ && pages_.ActivePage() == TabSheet2) TabSheet2Show();
}

void TForm1::FormCreate() {
  view_.SetCaption(kApplicationTitle);
  ChangePages([this] { return pages_.SetTabVisible(TabSheet1, true); });
  ChangePages([this] { return pages_.SetTabVisible(TabSheet2, false); });
}

void TForm1::cboxAgreeClick() {
  if (view_.IsAgreeChecked()) {
    view_.SetNextEnabled(true);
    ChangePages([this] { return pages_.SetTabVisible(TabSheet2, true); });
  } else {
    ChangePages([this] { return pages_.SetTabVisible(TabSheet2, false); });
    view_.SetNextEnabled(false);
  }
}

void TForm1::btnNextClick() {
  ChangePages([this] { return pages_.SetTabVisible(TabSheet2, true); });
  ChangePages([this] { return pages_.SelectNextPage(true); });
}

void TForm1::btnBackClick() {
  ChangePages([this] { return pages_.SelectNextPage(false); });
}

void TForm1::btnExitClick() {
  services_.RequestApplicationEnd();
}

void TForm1::btnExit2Click() {
  services_.RequestApplicationEnd();
}

void TForm1::TabSheet2Show() {
  if (services_.GetOSName() == "Windows 95") {
    dialogs_.ShowPlainMessage(kUnsupportedSystemText);
    services_.RequestApplicationEnd();
  }
  view_.ShowArchitectureChoice({}, 0);
  view_.ReplacePrinterLines(services_.InstalledPrinterNames());
  view_.FitPrinterListExtent();
}

void TForm1::Button1Click() {
  const std::vector<std::string> lines = view_.PrinterLines();
  const auto isSelected = [this](std::size_t line) { return view_.IsPrinterSelected(line); };
  const std::string architecture = view_.ChosenArchitecture();
  if (architecture.empty()) {
    services_.Generate(lines, isSelected);
  } else {
    services_.Generate(lines, isSelected, architecture);
  }
}

void TForm1::ListBox1Click() {
  const std::vector<std::string> lines = view_.PrinterLines();
  ArchitectureChoice choice;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (view_.IsPrinterSelected(i)) {
      choice = services_.ArchitecturesOf(lines[i]);
      break;
    }
  }
  if (choice.names.size() < 2) choice = {};
  view_.ShowArchitectureChoice(choice.names, choice.preferred);
}

void TForm1::Image1Click() {
  services_.OpenMailLink(std::string("mailto:") + kContactAddress);
}

void TForm1::PageControl1TabClick(std::size_t tabIndex) {
  ChangePages([this, tabIndex] { return pages_.ClickTab(tabIndex); });
}

void TForm1::PageControl1CtrlTab(bool forward) {
  ChangePages([this, forward] { return pages_.CycleVisibleTabs(forward); });
}

void TForm1::FormShown() {
  shown_ = true;
}

void TForm1::Handle(const std::function<void()>& handler) noexcept {
  try {
    try {
      handler();
    } catch (const std::exception& e) {
      dialogs_.ShowErrorBox(ErrorBoxText(e.what()));
    } catch (...) {
      dialogs_.ShowErrorBox(ErrorBoxText("Unexpected error"));
    }
  } catch (...) {
    // The error box itself failed: nothing is left to tell the user with,
    // and the message loop goes on.
  }
}

}  // namespace vormlan::ui
