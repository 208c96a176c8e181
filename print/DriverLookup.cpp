#include "print/DriverLookup.h"

#include <algorithm>

#include "print/PrintQueues.h"
#include "registry/unitEXRegistry.h"

namespace vormlan::generation {

using registry::TExRegistry;
using registry::TRegistry;

std::string DriversKeyOf(Arch arch) {
  return std::string(kEnvironmentsKey) + "\\" + std::string(InfoOf(arch).environment) + "\\Drivers";
}

namespace {

// The steps from the driver name on, with accessor a where the printer's
// steps left it: the version search, the file values, the monitor and the
// dependent files. keyPath is the printer key's path (or empty).
void LookupRegistration(registry::RegistryApi& api, TRegistry& a, std::string keyPath,
                        DriverDescription& d) {
  const std::string drivers = DriversKeyOf(d.arch);
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
  a.CloseCurrent();

  TExRegistry b(api);
  b.SetRoot(registry::root::LocalMachine);
  b.OpenPathForReading(keyPath);
  b.ReadMultiSz("Dependent Files", d.dependentFiles);
  d.driverKeyPath = keyPath;
  b.CloseCurrent();
}

// The lookup only reads, so its keys are opened with read access: with full
// access every open fails for a user without administrative rights and the
// steps would read from the wrong key.
void ForReading(TRegistry& a) {
  a.SetRoot(registry::root::LocalMachine);
  a.SetAccess(registry::access::Read);
}

}  // namespace

DriverDescription LookupDriver(registry::RegistryApi& api, const std::string& printerName,
                               Arch arch) {
  DriverDescription d;
  d.arch = arch;
  d.encoding = api.Encoding();
  d.printerName = printerName;
  d.printerKeyName = PrinterKeyName(printerName);
  const std::string keyPath = PrinterKeyPath(api, d.printerKeyName);

  TRegistry a(api);
  ForReading(a);
  if (a.OpenPath(keyPath)) {
    d.printerKeyFound = true;
    d.driverName = a.ReadText("Printer Driver");
  }
  LookupRegistration(api, a, keyPath, d);
  return d;
}

DriverDescription LookupDriverByName(registry::RegistryApi& api, const std::string& driverName,
                                     Arch arch) {
  DriverDescription d;
  d.arch = arch;
  d.encoding = api.Encoding();
  d.printerKeyFound = true;
  d.driverName = driverName;
  TRegistry a(api);
  ForReading(a);
  LookupRegistration(api, a, std::string(), d);
  return d;
}

}  // namespace vormlan::generation
