// The program's own boxes and the directory chooser under Wine, answered by a
// robot that runs from a thread timer inside their modal loops.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "tests/support/TestSupport.h"
#include "ui/DirectoryChooser_win32.h"
#include "ui/Dialogs_win32.h"
#include "ui/WindowHost_win32.h"

namespace vormlan::ui {
namespace {

std::string Text(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof(buffer));
  return buffer;
}

// Runs its steps one after the other from a thread timer: a step returns
// false to be tried again at the next tick (waiting for a window). After too
// many ticks it closes whatever dialog is open and records a failure.
class Robot {
 public:
  using Step = std::function<bool()>;

  explicit Robot(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 30, &Robot::Tick);
  }
  ~Robot() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool Finished() const { return next_ == steps_.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Robot* robot = current_;
    if (robot == nullptr || robot->busy_ || robot->Finished()) return;
    robot->busy_ = true;
    if (++robot->ticks_ > 400) {
      ADD_FAILURE() << "robot gave up at step " << robot->next_;
      robot->next_ = robot->steps_.size();
      HWND dialog = GetActiveWindow();
      if (dialog != nullptr) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else if (robot->steps_[robot->next_]()) {
      ++robot->next_;
    }
    robot->busy_ = false;
  }

  static inline Robot* current_ = nullptr;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  int ticks_ = 0;
  bool busy_ = false;
  UINT_PTR timer_ = 0;
};

// A step that waits for a dialog with this caption and hands it to action.
Robot::Step WhenDialog(const char* caption, std::function<void(HWND)> action) {
  return [caption, action] {
    HWND dialog = FindWindowA("#32770", caption);
    if (dialog == nullptr || !IsWindowVisible(dialog)) return false;
    action(dialog);
    return true;
  };
}

void PressKey(HWND dialog, WPARAM key) {
  HWND focus = GetFocus();
  PostMessageA(focus != nullptr ? focus : dialog, WM_KEYDOWN, key, 0);
}

bool IsCentredOnScreen(HWND window) {
  RECT area{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  RECT r{};
  GetWindowRect(window, &r);
  return std::abs((r.left + r.right) - (area.left + area.right)) <= 2 &&
         std::abs((r.top + r.bottom) - (area.top + area.bottom)) <= 2;
}

std::vector<std::string> ButtonTexts(HWND dialog) {
  std::vector<std::string> texts;
  for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    char name[32] = {};
    GetClassNameA(w, name, sizeof(name));
    if (lstrcmpiA(name, "Button") == 0) texts.push_back(Text(w));
  }
  return texts;
}

TEST(PlainMessageTest, ShowsTheTextUnderTheTitleAndClosesWithEnterOrEsc) {
  Win32Dialogs dialogs;
  for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    bool checked = false;
    Robot robot({WhenDialog("Vormlan", [&](HWND dialog) {
      checked = true;
      EXPECT_TRUE(IsCentredOnScreen(dialog));
      EXPECT_THAT(ButtonTexts(dialog), ::testing::ElementsAre("OK"));
      EXPECT_EQ(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), IDOK);
      bool textShown = false;
      for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        if (Text(w) == "Driver has been created" && IsWindowVisible(w)) textShown = true;
        // No icon is shown.
        if ((GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          EXPECT_FALSE(IsWindowVisible(w));
        }
      }
      EXPECT_TRUE(textShown);
      PressKey(dialog, key);
    })});
    dialogs.ShowPlainMessage("Driver has been created");
    EXPECT_TRUE(checked);
    EXPECT_TRUE(robot.Finished());
  }
}

TEST(ErrorBoxTest, ShowsTheTextAsGiven) {
  Win32Dialogs dialogs;
  bool seen = false;
  Robot robot({WhenDialog("Vormlan", [&](HWND dialog) {
    seen = true;
    PressKey(dialog, VK_RETURN);
  })});
  dialogs.ShowErrorBox("String list expected.");
  EXPECT_TRUE(seen);
}

class ChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH + 1);
    exePath = path;
    exeFolder = exePath.substr(0, exePath.find_last_of('\\'));
    char current[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof(current), current);
    savedDirectory = current;
  }
  void TearDown() override { SetCurrentDirectoryA(savedDirectory.c_str()); }

  std::string exePath;
  std::string exeFolder;
  std::string savedDirectory;
};

TEST_F(ChooserTest, OpensInTheExecutablesFolderAndCancelGivesNothing) {
  bool checked = false;
  Robot robot({WhenDialog(kChooserCaption, [&](HWND dialog) {
    checked = true;
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 424);
    EXPECT_EQ(client.bottom, 255);
    EXPECT_TRUE(IsCentredOnScreen(dialog));
    EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(Text(GetDlgItem(dialog, chooser_id::NameLabel)), "Directory &Name:");
    EXPECT_EQ(Text(GetDlgItem(dialog, chooser_id::FoldersLabel)), "&Directories:");
    EXPECT_EQ(Text(GetDlgItem(dialog, chooser_id::FilesLabel)), "&Files: (*.*)");
    EXPECT_EQ(Text(GetDlgItem(dialog, chooser_id::DrivesLabel)), "D&rives:");
    EXPECT_THAT(ButtonTexts(dialog), ::testing::ElementsAre("OK", "Cancel"));
    EXPECT_EQ(LOWORD(SendMessageA(dialog, DM_GETDEFID, 0, 0)), IDOK);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, chooser_id::FileList)));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, chooser_id::FolderList));

    HWND edit = GetDlgItem(dialog, chooser_id::NameEdit);
    EXPECT_EQ(Text(edit), exeFolder);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, exeFolder.size());
    // The folder list holds the executable's folder as its current row,
    // and the test program is among the files.
    HWND folders = GetDlgItem(dialog, chooser_id::FolderList);
    const LRESULT row = SendMessageA(folders, LB_GETCURSEL, 0, 0);
    char name[MAX_PATH] = {};
    SendMessageA(folders, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(name));
    EXPECT_EQ(exeFolder.substr(exeFolder.find_last_of('\\') + 1), name);
    const std::string exeName = exePath.substr(exePath.find_last_of('\\') + 1);
    EXPECT_NE(SendMessageA(GetDlgItem(dialog, chooser_id::FileList), LB_FINDSTRINGEXACT,
                           static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(exeName.c_str())),
              LB_ERR);
    PressKey(dialog, VK_ESCAPE);
  })});
  EXPECT_EQ(RunDirectoryChooser(nullptr, exePath), std::nullopt);
  EXPECT_TRUE(checked);
}

TEST_F(ChooserTest, NonDriveStartOpensInTheCurrentDirectoryAndEnteringTheRootFollows) {
  vormlan::test::TempDir temp;
  const std::string tempPath = temp.Path().string();
  SetCurrentDirectoryA(tempPath.c_str());
  std::string seenStart;
  std::string afterEnter;
  Robot robot({WhenDialog(kChooserCaption, [&](HWND dialog) {
    seenStart = Text(GetDlgItem(dialog, chooser_id::NameEdit));
    HWND folders = GetDlgItem(dialog, chooser_id::FolderList);
    SendMessageA(folders, LB_SETCURSEL, 0, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(chooser_id::FolderList, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(folders));
    afterEnter = Text(GetDlgItem(dialog, chooser_id::NameEdit));
    PostMessageA(dialog, WM_CLOSE, 0, 0);
  })});
  EXPECT_EQ(RunDirectoryChooser(nullptr, "vormlan.exe"), std::nullopt);
  EXPECT_EQ(seenStart, tempPath);
  EXPECT_EQ(afterEnter, tempPath.substr(0, 3));
  char current[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(sizeof(current), current);
  EXPECT_EQ(std::string(current), tempPath.substr(0, 3));  // not restored
}

TEST_F(ChooserTest, AMissingDirectoryIsConfirmedBeforeOkAndCreatedByTheHost) {
  vormlan::test::TempDir temp;
  const std::string target = (temp.Path() / "out" / "deep").string();
  int confirmations = 0;
  auto typeAndOk = [&](HWND dialog) {
    SetWindowTextA(GetDlgItem(dialog, chooser_id::NameEdit), target.c_str());
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  };
  auto confirm = [&](WPARAM key) {
    return WhenDialog(kConfirmCaption, [&confirmations, key](HWND box) {
      ++confirmations;
      EXPECT_THAT(ButtonTexts(box), ::testing::ElementsAre("&Yes", "&No"));
      EXPECT_EQ(LOWORD(SendMessageA(box, DM_GETDEFID, 0, 0)), IDYES);
      bool question = false;
      for (HWND w = GetWindow(box, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        if (Text(w) == kCreateDirectoryQuestion) question = true;
      }
      EXPECT_TRUE(question);
      PressKey(box, key);
    });
  };
  Robot robot({WhenDialog(kChooserCaption, typeAndOk), confirm(VK_ESCAPE),
               WhenDialog(kChooserCaption,
                          [&](HWND dialog) {
                            // Still open, the text as typed.
                            EXPECT_EQ(Text(GetDlgItem(dialog, chooser_id::NameEdit)), target);
                            PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
                          }),
               confirm(VK_RETURN)});
  Win32Dialogs dialogs;
  WindowHost host(dialogs);
  EXPECT_EQ(host.ChooseDirectory(exePath), target);
  EXPECT_EQ(confirmations, 2);
  EXPECT_TRUE(std::filesystem::is_directory(target));
}

TEST_F(ChooserTest, AnExistingDirectoryIsAcceptedWithoutAQuestion) {
  vormlan::test::TempDir temp;
  const std::string typed = temp.Path().string() + "\\";
  Robot robot({WhenDialog(kChooserCaption, [&](HWND dialog) {
    SetWindowTextA(GetDlgItem(dialog, chooser_id::NameEdit), typed.c_str());
    PressKey(dialog, VK_RETURN);
  })});
  EXPECT_EQ(RunDirectoryChooser(nullptr, exePath), typed);  // exactly as typed
  EXPECT_EQ(FindWindowA("#32770", kConfirmCaption), nullptr);
}

// --- UTF-8: names in any script, through the W-functions.

std::wstring WideText(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

std::wstring WideListText(HWND list, LRESULT row) {
  wchar_t buffer[MAX_PATH] = {};
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

HGDIOBJ FontOf(HWND window) {
  return reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
}

// A message with a Cyrillic queue name shows it as itself, in the message
// face (MS Sans Serif holds the ANSI code page only), and the box grows to
// the text as drawn by the W-functions.
TEST(PlainMessageTest, InUtf8ANameInAnyScriptIsShownAsItself) {
  Win32Dialogs dialogs(registry::TextEncoding::Utf8);
  const std::wstring expected =
      L"Driver has been created: \u041B\u0430\u0437\u0435\u0440\u043D"
      L"\u044B\u0439 \u043F\u0440\u0438\u043D\u0442\u0435\u0440";
  bool checked = false;
  Robot robot({WhenDialog("Vormlan", [&](HWND dialog) {
    checked = true;
    EXPECT_TRUE(IsWindowUnicode(dialog));
    HWND shown = nullptr;
    for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      if (WideText(w) == expected) shown = w;
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(IsWindowVisible(shown));
    EXPECT_NE(FontOf(shown), FontOf(dialog));
    EXPECT_THAT(ButtonTexts(dialog), ::testing::ElementsAre("OK"));
    EXPECT_TRUE(IsCentredOnScreen(dialog));
    PressKey(dialog, VK_RETURN);
  })});
  dialogs.ShowPlainMessage("Driver has been created: Лазерный принтер");
  EXPECT_TRUE(checked);
  EXPECT_TRUE(robot.Finished());
}

// A folder named in Cyrillic is listed as itself, entered from the list and
// given back in UTF-8 (a path longer than a short string, so that entering a
// row must not read the row list it replaces); a new one typed in Cyrillic
// is confirmed and created.
TEST_F(ChooserTest, InUtf8FoldersInAnyScriptAreListedEnteredTypedAndCreated) {
  vormlan::test::TempDir temp;
  const std::filesystem::path base = temp.Path() / L"\u041F\u0430\u043A\u0435\u0442\u044B";
  std::filesystem::create_directories(base / L"\u0430\u0440\u0445\u0438\u0432");
  std::filesystem::create_directories(base / L"\u0411\u0430\u043D\u043A");
  vormlan::test::WriteFile(base / L"\u0444\u0430\u0439\u043B.txt", "x");
  const std::string start = Utf8(base / "vormlan.exe");
  std::vector<std::wstring> rows;
  std::wstring file;
  std::wstring afterEnter;
  bool wideFont = false;
  Robot robot({WhenDialog(kChooserCaption, [&](HWND dialog) {
    EXPECT_TRUE(IsWindowUnicode(dialog));
    HWND folders = GetDlgItem(dialog, chooser_id::FolderList);
    const LRESULT count = SendMessageW(folders, LB_GETCOUNT, 0, 0);
    for (LRESULT i = SendMessageW(folders, LB_GETCURSEL, 0, 0); i < count; ++i) {
      rows.push_back(WideListText(folders, i));
    }
    file = WideListText(GetDlgItem(dialog, chooser_id::FileList), 0);
    wideFont = FontOf(folders) != FontOf(dialog) &&
               FontOf(GetDlgItem(dialog, chooser_id::NameEdit)) == FontOf(folders);
    // Double-click "архив", the first sub-folder.
    const LRESULT current = SendMessageW(folders, LB_GETCURSEL, 0, 0);
    SendMessageW(folders, LB_SETCURSEL, static_cast<WPARAM>(current + 1), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(chooser_id::FolderList, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(folders));
    afterEnter = WideText(GetDlgItem(dialog, chooser_id::NameEdit));
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  })});
  Win32Dialogs dialogs(registry::TextEncoding::Utf8);
  EXPECT_EQ(dialogs.ChooseDirectory(start), Utf8(base / L"\u0430\u0440\u0445\u0438\u0432"));
  EXPECT_THAT(
      rows, ::testing::ElementsAre(L"\u041F\u0430\u043A\u0435\u0442\u044B",
                                   L"\u0430\u0440\u0445\u0438\u0432", L"\u0411\u0430\u043D\u043A"));
  EXPECT_EQ(file, L"\u0444\u0430\u0439\u043B.txt");
  EXPECT_EQ(afterEnter, (base / L"\u0430\u0440\u0445\u0438\u0432").wstring());
  EXPECT_TRUE(wideFont);

  const std::filesystem::path typed = base / L"\u041D\u043E\u0432\u0430\u044F";
  Robot typing({WhenDialog(kChooserCaption,
                           [&](HWND dialog) {
                             SetWindowTextW(GetDlgItem(dialog, chooser_id::NameEdit),
                                            typed.wstring().c_str());
                             PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
                           }),
                WhenDialog(kConfirmCaption, [](HWND box) { PressKey(box, VK_RETURN); })});
  WindowHost host(dialogs, registry::TextEncoding::Utf8);
  EXPECT_EQ(host.ChooseDirectory(start), Utf8(typed));
  EXPECT_TRUE(std::filesystem::is_directory(typed));
}

}  // namespace
}  // namespace vormlan::ui

namespace vormlan::ui {
namespace {

TEST(WindowHostTest, CancelledChooserThenPlainMessageThenEndLeavesTheQuitRequest) {
  Win32Dialogs dialogs;
  WindowHost host(dialogs);
  Robot robot({WhenDialog(kChooserCaption, [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }),
               WhenDialog("Vormlan", [](HWND dialog) { PressKey(dialog, VK_RETURN); })});
  EXPECT_EQ(host.ChooseDirectory("C:\\windows\\notepad.exe"), std::nullopt);
  host.ShowPlainMessage("Aborted");
  host.RequestApplicationEnd();
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 0u);
}

}  // namespace
}  // namespace vormlan::ui
