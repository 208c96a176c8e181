#include "probes/Printers.h"

#include <utility>

#include "registry/ValueRead.h"

namespace vormlan::probes {
namespace {

const char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

std::vector<std::string> LinesOf(const std::vector<PrinterRecord>& records, bool ntPlatform) {
  std::vector<std::string> lines;
  for (const auto& record : records) {
    if (ntPlatform) {
      lines.push_back(record.name);
      continue;
    }
    for (const auto& port : SplitPorts(record.ports)) lines.push_back(record.name + " on " + port);
  }
  return lines;
}

std::unique_ptr<PrinterService>& SystemServiceSlot() {
  static std::unique_ptr<PrinterService> service;
  return service;
}

}  // namespace

std::vector<std::string> SplitPorts(const std::string& portList) {
  std::vector<std::string> ports;
  std::size_t pos = 0;
  while (pos <= portList.size()) {
    const auto comma = portList.find(',', pos);
    const auto end = comma == std::string::npos ? portList.size() : comma;
    auto start = pos;
    while (start < end && portList[start] == ' ') ++start;
    if (start == end) break;
    ports.push_back(portList.substr(start, end - start));
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return ports;
}

std::vector<std::string> ListPrinters(PrinterEnumerator& enumerator, bool ntPlatform) {
  const std::uint32_t flags =
      ntPlatform ? (enum_flags::Local | enum_flags::Connections) : enum_flags::Local;
  const std::uint32_t level = ntPlatform ? 4 : 5;

  const auto sizeAnswer = enumerator.Enumerate(flags, level, 0);
  std::uint32_t size = sizeAnswer.needed;
  for (int request = 0; size != 0 && request < kMaxDataRequests; ++request) {
    const auto answer = enumerator.Enumerate(flags, level, size);
    if (answer.ok) return LinesOf(answer.records, ntPlatform);
    if (answer.error != kErrorInsufficientBuffer) break;
    size = answer.needed;
  }
  return {};
}

PrinterListing ListPrintersFromRegistry(registry::RegistryApi& api) {
  PrinterListing listing;
  const std::string where = std::string("HKEY_LOCAL_MACHINE\\") + kPrintersKey;
  const auto failure = [&](long rc) {
    std::string text = api.ErrorText(rc).value_or("");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
      text.pop_back();
    }
    return "error " + std::to_string(rc) + (text.empty() ? "" : ": " + text);
  };
  registry::KeyHandle handle = 0;
  const long opened =
      api.OpenKey(registry::root::LocalMachine, kPrintersKey, registry::access::Read, handle);
  if (opened == registry::error::FileNotFound) return listing;
  if (opened != registry::error::Success) {
    listing.problems.push_back(where + ": the key cannot be opened (" + failure(opened) + ")");
    return listing;
  }
  const registry::RegKey printers(api, handle);
  std::vector<std::string> keys;
  if (const long rc = api.EnumSubKeys(printers.Get(), keys); rc != registry::error::Success) {
    listing.problems.push_back(where + ": subkey list unreadable, so no printer can be listed (" +
                               failure(rc) + ")");
    return listing;
  }
  for (const auto& key : keys) {
    std::string name;
    registry::KeyHandle printerHandle = 0;
    const long rc = api.OpenKey(printers.Get(), key, registry::access::Read, printerHandle);
    if (rc == registry::error::Success) {
      const registry::RegKey printer(api, printerHandle);
      if (const auto value = registry::ReadValue(api, printer.Get(), "Name")) {
        name = registry::TextOf(*value).value_or("");
      }
    } else {
      listing.problems.push_back(where + "\\" + key + ": the key cannot be opened (" + failure(rc) +
                                 ")");
    }
    if (name.empty()) {
      name = key;
      for (auto& c : name) {
        if (c == ',') c = '\\';
      }
    }
    listing.names.push_back(std::move(name));
  }
  return listing;
}

std::vector<std::string> PrinterNamesFromRegistry(registry::RegistryApi& api) {
  return ListPrintersFromRegistry(api).names;
}

PrinterService::PrinterService(Source source) : source_(std::move(source)) {}

PrinterService::PrinterService(std::unique_ptr<PrinterEnumerator> enumerator, bool ntPlatform)
    : source_([shared = std::shared_ptr<PrinterEnumerator>(std::move(enumerator)), ntPlatform] {
        return ListPrinters(*shared, ntPlatform);
      }) {}

const std::vector<std::string>& PrinterService::Names() {
  if (!built_) {
    names_ = source_ ? source_() : std::vector<std::string>();
    built_ = true;
  }
  return names_;
}

PrinterService& SystemPrinterService() {
  auto& slot = SystemServiceSlot();
  if (!slot) slot = std::make_unique<PrinterService>(SystemPrinterSource());
  return *slot;
}

void SetSystemPrinterSource(PrinterService::Source source) {
  SystemServiceSlot() = std::make_unique<PrinterService>(std::move(source));
}

std::vector<std::string> InstalledPrinterNames() {
  return SystemPrinterService().Names();
}

}  // namespace vormlan::probes
