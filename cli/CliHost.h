#pragma once
// HostServices for the command line: the file operations of the system's
// host, the target directory given on the command line in place of the
// chooser, and the plain messages passed to whoever prints them.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/HostServices.h"

namespace vormlan::cli {

class CliHost : public generation::HostServices {
 public:
  // files: the system's host (kept by the caller, so that its listings serve
  // several packages); outDir: the chosen directory; message: receives each
  // plain message (nothing: they are dropped).
  CliHost(generation::HostServices& files, std::string outDir,
          std::function<void(const std::string&)> message);

  std::string ModulePath() override { return files_.ModulePath(); }
  std::string WindowsDir() override { return files_.WindowsDir(); }
  char Separator() const override { return files_.Separator(); }
  std::string DisplayPath(const std::string& path) const override {
    return files_.DisplayPath(path);
  }
  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override {
    return files_.CopyFileNoOverwrite(source, dest);
  }
  CopyResult CopyFileReplacing(const std::string& source, const std::string& dest) override {
    return files_.CopyFileReplacing(source, dest);
  }
  std::optional<bool> SameContent(const std::string& source, const std::string& dest) override {
    return files_.SameContent(source, dest);
  }
  std::optional<std::string> CreateDirectoryTree(const std::string& dir) override {
    return files_.CreateDirectoryTree(dir);
  }
  void SaveFile(const std::string& path, const std::string& bytes) override {
    files_.SaveFile(path, bytes);
  }
  std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& dir) override {
    return files_.ListDirectory(dir);
  }
  std::optional<std::string> ReadSourceFile(const std::string& source,
                                            std::size_t maxBytes) override {
    return files_.ReadSourceFile(source, maxBytes);
  }
  std::optional<std::vector<DirectoryEntry>> ListTargetDirectory(const std::string& dir) override {
    return files_.ListTargetDirectory(dir);
  }
  std::optional<std::string> ReadTargetFile(const std::string& path,
                                            std::size_t maxBytes) override {
    return files_.ReadTargetFile(path, maxBytes);
  }
  bool TargetIgnoresCase() const override { return files_.TargetIgnoresCase(); }
  std::optional<std::string> ChooseDirectory(const std::string&) override { return outDir_; }
  void ShowPlainMessage(const std::string& text) override {
    if (message_) message_(text);
  }
  void RequestApplicationEnd() override {}
  void ReleaseTemporaryFolders() override { files_.ReleaseTemporaryFolders(); }

 private:
  generation::HostServices& files_;
  std::string outDir_;
  std::function<void(const std::string&)> message_;
};

// The system's file host, its dialogs unused: Win32Host (UTF-8 paths) on
// Windows, with windowsDir in place of the system's Windows directory when
// it is not empty; PosixHost rooted at windowsDir elsewhere.
std::unique_ptr<generation::HostServices> MakeSystemHost(const std::string& windowsDir);

}  // namespace vormlan::cli
