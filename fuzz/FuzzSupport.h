#pragma once
// Helpers shared by the fuzz targets: a bounded walk over any registry, and
// an in-memory host that holds the package writer to its promises.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Ansi.h"
#include "host/HostServices.h"
#include "registry/RegistryApi.h"

namespace vormlan::fuzz {

// Stops the run with a message: libFuzzer reports the input as a crash.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
  std::abort();
}

// Opens subkeys and reads a few values below key, at most budget keys in
// all: every answer must be a code the interface allows, and a value's size
// must be what a second, sized query returns.
inline void Walk(registry::RegistryApi& api, registry::KeyHandle key, int depth, int& budget) {
  if (depth > 16 || --budget < 0) return;
  for (const char* name : {"", "Name", "Driver", "Dependent Files", "Printer Driver", "Current"}) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (api.QueryValue(key, name, &type, nullptr, &size) != registry::error::Success) continue;
    std::vector<std::uint8_t> data(size + 1);
    std::uint32_t got = size;
    const long rc = api.QueryValue(key, name, &type, data.data(), &got);
    if (rc != registry::error::Success || got != size) {
      Fail("a value read with the size its query gave failed or changed size");
    }
  }
  std::vector<std::string> names;
  if (api.EnumSubKeys(key, names) != registry::error::Success) return;
  for (const auto& sub : names) {
    registry::KeyHandle child = 0;
    if (api.OpenKey(key, sub, registry::access::Read, child) != registry::error::Success) {
      continue;  // names that hold "\" are not reachable by path
    }
    registry::RegKey owned(api, child);
    Walk(api, child, depth + 1, budget);
    if (budget < 0) return;
  }
}

// A HostServices over memory. The Windows directory is C:\WINDOWS, whose
// files exist or not by a hash of their folded path (so that both found and
// missing files occur); the package goes to C:\out. Every write must land
// directly inside C:\out under a bare name, and no copy may replace a file.
class MemoryHost : public generation::HostServices {
 public:
  static constexpr char kOut[] = "C:\\out";

  std::map<std::string, std::string> written;  // by folded target path

  static std::string Fold(std::string_view path) {
    std::string folded;
    folded.reserve(path.size());
    for (const char c : path) {
      folded += static_cast<char>(ansi::ToUpper(static_cast<unsigned char>(c == '/' ? '\\' : c)));
    }
    return folded;
  }

  std::string ModulePath() override { return "C:\\Tools\\vormlan.exe"; }
  std::string WindowsDir() override { return "C:\\WINDOWS"; }

  CopyResult CopyFileNoOverwrite(const std::string& source, const std::string& dest) override {
    CheckTarget(dest);
    const auto content = Source(source);
    if (!content) return {CopyResult::Kind::SourceMissing, ""};
    const std::string key = Fold(dest);
    if (written.count(key) != 0) return {CopyResult::Kind::TargetExists, ""};
    written[key] = *content;
    return {CopyResult::Kind::Copied, ""};
  }
  std::optional<bool> SameContent(const std::string& source, const std::string& dest) override {
    const auto content = Source(source);
    const auto there = written.find(Fold(dest));
    if (!content || there == written.end()) return std::nullopt;
    return *content == there->second;
  }
  std::optional<std::string> CreateDirectoryTree(const std::string& dir) override {
    if (dir != kOut) Fail("a directory other than the chosen one was created: " + dir);
    return std::nullopt;
  }
  void SaveFile(const std::string& path, const std::string& bytes) override {
    CheckTarget(path);
    written[Fold(path)] = bytes;
  }
  std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> ReadSourceFile(const std::string& source,
                                            std::size_t maxBytes) override {
    auto content = Source(source);
    if (content && content->size() > maxBytes) return std::nullopt;
    return content;
  }
  std::optional<std::string> ChooseDirectory(const std::string&) override { return kOut; }
  void ShowPlainMessage(const std::string&) override {}
  void RequestApplicationEnd() override {}

 private:
  static std::optional<std::string> Source(const std::string& path) {
    const std::string folded = Fold(path);
    if (folded.rfind("C:\\WINDOWS\\", 0) != 0) Fail("a source outside the Windows directory");
    std::uint32_t hash = 2166136261u;
    for (const char c : folded) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    if (hash % 4 == 0) return std::nullopt;
    return folded;
  }
  static void CheckTarget(const std::string& path) {
    const std::string prefix = std::string(kOut) + "\\";
    if (path.rfind(prefix, 0) != 0) Fail("a write outside the chosen directory: " + path);
    const std::string name = path.substr(prefix.size());
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("\\/:") != std::string::npos) {
      Fail("a write under a name that is not a bare file name: " + path);
    }
    for (const char c : name) {
      if (static_cast<unsigned char>(c) < 0x20) Fail("a control character in a written name");
    }
  }
};

}  // namespace vormlan::fuzz
