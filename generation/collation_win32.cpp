#include <windows.h>

#include "generation/Collation.h"

namespace vormlan::generation {

int CompareNames(std::string_view a, std::string_view b) {
  const int result =
      CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                     b.data(), static_cast<int>(b.size()));
  // CSTR_LESS_THAN = 1, CSTR_EQUAL = 2, CSTR_GREATER_THAN = 3; 0 on failure.
  if (result == 0) return WordSortCompare(a, b);
  return result - CSTR_EQUAL;
}

}  // namespace vormlan::generation
