#pragma once
// Finds the driver registration of one installed printer and collects what the
// INF file and the file copy need. Only reads the registry.

#include <string>
#include <vector>

#include "print/Architecture.h"
#include "registry/RegistryApi.h"

namespace vormlan::generation {

// 2 or 3 when the driver was found under "Version-2" or "Version-3" of the
// environment (x86 for the window), 0 when under neither.
using DriverVersion = int;

struct DriverDescription {
  Arch arch = Arch::X86;  // the environment looked in
  // The encoding of every text below: the registry's.
  registry::TextEncoding encoding = registry::TextEncoding::Ansi;
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

// SYSTEM's Printers key; PrintQueues.h tells where a queue's key is.
inline constexpr char kPrintersKey[] = "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr char kEnvironmentsKey[] =
    "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments";
inline constexpr char kMonitorsKey[] = "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

// The absolute path of an environment's driver key: kEnvironmentsKey, the
// environment and "Drivers".
std::string DriversKeyOf(Arch arch);

// Looks the printer up below HKEY_LOCAL_MACHINE of registry, in the drivers
// of the given environment (x86 for the window). The printer's key is the
// one PrinterKeyPath names: SYSTEM's on a running system, SOFTWARE's where
// only that hive holds the queue (an offline disk since Windows Vista).
// Throws the accessor's exceptions: ERegistryException for a value of the
// wrong type or a failed read, EExRegistryException when "Dependent Files"
// cannot be read (so a driver without that value cannot be packaged).
DriverDescription LookupDriver(registry::RegistryApi& registry, const std::string& printerName,
                               Arch arch = Arch::X86);

// As LookupDriver for a queue whose "Printer Driver" is driverName: the same
// description, found key and all (printerName stays empty). For drivers that
// no queue uses. Throws as LookupDriver does.
DriverDescription LookupDriverByName(registry::RegistryApi& registry, const std::string& driverName,
                                     Arch arch);

}  // namespace vormlan::generation
