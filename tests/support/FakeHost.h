#pragma once
// A HostServices double: an in-memory file tree keyed by path text (case
// ignored), a scripted chooser, and a record of messages and end requests.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/Ansi.h"
#include "common/Exception.h"
#include "generation/HostServices.h"
#include "generation/PathText.h"

namespace vormlan::test {

class FakeHost : public generation::HostServices {
 public:
  std::string modulePath = "C:\\Tools\\vormlan.exe";
  std::string windowsDir = "C:\\WINDOWS";
  std::optional<std::string> chosen = std::string("C:\\out");  // nothing: cancel
  std::map<std::string, std::string> files;                    // by folded path text
  std::vector<std::string> createdDirs;
  std::vector<std::string> messages;
  std::vector<std::string> chooserStarts;
  std::vector<std::pair<std::string, std::string>> copyAttempts;
  int endRequests = 0;
  bool failWrites = false;

  static std::string Key(const std::string& path) {
    std::string k;
    for (const char c : path) {
      k += static_cast<char>(ansi::ToUpper(static_cast<unsigned char>(c == '/' ? '\\' : c)));
    }
    return k;
  }
  void AddFile(const std::string& path, const std::string& content = "x") {
    files[Key(path)] = content;
  }
  bool Has(const std::string& path) const { return files.count(Key(path)) == 1; }
  const std::string& Content(const std::string& path) const { return files.at(Key(path)); }

  std::string ModulePath() override { return modulePath; }
  std::string WindowsDir() override { return windowsDir; }
  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override {
    copyAttempts.emplace_back(source, dest);
    if (Has(dest)) return CopyResult::TargetExists;
    if (!Has(source)) return CopyResult::Failed;
    files[Key(dest)] = Content(source);
    return CopyResult::Copied;
  }
  void CreateDirectoryTree(const std::string& dir) override { createdDirs.push_back(dir); }
  void SaveFile(const std::string& path, const std::string& bytes) override {
    if (failWrites) {
      throw Exception(generation::CannotCreateFileMessage(path, "Access is denied.\r\n"));
    }
    files[Key(path)] = bytes;
  }
  std::optional<std::string> ChooseDirectory(const std::string& start) override {
    chooserStarts.push_back(start);
    return chosen;
  }
  void ShowPlainMessage(const std::string& text) override { messages.push_back(text); }
  void RequestApplicationEnd() override { ++endRequests; }
};

}  // namespace vormlan::test
