#pragma once
// A registry held in memory: keys with case-insensitive names below the five
// predefined roots, typed values, and per-key access restrictions that model a
// user without administrative rights. It answers with the codes and texts that
// Windows gives, so the accessor behaves on it as on the real registry.
// Registry export files are loaded into it (RegFile.h).
//
// Names are compared after case folding in the registry's encoding: ANSI
// letters of Windows-1252, or Unicode's simple upper case for UTF-8. Key
// lookups are logarithmic in the number of subkeys and value lookups constant
// on average, so building and reading stay linear in the registry's size.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::registry {

struct RegistryValue {
  std::string name;  // as first written; "" is the default value
  std::uint32_t type = value_type::None;
  std::string data;  // raw bytes; strings in the registry's encoding with their NULs
};

class MemoryRegistry : public RegistryApi {
  struct Node;

 public:
  explicit MemoryRegistry(TextEncoding encoding = TextEncoding::Ansi);
  ~MemoryRegistry() override;
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

  TextEncoding Encoding() const override { return encoding_; }

  // A key found or created by CreateKey, to add several values to it without
  // looking its path up again. Valid until the key or the registry goes away.
  class KeyRef {
   public:
    KeyRef() = default;

   private:
    friend class MemoryRegistry;
    explicit KeyRef(Node* node) : node_(node) {}
    Node* node_ = nullptr;
  };

  // --- Building. Paths are relative to a predefined root, names separated by
  // "\"; empty components are skipped. Missing keys are created. Throws
  // std::invalid_argument for a handle that is not a predefined root.
  KeyRef CreateKey(KeyHandle rootKey, std::string_view path);
  // The same below parent (a key CreateKey gave, still present): keys that
  // share a parent are made without walking its path again.
  KeyRef CreateKey(KeyRef parent, std::string_view path);
  // Removes a key with everything below it; false when it does not exist.
  // Handles still open on it answer 1018 (key marked for deletion) afterwards.
  bool DeleteKey(KeyHandle rootKey, std::string_view path);
  void SetValue(KeyHandle rootKey, std::string_view path, std::string_view name, std::uint32_t type,
                std::string data);
  void SetValue(KeyRef key, std::string_view name, std::uint32_t type, std::string data);
  bool DeleteValue(KeyHandle rootKey, std::string_view path, std::string_view name);
  bool DeleteValue(KeyRef key, std::string_view name);
  // Gives back the spare room of the key's list of values, once no more are
  // expected: a loader calls it when it moves on to the next key.
  void Compact(KeyRef key);
  // Convenience: REG_SZ with its terminating NUL.
  void SetString(KeyHandle rootKey, const std::string& path, const std::string& name,
                 const std::string& text);
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
  // Makes the key at aliasPath (its parent must exist; the last component is
  // the new name) stand for the existing key at targetPath, as Windows'
  // CurrentControlSet stands for one ControlSetNNN. False, and nothing
  // changed, when the target or the alias's parent is missing or the alias
  // name is taken.
  bool AddAlias(KeyHandle rootKey, std::string_view aliasPath, std::string_view targetPath);

  // --- Inspection (for listings and tests).
  bool KeyExists(KeyHandle rootKey, std::string_view path) const;
  // Names of the direct subkeys, in the registry's order (by folded name);
  // empty when the key does not exist.
  std::vector<std::string> SubKeyNames(KeyHandle rootKey, std::string_view path) const;
  std::optional<RegistryValue> GetValue(KeyHandle rootKey, std::string_view path,
                                        std::string_view name) const;
  // The values of a key in the order they were first set; empty when the key
  // does not exist.
  std::vector<RegistryValue> Values(KeyHandle rootKey, std::string_view path) const;
  std::size_t OpenHandleCount() const { return handles_.size(); }

  // --- RegistryApi. Codes as the system gives them: 2 for a missing key or
  // value, 5 for a refused right, 6 for an unknown or closed handle, 87 for a
  // data buffer without a size, 161 for a sub-key path with a leading "\",
  // 234 for a buffer too small, 1018 for a handle of a deleted key.
  long OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
               KeyHandle& result) override;
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  long EnumSubKeys(KeyHandle key, std::vector<std::string>& names) override;
  long CloseKey(KeyHandle key) override;
  // EnglishErrorText (ErrorTexts.h).
  std::optional<std::string> ErrorText(long code) override;

 private:
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t granted = 0;
  };

  std::string Fold(std::string_view name) const;
  Node& RootNode(KeyHandle rootKey) const;
  Node* Find(KeyHandle rootKey, std::string_view path) const;
  Node& FindOrCreate(KeyHandle rootKey, std::string_view path);
  Node& FindOrCreate(Node& start, std::string_view path);
  RegistryValue* FindValue(Node& node, std::string_view name) const;
  // The node a handle (a root or an open key) stands for and the rights it
  // was opened with, or the error code of an unknown handle.
  long NodeOf(KeyHandle key, Node*& node, std::uint32_t* granted) const;

  TextEncoding encoding_;
  std::map<KeyHandle, std::shared_ptr<Node>> roots_;
  std::map<KeyHandle, Handle> handles_;
  KeyHandle nextHandle_ = 0x1000;
};

}  // namespace vormlan::registry
