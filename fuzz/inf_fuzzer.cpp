// INF files as a package check reads them: any bytes are parsed, and what
// parses is walked for every architecture. A file setup cannot read must be
// refused with InfParseError; nothing may grow past the INF reader's caps.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "print/Architecture.h"
#include "inf/DescriptionCheck.h"
#include "inf/InfFile.h"
#include "inf/PackageCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vormlan::generation;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)PeMachineOf(bytes);
  try {
    const InfFile inf = InfFile::Parse(bytes, "fuzz.inf");
    for (const auto& info : kArchitectures) {
      const InfRequirements needs = RequirementsOf(inf, info.arch);
      for (const auto& file : needs.files) {
        // What the check lets through stays inside the folder.
        if (!NotAPlainFileName(file.name).empty()) {
          vormlan::fuzz::Fail("a required file that is no plain name: " + file.name);
        }
        for (const auto& folder : file.folders) {
          if (folder.empty() || folder == "." || folder == ".." ||
              folder.find_first_of("\\/:") != std::string::npos) {
            vormlan::fuzz::Fail("a folder that leads out: " + folder);
          }
        }
      }
    }
  } catch (const InfParseError&) {
    // A refusal is a clean answer.
  }
  return 0;
}
