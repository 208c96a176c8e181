#include "generation/PackageWriter.h"

#include "common/Quoted.h"
#include "common/Exception.h"
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
  const auto& names = driverFiles.Items();
  const std::string infBytes = InfBytes(infLines, options.textEncoding, options.infEncoding);

  // A folder holding another package is left alone, unless told to replace.
  FolderPlan plan;
  plan.infName = kInfFileName;
  plan.infBytes = infBytes;
  plan.arch = options.arch;
  for (const auto& name : names) {
    if (name.empty()) continue;
    PlannedFile file{name, {}};
    for (const auto& folder : sources) file.sources.push_back(folder + name);
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
  const HostServices::TemporaryFoldersGuard temporaries(host);

  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    // The empty entry names no file.
    if (name.empty()) continue;
    if (options.onFile) options.onFile(i, names.size(), name);
    const auto spelled = check.spelledAs.find(name);
    const std::string dest =
        dir + host.Separator() + (spelled == check.spelledAs.end() ? name : spelled->second);
    HostServices::CopyResult copied;
    std::size_t from = 0;
    std::string missingReason;  // the first thing found that is not a file
    for (; from < sources.size(); ++from) {
      copied = options.replace ? host.CopyFileReplacing(sources[from] + name, dest)
                               : host.CopyFileNoOverwrite(sources[from] + name, dest);
      if (copied.kind != Kind::SourceMissing) break;
      if (missingReason.empty() && !copied.reason.empty()) {
        missingReason = host.DisplayPath(sources[from] + name) + " is " + copied.reason;
      }
    }
    switch (copied.kind) {
      case Kind::Copied:
        result.copiedFiles.push_back(name);
        break;
      case Kind::TargetExists: {
        result.keptFiles.push_back(name);
        for (const auto& folder : sources) {
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
        break;
      case Kind::Failed:
        throw Exception("Cannot copy file " + Quoted(host.DisplayPath(sources[from] + name)) +
                        " to " + Quoted(host.DisplayPath(dest)) + ". " + copied.reason);
    }
  }
  if (!result.missingFiles.empty()) {
    for (const auto& folder : sources) result.searchedFolders.push_back(host.DisplayPath(folder));
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
