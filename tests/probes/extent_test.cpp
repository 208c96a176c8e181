#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "probes/TMGui.h"

namespace vormlan::probes {
namespace {

// A list box whose font draws every character pixelsPerChar wide, except that
// a line may be given an explicit width.
class FakeListBox : public ListBoxSurface {
 public:
  std::vector<std::string> lines;
  int pixelsPerChar = 6;
  std::vector<std::string> measured;
  std::vector<int> extents;

  std::size_t LineCount() override { return lines.size(); }
  std::string Line(std::size_t index) override { return lines.at(index); }
  int TextWidth(const std::string& text) override {
    measured.push_back(text);
    return static_cast<int>(text.size()) * pixelsPerChar;
  }
  void SetHorizontalExtent(int pixels) override { extents.push_back(pixels); }
};

TEST(ListBoxExtent, WidestLinePlusFour) {
  FakeListBox box;
  box.pixelsPerChar = 10;
  box.lines = {"short", std::string(30, 'W'), "medium line"};  // widest 300 px
  EXPECT_TRUE(SetListBoxExtent(box));
  EXPECT_EQ(box.extents, std::vector<int>{304});
}

TEST(ListBoxExtent, MeasuresEveryLineInOrder) {
  FakeListBox box;
  box.lines = {"a", "", "\\\\srv\\laser", "b"};
  SetListBoxExtent(box);
  EXPECT_EQ(box.measured, box.lines);
  EXPECT_EQ(box.extents, std::vector<int>{11 * 6 + 4});
}

TEST(ListBoxExtent, NothingToMeasureLeavesExtentAlone) {
  FakeListBox empty;
  EXPECT_TRUE(SetListBoxExtent(empty));
  EXPECT_TRUE(empty.extents.empty());

  FakeListBox blank;
  blank.lines = {"", "", ""};
  EXPECT_TRUE(SetListBoxExtent(blank));
  EXPECT_TRUE(blank.extents.empty());

  FakeListBox unmeasurable;  // e.g. no device context for the font
  unmeasurable.lines = {"Printer"};
  unmeasurable.pixelsPerChar = 0;
  EXPECT_TRUE(SetListBoxExtent(unmeasurable));
  EXPECT_TRUE(unmeasurable.extents.empty());
}

TEST(ListBoxExtent, OnePixelWideLineCounts) {
  FakeListBox box;
  box.pixelsPerChar = 1;
  box.lines = {"i"};
  SetListBoxExtent(box);
  EXPECT_EQ(box.extents, std::vector<int>{5});
}

}  // namespace
}  // namespace vormlan::probes
