// Registry export files: any bytes are loaded into a registry of each text
// encoding, and what loaded is read back. A malformed file must be refused
// with RegFileError, never with another exception or a crash, and must leave
// the registry it was loaded into exactly as it was.

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

// Every key and value below the predefined roots, as text.
void Dump(const registry::MemoryRegistry& memory, registry::KeyHandle root, const std::string& path,
          std::string& out) {
  out += path + "\n";
  for (const auto& value : memory.Values(root, path)) {
    out += value.name + "=" + std::to_string(value.type) + ":" + value.data + "\n";
  }
  for (const auto& sub : memory.SubKeyNames(root, path)) {
    Dump(memory, root, path.empty() ? sub : path + "\\" + sub, out);
  }
}

std::string Dump(const registry::MemoryRegistry& memory) {
  std::string out;
  for (const auto root :
       {registry::root::ClassesRoot, registry::root::CurrentUser, registry::root::LocalMachine,
        registry::root::Users, registry::root::CurrentConfig}) {
    Dump(memory, root, "", out);
  }
  return out;
}

// Loading into a registry that holds keys already: a refused file changes
// nothing.
void LoadOverExisting(std::string_view bytes) {
  static constexpr std::string_view kBase =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Base]\r\n\"a\"=\"b\"\r\n"
      "@=dword:00000001\r\n\r\n[HKEY_CURRENT_USER\\Software\\Base\\Sub]\r\n\"c\"=hex:01,02\r\n";
  registry::MemoryRegistry memory(registry::TextEncoding::Ansi);
  registry::LoadRegText(memory, kBase, "base.reg");
  const std::string before = Dump(memory);
  try {
    registry::LoadRegText(memory, bytes, "fuzz.reg");
  } catch (const registry::RegFileError&) {
    if (Dump(memory) != before) fuzz::Fail("a refused export changed the registry");
  }
}

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
    // A new registry is filled as the file is read: a refused file must
    // leave it empty again.
    if (Dump(memory) != Dump(registry::MemoryRegistry(encoding))) {
      fuzz::Fail("a refused export left keys or values in a new registry");
    }
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
  LoadOverExisting(bytes);
  return 0;
}
