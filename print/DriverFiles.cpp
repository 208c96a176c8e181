#include "print/DriverFiles.h"

#include <algorithm>
#include <numeric>

#include "common/Collation.h"

namespace vormlan::generation {
namespace {

// Off Windows the locale's comparison is the word sort, whose keys sort the
// list without comparing level by level; on Windows the system compares.
#ifdef _WIN32
constexpr bool kSystemCompares = true;
#else
constexpr bool kSystemCompares = false;
#endif

// Sorts names stably by key and keeps the first of each run of equal keys.
template <typename MakeKey>
void SortByKeys(std::vector<std::string>& names, MakeKey makeKey) {
  std::vector<std::string> keys;
  keys.reserve(names.size());
  for (const auto& name : names) keys.push_back(makeKey(name));
  std::vector<std::size_t> order(names.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  std::vector<std::string> sorted;
  sorted.reserve(names.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && keys[order[i]] == keys[order[i - 1]]) continue;
    sorted.push_back(std::move(names[order[i]]));
  }
  names = std::move(sorted);
}

}  // namespace

DriverFiles::DriverFiles() : DriverFiles(registry::TextEncoding::Ansi) {}

DriverFiles::DriverFiles(registry::TextEncoding encoding) {
  const bool utf8 = encoding == registry::TextEncoding::Utf8;
  if (kSystemCompares) {
    order_ = Order::Given;
    compare_ = utf8 ? Compare(CompareNamesUtf8) : Compare(CompareNames);
  } else {
    order_ = utf8 ? Order::Utf8Keys : Order::AnsiKeys;
  }
}

DriverFiles::DriverFiles(Compare compare) : order_(Order::Given), compare_(std::move(compare)) {}

void DriverFiles::Add(std::string name) {
  items_.push_back(std::move(name));
  settled_ = false;
}

const std::vector<std::string>& DriverFiles::Items() const {
  if (!settled_) Settle();
  return items_;
}

void DriverFiles::Settle() const {
  switch (order_) {
    case Order::AnsiKeys:
      SortByKeys(items_, WordSortKey);
      break;
    case Order::Utf8Keys:
      SortByKeys(items_, WordSortKeyUtf8);
      break;
    case Order::Given: {
      std::stable_sort(items_.begin(), items_.end(),
                       [this](const auto& a, const auto& b) { return compare_(a, b) < 0; });
      const auto end =
          std::unique(items_.begin(), items_.end(),
                      [this](const auto& a, const auto& b) { return compare_(a, b) == 0; });
      items_.erase(end, items_.end());
      break;
    }
  }
  settled_ = true;
}

}  // namespace vormlan::generation
