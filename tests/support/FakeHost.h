#pragma once
// A HostServices double: an in-memory file tree keyed by path text (case
// ignored), a scripted chooser, and a record of messages and end requests.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/Ansi.h"
#include "common/Exception.h"
#include "host/HostServices.h"
#include "host/PathText.h"

namespace vormlan::test {

class FakeHost : public generation::HostServices {
 public:
  std::string modulePath = "C:\\Tools\\vormlan.exe";
  std::string windowsDir = "C:\\WINDOWS";
  std::optional<std::string> chosen = std::string("C:\\out");  // nothing: cancel
  std::map<std::string, std::string> files;                    // by folded path text
  std::map<std::string, std::string> originalNames;            // AddFile's paths as spelled
  std::vector<std::string> createdDirs;
  std::vector<std::string> messages;
  std::vector<std::string> chooserStarts;
  std::vector<std::pair<std::string, std::string>> copyAttempts;
  int endRequests = 0;
  bool failWrites = false;
  std::optional<std::string> failDirectories;     // the reason CreateDirectoryTree gives
  std::map<std::string, std::string> failCopies;  // by folded dest: the reason the copy fails

  static std::string Key(const std::string& path) {
    std::string k;
    for (const char c : path) {
      k += static_cast<char>(ansi::ToUpper(static_cast<unsigned char>(c == '/' ? '\\' : c)));
    }
    return k;
  }
  void AddFile(const std::string& path, const std::string& content = "x") {
    files[Key(path)] = content;
    originalNames[path] = content;
  }
  // A file written by the code under test: listed under the first spelling.
  void Put(const std::string& path, const std::string& content) {
    if (!Has(path)) originalNames[path] = content;
    files[Key(path)] = content;
  }
  bool Has(const std::string& path) const { return files.count(Key(path)) == 1; }
  const std::string& Content(const std::string& path) const { return files.at(Key(path)); }

  std::string ModulePath() override { return modulePath; }
  std::string WindowsDir() override { return windowsDir; }
  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override {
    copyAttempts.emplace_back(source, dest);
    if (Has(dest)) return {CopyResult::Kind::TargetExists, ""};
    if (!Has(source)) return {CopyResult::Kind::SourceMissing, ""};
    if (const auto fail = failCopies.find(Key(dest)); fail != failCopies.end()) {
      return {CopyResult::Kind::Failed, fail->second};
    }
    Put(dest, Content(source));
    return {CopyResult::Kind::Copied, ""};
  }
  CopyResult CopyFileReplacing(const std::string& source, const std::string& dest) override {
    copyAttempts.emplace_back(source, dest);
    if (!Has(source)) return {CopyResult::Kind::SourceMissing, ""};
    Put(dest, Content(source));
    return {CopyResult::Kind::Copied, ""};
  }
  std::optional<bool> SameContent(const std::string& source, const std::string& dest) override {
    if (!Has(source) || !Has(dest)) return std::nullopt;
    return Content(source) == Content(dest);
  }
  std::optional<std::string> CreateDirectoryTree(const std::string& dir) override {
    createdDirs.push_back(dir);
    return failDirectories;
  }
  std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& dir) override {
    // Files below dir, one level, and the folders that lead further down.
    const std::string prefix = Key(dir) + "\\";
    std::map<std::string, DirectoryEntry> entries;
    for (const auto& [key, content] : originalNames) {
      (void)content;
      const std::string folded = Key(key);
      if (folded.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string rest = key.substr(prefix.size());
      const auto sep = rest.find('\\');
      DirectoryEntry entry;
      entry.name = rest.substr(0, sep);
      entry.kind =
          sep == std::string::npos ? DirectoryEntry::Kind::File : DirectoryEntry::Kind::Directory;
      entries[Key(entry.name)] = entry;
    }
    if (entries.empty()) return std::nullopt;
    std::vector<DirectoryEntry> list;
    for (auto& [_, entry] : entries) list.push_back(entry);
    return list;
  }
  void SaveFile(const std::string& path, const std::string& bytes) override {
    if (failWrites) {
      throw Exception(generation::CannotCreateFileMessage(path, "Access is denied.\r\n"));
    }
    Put(path, bytes);
  }
  std::optional<std::string> ReadSourceFile(const std::string& source,
                                            std::size_t maxBytes) override {
    if (!Has(source) || Content(source).size() > maxBytes) return std::nullopt;
    return Content(source);
  }
  std::optional<std::string> ChooseDirectory(const std::string& start) override {
    chooserStarts.push_back(start);
    return chosen;
  }
  void ShowPlainMessage(const std::string& text) override { messages.push_back(text); }
  void RequestApplicationEnd() override { ++endRequests; }
};

}  // namespace vormlan::test
