#include "ui/FolderList.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "common/Collation.h"

namespace vormlan::ui {

namespace {

bool IsDriveStart(const std::string& text) {
  return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) != 0 &&
         text[1] == ':';
}

std::vector<std::string> SplitNames(const std::string& text, std::size_t from) {
  std::vector<std::string> names;
  std::string name;
  for (std::size_t i = from; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\\' || text[i] == '/') {
      if (!name.empty()) names.push_back(name);
      name.clear();
    } else {
      name += text[i];
    }
  }
  return names;
}

}  // namespace

std::optional<FolderPath> SplitFolderPath(const std::string& path) {
  if (IsDriveStart(path)) {
    return FolderPath{path.substr(0, 2) + "\\", SplitNames(path, 2)};
  }
  if (path.rfind("\\\\", 0) == 0) {
    std::vector<std::string> names = SplitNames(path, 2);
    if (names.size() < 2) return std::nullopt;
    FolderPath result{"\\\\" + names[0] + "\\" + names[1] + "\\", {}};
    result.folders.assign(names.begin() + 2, names.end());
    return result;
  }
  return std::nullopt;
}

std::string JoinFolderPath(const FolderPath& path, std::size_t depth) {
  depth = std::min(depth, path.folders.size());
  std::string text = path.root;
  for (std::size_t i = 0; i < depth; ++i) {
    if (i > 0) text += '\\';
    text += path.folders[i];
  }
  return text;
}

std::vector<FolderRow> FolderRows(const std::string& currentDir,
                                  std::vector<std::string> subFolders,
                                  registry::TextEncoding encoding) {
  const std::optional<FolderPath> current = SplitFolderPath(currentDir);
  if (!current) throw std::invalid_argument("not an absolute path: " + currentDir);

  std::vector<FolderRow> rows;
  const std::size_t depth = current->folders.size();
  rows.push_back({current->root, current->root, 0,
                  depth == 0 ? FolderRow::Kind::Current : FolderRow::Kind::Root});
  for (std::size_t i = 0; i < depth; ++i) {
    rows.push_back({current->folders[i], JoinFolderPath(*current, i + 1), static_cast<int>(i + 1),
                    i + 1 == depth ? FolderRow::Kind::Current : FolderRow::Kind::Open});
  }

  std::erase_if(subFolders, [](const std::string& name) {
    return name.empty() || name == "." || name == "..";
  });
  const auto compare = encoding == registry::TextEncoding::Utf8 ? &generation::CompareNamesUtf8
                                                                : &generation::CompareNames;
  std::stable_sort(
      subFolders.begin(), subFolders.end(),
      [compare](const std::string& a, const std::string& b) { return compare(a, b) < 0; });
  const std::string base = JoinFolderPath(*current, depth);
  const std::string prefix = depth == 0 ? base : base + "\\";
  for (const std::string& name : subFolders) {
    rows.push_back({name, prefix + name, static_cast<int>(depth + 1), FolderRow::Kind::Sub});
  }
  return rows;
}

std::size_t CurrentFolderRow(const std::vector<FolderRow>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].kind == FolderRow::Kind::Current) return i;
  }
  return 0;
}

std::string ChooserStartFolder(const std::string& start, const std::string& currentDir) {
  if (!IsDriveStart(start)) return currentDir;
  const std::optional<FolderPath> path = SplitFolderPath(start);
  if (!path || path->folders.empty()) return start.substr(0, 2) + "\\";
  return JoinFolderPath(*path, path->folders.size() - 1);
}

std::string DriveRoot(char driveLetter) {
  return std::string(1, driveLetter) + ":\\";
}

}  // namespace vormlan::ui
