#pragma once
// Walking file path texts whose parts Windows separates with "\" or "/".
// (Registry key paths take "\" alone: registry/KeyPath.h.)

#include <string_view>

namespace vormlan {

// Calls part(name, last) for each part of path between separators, empty
// ones included (a leading, doubled or trailing separator gives one), in
// order; last is true for the final part. Stops early when part returns
// false, and returns whether every call returned true. An empty path gives
// one empty part.
template <typename Part>
bool ForEachPathPart(std::string_view path, Part part) {
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = path.find_first_of("\\/", pos);
    const bool last = end == std::string_view::npos;
    if (!part(path.substr(pos, (last ? path.size() : end) - pos), last)) return false;
    if (last) return true;
    pos = end + 1;
  }
}

}  // namespace vormlan
