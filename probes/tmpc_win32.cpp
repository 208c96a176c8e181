#include "probes/tmpc_win32.h"

#include <windows.h>

namespace vormlan::probes {

static_assert(sizeof(OSVERSIONINFOA) == 148, "GetVersionExA expects the 148-byte record");

std::optional<VersionRecord> Win32VersionSource::Query() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return std::nullopt;
  VersionRecord record;
  record.platformId = info.dwPlatformId;
  record.majorVersion = info.dwMajorVersion;
  record.minorVersion = info.dwMinorVersion;
  return record;
}

VersionSource& SystemVersionSource() {
  static Win32VersionSource source;
  return source;
}

}  // namespace vormlan::probes
