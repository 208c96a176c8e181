#pragma once
// The driver architectures the command line can package, and what each one
// means in the registry, in the driver store and in an INF file. The window
// only ever uses Arch::X86, whose entry holds the program's original names.

#include <array>
#include <optional>
#include <string_view>

namespace vormlan::generation {

enum class Arch { X86, X64, Arm64 };

struct ArchInfo {
  Arch arch;
  std::string_view name;         // as on the command line: "x86", "x64", "arm64"
  std::string_view environment;  // the print environment's key name
  // The environment's folder below System32\Spool\Drivers (the driver
  // store) and below System32\Spool\Prtprocs (its print processors).
  std::string_view storeFolder;
  std::string_view decoration;    // models decoration written; empty: none
  std::string_view platform;      // an INF's platform decoration: "NTx86", "NTamd64"
  std::string_view sourceSuffix;  // of [SourceDisksNames] and [SourceDisksFiles]
  unsigned peMachine;             // IMAGE_FILE_MACHINE_* of its PE images
};

inline constexpr std::array<ArchInfo, 3> kArchitectures = {{
    {Arch::X86, "x86", "Windows NT x86", "w32x86", "", "NTx86", "x86", 0x014C},
    {Arch::X64, "x64", "Windows x64", "x64", "NTamd64", "NTamd64", "amd64", 0x8664},
    {Arch::Arm64, "arm64", "Windows ARM64", "arm64", "NTarm64", "NTarm64", "arm64", 0xAA64},
}};

constexpr const ArchInfo& InfoOf(Arch arch) {
  for (const auto& info : kArchitectures) {
    if (info.arch == arch) return info;
  }
  return kArchitectures[0];
}

// The architecture whose PE images carry machine (IMAGE_FILE_MACHINE_*), or
// nothing.
constexpr std::optional<Arch> ArchOfMachine(unsigned machine) {
  for (const auto& info : kArchitectures) {
    if (info.peMachine == machine) return info.arch;
  }
  return std::nullopt;
}

// The architecture named on the command line ("x86", "x64", "arm64"; case
// ignored), or nothing.
constexpr std::optional<Arch> ParseArch(std::string_view name) {
  for (const auto& info : kArchitectures) {
    if (info.name.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      char c = name[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      same = c == info.name[i];
    }
    if (same) return info.arch;
  }
  return std::nullopt;
}

}  // namespace vormlan::generation
