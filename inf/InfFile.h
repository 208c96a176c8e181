#pragma once
// An INF file as Windows' setup functions read it: sections of lines, each
// line an optional key and comma-separated fields, with the file's [Strings]
// substituted. Text is UTF-8 whatever the file's own encoding.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/Exception.h"
#include "print/Architecture.h"

namespace vormlan::generation {

// Bounds on the work of reading one INF, whatever the file holds. The text
// of a 16 MiB file could otherwise grow a thousandfold through its strings
// (a line of "%a%" fields, "a" a string of 4096 characters), and short
// lines cost more as parsed lines than as text. Each is checked while the
// file is read and the strings are put in; past one, the file is refused
// with an InfParseError that names it. Real INFs, the largest printer INFs
// included, stay far below: a few MiB of text and some 100,000 lines.
//
// The size of an INF file that is read at all.
inline constexpr std::size_t kMaxInfFileBytes = std::size_t{64} * 1024 * 1024;
// The text of every key and field together, after the strings are put in.
inline constexpr std::size_t kMaxInfTextBytes = std::size_t{64} * 1024 * 1024;
// Lines within sections, over the whole file.
inline constexpr std::size_t kMaxInfLines = 1'000'000;
// Fields (keys not counted) over the whole file.
inline constexpr std::size_t kMaxInfFields = 2'000'000;
// Sections, same-named headers counted once.
inline constexpr std::size_t kMaxInfSections = 100'000;

// A file that cannot be read as an INF. The message is "<file>:<line>: <what>".
class InfParseError : public Exception {
 public:
  InfParseError(const std::string& file, std::size_t line, const std::string& what);
  std::size_t Line() const { return line_; }
  // The message without the file and line.
  const std::string& What() const { return what_; }

 private:
  std::size_t line_;
  std::string what_;
};

struct InfLine {
  std::size_t number = 0;  // the file's line where it starts (1-based)
  bool hasKey = false;
  std::string key;
  // The values after "=", or every field of a line without key. At least one.
  std::vector<std::string> fields;

  // Field i counted from 1 as setup does (0 is the key), or "" when absent.
  std::string_view Field(std::size_t index) const;
};

class InfSection {
 public:
  explicit InfSection(std::string name) : name_(std::move(name)) {}
  // The name as its first header spells it.
  const std::string& Name() const { return name_; }
  const std::vector<InfLine>& Lines() const { return lines_; }
  // The first line with this key (case ignored), or null.
  const InfLine* Find(std::string_view key) const;
  // Every line with this key, in file order.
  std::vector<const InfLine*> FindAll(std::string_view key) const;

 private:
  friend class InfParser;
  std::string name_;
  std::vector<InfLine> lines_;
  std::unordered_map<std::string, std::vector<std::size_t>> keys_;  // folded key -> lines
};

class InfFile {
 public:
  // Decodes the bytes (UTF-16LE or UTF-8 with their byte order marks,
  // Windows-1252 otherwise) and parses them. sourceName names the file in
  // error messages. Throws InfParseError.
  static InfFile Parse(std::string_view bytes, const std::string& sourceName);

  const std::string& SourceName() const { return sourceName_; }
  // Sections in the order of their first header; same-named ones are merged.
  const std::vector<InfSection>& Sections() const { return sections_; }
  // The section of that name (case ignored), or null.
  const InfSection* Find(std::string_view name) const;
  // The first field of the first line with the key in the section.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

 private:
  friend class InfParser;
  std::string sourceName_;
  std::vector<InfSection> sections_;
  std::unordered_map<std::string, std::size_t> index_;  // folded name -> section
};

// The platform suffix of install sections and [Version] keys on this
// architecture: "NTx86", "NTamd64" or "NTarm64".
std::string_view PlatformSuffix(Arch arch);

// The catalog file that [Version] names for the architecture: the key
// decorated for its platform, then "CatalogFile.NT", then "CatalogFile".
// Nothing when none is there or its value is empty.
std::optional<std::string> CatalogFileOf(const InfFile& inf, Arch arch);

}  // namespace vormlan::generation
