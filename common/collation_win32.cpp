#include <windows.h>

#include <climits>

#include "common/WideText_win32.h"
#include "common/Collation.h"

namespace vormlan::generation {

int CompareNames(std::string_view a, std::string_view b) {
  // CompareStringA takes int lengths and reads a negative one as "up to the
  // NUL", past the end of a view; such sizes go to the portable comparison.
  if (a.size() > INT_MAX || b.size() > INT_MAX) return WordSortCompare(a, b);
  // An empty view may carry no pointer at all, which CompareStringA refuses.
  const char* const pa = a.empty() ? "" : a.data();
  const char* const pb = b.empty() ? "" : b.data();
  const int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, pa,
                                    static_cast<int>(a.size()), pb, static_cast<int>(b.size()));
  // CSTR_LESS_THAN = 1, CSTR_EQUAL = 2, CSTR_GREATER_THAN = 3; 0 on failure,
  // where the portable comparison stands in.
  if (result == 0) return WordSortCompare(a, b);
  return result - CSTR_EQUAL;
}

int CompareNamesUtf8(std::string_view a, std::string_view b) {
  const std::wstring wa = WideFromUtf8(a);
  const std::wstring wb = WideFromUtf8(b);
  if (wa.size() <= INT_MAX && wb.size() <= INT_MAX) {
    const int result =
        CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.c_str(),
                       static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()));
    if (result != 0) return result - CSTR_EQUAL;
  }
  const int r = WordSortKeyUtf8(a).compare(WordSortKeyUtf8(b));
  return (r > 0) - (r < 0);
}

}  // namespace vormlan::generation
