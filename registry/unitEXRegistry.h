#pragma once
// The registry accessor: one current key, keys opened by absolute or relative
// path, string and multi-string reads with the program's own error rules.
//
// Path rule: a path whose first character is "\" is absolute (the "\" is
// dropped and the rest opened below the root); any other path, the empty one
// included, is relative: opened below the current key when one is open, else
// below the root. The empty relative path names the current key itself.

#include <cstdint>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "registry/RegistryApi.h"

namespace vormlan::registry {

// The accessor's error; the message is shown to the user as it stands.
class ERegistryException : public Exception {
 public:
  explicit ERegistryException(const std::string& message) : Exception(message) {}
};

// A multi-string read that failed with a system error code. The message is
// "Error <code> : <system text>" (or "Error <code>" when the system has no
// text), then ":", then the given text.
class EExRegistryException : public ERegistryException {
 public:
  EExRegistryException(RegistryApi& api, const std::string& text, long errorCode);

  long ErrorCode() const { return errorCode_; }

 private:
  long errorCode_;
};

class TRegistry {
 public:
  // No key open, root HKEY_CURRENT_USER, access mask KEY_ALL_ACCESS.
  explicit TRegistry(RegistryApi& api);
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;
  virtual ~TRegistry() = default;

  // Changes the root; when it differs from the current root the current key is
  // closed first.
  void SetRoot(KeyHandle rootKey);
  KeyHandle Root() const { return root_; }

  // The mask OpenPath uses.
  void SetAccess(std::uint32_t accessMask) { accessMask_ = accessMask; }
  std::uint32_t Access() const { return accessMask_; }

  // Opens path with the access mask; never creates a key. True: the previous
  // current key is closed, the new key is current and CurrentPath() is the
  // path without its leading "\" (a relative path opened below a current key
  // is appended to the old path with a "\"). False: nothing changed.
  bool OpenPath(const std::string& path);

  // As OpenPath, trying KEY_READ, then 0x20009, then KEY_QUERY_VALUE; the mask
  // that worked becomes the access mask. False when all three fail (nothing changed).
  bool OpenPathForReading(const std::string& path);

  // Whether path opens with mask 0x20009. The key is closed again at once;
  // neither the current key nor the access mask changes.
  bool PathExists(const std::string& path);

  // Reads a string value of the current key, up to its first NUL.
  // Empty when the value cannot be queried (missing, or no key open) or its
  // size is 0, whatever its type. REG_EXPAND_SZ comes back unexpanded.
  // Throws ERegistryException "Failed to get data for '<name>'" when the read
  // of the data fails and "Invalid data type for '<name>'" when the value is
  // neither REG_SZ nor REG_EXPAND_SZ.
  std::string ReadText(const std::string& name);

  // Releases the current key (if any) and clears CurrentPath().
  void CloseCurrent();

  bool HasCurrentKey() const { return current_.IsOpen(); }
  KeyHandle CurrentKey() const { return current_.Get(); }
  const std::string& CurrentPath() const { return currentPath_; }

 protected:
  RegistryApi& Api() const { return api_; }

 private:
  // Opens path (path rule) with mask; returns the error code, the key on success.
  long OpenRaw(const std::string& path, std::uint32_t mask, RegKey& key);
  void MakeCurrent(RegKey key, const std::string& path);

  RegistryApi& api_;
  KeyHandle root_ = root::CurrentUser;
  RegKey current_;
  std::string currentPath_;
  std::uint32_t accessMask_ = access::AllAccess;
};

class TExRegistry : public TRegistry {
 public:
  using TRegistry::TRegistry;

  // Reads a REG_MULTI_SZ value of the current key into list (cleared first),
  // one entry per string in stored order, stopping at the first empty string
  // or the end of the data; never reads past the data.
  // Throws EExRegistryException ("...:Unable read MULTI_SZ value") with the
  // system code when the value cannot be queried or read, and
  // ERegistryException "String list expected" when it is of another type.
  // On an exception the list is left empty.
  void ReadMultiSz(const std::string& name, std::vector<std::string>& list);
};

}  // namespace vormlan::registry
