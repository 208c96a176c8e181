#include "generation/FolderCheck.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "common/FoldedIndex.h"
#include "common/Quoted.h"
#include "common/Unicode.h"
#include "inf/InfFile.h"
#include "inf/PackageCheck.h"

namespace vormlan::generation {
namespace {

using Entry = HostServices::DirectoryEntry;

bool IsInfName(const std::string& name) {
  return name.size() > 4 && unicode::Fold(name.substr(name.size() - 4)) == ".INF";
}

// What stands where the package has a file, when it is no file.
std::string NotAFileWhy(const Entry& entry) {
  return entry.kind == Entry::Kind::Directory
             ? "a folder where the package has a file"
             : "a link or special file where the package has a file";
}

// One folder of the target as it is: its entries, and where each folded
// name stands among them.
struct Listing {
  std::vector<Entry> entries;
  FoldedIndex index;
};

// The drivers an INF installs on arch, folded; nothing when it cannot be read.
std::optional<std::vector<std::string>> ModelsOf(const std::string& bytes, const std::string& name,
                                                 Arch arch) {
  try {
    const InfFile inf = InfFile::Parse(bytes, name);
    std::vector<std::string> models;
    for (const auto& model : RequirementsOf(inf, arch).models)
      models.push_back(unicode::Fold(model));
    return models;
  } catch (const Exception&) {
    return std::nullopt;
  }
}

// Why the INF already in the folder is not this package's, or nothing when
// it installs the same driver on the same architecture.
std::optional<std::string> ForeignInf(const std::string& old, const FolderPlan& plan) {
  if (old == plan.infBytes) return std::nullopt;
  const auto ours = ModelsOf(plan.infBytes, plan.infName, plan.arch);
  const auto theirs = ModelsOf(old, plan.infName, plan.arch);
  if (!theirs) return std::string("an INF that cannot be read");
  if (ours && !theirs->empty() && *ours == *theirs) return std::nullopt;
  if (theirs->empty()) {
    for (const auto& info : kArchitectures) {
      if (info.arch == plan.arch) continue;
      const auto other = ModelsOf(old, plan.infName, info.arch);
      if (other && !other->empty()) {
        return "the INF of a package for " + std::string(info.name) + ", not " +
               std::string(InfoOf(plan.arch).name);
      }
    }
    return "an INF that installs no driver on " + std::string(InfoOf(plan.arch).name);
  }
  return std::string("the INF of another driver");
}

}  // namespace

FolderCheck CheckTargetFolder(HostServices& host, const std::string& dir, const FolderPlan& plan) {
  FolderCheck check;
  const char sep = host.Separator();
  std::unordered_map<std::string, std::optional<Listing>> listings;  // by folder below dir
  const auto listingOf = [&](const std::string& folder) -> const std::optional<Listing>& {
    auto [it, added] = listings.try_emplace(folder);
    if (!added) return it->second;
    auto entries = host.ListTargetDirectory(folder.empty() ? dir : dir + sep + folder);
    if (!entries) return it->second;
    Listing listing;
    listing.entries = std::move(*entries);
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
      listing.index.Add(listing.entries[i].name, i);
    }
    it->second = std::move(listing);
    return it->second;
  };
  if (!listingOf("")) return check;

  const bool ignoresCase = host.TargetIgnoresCase();
  std::unordered_set<std::string> planned;  // folded names the package puts at the top
  const auto conflict = [&](const std::string& folder, const std::string& name, std::string why) {
    check.conflicts.push_back({folder.empty() ? name : folder + sep + name, std::move(why)});
  };

  for (const auto& file : plan.files) {
    const auto cut = file.name.rfind(sep);
    const std::string folder = cut == std::string::npos ? std::string() : file.name.substr(0, cut);
    const std::string name = cut == std::string::npos ? file.name : file.name.substr(cut + 1);
    if (folder.empty()) planned.insert(unicode::Fold(name));
    const auto& listing = listingOf(folder);
    if (!listing) continue;
    for (const std::size_t i : listing->index.Find(name)) {
      const Entry& entry = listing->entries[i];
      if (entry.kind != Entry::Kind::File) {
        conflict(folder, entry.name, NotAFileWhy(entry));
        continue;
      }
      if (entry.name != name && !ignoresCase) {
        conflict(folder, entry.name,
                 "differs only in letter case from " + Quoted(name) +
                     ", which the package holds; Windows cannot hold both");
        check.spelledAs.emplace(file.name, folder.empty() ? entry.name : folder + sep + entry.name);
        continue;
      }
      const std::string dest = dir + sep + (folder.empty() ? "" : folder + sep) + entry.name;
      for (const auto& source : file.sources) {
        if (const auto same = host.SameContent(source, dest)) {
          if (!*same) conflict(folder, entry.name, "differs from the driver's file");
          break;
        }
      }
    }
  }

  // The INF the run writes, and INFs of other packages.
  std::string ownInf;
  if (!plan.infName.empty()) {
    ownInf = unicode::Fold(plan.infName);
    planned.insert(ownInf);
  }
  for (const auto& entry : listingOf("")->entries) {
    if (!IsInfName(entry.name)) continue;
    const std::string folded = unicode::Fold(entry.name);
    if (folded == ownInf && entry.kind != Entry::Kind::File) {
      conflict("", entry.name, NotAFileWhy(entry));
    } else if (folded == ownInf) {
      if (entry.name != plan.infName && !ignoresCase) {
        conflict("", entry.name,
                 "differs only in letter case from " + Quoted(plan.infName) +
                     ", which the package holds; Windows cannot hold both");
        continue;
      }
      const auto old = host.ReadTargetFile(dir + sep + entry.name, kMaxInfFileBytes);
      const auto why = old ? ForeignInf(*old, plan) : std::string("an INF that cannot be read");
      if (why) conflict("", entry.name, *why);
    } else if (planned.count(folded) == 0) {
      conflict("", entry.name, "the INF of another package");
    }
  }
  return check;
}

namespace {

std::string HeadingOf(const std::string& folder) {
  return "The folder " + Quoted(folder) + " holds another package; nothing was written:";
}

std::string MessageOf(const std::string& folder, const std::vector<FolderConflict>& conflicts) {
  std::string text = HeadingOf(folder);
  for (const auto& c : conflicts) text += "\n" + c.name + ": " + c.why;
  return text;
}

}  // namespace

MixedFolderError::MixedFolderError(const std::string& folder, std::vector<FolderConflict> conflicts)
    : Exception(MessageOf(folder, conflicts),
                {"choose a new folder, or give --replace to replace the package's files there "
                 "(nothing else is removed)"}),
      heading_(HeadingOf(folder)),
      conflicts_(std::move(conflicts)) {}

}  // namespace vormlan::generation
