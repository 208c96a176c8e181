#include "ui/SystemServices_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "generation/GenerationRun.h"
#include "probes/NativeArch.h"
#include "probes/Printers.h"
#include "probes/tmpc.h"

namespace vormlan::ui {

std::string SystemServices::GetOSName() {
  return probes::GetOSName();
}

std::vector<std::string> SystemServices::InstalledPrinterNames() {
  return probes::InstalledPrinterNames();
}

void SystemServices::Generate(const std::vector<std::string>& entries,
                              const std::function<bool(std::size_t)>& isSelected) {
  // The drivers of the architecture Windows runs on: x64 on 64-bit Windows
  // also for this program's 32-bit build, x86 on 32-bit Windows.
  generation::PackageOptions options;
  if (const auto machine = probes::NativeMachine()) {
    options.arch = generation::ArchOfMachine(*machine).value_or(generation::Arch::X86);
  }
  generation::Generate(registry_, host_, entries, isSelected, options);
}

void SystemServices::OpenMailLink(const std::string& url) {
  ShellExecuteA(GetActiveWindow(), nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void SystemServices::RequestApplicationEnd() {
  host_.RequestApplicationEnd();
}

}  // namespace vormlan::ui
