#include "tests/support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace vormlan::test {

std::filesystem::path DataDir() {
  if (const char* dir = std::getenv("VORMLAN_TEST_DATA")) {
    std::string value(dir);
#ifdef _WIN32
    // Under Wine the variable holds the Unix path; Z: maps the Unix root.
    if (!value.empty() && value.front() == '/') value = "Z:" + value;
#endif
    return value;
  }
  return std::filesystem::path("tests") / "data";
}

TempDir::TempDir() {
  std::random_device rd;
  std::mt19937_64 rng(rd());
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("vormlan-test-" + std::to_string(rng() % 100000000));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

#ifndef _WIN32
ProgramRun RunProgram(const std::string& shellCommand) {
  TempDir dir;
  const auto errFile = dir.Path() / "stderr";
  const std::string command = shellCommand + " 2>'" + errFile.string() + "'";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.out.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.err = ReadFile(errFile);
  return run;
}
#endif

}  // namespace vormlan::test
