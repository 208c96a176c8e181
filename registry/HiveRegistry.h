#pragma once
// A registry hive file (the binary "regf" format of `reg save HKLM\SYSTEM` or
// of Windows\System32\config\SYSTEM on an offline disk), read through libhivex
// and answered as a read-only registry.
//
// The hive's root key stands for one key of the registry, by default
// HKEY_LOCAL_MACHINE\SYSTEM (HiveMount). Below it, CurrentControlSet (which a hive
// never holds: Windows links it at boot) stands for the ControlSetNNN that
// Select\Current names, chosen as for an export (ControlSet.h).
//
// Names and string data are UTF-8; the hive's UTF-16LE strings are converted
// with their NULs, so sizes are those of the UTF-8 text. Names compare without
// regard to case by Unicode's simple upper case. Codes and texts are those of
// the in-memory registry for the same situations: 2 for a missing key or
// value (and for anything outside the mounted key), 6 for an unknown or closed
// handle, 87 for a data buffer without a size, 161 for a sub-key path with a
// leading "\", 234 for a buffer too small. Every access mask is granted, and a
// handle may do what its mask says, as on an export. Damage found while
// reading keys or values answers 13 (the data is invalid), like any registry
// failure; only a file that cannot be opened as a hive at all throws.
//
// Each key's subkey and value names are read from the file once, on first
// use, into an index by folded name: lookups do not scan.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "registry/RegistryApi.h"

namespace vormlan::registry {

// The file is not a readable hive. The message starts with the file's name
// and says what is wrong: "<file>: empty file", "<file>: not a registry hive
// (no regf signature)", "<file>: the hive is damaged: ...", and so on.
class HiveError : public Exception {
 public:
  explicit HiveError(const std::string& message) : Exception(message) {}
};

// Where the hive's root key appears in the registry: below the predefined
// root, at path ("\"-separated; empty means the root itself).
struct HiveMount {
  KeyHandle root = root::LocalMachine;
  std::string path = "SYSTEM";
};

// The note of DirtyNote() for the hive file.
std::optional<std::string> DirtyNote(const std::string& file);

class HiveRegistry : public RegistryApi {
 public:
  // Limits no real SYSTEM hive reaches, which keep a damaged or hostile file
  // from exhausting memory: the file's size, one value's data, and the depth
  // of keys below the hive's root (Windows' own limit).
  static constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 30;  // 1 GiB
  static constexpr std::uint32_t kMaxValueSize = 16u * 1024 * 1024;
  static constexpr std::size_t kMaxDepth = 512;
  // What the index of key and value names (ChildrenOf, ValuesOf) may hold
  // over the registry's life, each name counted twice (as read and folded)
  // plus kIndexEntryCost for its entries: the file's size bounds the names it
  // holds, not what they take once indexed (a hostile hive of ten million
  // tiny keys in one list). Lookups read only the keys on their way, so real
  // hives stay far below: a whole SOFTWARE hive indexed takes some 100 MiB.
  // Past it, the list being read answers 13 and the message says so.
  static constexpr std::size_t kMaxIndexBytes = std::size_t{256} * 1024 * 1024;
  static constexpr std::size_t kIndexEntryCost = 96;

  // Opens the hive file. Throws HiveError naming the file for a missing,
  // unreadable, empty, oversized or damaged file, a directory, a device or
  // pipe, a registry export (text) or anything else that is not a hive.
  // maxIndexBytes: the index's budget (see kMaxIndexBytes); smaller for tests.
  explicit HiveRegistry(const std::string& file, const HiveMount& mount = HiveMount{},
                        std::size_t maxIndexBytes = kMaxIndexBytes);
  ~HiveRegistry() override;
  HiveRegistry(const HiveRegistry&) = delete;
  HiveRegistry& operator=(const HiveRegistry&) = delete;

  const std::string& File() const;

  // The control set CurrentControlSet stands for ("ControlSet002"), or
  // nothing when the hive holds none (or a real key of that name).
  const std::optional<std::string>& CurrentControlSet() const;

  // One line for the user when CurrentControlSet was not chosen by
  // Select\Current ("no Select\Current value: using the only control set,
  // ControlSet001") or could not be made at all; nothing otherwise.
  const std::optional<std::string>& ControlSetNote() const;

  // One line for the user when the hive was not closed cleanly (the
  // sequence numbers of its header differ): it names the transaction logs
  // beside it (FILE.LOG1, FILE.LOG2), whose changes are not replayed. The
  // file and its folder are never written.
  const std::optional<std::string>& DirtyNote() const;

  // How many key and value names have been read from the file so far. Each
  // name is read at most once, so this stays within the number of names in
  // the keys looked at, however many lookups are made.
  std::size_t NamesRead() const;

  TextEncoding Encoding() const override { return TextEncoding::Utf8; }
  long OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
               KeyHandle& result) override;
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) override;
  long EnumSubKeys(KeyHandle key, std::vector<std::string>& names) override;
  long CloseKey(KeyHandle key) override;
  // EnglishErrorText (ErrorTexts.h).
  std::optional<std::string> ErrorText(long code) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vormlan::registry
