#include "generation/DriverFiles.h"

#include <algorithm>

#include "generation/Collation.h"

namespace vormlan::generation {

DriverFiles::DriverFiles() : compare_(CompareNames) {}

DriverFiles::DriverFiles(Compare compare) : compare_(std::move(compare)) {}

bool DriverFiles::Add(const std::string& name) {
  const auto pos = std::lower_bound(
      items_.begin(), items_.end(), name,
      [this](const std::string& item, const std::string& key) { return compare_(item, key) < 0; });
  if (pos != items_.end() && compare_(*pos, name) == 0) return false;
  items_.insert(pos, name);
  return true;
}

}  // namespace vormlan::generation
