#pragma once
// The Windows side of HostServices: paths, copies, directories and files
// through the Win32 API. The dialogs are left to whoever shows them: the
// program's window (its chooser and message boxes) or the command line.
//
// Path texts are in the ANSI code page for the window, as its A-functions
// see them, or in UTF-8 for the command line; either way the W-functions do
// the work, so every name the file system holds can be reached.

#include <map>
#include <memory>
#include <string>

#include "host/HostServices.h"
#include "registry/RegistryApi.h"

namespace vormlan::generation {

class Win32Host : public HostServices {
 public:
  explicit Win32Host(registry::TextEncoding pathEncoding = registry::TextEncoding::Ansi);
  ~Win32Host() override;

  // GetModuleFileName with a 261-character buffer.
  std::string ModulePath() override;
  // GetWindowsDirectory with a 260-character buffer; the text up to the first NUL.
  std::string WindowsDir() override;
  // CopyFileEx to a temporary name in the run's folder, then MoveFileEx without
  // MOVEFILE_REPLACE_EXISTING. A dest that is a folder or a link is not
  // touched (Failed).
  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override;
  // The same, with MOVEFILE_REPLACE_EXISTING.
  CopyResult CopyFileReplacing(const std::string& source, const std::string& dest) override;
  std::optional<bool> SameContent(const std::string& source, const std::string& dest) override;
  // CreateDirectory for each missing level, outermost first.
  std::optional<std::string> CreateDirectoryTree(const std::string& dir) override;
  // Writes a temporary file in the run's folder and moves it over path when
  // complete.
  void SaveFile(const std::string& path, const std::string& bytes) override;
  // FindFirstFile/FindNextFile; reparse points (links, junctions) are Other.
  std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& dir) override;
  std::optional<std::string> ReadSourceFile(const std::string& source,
                                            std::size_t maxBytes) override;
  // Temporary files are made in a folder of the run inside the target's
  // folder, <folder>\.vormlan-tmp\run-..., beside a lock file the run holds
  // open (deleted when closed, so also when the run is killed). The first
  // write into a folder removes the run folders there without a lock file,
  // and this removes the run's own folders and .vormlan-tmp when no other
  // run uses it. Also done when the host goes.
  void ReleaseTemporaryFolders() override;

 private:
  struct RunFolder;
  // This run's temporary folder inside targetFolder, made on first use; the
  // target folder itself when it cannot be made.
  std::wstring TemporaryFolder(const std::wstring& targetFolder);
  CopyResult Copy(const std::string& source, const std::string& dest, bool replace);

  registry::TextEncoding encoding_;
  std::map<std::wstring, std::unique_ptr<RunFolder>> runFolders_;
};

}  // namespace vormlan::generation
