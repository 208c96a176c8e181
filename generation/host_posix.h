#pragma once
// HostServices on a system without Windows: a directory named by the user
// stands for the Windows directory. Path texts keep their Windows form ("\"
// separators, as the package writer composes them); the file layer accepts
// both separators and resolves each existing component case-insensitively,
// because registry names and files on disk often differ in case
// (UNIDRV.DLL against unidrv.dll). The dialogs are left to the front end.

#include <filesystem>
#include <string>

#include "generation/HostServices.h"

namespace vormlan::generation {

class PosixHost : public HostServices {
 public:
  explicit PosixHost(std::string windowsDir);

  // The running executable (/proc/self/exe).
  std::string ModulePath() override;
  // The directory given at construction, without trailing separators.
  std::string WindowsDir() override;
  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override;
  // Creates each missing level, outermost first; failures are not reported.
  void CreateDirectoryTree(const std::string& dir) override;
  // Writes a temporary file beside path and renames it over path when
  // complete; on failure the temporary file is removed and path is left as it
  // was. A file without write permission is not replaced, as Windows does
  // not replace a read-only file.
  void SaveFile(const std::string& path, const std::string& bytes) override;

  // The file-system path for a path text: "\" and "/" both separate, empty
  // components are skipped, and each component names the existing entry that
  // matches it case-insensitively (the text's own spelling when none does).
  static std::filesystem::path Resolve(const std::string& pathText);

 private:
  std::string windowsDir_;
};

}  // namespace vormlan::generation
