#pragma once
// The program's own FormServices: the system probes, generation runs against
// a registry through a host, the shell's mail link and the host's end request.

#include <optional>

#include "host/HostServices.h"
#include "print/Architecture.h"
#include "probes/Printers.h"
#include "registry/RegistryApi.h"
#include "ui/FormServices.h"

namespace vormlan::ui {

class SystemServices : public FormServices {
 public:
  // registry and host must outlive the services. With UTF-8, printer names
  // come from the spooler's W-functions and reach the registry and the host
  // in UTF-8 (the registry and host must read UTF-8 then), and an INF whose
  // names the INF code page cannot hold is written in UTF-16.
  SystemServices(registry::RegistryApi& registry, generation::HostServices& host,
                 registry::TextEncoding encoding = registry::TextEncoding::Ansi);

  // probes::GetOSName() of the running system.
  std::string GetOSName() override;
  // The spooler's printers: listed once per program run.
  std::vector<std::string> InstalledPrinterNames() override;
  // generation::Generate over the registry and host, for the architecture
  // Windows runs on.
  void Generate(const std::vector<std::string>& entries,
                const std::function<bool(std::size_t)>& isSelected) override;
  // The same for the named architecture ("x86", "x64", "arm64").
  void Generate(const std::vector<std::string>& entries,
                const std::function<bool(std::size_t)>& isSelected,
                const std::string& architecture) override;
  // The environments registering the printer's driver; the architecture
  // Windows runs on is preferred.
  ArchitectureChoice ArchitecturesOf(const std::string& printer) override;
  // the shell's default action (ShellExecuteA), window shown normally; the result is ignored.
  void OpenMailLink(const std::string& url) override;
  // host.RequestApplicationEnd().
  void RequestApplicationEnd() override;

 private:
  void Generate(const std::vector<std::string>& entries,
                const std::function<bool(std::size_t)>& isSelected, generation::Arch arch);

  registry::RegistryApi& registry_;
  generation::HostServices& host_;
  registry::TextEncoding encoding_;
  std::optional<probes::PrinterService> printers_;  // the UTF-8 list
};

}  // namespace vormlan::ui
