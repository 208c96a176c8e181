#pragma once
// Walking "\"-separated key paths without copying them.

#include <string_view>

namespace vormlan::registry {

// Calls part(name) for each non-empty component of a "\"-separated path, in
// order, stopping early when part returns false. Returns whether every call
// returned true (an empty path calls nothing and returns true).
template <typename Part>
bool ForEachComponent(std::string_view path, Part part) {
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string_view::npos) end = path.size();
    if (end > pos && !part(path.substr(pos, end - pos))) return false;
    pos = end + 1;
  }
  return true;
}

}  // namespace vormlan::registry
