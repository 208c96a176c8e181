// Microbenchmarks: export loading (UTF-16 text of many keys, REGEDIT4 hex
// data of a long file list) and the sorted file list of INF composition.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "print/DriverFiles.h"
#include "print/DriverLookup.h"
#include "inf/InfComposer.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"

namespace {

using namespace vormlan;

std::string PrinterKeys(std::int64_t printers) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  char line[160];
  for (std::int64_t n = 0; n < printers; ++n) {
    std::snprintf(line, sizeof line,
                  "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\"
                  "Printer %07lld]\r\n",
                  static_cast<long long>(n));
    text += line;
    std::snprintf(line, sizeof line,
                  "\"Name\"=\"Printer %07lld\"\r\n\"Port\"=\"IP_10.0.0.%lld\"\r\n",
                  static_cast<long long>(n), static_cast<long long>(n % 250));
    text += line;
    text +=
        "\"DevMode\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,\\\r\n"
        "  14,15,16,17,18,19,1a,1b,1c,1d,1e,1f\r\n\r\n";
  }
  return text;
}

std::string Utf16(const std::string& ascii) {
  std::string out = "\xff\xfe";
  out.reserve(2 + 2 * ascii.size());
  for (const char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

std::string DependentFilesExport(std::int64_t files) {
  std::string text =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\"
      "Environments\\Windows NT x86\\Drivers\\Version-3\\Bench]\r\n\"Dependent Files\"=hex(7):";
  static const char digits[] = "0123456789abcdef";
  int column = 0;
  const auto byte = [&](unsigned char b) {
    text += digits[b >> 4];
    text += digits[b & 15];
    text += ',';
    if (++column == 25) {
      text += "\\\r\n  ";
      column = 0;
    }
  };
  char name[32];
  for (std::int64_t n = files; n > 0; --n) {
    std::snprintf(name, sizeof name, "DEP%06lld.DLL", static_cast<long long>(n));
    for (const char* p = name; *p != '\0'; ++p) byte(static_cast<unsigned char>(*p));
    byte(0);
  }
  text += "00\r\n";
  return text;
}

void BM_LoadUtf16Export(benchmark::State& state) {
  const std::string bytes = Utf16(PrinterKeys(state.range(0)));
  for (auto _ : state) {
    registry::MemoryRegistry memory(registry::TextEncoding::Utf8);
    registry::LoadRegText(memory, bytes, "bench.reg");
    benchmark::DoNotOptimize(memory);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadUtf16Export)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_LoadHexFileList(benchmark::State& state) {
  const std::string bytes = DependentFilesExport(state.range(0));
  for (auto _ : state) {
    registry::MemoryRegistry memory(registry::TextEncoding::Ansi);
    registry::LoadRegText(memory, bytes, "bench.reg");
    benchmark::DoNotOptimize(memory);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadHexFileList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ComposeDescendingFiles(benchmark::State& state) {
  generation::DriverDescription description;
  description.printerName = "Bench";
  description.driverName = "Bench Driver";
  description.driverVersion = 3;
  char name[32];
  for (std::int64_t n = state.range(0); n > 0; --n) {
    std::snprintf(name, sizeof name, "dep%06lld.dll", static_cast<long long>(n));
    description.dependentFiles.emplace_back(name);
  }
  for (auto _ : state) benchmark::DoNotOptimize(generation::ComposeInf(description));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ComposeDescendingFiles)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
