#include "probes/tmpc.h"

namespace vormlan::probes {

std::string OsNameFromVersion(const VersionRecord& version) {
  std::string name;
  switch (version.platformId) {
    case platform::Win32s:
      name = "Windows 31";
      break;
    case platform::Windows:
      name = "Windows 95";
      break;
    case platform::NT:
      name = "Windows NT";
      break;
    default:
      break;
  }
  if (version.platformId == platform::NT && version.majorVersion == 5) name = "Windows 2000";
  return name;
}

std::string GetOSName(VersionSource& source) {
  const auto version = source.Query();
  return version ? OsNameFromVersion(*version) : std::string();
}

std::string GetOSName() {
  return GetOSName(SystemVersionSource());
}

bool IsNtPlatform(VersionSource& source) {
  const auto version = source.Query();
  return version && version->platformId == platform::NT;
}

}  // namespace vormlan::probes
