#include "print/PrintQueues.h"

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

// "error 13: The data is invalid" for a registry code.
std::string Failure(RegistryApi& api, long rc) {
  std::string text = api.ErrorText(rc).value_or("");
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return "error " + std::to_string(rc) + (text.empty() ? "" : ": " + text);
}

// Reads the queues of one Printers key; false when the key is not there.
bool ReadQueues(RegistryApi& api, const char* path, bool software, bool details,
                std::vector<PrintQueue>& out, std::vector<std::string>& problems) {
  const std::string where = std::string("HKEY_LOCAL_MACHINE") + path;
  KeyHandle handle = 0;
  const long opened =
      api.OpenKey(registry::root::LocalMachine, path + 1, registry::access::Read, handle);
  if (opened == registry::error::FileNotFound) return false;
  if (opened != registry::error::Success) {
    problems.push_back(where + ": the key cannot be opened (" + Failure(api, opened) + ")");
    return true;
  }
  const registry::RegKey printers(api, handle);
  std::vector<std::string> keys;
  if (const long rc = api.EnumSubKeys(printers.Get(), keys); rc != registry::error::Success) {
    problems.push_back(where + ": subkey list unreadable, so its queues cannot be listed (" +
                       Failure(api, rc) + ")");
    return true;
  }
  out.reserve(out.size() + keys.size());
  for (auto& key : keys) {
    PrintQueue q;
    q.fromSoftware = software;
    KeyHandle printerHandle = 0;
    if (const long rc = api.OpenKey(printers.Get(), key, registry::access::Read, printerHandle);
        rc == registry::error::Success) {
      const registry::RegKey printer(api, printerHandle);
      q.name = Text(api, printer.Get(), "Name");
      if (details) {
        q.driverName = Text(api, printer.Get(), "Printer Driver");
        q.port = Text(api, printer.Get(), "Port");
      }
    } else {
      problems.push_back(where + "\\" + key + ": the key cannot be opened (" + Failure(api, rc) +
                         ")");
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

QueueListing ListQueues(RegistryApi& api, bool details) {
  QueueListing listing;
  listing.systemKey =
      ReadQueues(api, kSystemPrintersKey, false, details, listing.queues, listing.problems);
  std::vector<PrintQueue> software;
  listing.softwareKey =
      ReadQueues(api, kSoftwarePrintersKey, true, details, software, listing.problems);
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
