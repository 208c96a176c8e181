#pragma once
// The print spooler behind PrinterEnumerator (Windows builds only).

#include "probes/Printers.h"
#include "registry/RegistryApi.h"

namespace vormlan::probes {

class Win32PrinterEnumerator : public PrinterEnumerator {
 public:
  // ANSI: EnumPrintersA, as the window lists printers. UTF-8: EnumPrintersW
  // with the names converted, for the command line.
  explicit Win32PrinterEnumerator(registry::TextEncoding encoding = registry::TextEncoding::Ansi)
      : encoding_(encoding) {}

  // One EnumPrinters call with no server name and a buffer of bufferSize
  // bytes (none for 0); levels 4 and 5 are decoded into records, any other
  // level gives no records. A failed call reports GetLastError's code.
  EnumerationResult Enumerate(std::uint32_t flags, std::uint32_t level,
                              std::uint32_t bufferSize) override;

 private:
  registry::TextEncoding encoding_;
};

// The installed printers in UTF-8, listed as the window lists them (not
// remembered): for the command line.
std::vector<std::string> InstalledPrinterNamesUtf8();

}  // namespace vormlan::probes
