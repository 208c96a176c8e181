// The real main window under Wine: controls driven through their messages,
// with fake services and dialogs.

#include <windows.h>
#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "print/DriverLookup.h"
#include "generation/GenerationRun.h"
#include "registry/MemoryRegistry.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/FormFakes.h"
#include "ui/WindowHost_win32.h"
#include "ui/main_win32.h"

namespace vormlan::ui {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Text(HWND window) {
  char buffer[4096] = {};
  GetWindowTextA(window, buffer, sizeof(buffer));
  return buffer;
}

// left, top, width, height of a control within its parent's client area.
std::vector<int> Bounds(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::vector<std::string> TabTexts(HWND tabs) {
  std::vector<std::string> texts;
  const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char buffer[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    texts.emplace_back(buffer);
  }
  return texts;
}

std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char buffer[512] = {};
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
    lines.emplace_back(buffer);
  }
  return lines;
}

// The quit request waiting in the thread's queue, if any: its exit code.
std::optional<WPARAM> TakeQuitRequest() {
  MSG msg{};
  if (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return msg.wParam;
  return std::nullopt;
}

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : services(log), dialogs(log), window(services, dialogs) {}

  void SetUp() override {
    services.printers = {"Office Laser",
                         "\\\\printserver\\A very long shared printer name "
                         "that needs the horizontal scroll bar to be read"};
    window.Create();
    window.Show(SW_SHOWNORMAL);
    TakeQuitRequest();
  }

  void Click(HWND control) { SendMessageA(control, BM_CLICK, 0, 0); }
  bool OnPage2() {
    return IsWindowVisible(c().TabSheet2) && !IsWindowVisible(c().TabSheet1) &&
           SendMessageA(c().PageControl1, TCM_GETCURSEL, 0, 0) == 1;
  }
  const Form1Controls& c() { return window.Controls(); }
  void ToPage2() {
    Click(c().cboxAgree);
    Click(c().btnNext);
    ASSERT_TRUE(OnPage2());
  }

  test::EventLog log;
  test::FakeServices services;
  test::FakeDialogs dialogs;
  Form1Window window;
};

TEST_F(WindowTest, WindowAndControlsFollowTheDescription) {
  HWND form = window.Handle();
  EXPECT_EQ(Text(form), "Vormlan");
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 509);
  EXPECT_EQ(client.bottom, 337);
  const LONG style = GetWindowLongA(form, GWL_STYLE);
  EXPECT_NE(style & WS_SYSMENU, 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  RECT bounds{};
  GetWindowRect(form, &bounds);
  EXPECT_LE(std::abs((bounds.left + bounds.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
  EXPECT_LE(std::abs((bounds.top + bounds.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2), 1);

  EXPECT_EQ(Bounds(c().PageControl1), (std::vector<int>{0, 0, 508, 336}));
  EXPECT_EQ(Bounds(c().Image1), (std::vector<int>{432, 32, 57, 41}));
  EXPECT_EQ(Bounds(c().Memo1), (std::vector<int>{8, 80, 486, 166}));
  EXPECT_EQ(Bounds(c().cboxAgree), (std::vector<int>{192, 251, 153, 17}));
  EXPECT_EQ(Bounds(c().btnNext), (std::vector<int>{336, 280, 75, 25}));
  EXPECT_EQ(Bounds(c().btnExit), (std::vector<int>{418, 280, 75, 25}));
  EXPECT_EQ(Bounds(c().ListBox1), (std::vector<int>{8, 32, 473, 209}));
  EXPECT_EQ(Bounds(c().btnBack), (std::vector<int>{240, 280, 75, 25}));
  EXPECT_EQ(Bounds(c().Button1), (std::vector<int>{328, 280, 75, 25}));
  EXPECT_EQ(Bounds(c().btnExit2), (std::vector<int>{418, 280, 75, 25}));
  const std::vector<int> label = Bounds(c().Label1);
  EXPECT_EQ(label[0], 8);
  EXPECT_EQ(label[1], 8);
  EXPECT_GE(label[2], 66);

  EXPECT_EQ(Text(c().cboxAgree), "I &Agree to the above");
  EXPECT_EQ(Text(c().btnNext), "&Next");
  EXPECT_EQ(Text(c().btnExit), "&Exit");
  EXPECT_EQ(Text(c().Label1), "Select Printer:");
  EXPECT_EQ(Text(c().btnBack), "&Back");
  EXPECT_EQ(Text(c().Button1), "&Generate");
  EXPECT_EQ(Text(c().btnExit2), "&Exit");
  std::string disclaimer;
  for (const std::string& row : DisclaimerLines())
    disclaimer += (disclaimer.empty() ? "" : "\r\n") + row;
  EXPECT_EQ(Text(c().Memo1), disclaimer);
  EXPECT_EQ(SendMessageA(c().Memo1, EM_GETLINECOUNT, 0, 0) >= 26, true);

  EXPECT_NE(GetWindowLongA(c().btnNext, GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
  const LONG listStyle = GetWindowLongA(c().ListBox1, GWL_STYLE);
  EXPECT_EQ(listStyle & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL), 0);
  EXPECT_EQ(SendMessageA(c().ListBox1, LB_GETITEMHEIGHT, 0, 0), 13);
}

TEST_F(WindowTest, TabOrderOfEachPage) {
  auto order = [](HWND page) {
    std::vector<HWND> children;
    for (HWND w = GetWindow(page, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      if ((GetWindowLongA(w, GWL_STYLE) & WS_TABSTOP) != 0) children.push_back(w);
    }
    return children;
  };
  EXPECT_THAT(order(c().TabSheet1),
              ElementsAre(c().btnExit, c().btnNext, c().Memo1, c().cboxAgree));
  EXPECT_THAT(order(c().TabSheet2),
              ElementsAre(c().btnExit2, c().btnBack, c().ListBox1, c().Button1));
}

TEST_F(WindowTest, StartsOnPageOneWithTheOtherTabHiddenAndNextDisabled) {
  EXPECT_THAT(TabTexts(c().PageControl1), ElementsAre("About"));
  EXPECT_TRUE(IsWindowVisible(c().TabSheet1));
  EXPECT_FALSE(IsWindowVisible(c().TabSheet2));
  EXPECT_FALSE(IsWindowEnabled(c().btnNext));
  EXPECT_EQ(SendMessageA(c().cboxAgree, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(services.printerRequests, 0);
}

TEST_F(WindowTest, TheCheckBoxTogglesTheSecondTabAndNext) {
  for (int round = 0; round < 2; ++round) {
    Click(c().cboxAgree);
    EXPECT_THAT(TabTexts(c().PageControl1), ElementsAre("About", "Generate driver"));
    EXPECT_TRUE(IsWindowEnabled(c().btnNext));
    Click(c().cboxAgree);
    EXPECT_THAT(TabTexts(c().PageControl1), ElementsAre("About"));
    EXPECT_FALSE(IsWindowEnabled(c().btnNext));
  }
  EXPECT_TRUE(IsWindowVisible(c().TabSheet1));
}

TEST_F(WindowTest, NextFillsThePrinterListAndBackThenNextRefillsIt) {
  ToPage2();
  EXPECT_EQ(ListLines(c().ListBox1), services.printers);
  EXPECT_EQ(SendMessageA(c().ListBox1, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_GT(SendMessageA(c().ListBox1, LB_GETHORIZONTALEXTENT, 0, 0), 473);
  // The long line brings up the horizontal scroll bar.
  EXPECT_NE(GetWindowLongA(c().ListBox1, GWL_STYLE) & WS_HSCROLL, 0);

  SendMessageA(c().ListBox1, LB_SETCURSEL, 1, 0);
  Click(c().btnBack);
  EXPECT_TRUE(IsWindowVisible(c().TabSheet1));
  EXPECT_EQ(SendMessageA(c().PageControl1, TCM_GETCURSEL, 0, 0), 0);
  services.printers.push_back("Third");
  Click(c().btnNext);
  EXPECT_TRUE(OnPage2());
  EXPECT_EQ(ListLines(c().ListBox1).size(), 3u);
  EXPECT_EQ(SendMessageA(c().ListBox1, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(services.printerRequests, 2);
}

TEST_F(WindowTest, TabClicksAndCtrlTabReachVisibleTabsOnly) {
  SendMessageA(c().PageControl1, TCM_SETCURFOCUS, 1, 0);  // no such tab yet
  EXPECT_TRUE(IsWindowVisible(c().TabSheet1));

  Click(c().cboxAgree);
  SendMessageA(c().PageControl1, TCM_SETCURFOCUS, 1, 0);
  EXPECT_TRUE(OnPage2());
  EXPECT_EQ(services.printerRequests, 1);

  BYTE keys[256] = {};
  GetKeyboardState(keys);
  BYTE pressed[256];
  std::copy(std::begin(keys), std::end(keys), pressed);
  pressed[VK_CONTROL] = 0x80;
  SetKeyboardState(pressed);
  MSG msg{c().ListBox1, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_TRUE(window.PreTranslateMessage(msg));
  EXPECT_TRUE(IsWindowVisible(c().TabSheet1));
  EXPECT_TRUE(window.PreTranslateMessage(msg));
  EXPECT_TRUE(OnPage2());
  SetKeyboardState(keys);
  EXPECT_EQ(services.printerRequests, 2);
}

TEST_F(WindowTest, EnterPressesTheDefaultButtonOnceItIsEnabled) {
  SetActiveWindow(window.Handle());
  SetFocus(c().cboxAgree);
  MSG enter{c().cboxAgree, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
  window.PreTranslateMessage(enter);
  EXPECT_TRUE(IsWindowVisible(c().TabSheet1));  // Next is disabled
  Click(c().cboxAgree);
  SetFocus(c().cboxAgree);
  EXPECT_TRUE(window.PreTranslateMessage(enter));
  EXPECT_TRUE(OnPage2());
}

TEST_F(WindowTest, ExitButtonsAndClosingRequestTheEnd) {
  Click(c().btnExit);
  ToPage2();
  Click(c().btnExit2);
  SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(services.endRequests, 3);
  EXPECT_TRUE(IsWindow(window.Handle()));
}

TEST_F(WindowTest, ThePictureMailsTheAuthorAndSaysSo) {
  SendMessageA(c().TabSheet1, WM_COMMAND, MAKEWPARAM(idImage1, STN_CLICKED),
               reinterpret_cast<LPARAM>(c().Image1));
  EXPECT_THAT(services.mailLinks, ElementsAre(StartsWith("mailto:")));

  char tipText[80] = {};
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = c().TabSheet1;
  tool.uId = reinterpret_cast<UINT_PTR>(c().Image1);
  tool.lpszText = tipText;
  SendMessageA(c().Image1Tip, TTM_GETTEXTA, sizeof(tipText), reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(tipText, "Mail me");

  EXPECT_EQ(SendMessageA(c().TabSheet1, WM_SETCURSOR, reinterpret_cast<WPARAM>(c().Image1),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
}

// The architecture drop-down of the real window: shown, in the tab order
// between the list and Generate, reached by Alt+A and passed on to Generate
// only while the selected printer's driver has several architectures.
TEST_F(WindowTest, TheArchitectureDropDownComesAndGoesWithTheSelection) {
  services.architectures["Office Laser"] = {{"x86", "x64"}, 1};
  ToPage2();
  HWND combo = c().cmbArchitecture;
  const auto select = [this](int line) {
    SendMessageA(c().ListBox1, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
    SendMessageA(c().TabSheet2, WM_COMMAND, MAKEWPARAM(idListBox1, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(c().ListBox1));
  };
  EXPECT_FALSE(IsWindowVisible(combo));

  select(0);
  EXPECT_TRUE(IsWindowVisible(combo));
  EXPECT_TRUE(IsWindowVisible(c().lblArchitecture));
  EXPECT_EQ(Text(c().lblArchitecture), "&Architecture:");
  EXPECT_EQ(Text(combo), "x64");
  EXPECT_EQ(GetNextDlgTabItem(c().TabSheet2, c().ListBox1, FALSE), combo);
  MSG altA{c().ListBox1, WM_SYSCHAR, 'a', 0, 0, {}};
  EXPECT_TRUE(window.PreTranslateMessage(altA));
  EXPECT_EQ(GetFocus(), combo);
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  Click(c().Button1);

  select(1);
  EXPECT_FALSE(IsWindowVisible(combo));
  EXPECT_EQ(GetWindowLongA(combo, GWL_STYLE) & WS_TABSTOP, 0);
  EXPECT_NE(GetFocus(), combo);
  Click(c().Button1);
  EXPECT_THAT(services.generatedArchitectures, ElementsAre("x86", ""));

  // At 96 pixels per inch the drop-down stands left of Back, below the list.
  EXPECT_EQ(window.Dpi(), 96);
  const std::vector<int> bounds = Bounds(combo);
  EXPECT_EQ(bounds[0], 80);
  EXPECT_LT(bounds[0] + bounds[2], 240);
  EXPECT_GT(bounds[1], 32 + 209);
}

// WM_DPICHANGED, as Windows sends it when the window moves to a monitor of
// another pixel density: controls, font, line height and scroll extent
// follow the new density, the window takes the suggested bounds, and back at
// 96 every size is the one of the description again.
TEST_F(WindowTest, ADpiChangeRescalesTheLayoutAndFontAndBackAt96RestoresThem) {
  services.printers.push_back("Лазерный принтер");
  ToPage2();
  HWND form = window.Handle();
  const auto fontHeight = [](HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    return font.lfHeight;
  };
  const auto extent = [this] { return SendMessageA(c().ListBox1, LB_GETHORIZONTALEXTENT, 0, 0); };
  const auto changeTo = [form](int dpi, RECT suggested) {
    SendMessageW(form, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
  };
  RECT original{};
  GetWindowRect(form, &original);
  const long buttonFont = fontHeight(c().btnBack);
  const long listFont = fontHeight(c().ListBox1);
  const HGDIOBJ listFace = reinterpret_cast<HGDIOBJ>(SendMessageW(c().ListBox1, WM_GETFONT, 0, 0));
  const LRESULT extentAt96 = extent();
  ASSERT_GT(extentAt96, 473);

  const RECT larger{original.left, original.top, original.left + 780, original.top + 540};
  changeTo(144, larger);
  EXPECT_EQ(window.Dpi(), 144);
  RECT now{};
  GetWindowRect(form, &now);
  EXPECT_EQ(now.right - now.left, 780);
  EXPECT_EQ(now.bottom - now.top, 540);
  EXPECT_EQ(Bounds(c().PageControl1), (std::vector<int>{0, 0, 762, 504}));
  EXPECT_EQ(Bounds(c().ListBox1), (std::vector<int>{12, 48, 710, 314}));
  EXPECT_EQ(Bounds(c().btnBack), (std::vector<int>{360, 420, 113, 38}));
  EXPECT_EQ(Bounds(c().Button1), (std::vector<int>{492, 420, 113, 38}));
  EXPECT_EQ(Bounds(c().btnExit2), (std::vector<int>{627, 420, 113, 38}));
  EXPECT_EQ(Bounds(c().Image1), (std::vector<int>{648, 48, 86, 62}));
  EXPECT_EQ(fontHeight(c().btnBack), -17);
  EXPECT_EQ(SendMessageA(c().ListBox1, LB_GETITEMHEIGHT, 0, 0), 20);
  // The Cyrillic name keeps a face that draws it, at the new height.
  EXPECT_EQ(fontHeight(c().ListBox1), -17);
  EXPECT_NE(reinterpret_cast<HGDIOBJ>(SendMessageW(c().ListBox1, WM_GETFONT, 0, 0)),
            reinterpret_cast<HGDIOBJ>(SendMessageW(c().btnBack, WM_GETFONT, 0, 0)));
  EXPECT_GT(extent(), extentAt96 * 14 / 10);
  // A second message with the same density changes nothing.
  changeTo(144, original);
  GetWindowRect(form, &now);
  EXPECT_EQ(now.right - now.left, 780);

  changeTo(96, original);
  EXPECT_EQ(window.Dpi(), 96);
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 509);
  EXPECT_EQ(client.bottom, 337);
  EXPECT_EQ(Bounds(c().PageControl1), (std::vector<int>{0, 0, 508, 336}));
  EXPECT_EQ(Bounds(c().ListBox1), (std::vector<int>{8, 32, 473, 209}));
  EXPECT_EQ(Bounds(c().btnBack), (std::vector<int>{240, 280, 75, 25}));
  EXPECT_EQ(Bounds(c().Button1), (std::vector<int>{328, 280, 75, 25}));
  EXPECT_EQ(Bounds(c().btnExit2), (std::vector<int>{418, 280, 75, 25}));
  EXPECT_EQ(Bounds(c().Image1), (std::vector<int>{432, 32, 57, 41}));
  EXPECT_EQ(Bounds(c().Memo1), (std::vector<int>{8, 80, 486, 166}));
  EXPECT_EQ(fontHeight(c().btnBack), buttonFont);
  EXPECT_EQ(fontHeight(c().ListBox1), listFont);
  EXPECT_NE(reinterpret_cast<HGDIOBJ>(SendMessageW(c().ListBox1, WM_GETFONT, 0, 0)), listFace);
  EXPECT_EQ(SendMessageA(c().ListBox1, LB_GETITEMHEIGHT, 0, 0), 13);
  EXPECT_EQ(extent(), extentAt96);
  EXPECT_EQ(ListLines(c().ListBox1).size(), 3u);
}

// Generation runs against an in-memory registry, through the program's own
// host with fake dialogs.
class GenerateTest : public WindowTest {
 protected:
  GenerateTest() : host(dialogs) {}

  void SetUp() override {
    const std::string printers = generation::kPrintersKey;
    const std::string v3 =
        generation::DriversKeyOf(generation::Arch::X86) + "\\Version-3\\Demo Driver";
    const auto hklm = registry::root::LocalMachine;
    registry.SetString(hklm, printers + "\\Demo Printer", "Printer Driver", "Demo Driver");
    registry.SetString(hklm, v3, "Driver", "demodrv.dll");
    registry.SetString(hklm, v3, "Data File", "demo.ppd");
    registry.SetString(hklm, v3, "Configuration File", "democfg.dll");
    registry.SetString(hklm, v3, "Help File", "demo.hlp");
    registry.SetMultiString(hklm, v3, "Dependent Files", {"demores.dll"});
    registry.SetDword(hklm, printers + "\\Broken Printer", "Printer Driver", 7);
    registry.SetString(hklm, printers + "\\Listless Printer", "Printer Driver", "Listless");
    registry.CreateKey(hklm,
                       generation::DriversKeyOf(generation::Arch::X86) + "\\Version-3\\Listless");
    services.generate = [this](const auto& entries, const auto& isSelected) {
      generation::Generate(registry, host, entries, isSelected);
    };
    WindowTest::SetUp();
    services.printers = {"Demo Printer", "Broken Printer", "Listless Printer"};
    ToPage2();
  }

  void Select(int line) { SendMessageA(c().ListBox1, LB_SETCURSEL, static_cast<WPARAM>(line), 0); }

  registry::MemoryRegistry registry;
  WindowHost host;
};

TEST_F(GenerateTest, NothingSelectedDoesNothing) {
  Click(c().Button1);
  EXPECT_EQ(services.generatedEntries.size(), 1u);
  EXPECT_TRUE(dialogs.chooserStarts.empty());
  EXPECT_TRUE(dialogs.plainMessages.empty());
  EXPECT_TRUE(dialogs.errorBoxes.empty());
  EXPECT_FALSE(TakeQuitRequest());
}

TEST_F(GenerateTest, RegistryErrorsReachTheErrorBoxAndThePageStays) {
  Select(1);
  Click(c().Button1);
  Select(2);
  Click(c().Button1);
  EXPECT_THAT(dialogs.errorBoxes, ElementsAre("Invalid data type for 'Printer Driver'",
                                              EndsWith("Unable read MULTI_SZ value.")));
  EXPECT_TRUE(dialogs.chooserStarts.empty());
  EXPECT_TRUE(OnPage2());
  EXPECT_EQ(ListLines(c().ListBox1), services.printers);
  EXPECT_FALSE(TakeQuitRequest());
}

TEST_F(GenerateTest, CancellingTheChooserSaysAbortedAndEndsTheProgram) {
  dialogs.chosenDirectory.reset();
  Select(0);
  Click(c().Button1);
  ASSERT_EQ(dialogs.chooserStarts.size(), 1u);
  EXPECT_THAT(dialogs.chooserStarts[0], EndsWith(".exe"));
  EXPECT_THAT(dialogs.plainMessages, ElementsAre("Aborted"));
  EXPECT_EQ(TakeQuitRequest(), std::optional<WPARAM>(0));
  EXPECT_TRUE(dialogs.errorBoxes.empty());
}

TEST_F(GenerateTest, AChosenDirectoryIsCreatedAndReceivesTheInfFile) {
  vormlan::test::TempDir temp;
  const std::filesystem::path target = temp.Path() / "packages" / "demo";
  dialogs.chosenDirectory = target.string();
  Select(0);
  Click(c().Button1);
  EXPECT_TRUE(dialogs.errorBoxes.empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(target / "vormlan.inf"));
  EXPECT_THAT(dialogs.plainMessages, ElementsAre(StartsWith("Driver has been created")));
  EXPECT_FALSE(TakeQuitRequest());
}

// A second press into the same folder replaces the INF; a folder that
// holds another driver's package gets an error box and is left alone.
TEST_F(GenerateTest, AFolderOfAnotherPackageIsRefusedInAnErrorBox) {
  vormlan::test::TempDir temp;
  const std::filesystem::path target = temp.Path() / "demo";
  dialogs.chosenDirectory = target.string();
  Select(0);
  Click(c().Button1);
  Click(c().Button1);
  EXPECT_TRUE(dialogs.errorBoxes.empty());
  ASSERT_EQ(dialogs.plainMessages.size(), 2u);

  const std::string other =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n[Manufacturer]\r\n"
      "X=X\r\n[X]\r\n\"Other Driver\" = I\r\n";
  vormlan::test::WriteFile(target / "vormlan.inf", other);
  Click(c().Button1);
  EXPECT_THAT(dialogs.errorBoxes,
              ElementsAre(AllOf(StartsWith("The folder \"" + target.string() +
                                           "\" holds another package; nothing was written:"),
                                HasSubstr("\nvormlan.inf: the INF of another driver"))));
  EXPECT_EQ(dialogs.plainMessages.size(), 2u);
  EXPECT_EQ(vormlan::test::ReadFile(target / "vormlan.inf"), other);
  EXPECT_TRUE(OnPage2());
  EXPECT_FALSE(TakeQuitRequest());
}

}  // namespace
}  // namespace vormlan::ui
