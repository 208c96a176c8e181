#include "probes/Printers_win32.h"

#include <windows.h>
#include <winspool.h>

#include <utility>

#include "probes/tmpc.h"

namespace vormlan::probes {
namespace {

std::string TextOf(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

EnumerationResult Win32PrinterEnumerator::Enumerate(std::uint32_t flags, std::uint32_t level,
                                                    std::uint32_t bufferSize) {
  // The records hold pointers and DWORDs: keep the buffer aligned for them.
  std::vector<std::uint64_t> buffer((bufferSize + sizeof(std::uint64_t) - 1) /
                                    sizeof(std::uint64_t));
  auto* bytes = bufferSize != 0 ? reinterpret_cast<BYTE*>(buffer.data()) : nullptr;
  DWORD needed = 0;
  DWORD returned = 0;
  EnumerationResult result;
  result.ok = EnumPrintersA(flags, nullptr, level, bytes, bufferSize, &needed, &returned) != FALSE;
  result.error = result.ok ? 0 : GetLastError();
  result.needed = needed;
  if (!result.ok || bytes == nullptr) return result;

  for (DWORD i = 0; i < returned; ++i) {
    PrinterRecord record;
    if (level == 4) {
      const auto* info = reinterpret_cast<const PRINTER_INFO_4A*>(bytes) + i;
      record.name = TextOf(info->pPrinterName);
    } else if (level == 5) {
      const auto* info = reinterpret_cast<const PRINTER_INFO_5A*>(bytes) + i;
      record.name = TextOf(info->pPrinterName);
      record.ports = TextOf(info->pPortName);
    } else {
      break;
    }
    result.records.push_back(std::move(record));
  }
  return result;
}

PrinterService::Source SystemPrinterSource() {
  return [] {
    Win32PrinterEnumerator spooler;
    return ListPrinters(spooler, IsNtPlatform(SystemVersionSource()));
  };
}

}  // namespace vormlan::probes
