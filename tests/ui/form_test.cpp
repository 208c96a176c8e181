// The page flow and handlers of TForm1 against a fake window.

#include "ui/main.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/Exception.h"
#include "inf/Contact.h"
#include "tests/ui/FormFakes.h"

namespace vormlan::ui {
namespace {

using test::EventLog;
using test::FakeDialogs;
using test::FakeServices;
using ::testing::ElementsAre;

// The window's controls as plain state, logging what the form changes.
class FakeView : public MainFormView {
 public:
  explicit FakeView(EventLog& log) : log_(log) {}

  std::string caption;
  bool agreeChecked = false;
  bool nextEnabled = false;  // btnNext starts disabled
  std::vector<PageControl::PageIndex> visibleTabs{0, 1};
  PageControl::PageIndex activePage = 1;
  std::vector<std::string> lines;
  int selectedLine = -1;
  int extentFits = 0;

  void SetCaption(const std::string& text) override { caption = text; }
  bool IsAgreeChecked() override { return agreeChecked; }
  void SetNextEnabled(bool enabled) override {
    log_.push_back(enabled ? "next on" : "next off");
    nextEnabled = enabled;
  }
  void ShowPages(const PageControl& pages) override {
    if (pages.VisibleTabs() != visibleTabs) {
      log_.push_back(pages.IsTabVisible(1) ? "tab2 shown" : "tab2 hidden");
    }
    visibleTabs = pages.VisibleTabs();
    activePage = pages.ActivePage();
  }
  void ReplacePrinterLines(const std::vector<std::string>& newLines) override {
    log_.push_back("fill");
    lines = newLines;
    selectedLine = -1;
  }
  std::vector<std::string> PrinterLines() override { return lines; }
  bool IsPrinterSelected(std::size_t line) override {
    return selectedLine >= 0 && static_cast<std::size_t>(selectedLine) == line;
  }
  void FitPrinterListExtent() override {
    log_.push_back("extent");
    ++extentFits;
  }
  // The architecture drop-down: its names (none while hidden) and choice.
  std::vector<std::string> architectures;
  std::size_t chosenArchitecture = 0;
  void ShowArchitectureChoice(const std::vector<std::string>& names,
                              std::size_t selected) override {
    architectures = names;
    chosenArchitecture = selected;
  }
  std::string ChosenArchitecture() override {
    return chosenArchitecture < architectures.size() ? architectures[chosenArchitecture] : "";
  }

 private:
  EventLog& log_;
};

class FormTest : public ::testing::Test {
 protected:
  FormTest() : view(log), services(log), dialogs(log), form(view, services, dialogs) {
    services.printers = {"HP LaserJet 4", "\\\\srv\\laser"};
  }

  // FormCreate, then the window is shown.
  void Start() {
    form.Handle([this] { form.FormCreate(); });
    form.FormShown();
    log.clear();
  }
  void SetAgree(bool checked) {
    view.agreeChecked = checked;
    form.Handle([this] { form.cboxAgreeClick(); });
  }

  EventLog log;
  FakeView view;
  FakeServices services;
  FakeDialogs dialogs;
  TForm1 form;
};

TEST_F(FormTest, StartsOnPageOneWithPageTwoHiddenAndNextDisabled) {
  // The description names page 2 active with every tab visible.
  EXPECT_EQ(form.PageControl1().ActivePage(), TForm1::TabSheet2);
  Start();
  EXPECT_EQ(view.caption, "Vormlan");
  EXPECT_EQ(view.activePage, TForm1::TabSheet1);
  EXPECT_EQ(view.visibleTabs, std::vector<PageControl::PageIndex>{TForm1::TabSheet1});
  EXPECT_FALSE(view.nextEnabled);
  // The page changes of FormCreate happen before the window is visible.
  EXPECT_EQ(services.printerRequests, 0);
}

TEST_F(FormTest, CheckingUncheckingAndCheckingAgainTogglesPageTwoAndNext) {
  Start();
  SetAgree(true);
  SetAgree(false);
  SetAgree(true);
  EXPECT_THAT(log, ElementsAre("next on", "tab2 shown", "tab2 hidden", "next off", "next on",
                               "tab2 shown"));
  EXPECT_EQ(view.activePage, TForm1::TabSheet1);  // showing the tab does not move there
  EXPECT_EQ(services.printerRequests, 0);
}

TEST_F(FormTest, NextShowsPageTwoWithThePrintersAndBackReturns) {
  Start();
  SetAgree(true);
  log.clear();
  form.Handle([this] { form.btnNextClick(); });
  EXPECT_EQ(view.activePage, TForm1::TabSheet2);
  EXPECT_THAT(log, ElementsAre("os", "printers", "fill", "extent"));
  EXPECT_EQ(view.lines, services.printers);
  EXPECT_EQ(view.selectedLine, -1);

  form.Handle([this] { form.btnBackClick(); });
  EXPECT_EQ(view.activePage, TForm1::TabSheet1);
  EXPECT_EQ(view.visibleTabs.size(), 2u);
}

TEST_F(FormTest, BackThenNextRefillsTheListAndClearsTheSelection) {
  Start();
  SetAgree(true);
  form.Handle([this] { form.btnNextClick(); });
  view.selectedLine = 1;
  services.printers.push_back("Added later");
  form.Handle([this] { form.btnBackClick(); });
  form.Handle([this] { form.btnNextClick(); });
  EXPECT_EQ(services.printerRequests, 2);
  EXPECT_EQ(view.lines.size(), 3u);
  EXPECT_EQ(view.selectedLine, -1);
  EXPECT_EQ(view.extentFits, 2);
}

TEST_F(FormTest, NextShowsTheHiddenTabFirst) {
  Start();  // box unchecked: page 2's tab is hidden
  form.Handle([this] { form.btnNextClick(); });
  EXPECT_EQ(view.activePage, TForm1::TabSheet2);
  EXPECT_EQ(view.visibleTabs.size(), 2u);
  EXPECT_EQ(services.printerRequests, 1);
}

TEST_F(FormTest, ClickingOrCtrlTabbingToPageTwoShowsItOnlyWhenItsTabIsVisible) {
  Start();
  form.Handle([this] { form.PageControl1CtrlTab(true); });
  form.Handle([this] { form.PageControl1TabClick(1); });
  EXPECT_EQ(view.activePage, TForm1::TabSheet1);
  EXPECT_EQ(services.printerRequests, 0);

  SetAgree(true);
  form.Handle([this] { form.PageControl1TabClick(1); });
  EXPECT_EQ(view.activePage, TForm1::TabSheet2);
  EXPECT_EQ(services.printerRequests, 1);
  form.Handle([this] { form.PageControl1CtrlTab(false); });
  EXPECT_EQ(view.activePage, TForm1::TabSheet1);
  form.Handle([this] { form.PageControl1CtrlTab(true); });
  EXPECT_EQ(view.activePage, TForm1::TabSheet2);
  EXPECT_EQ(services.printerRequests, 2);
}

TEST_F(FormTest, UncheckingOnPageTwoReturnsToPageOne) {
  Start();
  SetAgree(true);
  form.Handle([this] { form.btnNextClick(); });
  SetAgree(false);
  EXPECT_EQ(view.activePage, TForm1::TabSheet1);
  EXPECT_FALSE(view.nextEnabled);
}

TEST_F(FormTest, Windows95IsRefusedButThePageIsStillFilled) {
  services.osName = "Windows 95";
  Start();
  form.Handle([this] { form.btnNextClick(); });
  EXPECT_THAT(log,
              ElementsAre("tab2 shown", "os", "message Sorry, but only WinNT or above is supported",
                          "end", "printers", "fill", "extent"));
}

TEST_F(FormTest, OtherSystemsAreNotRefused) {
  for (const char* name : {"Windows 31", "Windows NT", "Windows 2000", "", "windows 95"}) {
    services.osName = name;
    Start();
    form.Handle([this] { form.btnNextClick(); });
    form.Handle([this] { form.btnBackClick(); });
  }
  EXPECT_TRUE(dialogs.plainMessages.empty());
  EXPECT_EQ(services.endRequests, 0);
}

TEST_F(FormTest, ExitButtonsRequestTheEnd) {
  Start();
  form.Handle([this] { form.btnExitClick(); });
  form.Handle([this] { form.btnExit2Click(); });
  EXPECT_EQ(services.endRequests, 2);
}

TEST_F(FormTest, GenerateHandsOverTheLinesAndTheirSelection) {
  Start();
  form.Handle([this] { form.btnNextClick(); });
  form.Handle([this] { form.Button1Click(); });
  view.selectedLine = 1;
  form.Handle([this] { form.Button1Click(); });
  ASSERT_EQ(services.generatedEntries.size(), 2u);
  EXPECT_EQ(services.generatedEntries[1], services.printers);
  EXPECT_TRUE(services.generatedSelection[0].empty());
  EXPECT_EQ(services.generatedSelection[1], std::vector<std::size_t>{1});
}

TEST_F(FormTest, ErrorsOfAHandlerReachTheErrorBoxAndTheFormStaysOnPageTwo) {
  Start();
  form.Handle([this] { form.btnNextClick(); });
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"String list expected", "String list expected."},
      {"Invalid data type for 'Printer Driver'", "Invalid data type for 'Printer Driver'"},
      {"Failed to get data for 'Driver'", "Failed to get data for 'Driver'"},
      {"Unable read MULTI_SZ value", "Unable read MULTI_SZ value."},
      {"Already a period.", "Already a period."},
      {"Ends in a comma,", "Ends in a comma,"},
      {"", ""},
  };
  for (const auto& [message, shown] : cases) {
    services.generate = [&message](const auto&, const auto&) { throw Exception(message); };
    form.Handle([this] { form.Button1Click(); });
    ASSERT_FALSE(dialogs.errorBoxes.empty());
    EXPECT_EQ(dialogs.errorBoxes.back(), shown);
  }
  EXPECT_EQ(dialogs.errorBoxes.size(), cases.size());
  EXPECT_EQ(view.activePage, TForm1::TabSheet2);

  form.Handle([] { throw 42; });
  EXPECT_EQ(dialogs.errorBoxes.back(), "Unexpected error.");
}

TEST_F(FormTest, AnErrorWhileShowingPageTwoIsShownToo) {
  Start();
  services.generate = nullptr;
  class ThrowingPrinters : public FakeServices {
    using FakeServices::FakeServices;
    std::vector<std::string> InstalledPrinterNames() override {
      throw Exception("Printer list unavailable");
    }
  };
  ThrowingPrinters throwing(log);
  TForm1 other(view, throwing, dialogs);
  other.Handle([&] { other.FormCreate(); });
  other.FormShown();
  other.Handle([&] { other.btnNextClick(); });
  EXPECT_EQ(view.activePage, TForm1::TabSheet2);
  EXPECT_THAT(dialogs.errorBoxes, ElementsAre("Printer list unavailable."));
}

TEST_F(FormTest, ThePictureOpensAMailToTheContactAddress) {
  Start();
  form.Handle([this] { form.Image1Click(); });
  EXPECT_THAT(services.mailLinks, ElementsAre(std::string("mailto:") + kContactAddress));
}

// The drop-down appears for a driver of several architectures, with the
// preferred one chosen, and goes again for a driver of one, for no
// selection and when page 2 is filled anew; Generate passes on the choice,
// and without the drop-down asks for no architecture at all.
TEST_F(FormTest, TheArchitectureChoiceFollowsTheSelectedPrinter) {
  services.printers = {"Twin", "Single", "Broken"};
  services.architectures["Twin"] = {{"x86", "x64"}, 1};
  services.architectures["Single"] = {{"x64"}, 0};
  Start();
  SetAgree(true);
  form.Handle([this] { form.btnNextClick(); });
  const auto select = [this](int line) {
    view.selectedLine = line;
    form.Handle([this] { form.ListBox1Click(); });
  };

  select(0);
  EXPECT_THAT(view.architectures, ElementsAre("x86", "x64"));
  EXPECT_EQ(view.ChosenArchitecture(), "x64");
  view.chosenArchitecture = 0;
  form.Handle([this] { form.Button1Click(); });

  select(1);
  EXPECT_TRUE(view.architectures.empty());
  form.Handle([this] { form.Button1Click(); });

  select(0);
  select(2);
  EXPECT_TRUE(view.architectures.empty());
  select(0);
  select(-1);
  EXPECT_TRUE(view.architectures.empty());

  select(0);
  form.Handle([this] { form.btnBackClick(); });
  form.Handle([this] { form.btnNextClick(); });
  EXPECT_TRUE(view.architectures.empty());
  EXPECT_THAT(services.generatedArchitectures, ElementsAre("x86", ""));
  EXPECT_TRUE(dialogs.errorBoxes.empty());
}

TEST(DisclaimerTest, HasItsRowsWithTheContactAddress) {
  const std::vector<std::string> rows = DisclaimerLines();
  ASSERT_EQ(rows.size(), 26u);
  EXPECT_EQ(rows[0], "Welcome to Vormlan.");
  EXPECT_EQ(rows[5], std::string("2) Provide me with feedback @  ") + kContactAddress);
  EXPECT_EQ(rows[7].back(), ' ');
  EXPECT_EQ(rows[10].back(), ' ');
  EXPECT_EQ(rows[16], "* No support can be expected for this program");
  EXPECT_EQ(rows[21], "Written by ");
  EXPECT_EQ(rows[24], kContactAddress);
  EXPECT_EQ(rows[25], "");
}

}  // namespace
}  // namespace vormlan::ui
