#pragma once
// Advice for a printer whose driver could not be looked up: what the
// registry holds instead, and which option would find it.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "print/Architecture.h"
#include "print/DriverRegistration.h"
#include "registry/RegistryApi.h"

namespace vormlan::cli {

// A printer's registration (DescribePrinter), read when first asked for and
// then kept: the checks, the store choice and the hints of one run share
// one reading, and a run that needs none of them reads nothing.
class PrinterRegistrationOnce {
 public:
  PrinterRegistrationOnce(registry::RegistryApi& registry, std::string printerName)
      : registry_(registry), printerName_(std::move(printerName)) {}
  const generation::PrinterRegistration& Get();

 private:
  registry::RegistryApi& registry_;
  std::string printerName_;
  std::optional<generation::PrinterRegistration> registration_;
};

// The hints for a printer whose lookup in arch's environment failed, from
// its registration as read for the run: for an unknown printer that it is
// unknown, the names close to it (registry gives the printer list) and the
// list command; for a driver registered only elsewhere the --arch to use;
// for a version 4 driver the driver store. Empty when there is nothing to add.
std::vector<std::string> LookupHints(registry::RegistryApi& registry,
                                     const generation::PrinterRegistration& printer,
                                     generation::Arch arch);

// The names among candidates (name itself aside) that are a few edits from
// name once case and blanks are ignored: the closest first, at most three;
// only those that differ in nothing else when there are any.
// The number of edits allowed grows with the name's length; names shorter
// than four letters must match but for case and blanks. Linear in the
// number of candidates.
std::vector<std::string> CloseNames(const std::vector<std::string>& candidates,
                                    const std::string& name);

// The hints for a driver name that arch's environment does not register:
// the architectures that do (with the --arch to use), names that differ only
// in case or blanks, and the list command.
std::vector<std::string> DriverHints(registry::RegistryApi& registry, const std::string& driverName,
                                     generation::Arch arch);

// Throws vormlan::Exception when the registration is a version 4 driver,
// which a composed INF cannot install. whose, when not empty, names the
// printer that uses it.
void RefuseVersion4(const std::string& driverName, const std::string& printerName,
                    const generation::EnvironmentDriver& registration);

// The registration of driverName in arch's environment, for composing an
// INF. Throws vormlan::Exception, with DriverHints, when the environment
// does not register it, and with refuseVersion4 as RefuseVersion4 does for a
// version 4 driver. spelled: as FindDriver's.
generation::RegisteredDriver ComposableDriver(registry::RegistryApi& registry,
                                              const std::string& driverName, generation::Arch arch,
                                              bool refuseVersion4 = true, bool spelled = false);

// Throws vormlan::Exception when the printer's driver is registered in
// arch's environment only as a version 4 driver (x64 and arm64), which a
// composed INF cannot install.
void RefuseVersion4Only(const generation::PrinterRegistration& printer, generation::Arch arch);

}  // namespace vormlan::cli
