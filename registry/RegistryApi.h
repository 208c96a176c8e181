#pragma once
// The narrow registry interface the accessor is written against: open a key
// below a parent, query a value, close a key, and the system's text for an
// error code. Implementations: the Win32 registry (registry_win32.h), the
// in-memory registry (MemoryRegistry.h, also fed by .reg export files), and
// test doubles.
//
// Every operation returns a Windows error code (0 = success) and behaves like
// the A-function it stands for, so that the accessor's rules hold the same way
// on every implementation.
//
// Names and string data are 8-bit text in the registry's encoding: ANSI
// (Windows-1252, what the A-functions see; the program's window) or UTF-8
// (the command line, so that no name is lost to "?"). Either way a string
// ends in one NUL byte and a multi-string in two.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vormlan::registry {

// A key handle as the registry hands it out. The predefined roots have the
// values Windows gives them; 0 is "no key".
using KeyHandle = std::uintptr_t;

namespace root {
inline constexpr KeyHandle ClassesRoot = 0x80000000u;
inline constexpr KeyHandle CurrentUser = 0x80000001u;
inline constexpr KeyHandle LocalMachine = 0x80000002u;
inline constexpr KeyHandle Users = 0x80000003u;
inline constexpr KeyHandle CurrentConfig = 0x80000005u;
}  // namespace root

// Whether a handle is one of the predefined roots, which are never closed.
constexpr bool IsPredefined(KeyHandle key) {
  return key >= 0x80000000u && key <= 0x80000006u;
}

namespace access {
inline constexpr std::uint32_t QueryValue = 0x0001;
inline constexpr std::uint32_t EnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t Notify = 0x0010;
inline constexpr std::uint32_t Read = 0x20019;          // KEY_READ
inline constexpr std::uint32_t ReadNoNotify = 0x20009;  // KEY_READ without KEY_NOTIFY
inline constexpr std::uint32_t AllAccess = 0xF003F;     // KEY_ALL_ACCESS
}  // namespace access

namespace value_type {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t Sz = 1;
inline constexpr std::uint32_t ExpandSz = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Dword = 4;
inline constexpr std::uint32_t MultiSz = 7;
inline constexpr std::uint32_t Qword = 11;
}  // namespace value_type

namespace error {
inline constexpr long Success = 0;
inline constexpr long FileNotFound = 2;
inline constexpr long AccessDenied = 5;
inline constexpr long InvalidHandle = 6;
inline constexpr long InvalidData = 13;
inline constexpr long InvalidParameter = 87;
inline constexpr long BadPathname = 161;
inline constexpr long MoreData = 234;
inline constexpr long KeyDeleted = 1018;
}  // namespace error

enum class TextEncoding { Ansi, Utf8 };

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  // The encoding of every name and string this registry takes and gives.
  virtual TextEncoding Encoding() const { return TextEncoding::Ansi; }

  // Opens subKey (a path of names separated by "\") below parent with the
  // access mask; never creates a key. On success returns 0 and stores the new
  // handle in result; opening "" below a predefined root yields the root
  // itself. On failure returns the error code and leaves result unchanged.
  virtual long OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
                       KeyHandle& result) = 0;

  // Queries the value name ("" = the default value) of key, as
  // RegQueryValueExA: type and data may be null. With data null, size
  // receives the data's size in bytes. With data given, *size is the buffer's
  // size on entry; a buffer too small gives 234 with *size set to the size
  // needed. Strings are ANSI bytes as stored, terminating NULs included.
  virtual long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* size) = 0;

  // The names of key's direct subkeys, all at once, in the registry's order
  // (what RegEnumKeyExA gives for index 0, 1, ... until no more items). On
  // failure returns the error code and leaves names unchanged.
  virtual long EnumSubKeys(KeyHandle key, std::vector<std::string>& names) = 0;

  // Releases a handle that OpenKey returned. Predefined roots are ignored.
  virtual long CloseKey(KeyHandle key) = 0;

  // The system's message text for an error code, as the system returns it
  // (trailing line break included), or nothing when it has none.
  virtual std::optional<std::string> ErrorText(long code) = 0;
};

// Owns one open key of a RegistryApi: move-only, closes on destruction, and
// never closes a predefined root (which OpenKey may hand back for "").
class RegKey {
 public:
  RegKey() = default;
  RegKey(RegistryApi& api, KeyHandle handle) : api_(&api), handle_(handle) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept
      : api_(std::exchange(other.api_, nullptr)), handle_(std::exchange(other.handle_, 0)) {}
  RegKey& operator=(RegKey&& other) noexcept {
    if (this != &other) {
      Close();
      api_ = std::exchange(other.api_, nullptr);
      handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
  }
  ~RegKey() { Close(); }

  KeyHandle Get() const { return handle_; }
  bool IsOpen() const { return handle_ != 0; }

  void Close() noexcept {
    if (api_ != nullptr && handle_ != 0 && !IsPredefined(handle_)) api_->CloseKey(handle_);
    handle_ = 0;
  }

 private:
  RegistryApi* api_ = nullptr;
  KeyHandle handle_ = 0;
};

}  // namespace vormlan::registry
