#include "probes/TMGui.h"

namespace vormlan::probes {

bool SetListBoxExtent(ListBoxSurface& listBox) {
  int widest = 0;
  const auto count = listBox.LineCount();
  for (std::size_t i = 0; i < count; ++i) {
    const int width = listBox.TextWidth(listBox.Line(i));
    if (width > widest) widest = width;
  }
  if (widest > 0) listBox.SetHorizontalExtent(widest + 4);
  return true;
}

}  // namespace vormlan::probes
