#pragma once
// Verifies a driver package folder: that each INF in it reads, names a
// printer class, reaches a models section for the architecture, and that
// every file its install sections copy, and its catalog, are in the folder.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "print/Architecture.h"
#include "inf/InfFile.h"

namespace vormlan::generation {

// A file an INF needs from its folder.
struct RequiredFile {
  std::vector<std::string> folders;  // below the package folder, outermost first
  std::string name;
  std::string origin;  // what names it: "[Files]" or "CopyFiles of [Install]"
};

// What one INF needs from its folder on an architecture, from its text alone.
struct InfRequirements {
  std::vector<std::string> modelsSections;  // the models sections that exist
  std::vector<std::string> models;          // the model (driver) names they list, each once
  std::vector<RequiredFile> files;          // each once, in the order first named
  std::optional<std::string> catalog;
  std::vector<std::string> problems;  // what is wrong with the text
};

InfRequirements RequirementsOf(const InfFile& inf, Arch arch);

// The machine (IMAGE_FILE_MACHINE_*) of a PE image, from its first bytes, or
// nothing for bytes that are no PE image.
std::optional<unsigned> PeMachineOf(std::string_view head);

struct PackageProblem {
  std::string inf;  // the INF's file name; empty for the folder itself
  std::string problem;
};

// A file of the package as the catalog check sees it: its name as messages
// give it (with the folders below the package) and where it is on disk.
struct PackageFile {
  std::string name;
  std::filesystem::path path;
};

// Checks an INF's catalog against the files of its package; the catalog
// library implements it (the check itself knows no cryptography).
class CatalogVerifier {
 public:
  virtual ~CatalogVerifier() = default;
  // What is wrong with catalog (the file named catalogName in the package)
  // for files: the INF and every file it copies that is in the folder.
  virtual std::vector<std::string> Verify(const std::filesystem::path& catalog,
                                          const std::string& catalogName,
                                          const std::vector<PackageFile>& files) = 0;
};

struct PackageCheckResult {
  std::vector<std::string> infs;  // file names of the INFs, sorted
  std::vector<PackageProblem> problems;
  bool Ok() const { return problems.empty(); }
};

// Checks every "*.inf" (case ignored) directly in dir. File names in the
// folder are matched without regard to case, as on Windows. Never throws for
// what it finds on disk: a missing or unreadable folder is a problem too.
// Besides each INF's own needs, it refuses what Windows cannot install from
// one folder: two names in a folder that differ only in letter case, INFs
// of different drivers side by side, and a PE image (.dll, .drv, .exe) an
// INF copies that is built for another architecture than the one checked.
// Only the first 4 KiB of such a file are read. An INF made for the driver
// store (it names a catalog and a DriverVer) and listing its source files
// is staged from that list alone: a file it copies that [SourceDisksFiles]
// leaves out is a problem, and every file listed there must be in the
// folder. With catalogs, the catalog
// an INF names is checked against the INF and the files it copies.
PackageCheckResult CheckPackage(const std::filesystem::path& dir, Arch arch,
                                CatalogVerifier* catalogs = nullptr);

}  // namespace vormlan::generation
