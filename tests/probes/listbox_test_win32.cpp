// SetListBoxExtent on a real list box (run under Xvfb).

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "probes/TMGui_win32.h"

namespace vormlan::probes {
namespace {

// A top-level window with a list box in it; both destroyed at the end.
class ListBoxWindow {
 public:
  ListBoxWindow() {
    frame_ = CreateWindowExA(0, "STATIC", "probes", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    listBox_ = CreateWindowExA(
        0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT, 8,
        8, 300, 200, frame_, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ListBoxWindow(const ListBoxWindow&) = delete;
  ListBoxWindow& operator=(const ListBoxWindow&) = delete;
  ~ListBoxWindow() {
    if (frame_ != nullptr) DestroyWindow(frame_);
  }
  HWND Get() const { return listBox_; }

  void Add(const std::string& line) {
    SendMessageA(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  }
  int Extent() const {
    return static_cast<int>(SendMessageA(listBox_, LB_GETHORIZONTALEXTENT, 0, 0));
  }
  void SetExtent(int pixels) {
    SendMessageA(listBox_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels), 0);
  }

 private:
  HWND frame_ = nullptr;
  HWND listBox_ = nullptr;
};

// A font created for a test; deleted at the end.
class TestFont {
 public:
  explicit TestFont(int height)
      : font_(CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_SWISS, "Arial")) {}
  TestFont(const TestFont&) = delete;
  TestFont& operator=(const TestFont&) = delete;
  ~TestFont() {
    if (font_ != nullptr) DeleteObject(font_);
  }
  HFONT Get() const { return font_; }

 private:
  HFONT font_;
};

// The width of text in font (nullptr: the device context's default font).
int WidthIn(HWND window, HFONT font, const std::string& text) {
  HDC dc = GetDC(window);
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(window, dc);
  return size.cx;
}

const std::vector<std::string> kLines = {"Probes Plain", "\\\\probes-srv\\a-rather-long-share-name",
                                         "Probes Office Laser 5"};

TEST(ListBoxExtentOnWine, WidestLineInTheListBoxFontPlusFour) {
  ListBoxWindow window;
  ASSERT_NE(window.Get(), nullptr);
  TestFont font(-28);
  ASSERT_NE(font.Get(), nullptr);
  SendMessageA(window.Get(), WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
  for (const auto& line : kLines) window.Add(line);

  int widest = 0;
  for (const auto& line : kLines)
    widest = std::max(widest, WidthIn(window.Get(), font.Get(), line));
  ASSERT_GT(widest, WidthIn(window.Get(), nullptr, kLines[1]));  // the font matters

  EXPECT_TRUE(SetListBoxExtent(window.Get()));
  EXPECT_EQ(window.Extent(), widest + 4);
}

TEST(ListBoxExtentOnWine, DefaultFontWhenNoneWasSet) {
  ListBoxWindow window;
  for (const auto& line : kLines) window.Add(line);
  const auto font = reinterpret_cast<HFONT>(SendMessageA(window.Get(), WM_GETFONT, 0, 0));
  int widest = 0;
  for (const auto& line : kLines) widest = std::max(widest, WidthIn(window.Get(), font, line));
  EXPECT_TRUE(SetListBoxExtent(window.Get()));
  EXPECT_EQ(window.Extent(), widest + 4);
}

TEST(ListBoxExtentOnWine, EmptyOrBlankListLeavesExtentAlone) {
  ListBoxWindow window;
  window.SetExtent(77);
  EXPECT_TRUE(SetListBoxExtent(window.Get()));
  EXPECT_EQ(window.Extent(), 77);

  window.Add("");
  window.Add("");
  EXPECT_TRUE(SetListBoxExtent(window.Get()));
  EXPECT_EQ(window.Extent(), 77);
}

}  // namespace
}  // namespace vormlan::probes
