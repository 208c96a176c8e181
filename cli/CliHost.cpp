#include "cli/CliHost.h"

#include <ostream>

#include "cli/Console.h"
#ifdef _WIN32
#include "generation/host_win32.h"
#else
#include "generation/host_posix.h"
#endif

namespace vormlan::cli {
namespace {

// A system host used for its file operations only; CliHost answers the dialogs.
template <class Base>
class FileOperationsOnly : public Base {
 public:
  using Base::Base;
  std::optional<std::string> ChooseDirectory(const std::string&) override { return std::nullopt; }
  void ShowPlainMessage(const std::string&) override {}
  void RequestApplicationEnd() override {}
};

}  // namespace

CliHost::CliHost(std::unique_ptr<generation::HostServices> files, std::string outDir,
                 std::string windowsDir, std::ostream& out)
    : files_(std::move(files)),
      outDir_(std::move(outDir)),
      windowsDir_(std::move(windowsDir)),
      out_(out) {
  while (windowsDir_.size() > 1 && (windowsDir_.back() == '\\' || windowsDir_.back() == '/')) {
    windowsDir_.pop_back();
  }
}

std::string CliHost::WindowsDir() {
  return windowsDir_.empty() ? files_->WindowsDir() : windowsDir_;
}

std::optional<std::string> CliHost::ChooseDirectory(const std::string&) {
  return outDir_;
}

void CliHost::ShowPlainMessage(const std::string& text) {
  out_ << ForTerminal(text) << std::endl;
}

std::unique_ptr<generation::HostServices> MakeSystemHost(const std::string& windowsDir) {
#ifdef _WIN32
  (void)windowsDir;
  return std::make_unique<FileOperationsOnly<generation::Win32Host>>();
#else
  return std::make_unique<FileOperationsOnly<generation::PosixHost>>(windowsDir);
#endif
}

}  // namespace vormlan::cli
