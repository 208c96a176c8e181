#pragma once
// Writes the driver package: asks for the target directory, copies the
// driver's files there from the driver store (falling back to System32) and
// saves the INF file beside them.

#include <string>
#include <vector>

#include "generation/DriverFiles.h"
#include "generation/DriverLookup.h"
#include "generation/HostServices.h"
#include "generation/InfComposer.h"

namespace vormlan::generation {

inline constexpr char kInfFileName[] = "vormlan.inf";

// Outcome of one package: the driver files that were found neither in the
// store nor in System32 (and were not already in the target).
struct PackageResult {
  bool cancelled = false;
  std::vector<std::string> missingFiles;
};

// Asks host.ChooseDirectory(host.ModulePath()). On cancel: shows "Aborted",
// requests the end of the application and returns with cancelled set; nothing
// is copied or written. Otherwise creates the directory, copies every file
// (never replacing one), writes "vormlan.inf" (CR LF after every line) and
// shows "Driver has been created" — or, when files could not be found,
// "Driver has been created, but these files were not found:" and one name per
// line.
// Throws vormlan::Exception "Unable to create directory" for an empty
// directory text and the host's "Cannot create file ..." error when the INF
// cannot be written; files copied before stay, an earlier INF stays intact.
PackageResult WriteDriverPackage(HostServices& host, DriverVersion driverVersion,
                                 const InfLines& infLines, const DriverFiles& driverFiles);

}  // namespace vormlan::generation
