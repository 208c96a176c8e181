#include "ui/SystemServices_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "common/Exception.h"
#include "common/Quoted.h"
#include "generation/GenerationRun.h"
#include "print/DriverRegistration.h"
#include "probes/NativeArch.h"
#include "probes/Printers_win32.h"
#include "probes/tmpc.h"

namespace vormlan::ui {

namespace {

// The architecture Windows runs on: x64 on 64-bit Windows also for this
// program's 32-bit build, x86 on 32-bit Windows.
generation::Arch NativeArch() {
  if (const auto machine = probes::NativeMachine()) {
    return generation::ArchOfMachine(*machine).value_or(generation::Arch::X86);
  }
  return generation::Arch::X86;
}

}  // namespace

SystemServices::SystemServices(registry::RegistryApi& registry, generation::HostServices& host,
                               registry::TextEncoding encoding)
    : registry_(registry), host_(host), encoding_(encoding) {
  if (encoding_ == registry::TextEncoding::Utf8) {
    printers_.emplace([] { return probes::InstalledPrinterNamesUtf8(); });
  }
}

std::string SystemServices::GetOSName() {
  return probes::GetOSName();
}

std::vector<std::string> SystemServices::InstalledPrinterNames() {
  return printers_ ? printers_->Names() : probes::InstalledPrinterNames();
}

void SystemServices::Generate(const std::vector<std::string>& entries,
                              const std::function<bool(std::size_t)>& isSelected) {
  Generate(entries, isSelected, NativeArch());
}

void SystemServices::Generate(const std::vector<std::string>& entries,
                              const std::function<bool(std::size_t)>& isSelected,
                              const std::string& architecture) {
  if (architecture.empty()) return Generate(entries, isSelected);
  const auto arch = generation::ParseArch(architecture);
  if (!arch) throw Exception("Unknown architecture " + Quoted(architecture));
  Generate(entries, isSelected, *arch);
}

void SystemServices::Generate(const std::vector<std::string>& entries,
                              const std::function<bool(std::size_t)>& isSelected,
                              generation::Arch arch) {
  generation::PackageOptions options;
  options.arch = arch;
  options.utf16WhereNeeded = encoding_ == registry::TextEncoding::Utf8;
  generation::Generate(registry_, host_, entries, isSelected, options);
}

ArchitectureChoice SystemServices::ArchitecturesOf(const std::string& printer) {
  ArchitectureChoice choice;
  const generation::Arch native = NativeArch();
  // 32-bit Windows packages its own drivers only, as the window always has,
  // even where a print server keeps other architectures' drivers for its
  // clients: page 2 stays as it is there.
  if (native == generation::Arch::X86) return choice;
  try {
    const generation::PrinterRegistration registration =
        generation::DescribePrinter(registry_, printer);
    for (const auto& environment : registration.environments) {
      if (environment.arch == native) choice.preferred = choice.names.size();
      choice.names.emplace_back(generation::InfoOf(environment.arch).name);
    }
  } catch (const std::exception&) {
    // Unreadable: no choice is offered, and Generate reports the error.
    return {};
  }
  return choice;
}

void SystemServices::OpenMailLink(const std::string& url) {
  ShellExecuteA(GetActiveWindow(), nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void SystemServices::RequestApplicationEnd() {
  host_.RequestApplicationEnd();
}

}  // namespace vormlan::ui
