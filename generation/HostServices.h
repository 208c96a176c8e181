#pragma once
// What package writing needs from the machine it runs on: paths, file copies,
// directory and file creation, and the dialogs it shows. Implementations: the
// Win32 host (host_win32.h; the program's window adds its own chooser and
// boxes), the portable host (host_posix.h) and the test doubles.

#include <optional>
#include <string>

namespace vormlan::generation {

class HostServices {
 public:
  virtual ~HostServices() = default;

  // Full path of the running program's executable.
  virtual std::string ModulePath() = 0;

  // The Windows directory without a trailing "\" (for example C:\WINDOWS).
  virtual std::string WindowsDir() = 0;

  enum class CopyResult { Copied, TargetExists, Failed };

  // Copies a file; never replaces dest. TargetExists when dest was already
  // there (left untouched); Failed for any other failure (source missing, ...).
  virtual CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) = 0;

  // Creates dir together with its missing parents, outermost first. Whether
  // that worked is not reported: later file operations find out.
  virtual void CreateDirectoryTree(const std::string& dir) = 0;

  // Creates or replaces path with exactly these bytes, so that a previous
  // file survives intact when the write fails. On failure throws
  // vormlan::Exception with the message
  //   Cannot create file "<path>". <system text without trailing blanks, line breaks and periods>
  virtual void SaveFile(const std::string& path, const std::string& bytes) = 0;

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
};

}  // namespace vormlan::generation
