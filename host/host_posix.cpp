#include "host/host_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/Exception.h"
#include "common/PathParts.h"
#include "common/UniqueHandle.h"
#include "common/Unicode.h"
#include "host/PathText.h"

namespace vormlan::generation {
namespace {

namespace fs = std::filesystem;
using Kind = HostServices::CopyResult::Kind;

// Files at least this large report their progress while they are copied.
constexpr std::uint64_t kProgressFrom = 8u * 1024 * 1024;
constexpr std::size_t kCopyChunk = 8u * 1024 * 1024;

// A file descriptor; -1 is none.
struct DescriptorTraits {
  using Handle = int;
  static Handle Invalid() { return -1; }
  static bool Valid(Handle fd) { return fd >= 0; }
  static bool Close(Handle fd) { return ::close(fd) == 0; }
};
using Descriptor = UniqueHandle<DescriptorTraits>;

// A temporary file in folder, removed unless Keep() was called.
class TempFile {
 public:
  explicit TempFile(const fs::path& folder) {
    std::string pattern = (folder / ".vormlan-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_.Reset(::mkstemp(name.data()));
    if (fd_) path_ = name.data();
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    fd_.Reset();
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  int Fd() const { return fd_.Get(); }
  const std::string& Path() const { return path_; }
  // Closes the file; the error code of the close, 0 when it went well.
  int Close() { return fd_.Close() ? 0 : errno; }
  // The file has been renamed or linked away: nothing left to remove.
  void Keep() { path_.clear(); }

 private:
  Descriptor fd_;
  std::string path_;
};

fs::path FromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Writes all of data; 0 or the error code.
int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

// Copies the whole of in to out, in kernel space where the system can;
// 0 or the error code.
int CopyBytes(int in, int out, std::uint64_t size,
              const std::function<void(std::uint64_t, std::uint64_t)>& report) {
  std::uint64_t done = 0;
  bool kernel = true;
  std::vector<char> buffer;
  for (;;) {
    ssize_t n = 0;
    if (kernel) {
      n = ::copy_file_range(in, nullptr, out, nullptr, kCopyChunk, 0);
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        kernel = false;
        continue;
      }
    } else {
      if (buffer.empty()) buffer.resize(1024 * 1024);
      n = ::read(in, buffer.data(), buffer.size());
      if (n > 0) {
        if (const int error = WriteAll(out, buffer.data(), static_cast<std::size_t>(n))) {
          return error;
        }
      }
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    done += static_cast<std::uint64_t>(n);
    if (size >= kProgressFrom && report) report(done, size);
  }
}

// Why a source that is there is not taken as a file.
std::string NotAFile(const struct stat& info) {
  return S_ISDIR(info.st_mode) ? "a folder, not a file" : "not a regular file";
}

// Opens a regular file for reading. What is plainly something else is not
// opened at all (opening a device can act on it); what turns into something
// else meanwhile is opened without waiting, so that a FIFO cannot block the
// run, and found out by the caller's fstat. -1 with errno set, or with
// notAFile saying what stands there instead.
int OpenSource(const fs::path& path, std::string* notAFile = nullptr) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
    if (notAFile != nullptr) *notAFile = NotAFile(info);
    errno = EINVAL;
    return -1;
  }
  return ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

// The bytes of the regular file at path (not a link) of at most maxBytes,
// or nothing.
std::optional<std::string> ReadRegularFile(const fs::path& path, std::size_t maxBytes) {
  const Descriptor in(OpenSource(path));
  struct stat info {};
  if (in.Get() < 0 || ::fstat(in.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(in.Get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

// Removes what runs that have ended left below temps: a run folder whose
// lock can be taken or that has no lock file (a cleaner stopped half-way),
// and a free lock file without its folder (a run killed before it made
// one). A run holds its lock from before its folder is made until it has
// gone.
void RemoveEndedRuns(const fs::path& temps) {
  std::error_code ec;
  std::vector<std::string> locks;
  std::vector<std::string> folders;
  for (fs::directory_iterator it(temps, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!name.starts_with("run-")) continue;
    if (name.ends_with(".lock")) {
      locks.push_back(std::move(name));
    } else {
      folders.push_back(std::move(name));
    }
  }
  std::sort(locks.begin(), locks.end());
  for (const auto& name : folders) {
    if (std::binary_search(locks.begin(), locks.end(), name + ".lock")) continue;
    // A listing taken while runs start may show a new folder and not its
    // lock, which is always made first: looked for again.
    struct stat info {};
    if (::lstat((temps / (name + ".lock")).c_str(), &info) == 0) continue;
    fs::remove_all(temps / name, ec);  // links inside are removed, not followed
  }
  for (const auto& name : locks) {
    const fs::path lockPath = temps / name;
    const Descriptor lock(::open(lockPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (lock.Get() < 0 || ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) continue;  // running
    fs::remove_all(temps / name.substr(0, name.size() - 5), ec);
    ::unlink(lockPath.c_str());
  }
}

}  // namespace

// The temporary folder of this run inside one target folder.
struct PosixHost::RunFolder {
  fs::path temps;   // <target>/.vormlan-tmp
  fs::path folder;  // <temps>/run-XXXXXX
  fs::path lockPath;
  Descriptor lock;

  RunFolder() = default;
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  ~RunFolder() {
    // Empty by now: every temporary file was moved into place or removed.
    if (!folder.empty()) ::rmdir(folder.c_str());
    if (!lockPath.empty()) ::unlink(lockPath.c_str());
    lock.Reset();
    ::rmdir(temps.c_str());  // only when no other run uses it
  }
};

PosixHost::~PosixHost() = default;

void PosixHost::ReleaseTemporaryFolders() {
  runFolders_.clear();
}

fs::path PosixHost::TemporaryFolder(const fs::path& targetFolder) {
  const std::string key = targetFolder.string();
  if (const auto it = runFolders_.find(key); it != runFolders_.end()) return it->second->folder;
  auto run = std::make_unique<RunFolder>();
  run->temps = targetFolder / kTemporaryFolder;
  if (::mkdir(run->temps.c_str(), 0700) != 0 && errno != EEXIST) return targetFolder;
  struct stat info {};
  if (::lstat(run->temps.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return targetFolder;
  RemoveEndedRuns(run->temps);
  for (int attempt = 0; attempt < 8 && !run->lock; ++attempt) {
    std::string pattern = (run->temps / "run-XXXXXX.lock").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    Descriptor fd(::mkstemps(name.data(), 5));
    if (!fd) return targetFolder;
    // Locked, and still there: a cleaner may have taken it for an ended run's
    // in the moment between.
    struct stat mine {};
    struct stat there {};
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(fd.Get(), &mine) == 0 &&
        ::lstat(name.data(), &there) == 0 && mine.st_ino == there.st_ino) {
      run->lock = std::move(fd);
      run->lockPath = name.data();
    }
  }
  if (!run->lock) return targetFolder;
  const std::string lockText = run->lockPath.string();
  const fs::path folder = lockText.substr(0, lockText.size() - 5);
  if (::mkdir(folder.c_str(), 0700) != 0) {
    ::unlink(run->lockPath.c_str());
    return targetFolder;
  }
  run->folder = folder;
  return runFolders_.emplace(key, std::move(run)).first->second->folder;
}

PosixHost::PosixHost(std::string windowsDir) : windowsDir_(std::move(windowsDir)) {
  while (windowsDir_.size() > 1 && IsSeparator(windowsDir_.back())) windowsDir_.pop_back();
  std::error_code ec;
  root_ = fs::canonical(FromUtf8(windowsDir_.empty() ? "." : windowsDir_), ec);
  if (ec) root_ = fs::absolute(FromUtf8(windowsDir_.empty() ? "." : windowsDir_), ec);
}

std::string PosixHost::ModulePath() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

std::string PosixHost::WindowsDir() {
  return windowsDir_;
}

std::string PosixHost::DisplayPath(const std::string& path) const {
  if (path.compare(0, windowsDir_.size(), windowsDir_) != 0) return path;
  std::string shown = path;
  std::replace(shown.begin() + static_cast<std::ptrdiff_t>(windowsDir_.size()), shown.end(), '\\',
               '/');
  return shown;
}

bool PosixHost::Inside(const fs::path& real) const {
  const auto mismatch = std::mismatch(root_.begin(), root_.end(), real.begin(), real.end());
  return mismatch.first == root_.end();
}

std::optional<std::string> PosixHost::MatchEntry(const fs::path& dir, const std::string& name,
                                                 bool wantFile) {
  auto [entry, added] = listings_.try_emplace(dir.string());
  Listing& listing = entry->second;
  if (added) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      listing.names.push_back(it->path().filename().string());
    }
    // Sorted, so that among names differing in case the choice is the same
    // on every run.
    std::sort(listing.names.begin(), listing.names.end());
    for (std::size_t i = 0; i < listing.names.size(); ++i) listing.index.Add(listing.names[i], i);
  }
  const auto places = listing.index.Find(name);
  if (places.empty()) return std::nullopt;
  std::vector<std::string> names;
  for (const std::size_t at : places) names.push_back(listing.names[at]);
  const bool exact = std::find(names.begin(), names.end(), name) != names.end();
  if (names.size() == 1) return names.front();
  // Names that differ only in case: the one of the kind sought (a file for
  // the last part of a path, a folder before it), the exact spelling first.
  // stat() follows links for the type alone; where they lead is judged later.
  const auto ofKind = [&](const std::string& candidate) {
    struct stat info {};
    if (::stat((dir / candidate).c_str(), &info) != 0) return false;
    return wantFile ? S_ISREG(info.st_mode) : S_ISDIR(info.st_mode);
  };
  if (exact && ofKind(name)) return name;
  for (const auto& candidate : names) {
    if (ofKind(candidate)) return candidate;
  }
  return exact ? name : names.front();
}

PosixHost::Resolution PosixHost::ResolveSource(const std::string& pathText, bool wantFile) {
  Resolution r;
  const bool below = pathText.compare(0, windowsDir_.size(), windowsDir_) == 0 &&
                     (pathText.size() == windowsDir_.size() ||
                      IsSeparator(pathText[windowsDir_.size()]) || windowsDir_ == "/");
  if (!below) {
    r.state = Resolution::State::Refused;
    r.reason = "it is not below the Windows directory";
    return r;
  }
  fs::path current = root_;
  // The parts below the Windows directory; a separator at the end names no
  // part of its own.
  std::string_view rest = std::string_view(pathText).substr(windowsDir_.size());
  while (!rest.empty() && IsSeparator(rest.back())) rest.remove_suffix(1);
  const bool reached = ForEachPathPart(rest, [&](std::string_view partText, bool last) {
    const std::string part(partText);
    if (part.empty() || part == ".") return true;
    if (part == "..") {
      r.state = Resolution::State::Refused;
      r.reason = "the path climbs out of its folder with \"..\"";
      return false;
    }
    const auto name = MatchEntry(current, part, wantFile && last);
    if (!name) return false;  // Missing
    const fs::path candidate = current / *name;
    struct stat info {};
    if (::lstat(candidate.c_str(), &info) != 0) return false;
    if (!S_ISLNK(info.st_mode)) {
      current = candidate;
      return true;
    }
    std::error_code ec;
    const fs::path target = fs::canonical(candidate, ec);
    if (ec) {
      r.reason = "a broken link";
      return false;
    }
    if (!Inside(target)) {
      r.state = Resolution::State::Refused;
      r.reason = candidate.string() + " is a link that leads out of the Windows directory (to " +
                 target.string() + ")";
      return false;
    }
    current = target;
    return true;
  });
  if (!reached) return r;
  r.state = Resolution::State::Found;
  r.path = current;
  return r;
}

HostServices::CopyResult PosixHost::CopyFileNoOverwrite(const std::string& source,
                                                        const std::string& dest) {
  return Copy(source, dest, false);
}

HostServices::CopyResult PosixHost::CopyFileReplacing(const std::string& source,
                                                      const std::string& dest) {
  return Copy(source, dest, true);
}

HostServices::CopyResult PosixHost::Copy(const std::string& source, const std::string& dest,
                                         bool replace) {
  const fs::path to = FromUtf8(dest);
  struct stat existing {};
  if (::lstat(to.c_str(), &existing) == 0) {
    if (S_ISLNK(existing.st_mode)) {
      return {Kind::Failed, "The target folder holds a link of that name, which is not replaced"};
    }
    if (!S_ISREG(existing.st_mode)) {
      return {Kind::Failed, "Something other than a file has that name in the target folder"};
    }
    if (!replace) return {Kind::TargetExists, ""};
  }

  const Resolution from = ResolveSource(source);
  if (from.state == Resolution::State::Missing) return {Kind::SourceMissing, from.reason};
  if (from.state == Resolution::State::Refused) return {Kind::Failed, from.reason};
  std::string notAFile;
  const Descriptor in(OpenSource(from.path, &notAFile));
  if (in.Get() < 0) {
    if (!notAFile.empty()) return {Kind::SourceMissing, notAFile};
    return errno == ENOENT ? CopyResult{Kind::SourceMissing, ""}
                           : CopyResult{Kind::Failed, std::strerror(errno)};
  }
  struct stat info {};
  if (::fstat(in.Get(), &info) != 0) return {Kind::Failed, std::strerror(errno)};
  if (!S_ISREG(info.st_mode)) return {Kind::SourceMissing, NotAFile(info)};

  TempFile temp(TemporaryFolder(to.parent_path()));
  if (temp.Fd() < 0) return {Kind::Failed, std::strerror(errno)};
  int error =
      CopyBytes(in.Get(), temp.Fd(), static_cast<std::uint64_t>(info.st_size),
                [this](std::uint64_t done, std::uint64_t total) { ReportBytes(done, total); });
  if (error == 0 && ::fchmod(temp.Fd(), 0644) != 0) error = errno;
  if (error == 0) error = temp.Close();
  if (error != 0) return {Kind::Failed, std::strerror(error)};

  if (replace) {
    if (::rename(temp.Path().c_str(), to.c_str()) != 0) return {Kind::Failed, std::strerror(errno)};
    temp.Keep();
    return {Kind::Copied, ""};
  }
  // Into place only while the name is free: a file that appeared meanwhile
  // (another run) stays, and ours goes.
  if (::renameat2(AT_FDCWD, temp.Path().c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    temp.Keep();
    return {Kind::Copied, ""};
  }
  if (errno == EEXIST) return {Kind::TargetExists, ""};
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    return {Kind::Failed, std::strerror(errno)};
  }
  // A file system without the no-replace rename: a hard link fails just the same.
  if (::link(temp.Path().c_str(), to.c_str()) != 0) {
    return errno == EEXIST ? CopyResult{Kind::TargetExists, ""}
                           : CopyResult{Kind::Failed, std::strerror(errno)};
  }
  return {Kind::Copied, ""};
}

std::optional<bool> PosixHost::SameContent(const std::string& source, const std::string& dest) {
  const Resolution from = ResolveSource(source);
  if (from.state != Resolution::State::Found) return std::nullopt;
  const Descriptor a(OpenSource(from.path));
  const Descriptor b(OpenSource(FromUtf8(dest)));
  struct stat sa {};
  struct stat sb {};
  if (a.Get() < 0 || b.Get() < 0 || ::fstat(a.Get(), &sa) != 0 || ::fstat(b.Get(), &sb) != 0 ||
      !S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode)) {
    return std::nullopt;
  }
  if (sa.st_size != sb.st_size) return false;
  std::vector<char> x(256 * 1024);
  std::vector<char> y(x.size());
  for (;;) {
    const ssize_t n = ::read(a.Get(), x.data(), x.size());
    if (n < 0) return std::nullopt;
    if (n == 0) return true;
    std::size_t got = 0;
    while (got < static_cast<std::size_t>(n)) {
      const ssize_t m = ::read(b.Get(), y.data() + got, static_cast<std::size_t>(n) - got);
      if (m <= 0) return m == 0 ? std::optional<bool>(false) : std::nullopt;
      got += static_cast<std::size_t>(m);
    }
    if (std::memcmp(x.data(), y.data(), static_cast<std::size_t>(n)) != 0) return false;
  }
}

std::optional<std::string> PosixHost::CreateDirectoryTree(const std::string& dir) {
  const fs::path path = FromUtf8(dir);
  std::error_code ec;
  fs::create_directories(path, ec);
  std::error_code statError;
  if (fs::is_directory(path, statError)) return std::nullopt;
  if (ec) return ec.message();
  return std::string("a file of that name is in the way");
}

void PosixHost::SaveFile(const std::string& path, const std::string& bytes) {
  const fs::path target = FromUtf8(path);
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 &&
      (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    throw Exception(CannotCreateFileMessage(path, std::strerror(EACCES)));
  }
  TempFile temp(TemporaryFolder(target.parent_path()));
  if (temp.Fd() < 0) throw Exception(CannotCreateFileMessage(path, std::strerror(errno)));
  int error = WriteAll(temp.Fd(), bytes.data(), bytes.size());
  if (error == 0 && ::fsync(temp.Fd()) != 0) error = errno;
  if (error == 0 && ::fchmod(temp.Fd(), 0644) != 0) error = errno;
  if (error == 0) error = temp.Close();
  if (error == 0 && ::rename(temp.Path().c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) throw Exception(CannotCreateFileMessage(path, std::strerror(error)));
  temp.Keep();
}

std::optional<std::vector<HostServices::DirectoryEntry>> PosixHost::ListDirectory(
    const std::string& dir) {
  const Resolution where = ResolveSource(dir, false);
  if (where.state != Resolution::State::Found) return std::nullopt;
  std::error_code ec;
  fs::directory_iterator it(where.path, ec);
  if (ec) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    DirectoryEntry entry;
    entry.name = it->path().filename().string();
    struct stat info {};
    if (::lstat(it->path().c_str(), &info) != 0) continue;
    if (S_ISREG(info.st_mode)) entry.kind = DirectoryEntry::Kind::File;
    if (S_ISDIR(info.st_mode)) entry.kind = DirectoryEntry::Kind::Directory;
    entries.push_back(entry);
  }
  if (ec) return std::nullopt;
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return entries;
}

std::optional<std::string> PosixHost::ReadSourceFile(const std::string& source,
                                                     std::size_t maxBytes) {
  const Resolution from = ResolveSource(source);
  if (from.state != Resolution::State::Found) return std::nullopt;
  return ReadRegularFile(from.path, maxBytes);
}

std::optional<std::vector<HostServices::DirectoryEntry>> PosixHost::ListTargetDirectory(
    const std::string& dir) {
  std::error_code ec;
  fs::directory_iterator it(FromUtf8(dir), ec);
  if (ec) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    DirectoryEntry entry;
    const std::u8string name = it->path().filename().u8string();
    entry.name.assign(name.begin(), name.end());
    struct stat info {};
    if (::lstat(it->path().c_str(), &info) != 0) continue;
    if (S_ISREG(info.st_mode)) entry.kind = DirectoryEntry::Kind::File;
    if (S_ISDIR(info.st_mode)) entry.kind = DirectoryEntry::Kind::Directory;
    entries.push_back(std::move(entry));
  }
  if (ec) return std::nullopt;
  return entries;
}

std::optional<std::string> PosixHost::ReadTargetFile(const std::string& path,
                                                     std::size_t maxBytes) {
  return ReadRegularFile(FromUtf8(path), maxBytes);
}

}  // namespace vormlan::generation
