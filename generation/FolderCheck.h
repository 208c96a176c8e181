#pragma once
// A folder holds one package. Before a package is written into a folder
// that holds files already, what is there is compared with what would be
// written: the same files may stay, but a file whose bytes differ from the
// driver's, the INF of another driver or architecture, another INF, or a
// name that differs only in letter case from one the package holds (where
// the target's file system tells such names apart) means the folder holds
// another package, and writing into it would mix the two.

#include <map>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "print/Architecture.h"
#include "host/HostServices.h"

namespace vormlan::generation {

// One file a package copies into its folder.
struct PlannedFile {
  std::string name;                  // below the folder, joined with the host's separator
  std::vector<std::string> sources;  // where it is copied from: the first readable one counts
};

struct FolderPlan {
  std::vector<PlannedFile> files;
  // The INF the run writes itself, with its bytes; empty name for a package
  // whose INF is among files. An INF there of the same driver for the same
  // architecture is replaced, as a second run into the folder always did.
  std::string infName;
  std::string infBytes;
  Arch arch = Arch::X86;
};

struct FolderConflict {
  std::string name;  // as the folder holds it, below the folder
  std::string why;
};

struct FolderCheck {
  std::vector<FolderConflict> conflicts;
  // Where the folder holds a planned file under another spelling (on a file
  // system that tells them apart): the planned name and the folder's. A
  // replacing run writes there, so that one file stays.
  std::map<std::string, std::string> spelledAs;
};

// Compares the folder dir (a target path) with plan. A folder that is not
// there, or cannot be listed, has no conflicts: writing into it will say
// what is wrong. Reads each file that is there once against its source;
// work grows with the names in the folder and the plan.
FolderCheck CheckTargetFolder(HostServices& host, const std::string& dir, const FolderPlan& plan);

// The error of a folder that holds another package. Its message is the
// heading, naming the folder as messages show it, then one line for each
// conflict ("<name>: <why>"); its hints are for the command line (a new
// folder, or --replace). Heading and conflicts are kept apart for those who
// print each line on its own.
class MixedFolderError : public Exception {
 public:
  MixedFolderError(const std::string& folder, std::vector<FolderConflict> conflicts);
  const std::string& Heading() const { return heading_; }
  const std::vector<FolderConflict>& Conflicts() const { return conflicts_; }

 private:
  std::string heading_;
  std::vector<FolderConflict> conflicts_;
};

}  // namespace vormlan::generation
