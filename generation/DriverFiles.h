#pragma once
// The package's file list: bare file names kept sorted by the locale's
// case-insensitive comparison; a name equal to one already present is ignored
// (the first stays, with its letter case). The empty name is a legal entry.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vormlan::generation {

class DriverFiles {
 public:
  using Compare = std::function<int(std::string_view, std::string_view)>;

  // Uses CompareNames (Collation.h) unless a comparison is given.
  DriverFiles();
  explicit DriverFiles(Compare compare);

  // Inserts name in order; false (list unchanged) when an equal name is present.
  bool Add(const std::string& name);

  const std::vector<std::string>& Items() const { return items_; }
  std::size_t Count() const { return items_.size(); }

 private:
  Compare compare_;
  std::vector<std::string> items_;
};

}  // namespace vormlan::generation
