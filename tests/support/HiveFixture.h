#pragma once
// Registry hive files for tests, built from .reg text or from an in-memory
// registry. libhivex writes the keys and values; it cannot start a hive from
// nothing, so WriteMinimalHive lays down the smallest hive it accepts: a base
// block and one bin holding the root key and its security cell.
//
// Strings are stored in UTF-16LE as Windows stores them. Throws
// std::runtime_error naming the file when a hive cannot be written.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/MemoryRegistry.h"

struct hive_h;

namespace vormlan::test {

// A new hive at file: a root key without values and, directly below it, the
// given subkeys (ASCII names, no values). They are laid down in one pass, so
// a key with tens of thousands of subkeys costs no more than its size;
// libhivex would copy the subkey list for every key it adds.
void WriteMinimalHive(const std::filesystem::path& file,
                      const std::vector<std::string>& rootSubKeys = {});

// A hive opened for writing with libhivex. Names and string data are UTF-8.
class HiveWriter {
 public:
  using Node = std::size_t;

  explicit HiveWriter(const std::filesystem::path& file);
  ~HiveWriter();
  HiveWriter(const HiveWriter&) = delete;
  HiveWriter& operator=(const HiveWriter&) = delete;

  Node Root() const;
  // The new subkey of parent (which must not have one of that name).
  Node AddKey(Node parent, const std::string& name);
  // Replaces the values of node. Data of string types (REG_SZ, REG_EXPAND_SZ,
  // REG_MULTI_SZ) is UTF-8 and stored as UTF-16LE; other data as it is.
  void SetValues(Node node, const std::vector<registry::RegistryValue>& values);
  // Writes the hive to out (by default back to the file it was opened from).
  void Commit(const std::filesystem::path& out = {});

 private:
  struct Closer {
    void operator()(hive_h* hive) const noexcept;
  };
  std::filesystem::path file_;
  std::unique_ptr<hive_h, Closer> hive_;
};

// A new hive at file holding the keys and values below mountPath of the
// registry's predefined root mountRoot: the mount key's values become the
// root key's, its subkeys the root's subkeys. Names and strings are taken in
// the registry's encoding (Windows-1252 or UTF-8). Throws when the mount key
// does not exist.
void WriteHive(const std::filesystem::path& file, const registry::MemoryRegistry& registry,
               registry::KeyHandle mountRoot, std::string_view mountPath);

// Loads .reg text (as read from a file) into a UTF-8 registry and writes the
// keys below mountKey ("HKEY_LOCAL_MACHINE\SYSTEM", or any other key spelled
// with its root's long or short name) as a hive at file. sourceName names the
// text in the loader's messages.
void WriteHiveFromRegText(const std::filesystem::path& file, std::string_view regText,
                          std::string_view mountKey = "HKEY_LOCAL_MACHINE\\SYSTEM",
                          const std::string& sourceName = "fixture.reg");

// An export (8-bit text) of a running system's keys (below CurrentControlSet) as a hive
// saved from it holds them: in ControlSet%03d (n), which Select\Current names.
std::string AsSavedHive(std::string regText, unsigned controlSet = 1);

}  // namespace vormlan::test
