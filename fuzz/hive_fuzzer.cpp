// Binary hives: any bytes are opened as a hive through libhivex and what
// opens is read back, down to the printers and their drivers. A damaged hive
// must be refused with HiveError or answer error codes, never crash.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "print/Architecture.h"
#include "print/DriverLookup.h"
#include "print/DriverRegistration.h"
#include "probes/Printers.h"
#include "registry/HiveRegistry.h"
#include "registry/unitEXRegistry.h"

namespace {

using namespace vormlan;

// libhivex opens files by name: the input goes to a file in memory, named
// through /proc/self/fd.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("fuzz.hive", 0)) {
    if (fd_ < 0) fuzz::Fail("memfd_create failed");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  const std::string& Hold(const std::uint8_t* data, std::size_t size) {
    if (ftruncate(fd_, 0) != 0) fuzz::Fail("ftruncate failed");
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) fuzz::Fail("pwrite failed");
      done += static_cast<std::size_t>(n);
    }
    return path_;
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile file;
  const std::string& path = file.Hold(data, size);
  try {
    registry::HiveRegistry hive(path);
    int budget = 200;
    fuzz::Walk(hive, registry::root::LocalMachine, 0, budget);
    auto names = probes::PrinterNamesFromRegistry(hive);
    if (names.size() > 4) names.resize(4);
    for (const auto& name : names) {
      generation::DescribePrinter(hive, name);
      try {
        generation::LookupDriver(hive, name, generation::Arch::X86);
      } catch (const registry::ERegistryException&) {
      }
    }
  } catch (const registry::HiveError&) {
  }
  return 0;
}
