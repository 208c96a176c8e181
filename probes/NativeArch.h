#pragma once
// The architecture Windows runs on, which is not always the program's own:
// a 32-bit program runs under WoW64 on 64-bit Windows, and x64 programs
// under emulation on Windows on ARM.

#include <optional>
#include <string_view>

namespace vormlan::probes {

// "x86", "x64" or "arm64" for the running Windows; nothing on a system that
// is not Windows or whose machine is none of these. Asks IsWow64Process2
// where the system has it, else GetNativeSystemInfo.
std::optional<std::string_view> NativeArchName();

// The name for an IMAGE_FILE_MACHINE_* value (0x014C, 0x8664, 0xAA64), or
// nothing.
constexpr std::optional<std::string_view> ArchNameOfMachine(unsigned machine) {
  switch (machine) {
    case 0x014C:
      return "x86";
    case 0x8664:
      return "x64";
    case 0xAA64:
      return "arm64";
    default:
      return std::nullopt;
  }
}

}  // namespace vormlan::probes
