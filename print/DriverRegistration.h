#pragma once
// What the registry says about a printer's driver in every environment, for
// the command line: listings, advice when a lookup finds nothing, and the
// driver store's own package. Reads only, and never throws for odd values:
// whatever cannot be read is simply left out.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "print/Architecture.h"
#include "registry/RegistryApi.h"

namespace vormlan::generation {

// The driver's registration in one environment.
struct EnvironmentDriver {
  Arch arch = Arch::X86;
  // 2, 3 or 4: the first of "Version-2", "Version-3", "Version-4" that holds
  // the driver, in the order the lookup tries them.
  int version = 0;
  std::string infPath;        // "InfPath": the driver store's INF
  std::string manufacturer;   // "Manufacturer"
  std::string driverVersion;  // "DriverVersion", as text (a.b.c.d for a number)
  // Inbox packages a version 4 driver builds on: the "CoreDependencies"
  // strings and the package names before "|" in "Dependent Files".
  std::vector<std::string> coreDependencies;
  std::vector<std::string> packageDependencies;
};

struct PrinterRegistration {
  std::string printerName;
  bool printerKeyFound = false;
  std::string port;                             // "Port" of the printer key
  std::string driverName;                       // "Printer Driver" of the printer key
  std::vector<EnvironmentDriver> environments;  // x86, x64, arm64 order; only those found

  // The registration in arch's environment, or null.
  const EnvironmentDriver* In(Arch arch) const;
};

// A driver as an environment registers it, for the inventory of a registry.
struct RegisteredDriver {
  std::string name;         // the driver key's name, as spelled there
  std::string environment;  // the environment's key name ("Windows x64")
  // The architecture of a known environment ("Windows 4.0" and "Windows
  // IA64" are none); details.arch is meaningful only where this is set.
  std::optional<Arch> arch;
  EnvironmentDriver details;  // version from the "Version-N" key
};

// Every driver of every environment and version below
// Control\Print\Environments, in the registry's order: environments, then
// versions, then drivers. Linear in the number of keys read.
std::vector<RegisteredDriver> ListDrivers(registry::RegistryApi& registry);

// The driver's name as its key spells it in arch's environment (names are
// matched as Windows matches them, without regard to case), looked for in
// Version-2, Version-3 and Version-4 in that order, with that version's
// details; nothing when none of them holds it. With spelled, name is taken
// as the key spells it (a name ListDrivers gave), which spares reading the
// version key's list of names: a run over every driver stays linear.
std::optional<RegisteredDriver> FindDriver(registry::RegistryApi& registry, Arch arch,
                                           const std::string& name, bool spelled = false);

// The printer's key and its driver in every environment. printerName is as
// listed (a connection's "\\srv\queue" is looked up as ",,srv,queue").
PrinterRegistration DescribePrinter(registry::RegistryApi& registry,
                                    const std::string& printerName);

// The driver name's registrations in every environment.
std::vector<EnvironmentDriver> DescribeDriver(registry::RegistryApi& registry,
                                              const std::string& driverName);

// What a package staged in the driver store needs beyond the composed INF:
// the driver key's version, provider, print processor, color profiles and
// package attributes. Values are as the registry holds them, unchecked.
struct StagingDetails {
  // "DriverDate" as stored (mm/dd/yyyy), or where only "DriverDateData"
  // (a FILETIME) is there, its day in that form; empty when neither is.
  std::string driverDate;
  std::string driverVersion;   // "DriverVersion", as text (a.b.c.d for a number)
  std::string provider;        // "Provider"
  std::string manufacturer;    // "Manufacturer"
  std::string printProcessor;  // "Print Processor"
  // The "Driver" value of the environment's Print Processors\<name> key;
  // nothing when that key is not there.
  std::optional<std::string> printProcessorFile;
  std::vector<std::string> colorProfiles;         // "ColorProfiles"
  std::optional<std::uint32_t> driverAttributes;  // "PrinterDriverAttributes"
  std::vector<std::string> coreDependencies;      // "CoreDependencies"
};

// PRINTER_DRIVER_PACKAGE_AWARE of "PrinterDriverAttributes".
inline constexpr std::uint32_t kPackageAwareAttribute = 0x1;

// Reads the staging details from the driver key at driverKeyPath (an
// absolute path as DriverDescription::driverKeyPath holds it) in arch's
// environment. Never throws: what cannot be read stays empty.
StagingDetails ReadStagingDetails(registry::RegistryApi& registry, Arch arch,
                                  const std::string& driverKeyPath);

}  // namespace vormlan::generation
