#pragma once
// The INF of a package that can be staged in the driver store (pnputil
// /add-driver, Add-PrinterDriver, device management): the composed INF,
// every line of it kept in order, with what staging needs added — a catalog,
// the driver's date and version, its provider, the source disk sections
// that list every file, and the print processor, color profiles and package
// attributes the driver's registration names.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inf/InfComposer.h"
#include "print/DriverLookup.h"
#include "print/DriverRegistration.h"

namespace vormlan::generation {

// "DriverVer" when the registration holds no usable date or version.
inline constexpr char kDefaultDriverDate[] = "01/01/2000";
inline constexpr char kDefaultDriverVersion[] = "1.0.0.0";

// Where a file beside the driver's comes from, below the Windows directory.
enum class StagedFolder { PrintProcessors, Color };

struct StagedFile {
  std::string name;
  StagedFolder folder;
};

struct StoreReadyInf {
  InfLines lines;
  DriverFiles files;                    // the driver's own, as ComposeInf lists them
  std::vector<StagedFile> stagedFiles;  // the print processor, then the color profiles
  std::vector<std::string> notes;       // what was left out or put in its place, and why
};

// The date as "DriverVer" wants it (mm/dd/yyyy, two-digit month and day),
// from m/d/yyyy or mm/dd/yyyy of a real day between 1980 and 9999; nothing
// for anything else.
std::optional<std::string> DriverDateOf(std::string_view text);

// Whether text is a "DriverVer" version: one to four parts of digits
// separated by periods, each at most 65535.
bool IsDriverVersion(std::string_view text);

// The catalog named by an INF: its file name with ".cat" for ".inf".
std::string CatalogNameOf(std::string_view infName);

// The composed INF of a checked description (CheckDescription) with the
// lines staging needs. The registration's values are checked here: a
// malformed date or version gives way to the default (a note says so); a
// provider, print processor, color profile or core-driver GUID that cannot
// stand in the INF (control characters, INF syntax, a path, a character the
// 8-bit INF lacks) is refused with vormlan::Exception naming the value. A
// description without an install section (no printer key) is refused too.
StoreReadyInf ComposeStoreReady(const DriverDescription& description, const StagingDetails& details,
                                InfEncoding infEncoding, std::string_view infName);

}  // namespace vormlan::generation
