#include "host/host_win32.h"

#include <windows.h>

#include <atomic>
#include <climits>
#include <memory>
#include <cstring>
#include <utility>
#include <vector>

#include "common/UniqueHandle_win32.h"
#include "common/Exception.h"
#include "common/SystemText_win32.h"
#include "common/WideText_win32.h"
#include "host/PathText.h"

namespace vormlan::generation {
namespace {

using Kind = HostServices::CopyResult::Kind;
using registry::TextEncoding;

// A temporary file beside a target, removed unless Keep() was called.
class TempName {
 public:
  explicit TempName(std::wstring path) : path_(std::move(path)) {}
  TempName(const TempName&) = delete;
  TempName& operator=(const TempName&) = delete;
  ~TempName() {
    if (path_.empty()) return;
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only copy too
    DeleteFileW(path_.c_str());
  }
  const std::wstring& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::wstring path_;
};

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

std::wstring ParentOfWide(const std::wstring& path) {
  const auto sep = path.find_last_of(L"\\/");
  if (sep == std::wstring::npos) return L".";
  if (sep == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, sep == 0 ? 1 : sep);
}

// A name unique to this process for a temporary file or folder.
std::wstring UniqueName(const wchar_t* prefix) {
  static std::atomic<unsigned> counter{0};
  return prefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) +
         L"-" + std::to_wstring(counter++);
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder + name;
  return folder + L'\\' + name;
}

// Removes folder with the files in it (a run folder holds nothing else; a
// link found there is removed, not followed).
void RemoveRunFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data{};
  {
    const FindHandle find(FindFirstFileW(Joined(folder, L"*").c_str(), &data));
    if (find.IsValid()) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = Joined(folder, name);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          RemoveDirectoryW(path.c_str());
        } else {
          DeleteFileW(path.c_str());
        }
      } while (FindNextFileW(find.Get(), &data) != FALSE);
    }
  }
  RemoveDirectoryW(folder.c_str());
}

// Removes the run folders below temps whose runs have ended: a run holds
// its lock file open, made to be deleted when closed, from before its
// folder is made until it has gone, so an ended run's folder has none.
void RemoveEndedRuns(const std::wstring& temps) {
  std::vector<std::wstring> ended;
  WIN32_FIND_DATAW data{};
  {
    const FindHandle find(FindFirstFileW(Joined(temps, L"run-*").c_str(), &data));
    if (!find.IsValid()) return;
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
      const std::wstring folder = Joined(temps, data.cFileName);
      if (GetFileAttributesW((folder + L".lock").c_str()) == INVALID_FILE_ATTRIBUTES &&
          IsMissing(GetLastError())) {
        ended.push_back(folder);
      }
    } while (FindNextFileW(find.Get(), &data) != FALSE);
  }
  for (const auto& folder : ended) RemoveRunFolder(folder);
}

// A name for a temporary file in folder that no other run picks.
std::wstring TemporaryName(const std::wstring& folder) {
  return Joined(folder, UniqueName(L".vormlan-") + L".tmp");
}

DWORD CALLBACK CopyProgress(LARGE_INTEGER total, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER,
                            DWORD, DWORD, HANDLE, HANDLE, LPVOID context) {
  (*static_cast<std::function<void(std::uint64_t, std::uint64_t)>*>(context))(
      static_cast<std::uint64_t>(done.QuadPart), static_cast<std::uint64_t>(total.QuadPart));
  return PROGRESS_CONTINUE;
}

}  // namespace

// The temporary folder of this run inside one target folder.
struct Win32Host::RunFolder {
  std::wstring temps;   // <target>\.vormlan-tmp
  std::wstring folder;  // <temps>\run-...
  HANDLE lock = INVALID_HANDLE_VALUE;

  RunFolder() = default;
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  ~RunFolder() {
    // Empty by now: every temporary file was moved into place or removed.
    if (!folder.empty()) RemoveDirectoryW(folder.c_str());
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);  // deletes the lock file
    RemoveDirectoryW(temps.c_str());                      // only when no other run uses it
  }
};

Win32Host::Win32Host(registry::TextEncoding pathEncoding) : encoding_(pathEncoding) {}

Win32Host::~Win32Host() = default;

void Win32Host::ReleaseTemporaryFolders() {
  runFolders_.clear();
}

std::wstring Win32Host::TemporaryFolder(const std::wstring& targetFolder) {
  if (const auto it = runFolders_.find(targetFolder); it != runFolders_.end()) {
    return it->second->folder;
  }
  auto run = std::make_unique<RunFolder>();
  run->temps = Joined(targetFolder, WideFromUtf8(kTemporaryFolder));
  if (CreateDirectoryW(run->temps.c_str(), nullptr) != FALSE) {
    SetFileAttributesW(run->temps.c_str(), FILE_ATTRIBUTE_HIDDEN);
  }
  const DWORD attributes = GetFileAttributesW(run->temps.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return targetFolder;
  }
  RemoveEndedRuns(run->temps);
  const std::wstring folder = Joined(run->temps, UniqueName(L"run-"));
  run->lock = CreateFileW((folder + L".lock").c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (run->lock == INVALID_HANDLE_VALUE) return targetFolder;
  if (CreateDirectoryW(folder.c_str(), nullptr) == FALSE) return targetFolder;
  run->folder = folder;
  return runFolders_.emplace(targetFolder, std::move(run)).first->second->folder;
}

namespace {

std::wstring ToWide(const std::string& text, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8) return WideFromUtf8(text);
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
  return wide;
}

std::string FromWide(const std::wstring& wide, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8) return Utf8FromWide(wide);
  if (wide.empty() || wide.size() > INT_MAX / 4) return std::string();
  const int length = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, text.data(), size, nullptr, nullptr);
  }
  return text;
}

std::string SystemText(DWORD code, TextEncoding encoding) {
  const auto text =
      encoding == TextEncoding::Utf8 ? SystemMessageTextUtf8(code) : SystemMessageText(code);
  std::string result = text.value_or("Error " + std::to_string(code));
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n' ||
                             result.back() == ' ' || result.back() == '.')) {
    result.pop_back();
  }
  return result;
}

}  // namespace

std::string Win32Host::ModulePath() {
  if (encoding_ == TextEncoding::Utf8) {
    wchar_t buffer[261] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, 261);
    return Utf8FromWide(std::wstring_view(buffer, length < 261 ? length : 260));
  }
  char buffer[261] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1);
}

std::string Win32Host::WindowsDir() {
  if (encoding_ == TextEncoding::Utf8) {
    wchar_t buffer[260] = {};
    GetWindowsDirectoryW(buffer, 260);
    buffer[259] = L'\0';
    return Utf8FromWide(buffer);
  }
  char buffer[260] = {};
  GetWindowsDirectoryA(buffer, sizeof buffer);
  buffer[sizeof buffer - 1] = '\0';
  return std::string(buffer);
}

HostServices::CopyResult Win32Host::CopyFileNoOverwrite(const std::string& source,
                                                        const std::string& dest) {
  return Copy(source, dest, false);
}

HostServices::CopyResult Win32Host::CopyFileReplacing(const std::string& source,
                                                      const std::string& dest) {
  return Copy(source, dest, true);
}

HostServices::CopyResult Win32Host::Copy(const std::string& source, const std::string& dest,
                                         bool replace) {
  const std::wstring to = ToWide(dest, encoding_);
  const DWORD existing = GetFileAttributesW(to.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES) {
    if ((existing & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return {Kind::Failed, "The target folder holds a link of that name, which is not replaced"};
    }
    if ((existing & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return {Kind::Failed, "A folder of that name is in the way in the target folder"};
    }
    if (!replace) return {Kind::TargetExists, ""};
  }
  const std::wstring from = ToWide(source, encoding_);
  const DWORD attributes = GetFileAttributesW(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (IsMissing(error)) return {Kind::SourceMissing, ""};
    return {Kind::Failed, SystemText(error, encoding_)};
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {Kind::SourceMissing, "a folder, not a file"};
  }

  std::function<void(std::uint64_t, std::uint64_t)> report =
      [this](std::uint64_t done, std::uint64_t total) { ReportBytes(done, total); };
  const std::wstring folder = TemporaryFolder(ParentOfWide(to));
  for (int attempt = 0;; ++attempt) {
    TempName temp(TemporaryName(folder));
    if (CopyFileExW(from.c_str(), temp.Path().c_str(), CopyProgress, &report, nullptr,
                    COPY_FILE_FAIL_IF_EXISTS) == FALSE) {
      const DWORD error = GetLastError();
      if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attempt < 8) {
        temp.Keep();  // someone else's file: not ours to remove
        continue;
      }
      if (IsMissing(error) && GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return {Kind::SourceMissing, ""};
      }
      return {Kind::Failed, SystemText(error, encoding_)};
    }
    const DWORD how = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(temp.Path().c_str(), to.c_str(), how) != FALSE) {
      temp.Keep();
      return {Kind::Copied, ""};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
      return {Kind::TargetExists, ""};
    }
    return {Kind::Failed, SystemText(error, encoding_)};
  }
}

std::optional<bool> Win32Host::SameContent(const std::string& source, const std::string& dest) {
  auto open = [this](const std::string& path) {
    return FileHandle(CreateFileW(ToWide(path, encoding_).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  const FileHandle a = open(source);
  const FileHandle b = open(dest);
  LARGE_INTEGER sa{};
  LARGE_INTEGER sb{};
  if (!a.IsValid() || !b.IsValid() || GetFileSizeEx(a.Get(), &sa) == FALSE ||
      GetFileSizeEx(b.Get(), &sb) == FALSE) {
    return std::nullopt;
  }
  if (sa.QuadPart != sb.QuadPart) return false;
  std::vector<char> x(256 * 1024);
  std::vector<char> y(x.size());
  for (;;) {
    DWORD n = 0;
    DWORD m = 0;
    if (ReadFile(a.Get(), x.data(), static_cast<DWORD>(x.size()), &n, nullptr) == FALSE ||
        ReadFile(b.Get(), y.data(), n, &m, nullptr) == FALSE) {
      return std::nullopt;
    }
    if (n == 0) return true;
    if (m != n || std::memcmp(x.data(), y.data(), n) != 0) return false;
  }
}

std::optional<std::string> Win32Host::CreateDirectoryTree(const std::string& dir) {
  DWORD lastError = ERROR_SUCCESS;
  for (const auto& level : DirectoryChain(dir)) {
    if (CreateDirectoryW(ToWide(level, encoding_).c_str(), nullptr) == FALSE) {
      lastError = GetLastError();
    }
  }
  const DWORD attributes = GetFileAttributesW(ToWide(dir, encoding_).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return std::string("a file of that name is in the way");
  return SystemText(lastError != ERROR_SUCCESS ? lastError : GetLastError(), encoding_);
}

void Win32Host::SaveFile(const std::string& path, const std::string& bytes) {
  const std::wstring target = ToWide(path, encoding_);
  auto fail = [&](DWORD code) {
    throw Exception(CannotCreateFileMessage(path, SystemText(code, encoding_)));
  };
  // A read-only file is not replaced; saying so before anything is written
  // also keeps the temporary file from being created for nothing.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    fail(ERROR_ACCESS_DENIED);
  }
  TempName temp(TemporaryName(TemporaryFolder(ParentOfWide(target))));
  DWORD error = ERROR_SUCCESS;
  {
    FileHandle file(CreateFileW(temp.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      error = GetLastError();
    } else {
      std::size_t done = 0;
      while (error == ERROR_SUCCESS && done < bytes.size()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 24));
        if (WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) == FALSE ||
            written == 0) {
          error = GetLastError();
          if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
        }
        done += written;
      }
      if (error == ERROR_SUCCESS && !file.Close()) error = GetLastError();
    }
  }
  if (error == ERROR_SUCCESS &&
      MoveFileExW(temp.Path().c_str(), target.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
    error = GetLastError();
  }
  if (error != ERROR_SUCCESS) fail(error);
  temp.Keep();
}

std::optional<std::vector<HostServices::DirectoryEntry>> Win32Host::ListDirectory(
    const std::string& dir) {
  std::wstring pattern = ToWide(dir, encoding_);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  const FindHandle find(FindFirstFileW(pattern.c_str(), &data));
  if (!find.IsValid()) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    DirectoryEntry entry;
    entry.name = FromWide(name, encoding_);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      entry.kind = DirectoryEntry::Kind::Other;
    } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      entry.kind = DirectoryEntry::Kind::Directory;
    } else {
      entry.kind = DirectoryEntry::Kind::File;
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find.Get(), &data) != FALSE);
  return entries;
}

std::optional<std::string> Win32Host::ReadSourceFile(const std::string& source,
                                                     std::size_t maxBytes) {
  const FileHandle file(CreateFileW(ToWide(source, encoding_).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file.IsValid() || GetFileSizeEx(file.Get(), &size) == FALSE || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1 << 24));
    if (ReadFile(file.Get(), bytes.data() + got, chunk, &n, nullptr) == FALSE || n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

}  // namespace vormlan::generation
