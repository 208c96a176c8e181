#include "registry/UnionRegistry.h"

#include <stdexcept>
#include <unordered_set>

#include "common/Unicode.h"

namespace vormlan::registry {

UnionRegistry::UnionRegistry(std::vector<std::unique_ptr<RegistryApi>> members)
    : members_(std::move(members)) {
  if (members_.empty()) throw std::invalid_argument("a union of no registries");
  for (const auto& m : members_) {
    if (!m) throw std::invalid_argument("a union with a null registry");
  }
}

TextEncoding UnionRegistry::Encoding() const {
  return members_.front()->Encoding();
}

long UnionRegistry::OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
                            KeyHandle& result) {
  KeyHandle opened = 0;
  std::size_t member = 0;
  long rc = error::FileNotFound;
  if (IsPredefined(parent)) {
    for (std::size_t i = 0; i < members_.size(); ++i) {
      rc = members_[i]->OpenKey(parent, subKey, accessMask, opened);
      if (rc == error::Success) {
        member = i;
        break;
      }
      // A refusal other than "not here" is the answer: the path was there.
      if (rc != error::FileNotFound) return rc;
    }
    if (rc != error::Success) return rc;
    if (IsPredefined(opened)) {
      result = opened;
      return rc;
    }
  } else {
    const auto it = handles_.find(parent);
    if (it == handles_.end()) return error::InvalidHandle;
    member = it->second.member;
    rc = members_[member]->OpenKey(it->second.handle, subKey, accessMask, opened);
    if (rc != error::Success) return rc;
  }
  const KeyHandle handle = next_;
  next_ += 4;
  handles_[handle] = Held{member, opened};
  result = handle;
  return error::Success;
}

long UnionRegistry::QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* size) {
  if (IsPredefined(key)) return members_.front()->QueryValue(key, name, type, data, size);
  const auto it = handles_.find(key);
  if (it == handles_.end()) return error::InvalidHandle;
  return members_[it->second.member]->QueryValue(it->second.handle, name, type, data, size);
}

long UnionRegistry::EnumSubKeys(KeyHandle key, std::vector<std::string>& names) {
  if (!IsPredefined(key)) {
    const auto it = handles_.find(key);
    if (it == handles_.end()) return error::InvalidHandle;
    return members_[it->second.member]->EnumSubKeys(it->second.handle, names);
  }
  std::vector<std::string> all;
  std::unordered_set<std::string> seen;
  for (const auto& member : members_) {
    std::vector<std::string> part;
    if (const long rc = member->EnumSubKeys(key, part); rc != error::Success) return rc;
    for (auto& name : part) {
      if (seen.insert(unicode::Fold(name)).second) all.push_back(std::move(name));
    }
  }
  names = std::move(all);
  return error::Success;
}

long UnionRegistry::CloseKey(KeyHandle key) {
  if (IsPredefined(key)) return error::Success;
  const auto it = handles_.find(key);
  if (it == handles_.end()) return error::InvalidHandle;
  const long rc = members_[it->second.member]->CloseKey(it->second.handle);
  handles_.erase(it);
  return rc;
}

std::optional<std::string> UnionRegistry::ErrorText(long code) {
  return members_.front()->ErrorText(code);
}

}  // namespace vormlan::registry
