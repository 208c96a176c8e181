// Prints what the probes report for this process: "os=<family name>", then
// one "printer=<line>" per line of the printer list. Copies of it run under
// Wine with per-program Windows versions.

#include <iostream>

#include "probes/Printers.h"
#include "probes/tmpc.h"

int main() {
  std::cout << "os=" << vormlan::probes::GetOSName() << '\n';
  for (const auto& line : vormlan::probes::InstalledPrinterNames())
    std::cout << "printer=" << line << '\n';
  return 0;
}
