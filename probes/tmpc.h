#pragma once
// The OS family probe: which family of Windows the program runs on, from the
// system's version record.

#include <cstdint>
#include <optional>
#include <string>

namespace vormlan::probes {

// Platform ids of the version record.
namespace platform {
inline constexpr std::uint32_t Win32s = 0;
inline constexpr std::uint32_t Windows = 1;  // the 9x family
inline constexpr std::uint32_t NT = 2;
}  // namespace platform

// The fields of the system's version record that the probes look at.
struct VersionRecord {
  std::uint32_t platformId = 0;
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
};

// Where the version record comes from: the system (Win32: GetVersionExA) or a
// test double.
class VersionSource {
 public:
  virtual ~VersionSource() = default;
  // The version record, or nothing when the system does not give one.
  virtual std::optional<VersionRecord> Query() = 0;
};

// The source of the running system. On Windows it asks GetVersionExA with the
// 148-byte record; elsewhere it never gives a record. Lives until the program
// ends.
VersionSource& SystemVersionSource();

// The family name of a version record: platform 0 "Windows 31", 1 "Windows
// 95", 2 "Windows NT" except "Windows 2000" when the major version is exactly
// 5; "" for any other platform id. Never throws.
std::string OsNameFromVersion(const VersionRecord& version);

// The family name the source reports; "" when it gives no record.
std::string GetOSName(VersionSource& source);

// The family name of the running system; "" where the system has no version
// record (every non-Windows system).
std::string GetOSName();

// Whether the source reports the NT platform (platform id 2); false when it
// gives no record.
bool IsNtPlatform(VersionSource& source);

}  // namespace vormlan::probes
