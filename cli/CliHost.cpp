#include "cli/CliHost.h"

#ifdef _WIN32
#include "host/host_win32.h"
#else
#include "host/host_posix.h"
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

#ifdef _WIN32
// The Windows host with another folder standing for the Windows directory.
class WindowsHost : public FileOperationsOnly<generation::Win32Host> {
 public:
  explicit WindowsHost(std::string windowsDir)
      : FileOperationsOnly<generation::Win32Host>(registry::TextEncoding::Utf8),
        windowsDir_(std::move(windowsDir)) {
    while (windowsDir_.size() > 1 && (windowsDir_.back() == '\\' || windowsDir_.back() == '/')) {
      windowsDir_.pop_back();
    }
  }
  std::string WindowsDir() override {
    return windowsDir_.empty() ? generation::Win32Host::WindowsDir() : windowsDir_;
  }

 private:
  std::string windowsDir_;
};
#endif

}  // namespace

CliHost::CliHost(generation::HostServices& files, std::string outDir,
                 std::function<void(const std::string&)> message)
    : files_(files), outDir_(std::move(outDir)), message_(std::move(message)) {}

std::unique_ptr<generation::HostServices> MakeSystemHost(const std::string& windowsDir) {
#ifdef _WIN32
  return std::make_unique<WindowsHost>(windowsDir);
#else
  return std::make_unique<FileOperationsOnly<generation::PosixHost> >(windowsDir);
#endif
}

}  // namespace vormlan::cli
