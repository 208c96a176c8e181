#include "generation/DriverLookup.h"

#include <algorithm>

#include "registry/unitEXRegistry.h"

namespace vormlan::generation {

using registry::TExRegistry;
using registry::TRegistry;

std::string DriversKeyOf(Arch arch) {
  return std::string(kEnvironmentsKey) + "\\" + std::string(InfoOf(arch).environment) + "\\Drivers";
}

DriverDescription LookupDriver(registry::RegistryApi& api, const std::string& printerName,
                               Arch arch) {
  DriverDescription d;
  d.arch = arch;
  d.encoding = api.Encoding();
  d.printerName = printerName;
  d.printerKeyName = printerName;
  std::replace(d.printerKeyName.begin(), d.printerKeyName.end(), '\\', ',');
  std::string keyPath = std::string(kPrintersKey) + "\\" + d.printerKeyName;

  {
    // The lookup only reads, so its keys are opened with read access: with
    // full access every open fails for a user without administrative rights
    // and the steps below would read from the wrong key.
    TRegistry a(api);
    a.SetRoot(registry::root::LocalMachine);
    a.SetAccess(registry::access::Read);

    if (a.OpenPath(keyPath)) {
      d.printerKeyFound = true;
      d.driverName = a.ReadText("Printer Driver");
    }

    const std::string drivers = DriversKeyOf(arch);
    const std::string version2 = drivers + "\\Version-2";
    const std::string version3 = drivers + "\\Version-3";
    a.OpenPath(version2);
    if (a.PathExists(d.driverName)) {
      d.driverVersion = 2;
      keyPath = version2 + "\\" + d.driverName;
      a.OpenPath(keyPath);
    } else {
      a.OpenPath(version3);
      if (a.PathExists(d.driverName)) {
        d.driverVersion = 3;
        keyPath = version3 + "\\" + d.driverName;
        a.OpenPath(keyPath);
      }
    }

    d.dataFile = a.ReadText("Data File");
    d.driverFile = a.ReadText("Driver");
    d.configFile = a.ReadText("Configuration File");
    d.helpFile = a.ReadText("Help File");
    d.monitorName = a.ReadText("Monitor");

    if (!d.monitorName.empty() && a.OpenPath(std::string(kMonitorsKey) + "\\" + d.monitorName)) {
      d.monitorFound = true;
      d.monitorDriver = a.ReadText("Driver");
    }
  }

  TExRegistry b(api);
  b.SetRoot(registry::root::LocalMachine);
  b.OpenPathForReading(keyPath);
  b.ReadMultiSz("Dependent Files", d.dependentFiles);
  d.driverKeyPath = keyPath;
  b.CloseCurrent();
  return d;
}

}  // namespace vormlan::generation
