#pragma once
// The list helper: widens a list box's horizontal scroll extent so that its
// longest line can be scrolled into view.

#include <cstddef>
#include <string>

namespace vormlan::probes {

// What the helper needs of a list box: its lines, the width of a text in the
// list box's current font, and its horizontal scroll extent. Implemented over
// a real list box (TMGui_win32.h) and by test doubles.
class ListBoxSurface {
 public:
  virtual ~ListBoxSurface() = default;
  virtual std::size_t LineCount() = 0;
  // The text of line index (0-based, below LineCount()).
  virtual std::string Line(std::size_t index) = 0;
  // The width in pixels of text drawn in the list box's current font; 0 when
  // it cannot be measured.
  virtual int TextWidth(const std::string& text) = 0;
  virtual void SetHorizontalExtent(int pixels) = 0;
};

// Measures every line and, when the widest is above 0 pixels, sets the
// horizontal extent to the widest + 4; otherwise (no lines, only empty ones)
// the extent is left as it was. Always returns true.
bool SetListBoxExtent(ListBoxSurface& listBox);

}  // namespace vormlan::probes
