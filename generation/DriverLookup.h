#pragma once
// Finds the driver registration of one installed printer and collects what the
// INF file and the file copy need. Only reads the registry.

#include <string>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::generation {

// 2 or 3 when the driver was found under "Version-2" or "Version-3" of the
// x86 environment, 0 when under neither.
using DriverVersion = int;

struct DriverDescription {
  std::string printerName;     // the printer list entry as shown
  std::string printerKeyName;  // printerName with every "\" replaced by ","
  bool printerKeyFound = false;
  std::string driverName;
  DriverVersion driverVersion = 0;
  std::string driverKeyPath;  // absolute path the dependent files were read from
  std::string dataFile;
  std::string driverFile;
  std::string configFile;
  std::string helpFile;
  std::string monitorName;
  bool monitorFound = false;
  std::string monitorDriver;
  std::vector<std::string> dependentFiles;  // stored order, duplicates kept
};

inline constexpr char kPrintersKey[] = "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr char kDriversKey[] =
    "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers";
inline constexpr char kMonitorsKey[] = "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

// Looks the printer up below HKEY_LOCAL_MACHINE of registry.
// Throws the accessor's exceptions: ERegistryException for a value of the
// wrong type or a failed read, EExRegistryException when "Dependent Files"
// cannot be read (so a driver without that value cannot be packaged).
DriverDescription LookupDriver(registry::RegistryApi& registry, const std::string& printerName);

}  // namespace vormlan::generation
