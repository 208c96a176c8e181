#include "generation/PrintQueues.h"

#include <algorithm>
#include <unordered_map>

#include "common/Unicode.h"
#include "registry/ValueRead.h"

namespace vormlan::generation {
namespace {

using registry::KeyHandle;
using registry::RegistryApi;

std::string Text(RegistryApi& api, KeyHandle key, const char* name) {
  const auto value = registry::ReadValue(api, key, name);
  return value ? registry::TextOf(*value).value_or("") : "";
}

// Reads the queues of one Printers key; false when the key is not there.
bool ReadQueues(RegistryApi& api, const char* path, bool software, std::vector<PrintQueue>& out) {
  const registry::RegKey printers =
      registry::OpenForReading(api, registry::root::LocalMachine, std::string(path + 1));
  if (!printers.IsOpen()) return false;
  std::vector<std::string> keys;
  if (api.EnumSubKeys(printers.Get(), keys) != registry::error::Success) return true;
  out.reserve(out.size() + keys.size());
  for (auto& key : keys) {
    PrintQueue q;
    q.keyPath = std::string(path) + "\\" + key;
    q.fromSoftware = software;
    if (const registry::RegKey printer = registry::OpenForReading(api, printers.Get(), key);
        printer.IsOpen()) {
      q.name = Text(api, printer.Get(), "Name");
      q.driverName = Text(api, printer.Get(), "Printer Driver");
      q.port = Text(api, printer.Get(), "Port");
    }
    if (q.name.empty()) {
      q.name = key;
      std::replace(q.name.begin(), q.name.end(), ',', '\\');
    }
    q.keyName = std::move(key);
    out.push_back(std::move(q));
  }
  return true;
}

bool Opens(RegistryApi& api, const std::string& absolute) {
  return registry::OpenForReading(api, registry::root::LocalMachine, absolute.substr(1)).IsOpen();
}

}  // namespace

std::string PrinterKeyName(const std::string& printerName) {
  std::string name = printerName;
  std::replace(name.begin(), name.end(), '\\', ',');
  return name;
}

QueueListing ListQueues(RegistryApi& api) {
  QueueListing listing;
  listing.systemKey = ReadQueues(api, kSystemPrintersKey, false, listing.queues);
  std::vector<PrintQueue> software;
  listing.softwareKey = ReadQueues(api, kSoftwarePrintersKey, true, software);
  if (software.empty()) return listing;
  std::unordered_map<std::string, std::size_t> byKey;
  byKey.reserve(listing.queues.size());
  for (std::size_t i = 0; i < listing.queues.size(); ++i) {
    byKey.emplace(unicode::Fold(listing.queues[i].keyName), i);
  }
  for (auto& q : software) {
    const auto [it, added] = byKey.emplace(unicode::Fold(q.keyName), listing.queues.size());
    if (added) {
      listing.queues.push_back(std::move(q));
    } else {
      listing.queues[it->second] = std::move(q);
    }
  }
  return listing;
}

std::string PrinterKeyPath(RegistryApi& api, const std::string& printerKeyName) {
  const std::string system = std::string(kSystemPrintersKey) + "\\" + printerKeyName;
  const std::string software = std::string(kSoftwarePrintersKey) + "\\" + printerKeyName;
  // An empty key name would name the Printers key itself.
  if (printerKeyName.empty()) return system;
  if (const registry::RegKey key =
          registry::OpenForReading(api, registry::root::LocalMachine, software.substr(1));
      key.IsOpen() && !Text(api, key.Get(), "Printer Driver").empty()) {
    return software;
  }
  if (Opens(api, system) || !Opens(api, software)) return system;
  return software;
}

}  // namespace vormlan::generation
