#pragma once
// Shared helpers of the test suites.

#include <filesystem>
#include <string>

namespace vormlan::test {

// The folder of committed test data (tests/data).
std::filesystem::path DataDir();

// A fresh, empty directory below the system's temporary directory, removed
// with everything in it when the object goes out of scope.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Whole-file helpers (binary).
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

#ifndef _WIN32
// What a program run through the shell left: its exit status (-1 when it did
// not exit normally) and everything it wrote to standard output and error.
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs shellCommand with /bin/sh, standard error captured apart from
// standard output.
ProgramRun RunProgram(const std::string& shellCommand);
#endif

}  // namespace vormlan::test
