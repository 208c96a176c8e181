#pragma once
// The printer queues a registry holds. A running Windows shows them under
// SYSTEM\CurrentControlSet\Control\Print\Printers; since Windows Vista the
// spooler keeps them in the SOFTWARE hive, under
// Microsoft\Windows NT\CurrentVersion\Print\Printers, and the SYSTEM key
// exists only while Windows runs. Windows XP and earlier keep them in SYSTEM
// only. An offline disk therefore shows its queues only through SOFTWARE.
//
// Reads only, and never throws for odd values: a value that cannot be read
// is left empty.

#include <string>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::generation {

// Absolute key paths below HKEY_LOCAL_MACHINE.
inline constexpr char kSystemPrintersKey[] =
    "\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr char kSoftwarePrintersKey[] =
    "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers";

struct PrintQueue {
  std::string name;        // as listed: "Name", or the key name with "," as "\"
  std::string keyName;     // the key's name (",,srv,laser" for "\\srv\laser")
  std::string driverName;  // "Printer Driver"
  std::string port;        // "Port"
  bool fromSoftware = false;

  // The absolute path of the key whose values count. Made when asked: a
  // registry of a million queues need not hold a million paths.
  std::string KeyPath() const {
    return std::string(fromSoftware ? kSoftwarePrintersKey : kSystemPrintersKey) + "\\" + keyName;
  }
};

struct QueueListing {
  std::vector<PrintQueue> queues;
  bool systemKey = false;    // SYSTEM's Printers key is there
  bool softwareKey = false;  // SOFTWARE's Printers key is there
  // What kept the list from being complete, one sentence each naming the
  // key: a Printers key that is there but cannot be opened, a subkey list
  // that cannot be read (a damaged hive: the queues are not simply none), a
  // queue's key that cannot be opened (listed all the same, by its key's
  // name).
  std::vector<std::string> problems;
};

// Every queue of SYSTEM's and SOFTWARE's Printers keys: SYSTEM's first in the
// registry's order, then those only SOFTWARE holds. Where both hold a queue
// (the same key name, case ignored), it is listed once, where SYSTEM lists
// it, with SOFTWARE's values.
// Without details only the names are read (driverName and port stay empty):
// enough for a list of names, and a third of the reads on a large registry.
QueueListing ListQueues(registry::RegistryApi& registry, bool details = true);

// The absolute path of a queue's key, for the key name (the printer name
// with every "\" as ","): SOFTWARE's key when it is there and names a
// driver, else SYSTEM's key when it is there, else SOFTWARE's when it is
// there, else SYSTEM's path (which then does not open). On a running
// system both keys hold the same values, so the choice changes nothing
// there.
std::string PrinterKeyPath(registry::RegistryApi& registry, const std::string& printerKeyName);

// The key name of a printer name: every "\" replaced by ",".
std::string PrinterKeyName(const std::string& printerName);

}  // namespace vormlan::generation
