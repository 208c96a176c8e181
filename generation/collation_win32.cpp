#include <windows.h>

#include <climits>

#include "generation/Collation.h"

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

}  // namespace vormlan::generation
