#include "inf/PackageCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/FoldedIndex.h"
#include "common/PathParts.h"
#include "common/Quoted.h"
#include "common/Unicode.h"
#include "inf/DescriptionCheck.h"

namespace vormlan::generation {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrinterClassGuid = "{4D36E979-E325-11CE-BFC1-08002BE10318}";
std::string Bracket(std::string_view section) {
  return "[" + std::string(section) + "]";
}

// A name that stays inside its folder: no separators, no drive, not a
// reference to a folder itself.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string_view::npos;
}

// A relative path of an INF ("sub\dir", "\x64"; "" and "\" are the folder
// itself) as its components, or nothing when it leads out of the folder.
std::optional<std::vector<std::string>> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  const bool inside = ForEachPathPart(path, [&parts](std::string_view part, bool) {
    if (part.empty() || part == ".") return true;
    if (!IsPlainName(part)) return false;
    parts.emplace_back(part);
    return true;
  });
  if (!inside) return std::nullopt;
  return parts;
}

std::string DisplayPath(const std::vector<std::string>& folders, const std::string& name) {
  std::string out;
  for (const auto& folder : folders) {
    out += folder;
    out += static_cast<char>(fs::path::preferred_separator);
  }
  return out + name;
}

// The platform part of a models decoration: "NTamd64" of "NTamd64.10.0".
std::string_view PlatformOf(std::string_view decoration) {
  return decoration.substr(0, decoration.find('.'));
}

class RequirementsReader {
 public:
  RequirementsReader(const InfFile& inf, Arch arch) : inf_(inf), arch_(arch) {}

  InfRequirements Read() {
    CheckVersion();
    const std::string listSection = "SourceDisksFiles." + std::string(InfoOf(arch_).sourceSuffix);
    // An INF made for the driver store (it names a catalog and a DriverVer)
    // and listing its source files is staged from that list alone; others
    // are installed from their folder (Have Disk), which setup takes an
    // unlisted file from.
    const InfSection* version = inf_.Find("Version");
    listsSources_ = version != nullptr && version->Find("DriverVer") != nullptr &&
                    CatalogFileOf(inf_, arch_).has_value() &&
                    (inf_.Find(listSection) != nullptr || inf_.Find("SourceDisksFiles") != nullptr);
    for (const auto& models : ModelsSections()) Models(models);
    // What the source disk sections list must be there too: staging copies
    // every listed file into the driver store.
    for (const auto& name : {listSection, std::string("SourceDisksFiles")}) {
      const InfSection* list = listsSources_ ? inf_.Find(name) : nullptr;
      if (list == nullptr) continue;
      for (const auto& line : list->Lines()) {
        if (line.hasKey && !line.key.empty()) Require(line.key, Bracket(list->Name()));
      }
    }
    if (inf_.Find("DestinationDirs") == nullptr) Problem("no [DestinationDirs] section");
    if (auto catalog = CatalogFileOf(inf_, arch_)) {
      if (IsPlainName(*catalog)) {
        out_.catalog = std::move(catalog);
      } else {
        Problem("CatalogFile " + Quoted(*catalog) + " in [Version] is not a plain file name");
      }
    }
    return std::move(out_);
  }

 private:
  void Problem(std::string text) { out_.problems.push_back(std::move(text)); }

  void CheckVersion() {
    const InfSection* version = inf_.Find("Version");
    if (version == nullptr) {
      Problem("no [Version] section");
      return;
    }
    const InfLine* signature = version->Find("Signature");
    if (signature == nullptr) {
      Problem("[Version] has no Signature");
    } else {
      const auto& value = signature->fields.front();
      if (!unicode::EqualsIgnoreCase(value, "$Windows NT$") &&
          !unicode::EqualsIgnoreCase(value, "$Chicago$") &&
          !unicode::EqualsIgnoreCase(value, "$Windows 95$")) {
        Problem("[Version] Signature is " + Quoted(value) + ", not \"$Windows NT$\"");
      }
    }
    const InfLine* cls = version->Find("Class");
    if (cls == nullptr) {
      Problem("[Version] has no Class (Printer expected)");
    } else if (!unicode::EqualsIgnoreCase(cls->fields.front(), "Printer")) {
      Problem("[Version] Class is " + Quoted(cls->fields.front()) + ", not Printer");
    }
    const InfLine* guid = version->Find("ClassGUID");
    if (guid == nullptr) {
      Problem("[Version] has no ClassGUID (the printer class " + std::string(kPrinterClassGuid) +
              " expected)");
    } else if (!unicode::EqualsIgnoreCase(guid->fields.front(), kPrinterClassGuid)) {
      Problem("[Version] ClassGUID is " + Quoted(guid->fields.front()) +
              ", not the printer class " + std::string(kPrinterClassGuid));
    }
  }

  // Whether a models decoration applies to the architecture. Undecorated
  // models and "NT" serve x86 only; 64-bit Windows wants its own platform.
  bool Applies(std::string_view platform, bool specificOnly) const {
    if (unicode::EqualsIgnoreCase(platform, PlatformSuffix(arch_))) return true;
    return arch_ == Arch::X86 && !specificOnly && unicode::EqualsIgnoreCase(platform, "NT");
  }

  // The models sections [Manufacturer] reaches. Which operating system
  // version the package is for is not known, so every decoration of the
  // architecture counts; one of the platform itself ("NTx86") hides the
  // plain "NT" ones, as Windows prefers it.
  std::vector<std::string> ModelsSections() {
    const InfSection* manufacturer = inf_.Find("Manufacturer");
    if (manufacturer == nullptr) {
      Problem("no [Manufacturer] section");
      return {};
    }
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    const auto add = [&](std::string name) {
      if (seen.insert(unicode::Fold(name)).second) names.push_back(std::move(name));
    };
    for (const auto& line : manufacturer->Lines()) {
      const std::string& base = line.fields.front();
      if (base.empty()) {
        Problem("[Manufacturer] line " + std::to_string(line.number) + " names no models section");
        continue;
      }
      const auto decorations = std::vector<std::string>(line.fields.begin() + 1, line.fields.end());
      const bool specific = std::any_of(decorations.begin(), decorations.end(), [&](const auto& d) {
        return Applies(PlatformOf(d), true);
      });
      bool decorated = false;
      for (const auto& decoration : decorations) {
        if (!decoration.empty() && Applies(PlatformOf(decoration), specific)) {
          add(base + "." + decoration);
          decorated = true;
        }
      }
      if (!decorated && arch_ == Arch::X86) add(base);
    }
    std::vector<std::string> existing;
    for (const auto& name : names) {
      if (inf_.Find(name) != nullptr) {
        existing.push_back(name);
      } else {
        Problem("models section " + Bracket(name) + " named in [Manufacturer] does not exist");
      }
    }
    if (manufacturer->Lines().empty()) {
      Problem("[Manufacturer] lists no manufacturer");
    } else if (names.empty() && arch_ != Arch::X86) {
      Problem("no models section for " + std::string(InfoOf(arch_).name) +
              ": [Manufacturer] names none decorated " + std::string(PlatformSuffix(arch_)) +
              " (64-bit Windows ignores undecorated ones)");
    }
    out_.modelsSections = existing;
    return existing;
  }

  // The install section Windows takes for a model's section name: the one
  // decorated for the platform, then ".NT", then the name itself.
  const InfSection* InstallSection(const std::string& name) const {
    for (const std::string& suffix :
         {"." + std::string(PlatformSuffix(arch_)), std::string(".NT"), std::string()}) {
      if (const InfSection* section = inf_.Find(name + suffix)) return section;
    }
    return nullptr;
  }

  void Models(const std::string& name) {
    const InfSection* models = inf_.Find(name);
    if (models->Lines().empty()) Problem("models section " + Bracket(name) + " lists no model");
    for (const auto& line : models->Lines()) {
      const std::string& install = line.fields.front();
      const std::string model = Quoted(line.hasKey ? line.key : install);
      if (install.empty()) {
        Problem("model " + model + " in " + Bracket(name) + " names no install section");
        continue;
      }
      if (line.hasKey && models_.insert(unicode::Fold(line.key)).second) {
        out_.models.push_back(line.key);
      }
      if (!installs_.insert(unicode::Fold(install)).second) continue;
      const InfSection* section = InstallSection(install);
      if (section == nullptr) {
        Problem("install section " + Bracket(install) + " of model " + model + " in " +
                Bracket(name) + " does not exist");
        continue;
      }
      Install(*section);
    }
  }

  void Install(const InfSection& install) {
    const std::string origin = "CopyFiles of " + Bracket(install.Name());
    for (const InfLine* line : install.FindAll("CopyFiles")) {
      for (const auto& item : line->fields) {
        if (item.empty()) continue;
        if (item.front() == '@') {
          Require(item.substr(1), origin);
          continue;
        }
        if (!fileLists_.insert(unicode::Fold(item)).second) continue;
        const InfSection* list = inf_.Find(item);
        if (list == nullptr) {
          Problem("CopyFiles section " + Bracket(item) + " named in " + Bracket(install.Name()) +
                  " does not exist");
          continue;
        }
        for (const auto& entry : list->Lines()) {
          // dest[,source[,...]]: the source file has the destination's name
          // unless it is given.
          std::string_view source = entry.Field(2);
          if (source.empty()) source = entry.Field(1);
          if (!source.empty()) Require(std::string(source), Bracket(list->Name()));
        }
      }
    }
  }

  // The first line of a key in the platform's variant of a section, else in
  // the plain section.
  const InfLine* SourceLine(const std::string& section, std::string_view key) const {
    for (const auto& name : {section + "." + std::string(InfoOf(arch_).sourceSuffix), section}) {
      if (const InfSection* s = inf_.Find(name)) {
        if (const InfLine* line = s->Find(key)) return line;
      }
    }
    return nullptr;
  }

  void Require(const std::string& name, const std::string& origin) {
    if (const std::string why = NotAPlainFileName(name); !why.empty()) {
      // A path says for itself why it is no plain name.
      Problem("file name " + Quoted(name) + " in " + origin + " is not a plain file name" +
              (IsPlainName(name) ? ", " + why : std::string()));
      return;
    }
    RequiredFile file{{}, name, origin};
    if (const InfLine* source = SourceLine("SourceDisksFiles", name)) {
      const std::string disk(source->Field(1));
      const InfLine* media = SourceLine("SourceDisksNames", disk);
      if (media == nullptr) {
        Problem("disk " + Quoted(disk) + " of " + Quoted(name) +
                " in [SourceDisksFiles] is not listed in [SourceDisksNames]");
        return;
      }
      auto mediaPath = SplitPath(media->Field(4));
      auto subfolder = SplitPath(source->Field(2));
      if (!mediaPath || !subfolder) {
        Problem("the path of " + Quoted(name) + " (" + std::string(media->Field(4)) + " and " +
                std::string(source->Field(2)) + ") leads out of the folder");
        return;
      }
      file.folders = std::move(*mediaPath);
      file.folders.insert(file.folders.end(), subfolder->begin(), subfolder->end());
    } else if (listsSources_) {
      // Where an INF lists its source files, staging takes only those: a
      // copied file it leaves out is not in the driver store.
      Problem("file " + Quoted(name) + " of " + origin + " is not listed in [SourceDisksFiles]");
      return;
    }
    std::string key;
    for (const auto& folder : file.folders) key += unicode::Fold(folder) + "\\";
    key += unicode::Fold(name);
    if (files_.insert(std::move(key)).second) out_.files.push_back(std::move(file));
  }

  const InfFile& inf_;
  Arch arch_;
  bool listsSources_ = false;  // staged from its [SourceDisksFiles] alone
  InfRequirements out_;
  std::unordered_set<std::string> installs_, fileLists_, files_, models_;
};

// The folder's tree as Windows would see it: names matched without regard
// to case. Each folder is listed once, when first needed.
class FolderIndex {
 public:
  struct Entry {
    std::string name;
    bool folder = false;  // a real folder, not a link to one
    bool file = false;    // a regular file, or a link to one
  };
  struct Listing {
    std::vector<Entry> entries;
    FoldedIndex index;
    std::string error;
    std::vector<std::pair<std::string, std::string>>
        sameButCase;  // names Windows cannot tell apart

    // The entry name stands for: among names differing in case only, the
    // first file, else the first of them.
    std::optional<std::size_t> Match(std::string_view name) const {
      const auto places = index.Find(name);
      if (places.empty()) return std::nullopt;
      for (const std::size_t at : places) {
        if (entries[at].file) return at;
      }
      return places.front();
    }
  };

  explicit FolderIndex(fs::path root) : root_(std::move(root)) {}

  const Listing& Root() { return List("", root_); }

  // Why a file is not there, or nothing when it is.
  std::optional<std::string> Missing(const std::vector<std::string>& folders,
                                     const std::string& name) {
    std::string key;
    fs::path path = root_;
    for (const auto& folder : folders) {
      const Listing& listing = List(key, path);
      if (!listing.error.empty()) return listing.error;
      const auto at = listing.Match(folder);
      if (!at || !listing.entries[*at].folder) return "is missing";
      key += unicode::Fold(folder) + "\\";
      path /= PathOf(listing.entries[*at].name);
    }
    const Listing& listing = List(key, path);
    if (!listing.error.empty()) return listing.error;
    const auto at = listing.Match(name);
    if (!at) return "is missing";
    if (!listing.entries[*at].file) return "is not a regular file";
    return std::nullopt;
  }

  static fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
  }

  // The path of a file Missing found, as it is spelled on disk.
  fs::path Found(const std::vector<std::string>& folders, const std::string& name) {
    std::string key;
    fs::path path = root_;
    for (const auto& folder : folders) {
      const Listing& listing = List(key, path);
      path /= PathOf(listing.entries[*listing.Match(folder)].name);
      key += unicode::Fold(folder) + "\\";
    }
    const Listing& listing = List(key, path);
    return path / PathOf(listing.entries[*listing.Match(name)].name);
  }

  // Every folder listed so far, by its folded path below the root.
  const std::unordered_map<std::string, Listing>& Listings() const { return listings_; }

 private:
  const Listing& List(const std::string& key, const fs::path& path) {
    auto [it, added] = listings_.try_emplace(key);
    if (!added) return it->second;
    Listing& listing = it->second;
    std::error_code ec;
    fs::directory_iterator entries(path, ec);
    for (; !ec && entries != fs::directory_iterator(); entries.increment(ec)) {
      const auto u8 = entries->path().filename().u8string();
      Entry entry{std::string(u8.begin(), u8.end())};
      std::error_code typeError;
      entry.folder = entries->symlink_status(typeError).type() == fs::file_type::directory;
      entry.file = entries->status(typeError).type() == fs::file_type::regular;
      if (listing.index.Add(entry.name, listing.entries.size())) {
        const std::size_t first = listing.index.Find(entry.name).front();
        listing.sameButCase.emplace_back(listing.entries[first].name, entry.name);
      }
      listing.entries.push_back(std::move(entry));
    }
    if (ec) listing.error = "cannot be read: " + ec.message();
    return listing;
  }

  fs::path root_;
  std::unordered_map<std::string, Listing> listings_;  // folded relative path -> listing
};

std::optional<std::string> ReadInf(const fs::path& path, std::string& bytes) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) return "cannot be read: " + ec.message();
  if (size > kMaxInfFileBytes) return "is larger than 64 MiB, too large for an INF file";
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return "cannot be read";
  return std::nullopt;
}

// Whether a file is a PE image that the spooler or setup loads: driver DLLs,
// print processors, monitors and their helpers.
bool LoadedImage(const std::string& name) {
  const std::string folded = unicode::Fold(name);
  return folded.ends_with(".DLL") || folded.ends_with(".DRV") || folded.ends_with(".EXE");
}

std::string ReadHead(const fs::path& path, std::size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  std::string head(bytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(bytes));
  head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return head;
}

}  // namespace

std::optional<unsigned> PeMachineOf(std::string_view head) {
  const auto le = [&](std::size_t at, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = n; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(head[at + i]);
    return v;
  };
  if (head.size() < 0x40 || head.substr(0, 2) != "MZ") return std::nullopt;
  const std::uint32_t pe = le(0x3C, 4);
  if (pe > head.size() || head.size() - pe < 6 ||
      head.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
    return std::nullopt;
  }
  return le(pe + 4, 2);
}

InfRequirements RequirementsOf(const InfFile& inf, Arch arch) {
  return RequirementsReader(inf, arch).Read();
}

PackageCheckResult CheckPackage(const fs::path& dir, Arch arch, CatalogVerifier* catalogs) {
  PackageCheckResult result;
  const auto folderProblem = [&](std::string text) {
    result.problems.push_back({"", std::move(text)});
    return result;
  };
  std::error_code ec;
  const auto status = fs::status(dir, ec);
  if (status.type() == fs::file_type::not_found) return folderProblem("folder does not exist");
  if (ec) return folderProblem("cannot be read: " + ec.message());
  if (status.type() != fs::file_type::directory) return folderProblem("is not a folder");

  FolderIndex index(dir);
  const auto& root = index.Root();
  if (!root.error.empty()) return folderProblem(root.error);
  std::vector<const FolderIndex::Entry*> infs;
  for (const auto& entry : root.entries) {
    const std::string folded = unicode::Fold(entry.name);
    if (!entry.folder && folded.size() > 4 && folded.ends_with(".INF")) infs.push_back(&entry);
  }
  std::sort(infs.begin(), infs.end(),
            [](const auto* a, const auto* b) { return a->name < b->name; });
  if (infs.empty()) return folderProblem("holds no INF file");

  std::vector<std::pair<std::string, std::vector<std::string>>> driversOf;  // INF -> models
  for (const auto* entry : infs) {
    result.infs.push_back(entry->name);
    const auto problem = [&](std::string text) {
      result.problems.push_back({entry->name, std::move(text)});
    };
    if (!entry->file) {
      problem("is not a regular file");
      continue;
    }
    std::string bytes;
    if (const auto error = ReadInf(dir / FolderIndex::PathOf(entry->name), bytes)) {
      problem(*error);
      continue;
    }
    std::optional<InfFile> inf;
    try {
      inf = InfFile::Parse(bytes, entry->name);
    } catch (const InfParseError& e) {
      problem("line " + std::to_string(e.Line()) + ": " + e.What());
      continue;
    }
    auto needs = RequirementsOf(*inf, arch);
    for (auto& text : needs.problems) problem(std::move(text));
    std::vector<PackageFile> present = {{entry->name, dir / FolderIndex::PathOf(entry->name)}};
    for (const auto& file : needs.files) {
      if (const auto why = index.Missing(file.folders, file.name)) {
        problem("file " + Quoted(DisplayPath(file.folders, file.name)) + " of " + file.origin +
                " " + *why);
        continue;
      }
      present.push_back(
          {DisplayPath(file.folders, file.name), index.Found(file.folders, file.name)});
      if (!LoadedImage(file.name)) continue;
      const auto machine = PeMachineOf(ReadHead(index.Found(file.folders, file.name), 4096));
      if (machine && *machine != InfoOf(arch).peMachine) {
        const auto other = ArchOfMachine(*machine);
        char number[32];
        std::snprintf(number, sizeof number, "machine 0x%x", *machine);
        problem("file " + Quoted(DisplayPath(file.folders, file.name)) + " is a PE image for " +
                (other ? std::string(InfoOf(*other).name) : std::string(number)) + ", not " +
                std::string(InfoOf(arch).name) + ": Windows of that architecture cannot load it");
      }
    }
    if (!needs.models.empty()) driversOf.emplace_back(entry->name, std::move(needs.models));
    if (needs.catalog) {
      if (const auto why = index.Missing({}, *needs.catalog)) {
        problem("catalog file " + Quoted(*needs.catalog) + " named in [Version] " + *why);
      } else if (catalogs != nullptr) {
        for (auto& text :
             catalogs->Verify(index.Found({}, *needs.catalog), *needs.catalog, present)) {
          problem(std::move(text));
        }
      }
    }
  }
  // INFs of different drivers in one folder: their files mix.
  for (std::size_t i = 1; i < driversOf.size(); ++i) {
    // Plain references: a lambda may not capture structured bindings in
    // every compiler the project builds with.
    const std::string& first = driversOf.front().first;
    const std::vector<std::string>& firstModels = driversOf.front().second;
    const std::string& other = driversOf[i].first;
    const std::vector<std::string>& otherModels = driversOf[i].second;
    const bool shared = std::any_of(otherModels.begin(), otherModels.end(), [&](const auto& m) {
      return std::any_of(firstModels.begin(), firstModels.end(),
                         [&](const auto& n) { return unicode::EqualsIgnoreCase(m, n); });
    });
    if (!shared) {
      folderProblem("the INFs of several drivers share the folder: " + Quoted(first) +
                    " installs " + Quoted(firstModels.front()) + ", " + Quoted(other) +
                    " installs " + Quoted(otherModels.front()) + "; their files would mix");
    }
  }
  // Names Windows cannot hold side by side, in every folder looked at.
  std::vector<std::string> clashes;
  for (const auto& [key, listing] : index.Listings()) {
    std::string folder = key;  // folded, as the index keeps it
    std::replace(folder.begin(), folder.end(), '\\',
                 static_cast<char>(fs::path::preferred_separator));
    for (const auto& [a, b] : listing.sameButCase) {
      clashes.push_back(Quoted(folder + a) + " and " + Quoted(folder + b));
    }
  }
  std::sort(clashes.begin(), clashes.end());
  for (const auto& clash : clashes) {
    folderProblem(
        "names that differ only in letter case, which Windows cannot hold in one "
        "folder: " +
        clash);
  }
  return result;
}

}  // namespace vormlan::generation
