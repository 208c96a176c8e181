#pragma once
// HostServices for the command line: the file operations of the system's
// host, the target directory given on the command line in place of the
// chooser, and messages on standard output.

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "generation/HostServices.h"

namespace vormlan::cli {

class CliHost : public generation::HostServices {
 public:
  // files: the system's host; outDir: the chosen directory; windowsDir: used
  // in place of the system's Windows directory when not empty.
  CliHost(std::unique_ptr<generation::HostServices> files, std::string outDir,
          std::string windowsDir, std::ostream& out);

  std::string ModulePath() override { return files_->ModulePath(); }
  std::string WindowsDir() override;
  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override {
    return files_->CopyFileNoOverwrite(source, dest);
  }
  void CreateDirectoryTree(const std::string& dir) override { files_->CreateDirectoryTree(dir); }
  void SaveFile(const std::string& path, const std::string& bytes) override {
    files_->SaveFile(path, bytes);
  }
  std::optional<std::string> ChooseDirectory(const std::string& start) override;
  void ShowPlainMessage(const std::string& text) override;
  void RequestApplicationEnd() override {}

 private:
  std::unique_ptr<generation::HostServices> files_;
  std::string outDir_;
  std::string windowsDir_;
  std::ostream& out_;
};

// The system's file host: Win32Host on Windows, PosixHost rooted at
// windowsDir elsewhere.
std::unique_ptr<generation::HostServices> MakeSystemHost(const std::string& windowsDir);

}  // namespace vormlan::cli
