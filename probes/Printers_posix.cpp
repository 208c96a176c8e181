// The installed printers on systems without a print spooler: none, unless
// the program names a source (SetSystemPrinterSource).

#include "probes/Printers.h"

namespace vormlan::probes {

PrinterService::Source SystemPrinterSource() {
  return [] { return std::vector<std::string>(); };
}

}  // namespace vormlan::probes
