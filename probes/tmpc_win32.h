#pragma once
// The Windows version record behind VersionSource (Windows builds only).

#include "probes/tmpc.h"

namespace vormlan::probes {

class Win32VersionSource : public VersionSource {
 public:
  // GetVersionExA with the 148-byte OSVERSIONINFOA, its size field set to
  // 148; nothing when the call fails.
  std::optional<VersionRecord> Query() override;
};

}  // namespace vormlan::probes
