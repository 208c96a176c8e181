#include "generation/Collation.h"

#include "common/Ansi.h"

namespace vormlan::generation {

int WordSortCompare(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = ansi::ToUpper(static_cast<unsigned char>(a[i]));
    const int cb = ansi::ToUpper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

#ifndef _WIN32
int CompareNames(std::string_view a, std::string_view b) { return WordSortCompare(a, b); }
#endif

}  // namespace vormlan::generation
