// Registry export files: any bytes are loaded into a registry of each text
// encoding, and what loaded is read back. A malformed file must be refused
// with RegFileError, never with another exception or a crash.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "probes/Printers.h"
#include "registry/ControlSet.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"

namespace {

using namespace vormlan;

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

void LoadAndRead(registry::TextEncoding encoding, std::string_view bytes, bool asStream) {
  registry::MemoryRegistry memory(encoding);
  try {
    if (asStream && !bytes.empty()) {
      // A stream without a size, read in chunks, as standard input is.
      std::string copy(bytes);
      const std::unique_ptr<std::FILE, FileCloser> stream(fmemopen(copy.data(), copy.size(), "rb"));
      if (!stream) return;
      registry::LoadRegStream(memory, stream.get(), "fuzz.reg");
    } else {
      registry::LoadRegText(memory, bytes, "fuzz.reg");
    }
  } catch (const registry::RegFileError&) {
    return;
  }
  registry::LinkExportControlSet(memory);
  int budget = 200;
  fuzz::Walk(memory, registry::root::LocalMachine, 0, budget);
  probes::PrinterNamesFromRegistry(memory);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool asStream = size % 7 == 3;
  LoadAndRead(registry::TextEncoding::Utf8, bytes, asStream);
  LoadAndRead(registry::TextEncoding::Ansi, bytes, false);
  return 0;
}
