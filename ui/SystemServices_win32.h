#pragma once
// The program's own FormServices: the system probes, generation runs against
// a registry through a host, the shell's mail link and the host's end request.

#include "host/HostServices.h"
#include "registry/RegistryApi.h"
#include "ui/FormServices.h"

namespace vormlan::ui {

class SystemServices : public FormServices {
 public:
  // registry and host must outlive the services.
  SystemServices(registry::RegistryApi& registry, generation::HostServices& host)
      : registry_(registry), host_(host) {}

  // probes::GetOSName() of the running system.
  std::string GetOSName() override;
  // probes::InstalledPrinterNames(): listed once per program run.
  std::vector<std::string> InstalledPrinterNames() override;
  // generation::Generate over the registry and host.
  void Generate(const std::vector<std::string>& entries,
                const std::function<bool(std::size_t)>& isSelected) override;
  // the shell's default action (ShellExecuteA), window shown normally; the result is ignored.
  void OpenMailLink(const std::string& url) override;
  // host.RequestApplicationEnd().
  void RequestApplicationEnd() override;

 private:
  registry::RegistryApi& registry_;
  generation::HostServices& host_;
};

}  // namespace vormlan::ui
