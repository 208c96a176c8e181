#pragma once
// A driver's original package in the Windows driver store
// (System32\DriverStore\FileRepository\<folder>), which the registration's
// "InfPath" names. Copied as it is, it keeps the vendor's catalog and so
// installs signed, which a composed INF never does.

#include <optional>
#include <string>
#include <vector>

#include "print/Architecture.h"
#include "host/HostServices.h"

namespace vormlan::generation {

struct StoreLocation {
  std::string folder;   // the package's folder below FileRepository
  std::string infName;  // the INF's file name in it
};

// Where an InfPath leads. Only a path that ends in
// System32\DriverStore\FileRepository\<folder>\<name>.inf (case ignored, "\"
// or "/") is accepted; anything else, and any "." or ".." on the way, is
// refused with a vormlan::Exception naming the InfPath and what is wrong, so
// that a registry from another disk cannot point the copy at other files.
// What stands before System32 (a drive and Windows directory, %SystemRoot%)
// is the other machine's and is not used.
StoreLocation LocateStorePackage(const std::string& infPath);

// The package folder as a source path of host.
std::string StoreFolderPath(HostServices& host, const StoreLocation& location);

// Whether the package folder is there.
bool StorePackageExists(HostServices& host, const StoreLocation& location);

struct StoreCopyResult {
  std::string sourceFolder;                // as messages show it
  std::vector<std::string> copied;         // relative paths, host separators
  std::vector<std::string> kept;           // already in outDir, left as they were
  std::vector<std::string> differing;      // kept files whose bytes differ
  std::vector<std::string> skipped;        // "<path>: <why>" for links and other non-files
  std::optional<std::string> catalogFile;  // what the INF names for the arch
  bool catalogPresent = false;             // and whether the package holds it
};

// Copies the package folder with its subfolders into outDir (a target path,
// created with its parents): files never replace files unless replace, links
// are never followed (they are skipped and listed), no INF of our own is
// written. Throws vormlan::Exception naming the path looked for when the
// folder is missing, MixedFolderError when outDir holds another package
// (and replace is not set) before anything is written, and the directory
// and copy errors of the package writer.
StoreCopyResult CopyStorePackage(HostServices& host, const StoreLocation& location,
                                 const std::string& outDir, Arch arch, bool replace = false);

}  // namespace vormlan::generation
