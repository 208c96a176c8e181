#pragma once
// Writes the driver package: asks for the target directory, copies the
// driver's files there from the driver store (falling back to System32) and
// saves the INF file beside them.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "print/Architecture.h"
#include "print/DriverFiles.h"
#include "print/DriverLookup.h"
#include "host/HostServices.h"
#include "inf/InfComposer.h"

namespace vormlan::generation {

inline constexpr char kInfFileName[] = "vormlan.inf";

// What the command line adds to the window's package: another architecture's
// store, Unicode names and INF, and progress.
struct PackageOptions {
  Arch arch = Arch::X86;
  registry::TextEncoding textEncoding = registry::TextEncoding::Ansi;
  InfEncoding infEncoding = InfEncoding::CodePage;
  // The window's choice: the INF code page where it holds every name, else
  // UTF-16 (infEncoding is then ignored).
  bool utf16WhereNeeded = false;
  // Whether the package's files replace those a folder holds already (they
  // are kept otherwise), so that a folder holding another package may be
  // written into; nothing else there is removed.
  bool replace = false;
  // Whether the INF gets what staging in the driver store needs (a catalog,
  // DriverVer, source disk sections, the print processor and color
  // profiles); see StoreReady.h.
  bool storeReady = false;
  // Files copied besides the driver's, each looked for in its own source
  // folders (each ending in a separator), in this order. A name the
  // driver's files hold already is copied once, from the driver's folders.
  struct ExtraFile {
    std::string name;
    std::vector<std::string> folders;
  };
  std::vector<ExtraFile> extraFiles;
  // Called before each file is copied: its index, the number of files, its name.
  std::function<void(std::size_t, std::size_t, const std::string&)> onFile;
};

// Outcome of one package.
struct PackageResult {
  bool cancelled = false;
  std::string directory;  // as chosen
  std::string infPath;    // the INF written (a target path)
  std::vector<std::string> copiedFiles;
  // Files already in the directory, left as they were (a copy never
  // replaces a file), and those of them whose bytes differ from the driver's.
  std::vector<std::string> keptFiles;
  std::vector<std::string> differingFiles;
  // Files found neither in the store nor in System32, and the folders (as
  // messages show them) where they were looked for.
  std::vector<std::string> missingFiles;
  std::vector<std::string> searchedFolders;
  // For missing files where something else stands under the name (a folder,
  // a FIFO, a device): the file's name and what is there, e.g.
  // {"A.DLL", "a folder, not a file"}, in the order of missingFiles.
  std::vector<std::pair<std::string, std::string>> missingReasons;
  // Every file of the package as it stands in the directory, its INF first,
  // then the files copied or kept in the order they were copied (names as
  // spelled in the directory; missing files are not there).
  std::vector<std::string> packageFiles;
  // What the package left out or put in place of a registry value, and why.
  std::vector<std::string> notes;
};

// The source folders of a driver version, each ending in a separator: the
// store folder of the version ("2" for version 2, "3" for 3 and 0) below
// System32\Spool\Drivers\<the architecture's folder>, then System32.
std::vector<std::string> SourceFolders(HostServices& host, DriverVersion version, Arch arch);

// Asks host.ChooseDirectory(host.ModulePath()). On cancel: shows "Aborted",
// requests the end of the application and returns with cancelled set; nothing
// is copied or written. A directory that holds another package (see
// CheckTargetFolder) is refused with MixedFolderError before anything is
// written, unless options.replace. Otherwise creates the directory, copies every file
// (never replacing one), writes "vormlan.inf" (CR LF after every line) and
// shows "Driver has been created" — or, when files could not be found,
// "Driver has been created, but these files were not found:" and one name per
// line.
// Throws vormlan::Exception "Unable to create directory" for an empty
// directory text, "Cannot create directory "<dir>": <reason>" when the
// directory cannot be made, "Cannot copy file "<source>" to "<dest>". <reason>"
// when a copy fails for another reason than a missing source, and the host's
// "Cannot create file ..." error when the INF cannot be written. Files copied
// before stay, whole; an earlier INF stays intact.
PackageResult WriteDriverPackage(HostServices& host, DriverVersion driverVersion,
                                 const InfLines& infLines, const DriverFiles& driverFiles,
                                 const PackageOptions& options = {});

}  // namespace vormlan::generation
