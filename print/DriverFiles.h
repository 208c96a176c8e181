#pragma once
// The package's file list: bare file names kept sorted by the locale's
// case-insensitive comparison; a name equal to one added before is ignored
// (the first stays, with its letter case). The empty name is a legal entry.
//
// Names are collected as they are added and put in order once, when the list
// is next read: one stable sort, then the later of equal names dropped, so a
// list of n names costs O(n log n) however it was filled.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::generation {

class DriverFiles {
 public:
  using Compare = std::function<int(std::string_view, std::string_view)>;

  // ANSI names, ordered by CompareNames (Collation.h).
  DriverFiles();
  // Names in the given encoding: CompareNames for ANSI, CompareNamesUtf8 for
  // UTF-8.
  explicit DriverFiles(registry::TextEncoding encoding);
  // Names ordered by the given comparison.
  explicit DriverFiles(Compare compare);

  void Add(std::string name);

  // The names in order, each once.
  const std::vector<std::string>& Items() const;
  std::size_t Count() const { return Items().size(); }

 private:
  enum class Order { Given, AnsiKeys, Utf8Keys };
  void Settle() const;

  Order order_;
  Compare compare_;
  mutable std::vector<std::string> items_;
  mutable bool settled_ = true;
};

}  // namespace vormlan::generation
