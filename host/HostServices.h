#pragma once
// What package writing needs from the machine it runs on: paths, file copies,
// directory and file creation, and the dialogs it shows. Implementations: the
// Win32 host (host_win32.h; the program's window adds its own chooser and
// boxes), the portable host (host_posix.h) and the test doubles.
//
// Two kinds of path text meet here. Source paths begin with WindowsDir() and
// name files of the Windows directory, whose names are matched without
// regard to case, as Windows does. Target paths name the chosen directory and
// what is written into it; they are plain paths of the host's file system,
// joined with Separator().

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vormlan::generation {

class HostServices {
 public:
  // Calls host.ReleaseTemporaryFolders() when a package is done, however it ends.
  class TemporaryFoldersGuard {
   public:
    explicit TemporaryFoldersGuard(HostServices& host) : host_(host) {}
    TemporaryFoldersGuard(const TemporaryFoldersGuard&) = delete;
    TemporaryFoldersGuard& operator=(const TemporaryFoldersGuard&) = delete;
    ~TemporaryFoldersGuard() { host_.ReleaseTemporaryFolders(); }

   private:
    HostServices& host_;
  };

  virtual ~HostServices() = default;

  // Full path of the running program's executable.
  virtual std::string ModulePath() = 0;

  // The Windows directory without a trailing separator (for example C:\WINDOWS).
  virtual std::string WindowsDir() = 0;

  // The separator the host's file system joins target paths with: "\" on
  // Windows, "/" elsewhere. Source paths may use either.
  virtual char Separator() const { return '\\'; }

  // A path text as messages show it, with the host's own separators.
  virtual std::string DisplayPath(const std::string& path) const { return path; }

  struct CopyResult {
    enum class Kind {
      Copied,         // dest now holds the whole of source
      TargetExists,   // dest was already there and was left untouched
      SourceMissing,  // there is no such source file; reason may say what
                      // stands there instead: "a folder, not a file", "not a
                      // regular file" (a FIFO, a device), "a broken link"
      Failed,         // anything else: reason says what (nothing is left at dest)
    };
    Kind kind = Kind::Failed;
    std::string reason;  // the system's text, or why the host refused
  };

  // Copies source (a source path) to dest (a target path) without ever
  // replacing dest: the bytes go to a temporary file beside dest, which is
  // moved into place only when complete and only while dest does not exist.
  // So no run, interrupted or concurrent with another, leaves a partial file
  // under dest's name; a failed copy removes its temporary file. A source
  // that is a link leading out of the Windows directory, or not a regular
  // file, is not copied (Failed, with the reason).
  virtual CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) = 0;

  // As CopyFileNoOverwrite, but a file already at dest is replaced, through
  // the same temporary file moved into place only when complete: dest holds
  // either its old bytes or all of source's, never part of either. A folder
  // or a link at dest is not replaced (Failed). Hosts that cannot replace
  // say so (Failed).
  virtual CopyResult CopyFileReplacing(const std::string& source, const std::string& dest) {
    (void)source;
    (void)dest;
    return {CopyResult::Kind::Failed, "this host does not replace files"};
  }

  // Whether the files at source (a source path) and dest (a target path)
  // hold the same bytes; nothing when either cannot be read.
  virtual std::optional<bool> SameContent(const std::string& source, const std::string& dest) = 0;

  // Creates dir (a target path) together with its missing parents, outermost
  // first. Nothing when dir is a directory afterwards; otherwise why not.
  virtual std::optional<std::string> CreateDirectoryTree(const std::string& dir) = 0;

  // Creates or replaces path (a target path) with exactly these bytes, so
  // that a previous file survives intact when the write fails. On failure
  // throws vormlan::Exception with the message
  //   Cannot create file "<path>". <system text without trailing blanks, line breaks and periods>
  virtual void SaveFile(const std::string& path, const std::string& bytes) = 0;

  struct DirectoryEntry {
    enum class Kind { File, Directory, Other };
    std::string name;
    Kind kind = Kind::Other;
  };

  // The entries of dir (a source path), "." and ".." left out. Links are
  // not followed: whatever they lead to, they are Other, as is anything but
  // a file or a folder. Nothing when dir is not a directory that can be read.
  virtual std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& dir) = 0;

  // The bytes of source (a source path), when it is a regular file of at
  // most maxBytes that can be read; nothing otherwise.
  virtual std::optional<std::string> ReadSourceFile(const std::string& source,
                                                    std::size_t maxBytes) = 0;

  // The entries of dir (a target path), as ListDirectory gives them: links
  // are Other and never followed. Nothing when dir is not there or cannot be
  // read. By default the source listing, for hosts whose paths are one kind.
  virtual std::optional<std::vector<DirectoryEntry>> ListTargetDirectory(const std::string& dir) {
    return ListDirectory(dir);
  }

  // The bytes of path (a target path) when it is a regular file of at most
  // maxBytes that can be read; nothing otherwise.
  virtual std::optional<std::string> ReadTargetFile(const std::string& path, std::size_t maxBytes) {
    return ReadSourceFile(path, maxBytes);
  }

  // Whether the target's file system takes names that differ only in letter
  // case for one name, as Windows' does.
  virtual bool TargetIgnoresCase() const { return true; }

  // The name of the folder that hosts may keep their temporary files in
  // inside a target folder while a run lasts; never part of a package.
  static constexpr const char* kTemporaryFolder = ".vormlan-tmp";

  // The package is done: temporary folders the host made in target folders
  // go (those of other runs under way stay). Nothing by default.
  virtual void ReleaseTemporaryFolders() {}

  // The directory chooser, starting from start (the executable's path).
  // The chosen directory text exactly as entered, or nothing on cancel. The
  // chooser itself creates nothing: WriteDriverPackage creates the chosen
  // directory (with its parents) right after the chooser has closed.
  virtual std::optional<std::string> ChooseDirectory(const std::string& start) = 0;

  // The program's plain message box: returns when the user closed it.
  virtual void ShowPlainMessage(const std::string& text) = 0;

  // Asks the program to end (exit code 0) once control is back in its
  // message loop; returns at once.
  virtual void RequestApplicationEnd() = 0;

  // Progress of the copy under way: bytes done and in all. Called from
  // CopyFileNoOverwrite for large files; nothing by default.
  using ByteProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;
  void SetByteProgress(ByteProgress progress) { byteProgress_ = std::move(progress); }

 protected:
  void ReportBytes(std::uint64_t done, std::uint64_t total) const {
    if (byteProgress_) byteProgress_(done, total);
  }

 private:
  ByteProgress byteProgress_;
};

}  // namespace vormlan::generation
