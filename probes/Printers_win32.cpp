#include "probes/Printers_win32.h"

#include <windows.h>
#include <winspool.h>

#include <utility>

#include "common/WideText_win32.h"
#include "probes/tmpc.h"

namespace vormlan::probes {
namespace {

std::string TextOf(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

std::string TextOf(const wchar_t* text) {
  return text != nullptr ? Utf8FromWide(text) : std::string();
}

// The records of a successful call, from the level's A or W structures.
template <typename Info4, typename Info5>
void Decode(const BYTE* bytes, DWORD returned, std::uint32_t level,
            std::vector<PrinterRecord>& records) {
  for (DWORD i = 0; i < returned; ++i) {
    PrinterRecord record;
    if (level == 4) {
      const auto* info = reinterpret_cast<const Info4*>(bytes) + i;
      record.name = TextOf(info->pPrinterName);
    } else if (level == 5) {
      const auto* info = reinterpret_cast<const Info5*>(bytes) + i;
      record.name = TextOf(info->pPrinterName);
      record.ports = TextOf(info->pPortName);
    } else {
      break;
    }
    records.push_back(std::move(record));
  }
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
  const bool wide = encoding_ == registry::TextEncoding::Utf8;
  result.ok =
      (wide ? EnumPrintersW(flags, nullptr, level, bytes, bufferSize, &needed, &returned)
            : EnumPrintersA(flags, nullptr, level, bytes, bufferSize, &needed, &returned)) != FALSE;
  result.error = result.ok ? 0 : GetLastError();
  result.needed = needed;
  if (!result.ok || bytes == nullptr) return result;
  if (wide) {
    Decode<PRINTER_INFO_4W, PRINTER_INFO_5W>(bytes, returned, level, result.records);
  } else {
    Decode<PRINTER_INFO_4A, PRINTER_INFO_5A>(bytes, returned, level, result.records);
  }
  return result;
}

PrinterService::Source SystemPrinterSource() {
  return [] {
    Win32PrinterEnumerator spooler;
    return ListPrinters(spooler, IsNtPlatform(SystemVersionSource()));
  };
}

std::vector<std::string> InstalledPrinterNamesUtf8() {
  Win32PrinterEnumerator spooler(registry::TextEncoding::Utf8);
  return ListPrinters(spooler, IsNtPlatform(SystemVersionSource()));
}

}  // namespace vormlan::probes
