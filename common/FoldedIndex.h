#pragma once
// Names found again without regard to case, as Windows finds file names.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/Unicode.h"

namespace vormlan {

// Where each name of a list stands, by its fold. Names that fold alike,
// which Windows cannot tell apart, are kept together in the order added, so
// that each caller can choose among them by its own rule. Each name is
// folded once; lookups do not scan.
class FoldedIndex {
 public:
  // Notes that the name at position at of the caller's list is name. True
  // when a name of the same fold was there already.
  bool Add(std::string_view name, std::size_t at) {
    auto& places = byFold_[unicode::Fold(name)];
    places.push_back(at);
    return places.size() > 1;
  }

  // The positions of the names that fold as name does, in the order added;
  // empty when there is none.
  std::span<const std::size_t> Find(std::string_view name) const {
    const auto it = byFold_.find(unicode::Fold(name));
    if (it == byFold_.end()) return {};
    return it->second;
  }

 private:
  std::unordered_map<std::string, std::vector<std::size_t>> byFold_;
};

}  // namespace vormlan
