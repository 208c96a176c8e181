#pragma once
// The architecture Windows runs on, which is not always the program's own:
// a 32-bit program runs under WoW64 on 64-bit Windows, and x64 programs
// under emulation on Windows on ARM.

#include <optional>

namespace vormlan::probes {

// The machine of the running Windows as an IMAGE_FILE_MACHINE_* value
// (0x014C x86, 0x8664 x64, 0xAA64 arm64); nothing on a system that is not
// Windows or whose machine is none of these. Asks IsWow64Process2 where the
// system has it, else GetNativeSystemInfo.
std::optional<unsigned> NativeMachine();

}  // namespace vormlan::probes
