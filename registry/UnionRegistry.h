#pragma once
// Several read-only registries seen as one, as a running Windows shows its
// hives side by side below HKEY_LOCAL_MACHINE: an offline SYSTEM hive and
// SOFTWARE hive, each mounted where it belongs (HiveMount), read together.
//
// A path is opened in the first member that opens it; handles below a
// predefined root belong to the member that gave them. A root's subkeys are
// those of every member, each name once (the first member's spelling).
// Values of the roots themselves are asked of the first member. Codes are
// the members' own. All members must use the same text encoding.

#include <memory>
#include <unordered_map>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::registry {

class UnionRegistry : public RegistryApi {
 public:
  // members must not be empty and must not hold nulls.
  explicit UnionRegistry(std::vector<std::unique_ptr<RegistryApi>> members);

  TextEncoding Encoding() const override;
  long OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
               KeyHandle& result) override;
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  long EnumSubKeys(KeyHandle key, std::vector<std::string>& names) override;
  long CloseKey(KeyHandle key) override;
  std::optional<std::string> ErrorText(long code) override;

  RegistryApi& Member(std::size_t i) { return *members_.at(i); }

 private:
  struct Held {
    std::size_t member;
    KeyHandle handle;
  };
  std::vector<std::unique_ptr<RegistryApi>> members_;
  std::unordered_map<KeyHandle, Held> handles_;
  KeyHandle next_ = 0x1000;
};

}  // namespace vormlan::registry
