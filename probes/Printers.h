#pragma once
// The installed printers: the names that fill the printer list.
//
// The spooler is reached through PrinterEnumerator, one call of its printer
// enumeration at a time, so that the two-call size protocol, the choice of
// enumeration by platform and the port splitting are written once and run
// against the Win32 spooler (Printers_win32.h) or a test double alike.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "registry/RegistryApi.h"

namespace vormlan::probes {

// Enumeration flags of the spooler.
namespace enum_flags {
inline constexpr std::uint32_t Local = 0x2;
inline constexpr std::uint32_t Connections = 0x4;
}  // namespace enum_flags

// Windows error code of a buffer that is too small.
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;

// How many times the data is asked for when printers keep being added between
// the size request and the data request.
inline constexpr int kMaxDataRequests = 4;

// One printer record of an enumeration. Level 4 fills the name only; level 5
// also the port list ("LPT1:, COM1:"), empty when the printer has none.
struct PrinterRecord {
  std::string name;
  std::string ports;
};

// The outcome of one enumeration call.
struct EnumerationResult {
  bool ok = false;           // the call succeeded and records holds the printers
  std::uint32_t error = 0;   // the system's error code when !ok
  std::uint32_t needed = 0;  // bytes the data needs (set on success and on 122)
  std::vector<PrinterRecord> records;
};

class PrinterEnumerator {
 public:
  virtual ~PrinterEnumerator() = default;
  // One call of the printer enumeration, as EnumPrintersA with no server
  // name: with bufferSize 0 it only reports the size needed (a call with
  // printers fails with 122 and needed set; one without succeeds with needed
  // 0); with a buffer of bufferSize bytes it gives the records, or 122 and the
  // new size when the buffer no longer suffices. Never throws for a failed
  // call: failures are reported in the result.
  virtual EnumerationResult Enumerate(std::uint32_t flags, std::uint32_t level,
                                      std::uint32_t bufferSize) = 0;
};

// The lines of the printer list from the given enumerator.
// NT platform: flags local + connections (6), level 4, one line per printer,
// its name as given, in the given order, duplicates kept.
// Other platforms: flags local (2), level 5, one line "<name> on <port>" per
// port of each printer (see SplitPorts); a printer without ports gives none.
// The size is asked first, then the data. A size of 0 or a failed data request
// gives an empty list; a data request that fails for a too-small buffer
// (printers added meanwhile) is repeated with the new size, up to
// kMaxDataRequests requests in all. Never reports a failure.
std::vector<std::string> ListPrinters(PrinterEnumerator& enumerator, bool ntPlatform);

// The ports of a port list: split at ",", leading blanks of each item
// skipped, stopping at the first empty item. "LPT1:, COM1:" gives "LPT1:" and
// "COM1:"; "LPT1:,,COM1:" gives "LPT1:" only; "" gives none.
std::vector<std::string> SplitPorts(const std::string& portList);

// The printer names that a registry holds under HKEY_LOCAL_MACHINE
// "\SYSTEM\CurrentControlSet\Control\Print\Printers": one per subkey, in the
// registry's order, its "Name" string value, or when that is missing or empty
// the key name with every "," turned back into "\" (",,srv,laser" stands for
// "\\srv\laser"). Empty when the key does not exist or cannot be read.
std::vector<std::string> PrinterNamesFromRegistry(registry::RegistryApi& registry);

// The printer names as PrinterNamesFromRegistry gives them, and what kept
// the list from being complete, one sentence each: the Printers key that
// exists but cannot be opened, its subkey list that cannot be read (a damaged
// hive: then there are no names, and the problem says so rather than the
// list passing for empty), a printer's key that cannot be opened (its name is
// then the key's). A missing Printers key is no problem: there are no
// printers.
struct PrinterListing {
  std::vector<std::string> names;
  std::vector<std::string> problems;
};
PrinterListing ListPrintersFromRegistry(registry::RegistryApi& registry);

// The printer list of one program run: built at the first request from its
// source and remembered from then on, an empty list too; later requests do
// not ask the source again, even when printers were added or removed. When the
// source throws, nothing is remembered and the exception propagates.
class PrinterService {
 public:
  using Source = std::function<std::vector<std::string>()>;

  explicit PrinterService(Source source);
  // Lists through the enumerator with ListPrinters.
  PrinterService(std::unique_ptr<PrinterEnumerator> enumerator, bool ntPlatform);

  // The remembered list; built on the first call.
  const std::vector<std::string>& Names();
  // Whether the list has been built.
  bool Built() const { return built_; }

 private:
  Source source_;
  std::vector<std::string> names_;
  bool built_ = false;
};

// The program's printer service (for the program's one thread). Its source is the system's spooler
// on Windows (NT or not as GetOSName's version record says) and an empty list elsewhere, unless
// SetSystemPrinterSource gave another.
PrinterService& SystemPrinterService();

// Makes the program's printer service list from source from now on (for
// example a registry export on a system without a spooler, or a test
// double); what it remembered is forgotten.
void SetSystemPrinterSource(PrinterService::Source source);

// The installed printer names: SystemPrinterService().Names().
std::vector<std::string> InstalledPrinterNames();

// The system's own source of printer names (the spooler on Windows, an empty
// list elsewhere).
PrinterService::Source SystemPrinterSource();

}  // namespace vormlan::probes
