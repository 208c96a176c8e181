#pragma once
// The print spooler behind PrinterEnumerator (Windows builds only).

#include "probes/Printers.h"

namespace vormlan::probes {

class Win32PrinterEnumerator : public PrinterEnumerator {
 public:
  // One EnumPrintersA call with no server name and a buffer of bufferSize
  // bytes (none for 0); levels 4 and 5 are decoded into records, any other
  // level gives no records. A failed call reports GetLastError's code.
  EnumerationResult Enumerate(std::uint32_t flags, std::uint32_t level,
                              std::uint32_t bufferSize) override;
};

}  // namespace vormlan::probes
