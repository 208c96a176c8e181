#pragma once
// A registry held in memory: keys with case-insensitive names below the five
// predefined roots, typed values, and per-key access restrictions that model a
// user without administrative rights. It answers with the codes and texts that
// Windows gives, so the accessor behaves on it as on the real registry.
// Registry export files are loaded into it (RegFile.h).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::registry {

struct RegistryValue {
  std::string name;  // as first written; "" is the default value
  std::uint32_t type = value_type::None;
  std::string data;  // raw bytes; strings in ANSI with their NUL terminators
};

class MemoryRegistry : public RegistryApi {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

  // --- Building. Paths are relative to a predefined root, names separated by
  // "\"; empty components are skipped. Missing keys are created. Throws
  // std::invalid_argument for a handle that is not a predefined root.
  void CreateKey(KeyHandle rootKey, const std::string& path);
  // Removes a key with everything below it; false when it does not exist.
  // Handles still open on it answer 1018 (key marked for deletion) afterwards.
  bool DeleteKey(KeyHandle rootKey, const std::string& path);
  void SetValue(KeyHandle rootKey, const std::string& path, const std::string& name,
                std::uint32_t type, std::string data);
  bool DeleteValue(KeyHandle rootKey, const std::string& path, const std::string& name);
  // Convenience: REG_SZ with its terminating NUL.
  void SetString(KeyHandle rootKey, const std::string& path, const std::string& name,
                 const std::string& ansiText);
  // Convenience: REG_MULTI_SZ, each string NUL-terminated, then the final NUL.
  void SetMultiString(KeyHandle rootKey, const std::string& path, const std::string& name,
                      const std::vector<std::string>& strings);
  void SetDword(KeyHandle rootKey, const std::string& path, const std::string& name,
                std::uint32_t value);
  // An open of this key (and, when recursive, of every key now below it)
  // asking for any right outside allowedMask is refused with code 5. The key
  // is created when missing. Opening "" below a root hands back the root
  // itself and is never refused.
  void RestrictAccess(KeyHandle rootKey, const std::string& path, std::uint32_t allowedMask,
                      bool recursive = false);

  // --- Inspection (for listings and tests).
  bool KeyExists(KeyHandle rootKey, const std::string& path) const;
  // Names of the direct subkeys, in the registry's order (case-insensitive
  // alphabetical); empty when the key does not exist.
  std::vector<std::string> SubKeyNames(KeyHandle rootKey, const std::string& path) const;
  std::optional<RegistryValue> GetValue(KeyHandle rootKey, const std::string& path,
                                        const std::string& name) const;
  std::size_t OpenHandleCount() const { return handles_.size(); }

  // --- RegistryApi. Codes as the system gives them: 2 for a missing key or
  // value, 5 for a refused right, 6 for an unknown or closed handle, 87 for a
  // data buffer without a size, 161 for a sub-key path with a leading "\",
  // 234 for a buffer too small, 1018 for a handle of a deleted key.
  long OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
               KeyHandle& result) override;
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  long CloseKey(KeyHandle key) override;
  // Windows' own English texts for the codes this registry returns, each
  // ending in "\r\n"; nothing for other codes.
  std::optional<std::string> ErrorText(long code) override;

 private:
  struct Node;
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t granted = 0;
  };

  Node& RootNode(KeyHandle rootKey) const;
  Node* Find(KeyHandle rootKey, const std::string& path) const;
  Node& FindOrCreate(KeyHandle rootKey, const std::string& path);

  std::map<KeyHandle, std::shared_ptr<Node>> roots_;
  std::map<KeyHandle, Handle> handles_;
  KeyHandle nextHandle_ = 0x1000;
};

}  // namespace vormlan::registry
