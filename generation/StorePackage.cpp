#include "generation/StorePackage.h"

#include <algorithm>
#include <unordered_set>

#include "common/PathParts.h"
#include "common/Quoted.h"
#include "common/Exception.h"
#include "common/Unicode.h"
#include "generation/FolderCheck.h"
#include "inf/InfFile.h"

namespace vormlan::generation {
namespace {

using Kind = HostServices::CopyResult::Kind;
using Entry = HostServices::DirectoryEntry;

constexpr char kRepository[] = "\\System32\\DriverStore\\FileRepository\\";
// Far deeper than any real package; it keeps a looping tree from going on.
constexpr std::size_t kMaxDepth = 32;

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  ForEachPathPart(path, [&parts](std::string_view part, bool) {
    parts.emplace_back(part);
    return true;
  });
  return parts;
}

bool EndsWithInf(const std::string& name) {
  return name.size() > 4 && unicode::EqualsIgnoreCase(name.substr(name.size() - 4), ".inf");
}

}  // namespace

StoreLocation LocateStorePackage(const std::string& infPath) {
  auto refuse = [&](const std::string& why) -> StoreLocation {
    throw Exception("The driver's InfPath " + Quoted(infPath) + " " + why +
                    "; only a package in System32\\DriverStore\\FileRepository is copied");
  };
  if (infPath.empty()) refuse("is empty");
  const auto parts = Components(infPath);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == "." || parts[i] == "..") refuse("holds \"" + parts[i] + "\"");
    if (parts[i].empty() && i != 0) refuse("holds an empty folder name");
    for (const char c : parts[i]) {
      if (static_cast<unsigned char>(c) < 0x20) refuse("holds a control character");
    }
  }
  // ...\System32\DriverStore\FileRepository\<folder>\<name>.inf: the last five.
  if (parts.size() < 5) refuse("is not in the driver store");
  const std::size_t n = parts.size();
  if (!unicode::EqualsIgnoreCase(parts[n - 5], "System32") ||
      !unicode::EqualsIgnoreCase(parts[n - 4], "DriverStore") ||
      !unicode::EqualsIgnoreCase(parts[n - 3], "FileRepository")) {
    refuse("is not in the driver store");
  }
  if (!EndsWithInf(parts[n - 1])) refuse("does not name an INF file");
  if (parts[n - 2].find(':') != std::string::npos || parts[n - 1].find(':') != std::string::npos) {
    refuse("holds a \":\" in a name");
  }
  return StoreLocation{parts[n - 2], parts[n - 1]};
}

std::string StoreFolderPath(HostServices& host, const StoreLocation& location) {
  return host.WindowsDir() + kRepository + location.folder;
}

bool StorePackageExists(HostServices& host, const StoreLocation& location) {
  return host.ListDirectory(StoreFolderPath(host, location)).has_value();
}

StoreCopyResult CopyStorePackage(HostServices& host, const StoreLocation& location,
                                 const std::string& outDir, Arch arch, bool replace) {
  StoreCopyResult result;
  const std::string root = StoreFolderPath(host, location);
  result.sourceFolder = host.DisplayPath(root);
  const auto top = host.ListDirectory(root);
  if (!top) {
    throw Exception("The driver-store package is missing: looked for " +
                    Quoted(result.sourceFolder));
  }
  const bool hasInf = std::any_of(top->begin(), top->end(), [&](const Entry& e) {
    return e.kind == Entry::Kind::File && unicode::EqualsIgnoreCase(e.name, location.infName);
  });
  if (!hasInf) {
    throw Exception("The driver-store package holds no " + Quoted(location.infName) +
                    ": looked for " + Quoted(host.DisplayPath(root + "\\" + location.infName)));
  }
  if (outDir.empty()) throw Exception("Unable to create directory");
  const HostServices::TemporaryFoldersGuard temporaries(host);

  // The package's files, walked before anything is written: the folder's
  // check needs them all.
  struct Pending {
    std::string source;  // below the package, "\\"-separated
    std::string target;  // below outDir, host separators
    std::size_t depth;
  };
  struct Planned {
    std::string from;    // source path
    std::string target;  // below outDir
    std::string source;  // below the package
  };
  std::vector<Pending> pending = {{"", "", 0}};
  std::vector<std::string> folders;  // below outDir, outermost first
  std::vector<Planned> files;
  while (!pending.empty()) {
    const Pending folder = pending.back();
    pending.pop_back();
    folders.push_back(folder.target);
    const std::string sourceDir = folder.source.empty() ? root : root + "\\" + folder.source;
    const auto entries = host.ListDirectory(sourceDir);
    if (!entries) {
      throw Exception("Cannot read the folder " + Quoted(host.DisplayPath(sourceDir)));
    }
    for (const Entry& entry : *entries) {
      const std::string source =
          folder.source.empty() ? entry.name : folder.source + "\\" + entry.name;
      const std::string target =
          folder.target.empty() ? entry.name : folder.target + host.Separator() + entry.name;
      if (entry.name.find_first_of("\\/") != std::string::npos) {
        result.skipped.push_back(target + ": its name holds a path separator");
        continue;
      }
      if (entry.kind == Entry::Kind::Other) {
        result.skipped.push_back(target + ": a link or other special file, which is not followed");
        continue;
      }
      if (entry.kind == Entry::Kind::Directory) {
        if (folder.depth + 1 > kMaxDepth) {
          result.skipped.push_back(target + ": nested too deeply");
        } else {
          pending.push_back({source, target, folder.depth + 1});
        }
        continue;
      }
      files.push_back({root + "\\" + source, target, source});
    }
  }

  FolderPlan plan;
  plan.arch = arch;
  for (const auto& file : files) plan.files.push_back({file.target, {file.from}});
  const FolderCheck check = CheckTargetFolder(host, outDir, plan);
  if (!check.conflicts.empty() && !replace)
    throw MixedFolderError(host.DisplayPath(outDir), check.conflicts);

  for (const auto& folder : folders) {
    const std::string targetDir = folder.empty() ? outDir : outDir + host.Separator() + folder;
    if (const auto reason = host.CreateDirectoryTree(targetDir)) {
      throw Exception("Cannot create directory " + Quoted(host.DisplayPath(targetDir)) + ": " +
                      *reason);
    }
  }
  std::unordered_set<std::string> copiedFolded;
  for (const auto& file : files) {
    const auto spelled = check.spelledAs.find(file.target);
    const std::string to = outDir + host.Separator() +
                           (spelled == check.spelledAs.end() ? file.target : spelled->second);
    const auto copied =
        replace ? host.CopyFileReplacing(file.from, to) : host.CopyFileNoOverwrite(file.from, to);
    switch (copied.kind) {
      case Kind::Copied:
        result.copied.push_back(file.target);
        break;
      case Kind::TargetExists:
        result.kept.push_back(file.target);
        if (host.SameContent(file.from, to) == false) result.differing.push_back(file.target);
        break;
      case Kind::SourceMissing:
      case Kind::Failed:
        throw Exception("Cannot copy file " + Quoted(host.DisplayPath(file.from)) + " to " +
                        Quoted(host.DisplayPath(to)) + ". " +
                        (copied.reason.empty() ? std::string("The file has gone") : copied.reason));
    }
    copiedFolded.insert(unicode::Fold(file.source));
  }
  std::sort(result.copied.begin(), result.copied.end());
  std::sort(result.kept.begin(), result.kept.end());

  // The catalog the INF names, looked for among the package's files.
  if (const auto bytes = host.ReadSourceFile(root + "\\" + location.infName, kMaxInfFileBytes)) {
    try {
      const InfFile inf = InfFile::Parse(*bytes, location.infName);
      result.catalogFile = CatalogFileOf(inf, arch);
    } catch (const InfParseError&) {
      // An INF setup cannot read has no catalog to speak of.
    }
  }
  if (result.catalogFile) {
    std::string relative = *result.catalogFile;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    result.catalogPresent = copiedFolded.count(unicode::Fold(relative)) == 1;
  }
  return result;
}

}  // namespace vormlan::generation
