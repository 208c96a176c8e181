// The running Windows' architecture through the Win32 API.

#include <windows.h>

#include "probes/NativeArch.h"

namespace vormlan::probes {
namespace {

using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);

}  // namespace

std::optional<unsigned> NativeMachine() {
  // Windows 10 1709 and later: the machine of the system itself, also for a
  // program that runs emulated.
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll"); kernel != nullptr) {
    const auto isWow64Process2 = reinterpret_cast<IsWow64Process2Fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process2")));
    USHORT process = 0;
    USHORT native = 0;
    if (isWow64Process2 != nullptr && isWow64Process2(GetCurrentProcess(), &process, &native)) {
      if (native != 0) return native;
    }
  }
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
      return 0x014Cu;
    case PROCESSOR_ARCHITECTURE_AMD64:
      return 0x8664u;
    case 12:  // PROCESSOR_ARCHITECTURE_ARM64
      return 0xAA64u;
    default:
      return std::nullopt;
  }
}

}  // namespace vormlan::probes
