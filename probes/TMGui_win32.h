#pragma once
// The list helper over a real list box (Windows builds only).

#include <windows.h>

#include "probes/TMGui.h"

namespace vormlan::probes {

// Sets the list box's horizontal extent (LB_SETHORIZONTALEXTENT) to its widest
// line + 4 pixels, measured with GetTextExtentPoint32A in the list box's own
// font (WM_GETFONT; the system font when it has none). With no lines, only
// empty ones, or when the list box cannot be measured, the extent is left as
// it was. Always returns true.
bool SetListBoxExtent(HWND listBox);

}  // namespace vormlan::probes
