#include "generation/DriverRegistration.h"

#include <algorithm>
#include <cstdio>

#include "generation/DriverLookup.h"
#include "registry/ValueRead.h"

namespace vormlan::generation {
namespace {

using registry::KeyHandle;
using registry::RegistryApi;

// An absolute path of the lookup ("\SYSTEM\...") below HKEY_LOCAL_MACHINE.
std::string Relative(const std::string& absolute) {
  return absolute.substr(1);
}

std::string Text(RegistryApi& api, KeyHandle key, const char* name) {
  const auto value = registry::ReadValue(api, key, name);
  return value ? registry::TextOf(*value).value_or("") : "";
}

std::vector<std::string> Strings(RegistryApi& api, KeyHandle key, const char* name) {
  const auto value = registry::ReadValue(api, key, name);
  if (!value) return {};
  if (auto strings = registry::StringsOf(*value)) return *strings;
  if (auto text = registry::TextOf(*value); text && !text->empty()) return {*text};
  return {};
}

// "DriverVersion" is text on some systems and a 64-bit number (four 16-bit
// parts, most significant first) on others.
std::string VersionText(RegistryApi& api, KeyHandle key) {
  const auto value = registry::ReadValue(api, key, "DriverVersion");
  if (!value) return "";
  if (auto text = registry::TextOf(*value)) return *text;
  if (value->bytes.size() != 8) return "";
  std::uint64_t n = 0;
  for (int i = 7; i >= 0; --i) {
    n = (n << 8) | static_cast<unsigned char>(value->bytes[static_cast<std::size_t>(i)]);
  }
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", static_cast<unsigned>(n >> 48),
                static_cast<unsigned>((n >> 32) & 0xFFFF),
                static_cast<unsigned>((n >> 16) & 0xFFFF), static_cast<unsigned>(n & 0xFFFF));
  return buffer;
}

}  // namespace

const EnvironmentDriver* PrinterRegistration::In(Arch arch) const {
  for (const auto& e : environments) {
    if (e.arch == arch) return &e;
  }
  return nullptr;
}

std::vector<EnvironmentDriver> DescribeDriver(RegistryApi& api, const std::string& driverName) {
  std::vector<EnvironmentDriver> found;
  // An empty name would name the version key itself.
  if (driverName.empty()) return found;
  for (const auto& info : kArchitectures) {
    for (const int version : {2, 3, 4}) {
      const std::string path = Relative(DriversKeyOf(info.arch)) + "\\Version-" +
                               std::to_string(version) + "\\" + driverName;
      const registry::RegKey key =
          registry::OpenForReading(api, registry::root::LocalMachine, path);
      if (!key.IsOpen()) continue;
      EnvironmentDriver e;
      e.arch = info.arch;
      e.version = version;
      e.infPath = Text(api, key.Get(), "InfPath");
      e.manufacturer = Text(api, key.Get(), "Manufacturer");
      e.driverVersion = VersionText(api, key.Get());
      e.coreDependencies = Strings(api, key.Get(), "CoreDependencies");
      for (const auto& file : Strings(api, key.Get(), "Dependent Files")) {
        const auto bar = file.find('|');
        if (bar == std::string::npos || bar == 0) continue;
        const std::string package = file.substr(0, bar);
        if (std::find(e.packageDependencies.begin(), e.packageDependencies.end(), package) ==
            e.packageDependencies.end()) {
          e.packageDependencies.push_back(package);
        }
      }
      found.push_back(std::move(e));
      break;
    }
  }
  return found;
}

PrinterRegistration DescribePrinter(RegistryApi& api, const std::string& printerName) {
  PrinterRegistration r;
  r.printerName = printerName;
  std::string keyName = printerName;
  std::replace(keyName.begin(), keyName.end(), '\\', ',');
  {
    const registry::RegKey key = registry::OpenForReading(api, registry::root::LocalMachine,
                                                          Relative(kPrintersKey) + "\\" + keyName);
    if (!key.IsOpen()) return r;
    r.printerKeyFound = true;
    r.port = Text(api, key.Get(), "Port");
    r.driverName = Text(api, key.Get(), "Printer Driver");
  }
  r.environments = DescribeDriver(api, r.driverName);
  return r;
}

}  // namespace vormlan::generation
