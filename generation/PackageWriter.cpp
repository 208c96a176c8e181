#include "generation/PackageWriter.h"

#include <algorithm>
#include <unordered_set>

#include "common/Exception.h"
#include "common/Quoted.h"
#include "common/Unicode.h"
#include "generation/FolderCheck.h"

namespace vormlan::generation {
namespace {

using Kind = HostServices::CopyResult::Kind;

}  // namespace

std::vector<std::string> SourceFolders(HostServices& host, DriverVersion version, Arch arch) {
  const std::string store = "\\System32\\Spool\\Drivers\\" + std::string(InfoOf(arch).storeFolder) +
                            (version == 2 ? "\\2\\" : "\\3\\");
  return {host.WindowsDir() + store, host.WindowsDir() + "\\System32\\"};
}

PackageResult WriteDriverPackage(HostServices& host, DriverVersion driverVersion,
                                 const InfLines& infLines, const DriverFiles& driverFiles,
                                 const PackageOptions& options) {
  PackageResult result;
  const std::string start = host.ModulePath();
  const std::vector<std::string> sources = SourceFolders(host, driverVersion, options.arch);

  const auto chosen = host.ChooseDirectory(start);
  if (!chosen) {
    host.ShowPlainMessage("Aborted");
    host.RequestApplicationEnd();
    result.cancelled = true;
    return result;
  }
  const std::string& dir = *chosen;
  if (dir.empty()) throw Exception("Unable to create directory");
  const std::string infBytes = InfBytes(infLines, options.textEncoding, options.infEncoding);

  // Every file to copy with the folders it is looked for in: the driver's
  // from its store and System32, then the extra files from their own. The
  // empty entry of the driver's files names no file, yet counts in the
  // progress as it always did.
  struct Copy {
    const std::string* name;
    const std::vector<std::string>* folders;
  };
  std::vector<Copy> copies;
  std::unordered_set<std::string> taken;
  for (const auto& name : driverFiles.Items()) {
    copies.push_back({&name, &sources});
    if (!options.extraFiles.empty()) taken.insert(unicode::Fold(name));
  }
  for (const auto& extra : options.extraFiles) {
    if (extra.name.empty() || !taken.insert(unicode::Fold(extra.name)).second) continue;
    copies.push_back({&extra.name, &extra.folders});
  }

  // A folder holding another package is left alone, unless told to replace.
  FolderPlan plan;
  plan.infName = kInfFileName;
  plan.infBytes = infBytes;
  plan.arch = options.arch;
  for (const auto& copy : copies) {
    if (copy.name->empty()) continue;
    PlannedFile file{*copy.name, {}};
    for (const auto& folder : *copy.folders) file.sources.push_back(folder + *copy.name);
    plan.files.push_back(std::move(file));
  }
  const FolderCheck check = CheckTargetFolder(host, dir, plan);
  if (!check.conflicts.empty() && !options.replace) {
    throw MixedFolderError(host.DisplayPath(dir), check.conflicts);
  }

  if (const auto reason = host.CreateDirectoryTree(dir)) {
    throw Exception("Cannot create directory " + Quoted(host.DisplayPath(dir)) + ": " + *reason);
  }
  result.directory = dir;
  result.packageFiles.push_back(kInfFileName);
  const HostServices::TemporaryFoldersGuard temporaries(host);

  std::vector<const std::vector<std::string>*> searched;
  for (std::size_t i = 0; i < copies.size(); ++i) {
    const std::string& name = *copies[i].name;
    const std::vector<std::string>& folders = *copies[i].folders;
    // The empty entry names no file.
    if (name.empty()) continue;
    if (options.onFile) options.onFile(i, copies.size(), name);
    const auto spelled = check.spelledAs.find(name);
    const std::string& placed = spelled == check.spelledAs.end() ? name : spelled->second;
    const std::string dest = dir + host.Separator() + placed;
    HostServices::CopyResult copied;
    std::size_t from = 0;
    std::string missingReason;  // the first thing found that is not a file
    for (; from < folders.size(); ++from) {
      copied = options.replace ? host.CopyFileReplacing(folders[from] + name, dest)
                               : host.CopyFileNoOverwrite(folders[from] + name, dest);
      if (copied.kind != Kind::SourceMissing) break;
      if (missingReason.empty() && !copied.reason.empty()) {
        missingReason = host.DisplayPath(folders[from] + name) + " is " + copied.reason;
      }
    }
    switch (copied.kind) {
      case Kind::Copied:
        result.copiedFiles.push_back(name);
        result.packageFiles.push_back(placed);
        break;
      case Kind::TargetExists: {
        result.keptFiles.push_back(name);
        result.packageFiles.push_back(placed);
        for (const auto& folder : folders) {
          if (const auto same = host.SameContent(folder + name, dest)) {
            if (!*same) result.differingFiles.push_back(name);
            break;
          }
        }
        break;
      }
      case Kind::SourceMissing:
        result.missingFiles.push_back(name);
        if (!missingReason.empty()) result.missingReasons.emplace_back(name, missingReason);
        if (std::find(searched.begin(), searched.end(), &folders) == searched.end()) {
          searched.push_back(&folders);
        }
        break;
      case Kind::Failed:
        throw Exception("Cannot copy file " + Quoted(host.DisplayPath(folders[from] + name)) +
                        " to " + Quoted(host.DisplayPath(dest)) + ". " + copied.reason);
    }
  }
  // The driver's folders first, as they always were named.
  if (!result.missingFiles.empty()) {
    for (const auto& folder : sources) result.searchedFolders.push_back(host.DisplayPath(folder));
    for (const auto* folders : searched) {
      if (folders == &sources) continue;
      for (const auto& folder : *folders) {
        result.searchedFolders.push_back(host.DisplayPath(folder));
      }
    }
  }

  result.infPath = dir + host.Separator() + kInfFileName;
  host.SaveFile(result.infPath, infBytes);

  if (result.missingFiles.empty()) {
    host.ShowPlainMessage("Driver has been created");
  } else {
    std::string text = "Driver has been created, but these files were not found:";
    for (const auto& name : result.missingFiles) text += "\n" + name;
    host.ShowPlainMessage(text);
  }
  return result;
}

}  // namespace vormlan::generation
