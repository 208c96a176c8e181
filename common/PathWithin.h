#pragma once
// Whether one path lies in another, compared part by part: a sibling whose
// name merely starts like the folder ("Windows.old" beside "Windows") is
// outside it. Both paths should be absolute and normalised (canonical, or
// weakly canonical for a path that does not exist yet).

#include <filesystem>

namespace vormlan {

// True when inner is outer itself or lies below it. A trailing separator of
// outer ("C:/Windows/") is ignored.
inline bool PathWithin(const std::filesystem::path& inner, const std::filesystem::path& outer) {
  auto o = outer.begin();
  auto i = inner.begin();
  for (; o != outer.end(); ++o, ++i) {
    if (o->empty() && std::next(o) == outer.end()) break;
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

}  // namespace vormlan
