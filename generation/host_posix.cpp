#include "generation/host_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "common/Ansi.h"
#include "common/Exception.h"
#include "generation/PathText.h"

namespace vormlan::generation {
namespace {

namespace fs = std::filesystem;

bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The entry of dir whose name matches name case-insensitively; name itself
// when it exists as given or nothing matches.
std::string MatchEntry(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::exists(dir / name, ec)) return name;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string candidate = it->path().filename().string();
    if (EqualsIgnoreAsciiCase(candidate, name)) return candidate;
  }
  return name;
}

// Closes a descriptor when it goes out of scope unless closed before.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

PosixHost::PosixHost(std::string windowsDir) : windowsDir_(std::move(windowsDir)) {
  while (windowsDir_.size() > 1 && (windowsDir_.back() == '/' || windowsDir_.back() == '\\')) {
    windowsDir_.pop_back();
  }
}

fs::path PosixHost::Resolve(const std::string& pathText) {
  const std::string text = ansi::ToUtf8(pathText);
  fs::path result =
      (!text.empty() && (text[0] == '/' || text[0] == '\\')) ? fs::path("/") : fs::path();
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find_first_of("\\/", pos);
    if (end == std::string::npos) end = text.size();
    if (end > pos) {
      const std::string part = text.substr(pos, end - pos);
      const fs::path base = result.empty() ? fs::path(".") : result;
      result /= (part == "." || part == "..") ? part : MatchEntry(base, part);
    }
    pos = end + 1;
  }
  return result.empty() ? fs::path(".") : result;
}

std::string PosixHost::ModulePath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

std::string PosixHost::WindowsDir() {
  return windowsDir_;
}

HostServices::CopyResult PosixHost::CopyFileNoOverwrite(const std::string& source,
                                                        const std::string& dest) {
  const fs::path from = Resolve(source);
  const fs::path to = Resolve(dest);
  std::error_code ec;
  if (fs::exists(to, ec)) return CopyResult::TargetExists;
  if (!fs::is_regular_file(from, ec)) return CopyResult::Failed;
  return fs::copy_file(from, to, fs::copy_options::none, ec) ? CopyResult::Copied
                                                             : CopyResult::Failed;
}

void PosixHost::CreateDirectoryTree(const std::string& dir) {
  for (const auto& level : DirectoryChain(dir)) {
    std::error_code ec;
    fs::create_directory(Resolve(level), ec);
  }
}

void PosixHost::SaveFile(const std::string& path, const std::string& bytes) {
  const fs::path target = Resolve(path);
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 &&
      (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    throw Exception(CannotCreateFileMessage(path, std::strerror(EACCES)));
  }

  std::string pattern = (target.parent_path() / ".vormlan-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  Descriptor fd(::mkstemp(name.data()));
  if (fd.Get() < 0) throw Exception(CannotCreateFileMessage(path, std::strerror(errno)));
  const std::string tempPath(name.data());

  int error = 0;
  std::size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    const ssize_t written = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 ? errno : EIO;
    } else {
      done += static_cast<std::size_t>(written);
    }
  }
  if (error == 0 && ::fsync(fd.Get()) != 0) error = errno;
  if (error == 0 && ::fchmod(fd.Get(), 0644) != 0) error = errno;
  if (error == 0 && !fd.Close()) error = errno;
  if (error == 0 && ::rename(tempPath.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(tempPath.c_str());
    throw Exception(CannotCreateFileMessage(path, std::strerror(error)));
  }
}

}  // namespace vormlan::generation
