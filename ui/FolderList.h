#pragma once
// The folder list of the "Select Directory" dialog as a model: which rows it
// shows for the current folder, in what order, and where entering a row
// leads. Paths are Windows paths with "\" separators.

#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::ui {

// A path taken apart: its root ("C:\" or "\\server\share\") and the folder
// names below it, outermost first.
struct FolderPath {
  std::string root;
  std::vector<std::string> folders;
};

// Splits an absolute path. Empty names (doubled or trailing "\") are skipped.
// Nothing when the path starts with neither a drive ("C:") nor
// "\\server\share".
std::optional<FolderPath> SplitFolderPath(const std::string& path);

// The full path of the root and its first `depth` folders: "C:\" for the root
// alone, otherwise without a trailing "\" ("C:\WINDOWS\system32"). depth
// larger than the number of folders means all of them.
std::string JoinFolderPath(const FolderPath& path, std::size_t depth);

struct FolderRow {
  enum class Kind { Root, Open, Current, Sub };
  std::string name;  // as shown: the root's path, otherwise the folder name
  std::string path;  // full path; entering the row makes it the current folder
  int level = 0;     // indentation: 0 for the root
  Kind kind = Kind::Sub;
};

// The rows for currentDir (an absolute path) with the given sub-folder names:
// the root, each folder down to the current one (the root itself is current
// when there is no folder), then the sub-folders sorted with the program's
// case-insensitive name order for texts in the given encoding, one level
// deeper. "." and ".." are dropped. Throws std::invalid_argument when
// currentDir is not absolute.
std::vector<FolderRow> FolderRows(const std::string& currentDir,
                                  std::vector<std::string> subFolders,
                                  registry::TextEncoding encoding = registry::TextEncoding::Ansi);

// Index of the current folder's row in rows (0 when rows are empty).
std::size_t CurrentFolderRow(const std::vector<FolderRow>& rows);

// The folder the dialog opens in: when start begins with a drive letter and
// ":", the folder holding the file start names (its last part dropped; the
// drive root when nothing remains); otherwise currentDir.
std::string ChooserStartFolder(const std::string& start, const std::string& currentDir);

// The root folder of a drive letter: "D" gives "D:\".
std::string DriveRoot(char driveLetter);

}  // namespace vormlan::ui
