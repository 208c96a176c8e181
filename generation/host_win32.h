#pragma once
// The Windows side of HostServices: paths, copies, directories and files
// through the Win32 API. The dialogs are left to whoever shows them: the
// program's window (its chooser and message boxes) or the command line.

#include "generation/HostServices.h"

namespace vormlan::generation {

class Win32Host : public HostServices {
 public:
  // GetModuleFileNameA with a 261-character buffer.
  std::string ModulePath() override;
  // GetWindowsDirectoryA with a 260-character buffer; the text up to the first NUL.
  std::string WindowsDir() override;
  // CopyFileA with fail-if-exists.
  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override;
  // CreateDirectoryA for each missing level, outermost first.
  void CreateDirectoryTree(const std::string& dir) override;
  // Writes a temporary file beside path and moves it over path when complete.
  void SaveFile(const std::string& path, const std::string& bytes) override;
};

}  // namespace vormlan::generation
