#pragma once
// Folder names for generate --all: one per driver, safe on Windows and
// Linux, and kept apart from each other.

#include <string>
#include <unordered_set>

namespace vormlan::cli {

// A folder name for text: characters Windows forbids in names (<>:"/\|?*
// and control characters) become "_", trailing dots and blanks go, device
// names (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension)
// get a "_" before the extension ("CON_", "aux_.x"), and an empty result is "driver". At most 120
// bytes, cut at a whole UTF-8 character.
std::string SafeFolderName(const std::string& text);

// Hands out folder names that differ from every name handed out before
// without regard to case, as Windows compares them: "HP", then "HP (2)", ...
class FolderNamer {
 public:
  std::string Next(const std::string& text);
  // Keeps name (a file beside the folders) from being handed out.
  void Reserve(const std::string& name);

 private:
  std::unordered_set<std::string> taken_;  // folded
};

}  // namespace vormlan::cli
