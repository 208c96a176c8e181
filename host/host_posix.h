#pragma once
// HostServices on a system without Windows: a directory named by the user
// stands for the Windows directory, possibly on another machine's disk.
//
// Source paths (below WindowsDir()) accept "\" and "/" and match each name
// without regard to case, as Windows would, through one listing per folder
// kept for the host's lifetime. They never lead out of the Windows
// directory: a link is followed only when its target lies inside it, ".."
// is refused. Target paths are plain POSIX paths, taken as they are. Texts
// are UTF-8. The dialogs are left to the front end.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/FoldedIndex.h"
#include "host/HostServices.h"

namespace vormlan::generation {

class PosixHost : public HostServices {
 public:
  explicit PosixHost(std::string windowsDir);
  ~PosixHost() override;

  // The running executable (/proc/self/exe).
  std::string ModulePath() override;
  // The directory given at construction, without trailing separators.
  std::string WindowsDir() override;
  char Separator() const override { return '/'; }
  // Source paths with "/" throughout; target paths as they are.
  std::string DisplayPath(const std::string& path) const override;
  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override;
  // Replaces a regular file at dest by rename; a folder or link there stays.
  CopyResult CopyFileReplacing(const std::string& source, const std::string& dest) override;
  std::optional<bool> SameContent(const std::string& source, const std::string& dest) override;
  std::optional<std::string> CreateDirectoryTree(const std::string& dir) override;
  // Writes a temporary file beside path and renames it over path when
  // complete; on failure the temporary file is removed and path is left as it
  // was. A file without write permission is not replaced, as Windows does
  // not replace a read-only file.
  void SaveFile(const std::string& path, const std::string& bytes) override;
  std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& dir) override;
  std::optional<std::string> ReadSourceFile(const std::string& source,
                                            std::size_t maxBytes) override;
  // Target folders are listed and read as plain POSIX paths; names are
  // told apart by case, as Linux file systems do.
  std::optional<std::vector<DirectoryEntry>> ListTargetDirectory(const std::string& dir) override;
  std::optional<std::string> ReadTargetFile(const std::string& path, std::size_t maxBytes) override;
  bool TargetIgnoresCase() const override { return false; }
  // Temporary files are made in a folder of the run inside the target's
  // folder, <folder>/.vormlan-tmp/run-XXXXXX, locked (flock) while the run
  // lasts. The first write into a folder removes the run folders there whose
  // runs have ended (killed ones), and this removes the run's own folders and
  // .vormlan-tmp when no other run uses it. Also done when the host goes.
  void ReleaseTemporaryFolders() override;

  // What a source path leads to.
  struct Resolution {
    enum class State { Found, Missing, Refused };
    State state = State::Missing;
    std::filesystem::path path;  // Found: the real path, free of links
    std::string reason;          // Missing (when there is more to say) and Refused
  };
  // Where a source path leads. Among names that differ only in case, the
  // last part takes a regular file when wantFile, a folder otherwise.
  Resolution ResolveSource(const std::string& pathText, bool wantFile = true);

 private:
  // The entry of the real directory dir whose name matches name without
  // regard to case, or nothing. Among names differing only in case, the one
  // of the kind sought (a regular file when wantFile, else a folder) wins,
  // the exact spelling first.
  std::optional<std::string> MatchEntry(const std::filesystem::path& dir, const std::string& name,
                                        bool wantFile);
  bool Inside(const std::filesystem::path& real) const;
  CopyResult Copy(const std::string& source, const std::string& dest, bool replace);
  // This run's temporary folder inside targetFolder, made on first use; the
  // target folder itself when it cannot be made.
  std::filesystem::path TemporaryFolder(const std::filesystem::path& targetFolder);
  struct RunFolder;
  std::unordered_map<std::string, std::unique_ptr<RunFolder>> runFolders_;

  std::string windowsDir_;
  std::filesystem::path root_;  // the Windows directory's real path
  // A real directory's entries, sorted, and where each name stands by its fold.
  struct Listing {
    std::vector<std::string> names;
    FoldedIndex index;
  };
  std::unordered_map<std::string, Listing> listings_;  // by real directory path
};

}  // namespace vormlan::generation
