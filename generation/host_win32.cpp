#include "generation/host_win32.h"

#include <windows.h>

#include <utility>

#include "common/Exception.h"
#include "common/SystemText_win32.h"
#include "generation/PathText.h"

namespace vormlan::generation {
namespace {

// An open file handle, closed when it goes out of scope unless closed before.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (IsValid()) CloseHandle(handle_);
  }
  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    const HANDLE h = std::exchange(handle_, INVALID_HANDLE_VALUE);
    return CloseHandle(h) != FALSE;
  }

 private:
  HANDLE handle_;
};

std::string SystemText(DWORD code) {
  return SystemMessageText(code).value_or("Error " + std::to_string(code));
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, DWORD code) {
  throw Exception(CannotCreateFileMessage(path, SystemText(code)));
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::string Win32Host::ModulePath() {
  char buffer[261] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1);
}

std::string Win32Host::WindowsDir() {
  char buffer[260] = {};
  GetWindowsDirectoryA(buffer, sizeof buffer);
  buffer[sizeof buffer - 1] = '\0';
  return std::string(buffer);
}

HostServices::CopyResult Win32Host::CopyFileNoOverwrite(const std::string& source,
                                                        const std::string& dest) {
  if (CopyFileA(source.c_str(), dest.c_str(), TRUE) != FALSE) return CopyResult::Copied;
  return Exists(dest) ? CopyResult::TargetExists : CopyResult::Failed;
}

void Win32Host::CreateDirectoryTree(const std::string& dir) {
  for (const auto& level : DirectoryChain(dir)) CreateDirectoryA(level.c_str(), nullptr);
}

void Win32Host::SaveFile(const std::string& path, const std::string& bytes) {
  // A read-only file is not replaced; saying so before anything is written
  // also keeps the temporary file from being created for nothing.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ThrowCannotCreate(path, ERROR_ACCESS_DENIED);
  }
  char temp[MAX_PATH + 1] = {};
  if (GetTempFileNameA(ParentOf(path).c_str(), "vml", 0, temp) == 0) {
    ThrowCannotCreate(path, GetLastError());
  }
  const std::string tempPath(temp);
  DWORD error = ERROR_SUCCESS;
  {
    FileHandle file(CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      error = GetLastError();
    } else {
      std::size_t done = 0;
      while (error == ERROR_SUCCESS && done < bytes.size()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(bytes.size() - done);
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
      MoveFileExA(tempPath.c_str(), path.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
    error = GetLastError();
  }
  if (error != ERROR_SUCCESS) {
    DeleteFileA(tempPath.c_str());
    ThrowCannotCreate(path, error);
  }
}

}  // namespace vormlan::generation
