#include "print/DriverRegistration.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "common/Unicode.h"
#include "print/DriverLookup.h"
#include "print/PrintQueues.h"
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

void ReadDetails(RegistryApi& api, KeyHandle key, EnvironmentDriver& e) {
  e.infPath = Text(api, key, "InfPath");
  e.manufacturer = Text(api, key, "Manufacturer");
  e.driverVersion = VersionText(api, key);
  e.coreDependencies = Strings(api, key, "CoreDependencies");
  for (const auto& file : Strings(api, key, "Dependent Files")) {
    const auto bar = file.find('|');
    if (bar == std::string::npos || bar == 0) continue;
    std::string package = file.substr(0, bar);
    if (std::find(e.packageDependencies.begin(), e.packageDependencies.end(), package) ==
        e.packageDependencies.end()) {
      e.packageDependencies.push_back(std::move(package));
    }
  }
}

// The number of a "Version-N" key name, or nothing.
std::optional<int> VersionNumber(const std::string& name) {
  constexpr std::string_view prefix = "version-";
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 2) return std::nullopt;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return std::nullopt;
  }
  int n = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

std::optional<Arch> ArchOfEnvironment(const std::string& environment) {
  const std::string folded = unicode::Fold(environment);
  for (const auto& info : kArchitectures) {
    if (unicode::Fold(info.environment) == folded) return info.arch;
  }
  return std::nullopt;
}

std::vector<std::string> SubKeys(RegistryApi& api, KeyHandle key) {
  std::vector<std::string> names;
  if (api.EnumSubKeys(key, names) != registry::error::Success) names.clear();
  return names;
}

}  // namespace

std::vector<RegisteredDriver> ListDrivers(RegistryApi& api) {
  std::vector<RegisteredDriver> found;
  const registry::RegKey environments =
      registry::OpenForReading(api, registry::root::LocalMachine, Relative(kEnvironmentsKey));
  if (!environments.IsOpen()) return found;
  for (const auto& environment : SubKeys(api, environments.Get())) {
    const registry::RegKey drivers =
        registry::OpenForReading(api, environments.Get(), environment + "\\Drivers");
    if (!drivers.IsOpen()) continue;
    const std::optional<Arch> arch = ArchOfEnvironment(environment);
    for (const auto& versionKey : SubKeys(api, drivers.Get())) {
      const std::optional<int> version = VersionNumber(versionKey);
      if (!version) continue;
      const registry::RegKey versionHandle =
          registry::OpenForReading(api, drivers.Get(), versionKey);
      if (!versionHandle.IsOpen()) continue;
      for (auto& name : SubKeys(api, versionHandle.Get())) {
        // A name with a separator (a damaged hive) would name another key.
        if (name.empty() || name.find('\\') != std::string::npos) continue;
        const registry::RegKey key = registry::OpenForReading(api, versionHandle.Get(), name);
        if (!key.IsOpen()) continue;
        RegisteredDriver d;
        d.environment = environment;
        d.arch = arch;
        d.details.arch = arch.value_or(Arch::X86);
        d.details.version = *version;
        ReadDetails(api, key.Get(), d.details);
        d.name = std::move(name);
        found.push_back(std::move(d));
      }
    }
  }
  return found;
}

std::optional<RegisteredDriver> FindDriver(RegistryApi& api, Arch arch, const std::string& name,
                                           bool spelled) {
  // An empty name, or one with a separator, would name another key.
  if (name.empty() || name.find('\\') != std::string::npos) return std::nullopt;
  const std::string folded = unicode::Fold(name);
  for (const int version : {2, 3, 4}) {
    const std::string path = Relative(DriversKeyOf(arch)) + "\\Version-" + std::to_string(version);
    const registry::RegKey versionKey =
        registry::OpenForReading(api, registry::root::LocalMachine, path);
    if (!versionKey.IsOpen()) continue;
    const registry::RegKey key = registry::OpenForReading(api, versionKey.Get(), name);
    if (!key.IsOpen()) continue;
    RegisteredDriver d;
    d.name = name;
    // The spelling of the key itself, where the listing gives it.
    if (!spelled) {
      for (auto& spelling : SubKeys(api, versionKey.Get())) {
        if (unicode::Fold(spelling) == folded) {
          d.name = std::move(spelling);
          break;
        }
      }
    }
    d.environment = std::string(InfoOf(arch).environment);
    d.arch = arch;
    d.details.arch = arch;
    d.details.version = version;
    ReadDetails(api, key.Get(), d.details);
    return d;
  }
  return std::nullopt;
}

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
      ReadDetails(api, key.Get(), e);
      found.push_back(std::move(e));
      break;
    }
  }
  return found;
}

namespace {

// The day of a FILETIME (100 ns steps since 1601-01-01, UTC) as mm/dd/yyyy.
std::string DayOfFileTime(std::uint64_t fileTime) {
  // Days since 1970-01-01, then the civil date of that day.
  const std::int64_t days = static_cast<std::int64_t>(fileTime / 864000000000ULL) - 134774;
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", static_cast<int>(month),
                static_cast<int>(day), static_cast<int>(year));
  return buffer;
}

std::uint64_t LittleEndian(const std::string& bytes) {
  std::uint64_t n = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) {
    n = (n << 8) | static_cast<unsigned char>(bytes[i]);
  }
  return n;
}

}  // namespace

StagingDetails ReadStagingDetails(RegistryApi& api, Arch arch, const std::string& driverKeyPath) {
  StagingDetails s;
  if (driverKeyPath.size() < 2 || driverKeyPath.front() != '\\') return s;
  const registry::RegKey key =
      registry::OpenForReading(api, registry::root::LocalMachine, Relative(driverKeyPath));
  if (!key.IsOpen()) return s;
  s.driverDate = Text(api, key.Get(), "DriverDate");
  if (s.driverDate.empty()) {
    const auto data = registry::ReadValue(api, key.Get(), "DriverDateData");
    if (data && data->bytes.size() == 8) s.driverDate = DayOfFileTime(LittleEndian(data->bytes));
  }
  s.driverVersion = VersionText(api, key.Get());
  s.provider = Text(api, key.Get(), "Provider");
  s.manufacturer = Text(api, key.Get(), "Manufacturer");
  s.printProcessor = Text(api, key.Get(), "Print Processor");
  s.colorProfiles = Strings(api, key.Get(), "ColorProfiles");
  s.coreDependencies = Strings(api, key.Get(), "CoreDependencies");
  const auto attributes = registry::ReadValue(api, key.Get(), "PrinterDriverAttributes");
  if (attributes && attributes->type == registry::value_type::Dword &&
      attributes->bytes.size() == 4) {
    s.driverAttributes = static_cast<std::uint32_t>(LittleEndian(attributes->bytes));
  }
  // A name with a separator would name another key.
  if (!s.printProcessor.empty() && s.printProcessor.find('\\') == std::string::npos) {
    const registry::RegKey processor = registry::OpenForReading(
        api, registry::root::LocalMachine,
        Relative(std::string(kEnvironmentsKey)) + "\\" + std::string(InfoOf(arch).environment) +
            "\\Print Processors\\" + s.printProcessor);
    if (processor.IsOpen()) s.printProcessorFile = Text(api, processor.Get(), "Driver");
  }
  return s;
}

PrinterRegistration DescribePrinter(RegistryApi& api, const std::string& printerName) {
  PrinterRegistration r;
  r.printerName = printerName;
  {
    const registry::RegKey key =
        registry::OpenForReading(api, registry::root::LocalMachine,
                                 Relative(PrinterKeyPath(api, PrinterKeyName(printerName))));
    if (!key.IsOpen()) return r;
    r.printerKeyFound = true;
    r.port = Text(api, key.Get(), "Port");
    r.driverName = Text(api, key.Get(), "Printer Driver");
  }
  r.environments = DescribeDriver(api, r.driverName);
  return r;
}

}  // namespace vormlan::generation
