#include "registry/HiveRegistry.h"

#include <hivex.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "common/Escape.h"
#include "common/Unicode.h"
#include "registry/ControlSet.h"
#include "registry/ErrorTexts.h"
#include "registry/KeyPath.h"

namespace vormlan::registry {
namespace {

namespace fs = std::filesystem;

// The base block (the file's first 4 KiB) and the fields of it that are
// checked before libhivex reads the file, so that the common kinds of damage
// get a message that says what is wrong.
constexpr std::size_t kBaseBlockSize = 0x1000;
constexpr std::size_t kMinHiveSize = 0x2000;        // the base block and one bin
constexpr std::size_t kPrimarySequenceAt = 0x04;    // the two differ in a hive
constexpr std::size_t kSecondarySequenceAt = 0x08;  // that was not closed cleanly
constexpr std::size_t kFileTypeAt = 0x1C;           // 0 for a hive, other values for its logs
constexpr std::size_t kBinsSizeAt = 0x28;           // bytes of key data after the base block
constexpr std::size_t kChecksumAt = 0x1FC;          // XOR of the 32-bit words before it

constexpr std::array<KeyHandle, 5> kRoots = {root::ClassesRoot, root::CurrentUser,
                                             root::LocalMachine, root::Users, root::CurrentConfig};

constexpr std::string_view kCurrentControlSet = "CurrentControlSet";

static_assert(sizeof(hive_type) == sizeof(std::uint32_t), "value types are read as 32-bit words");

struct HiveCloser {
  void operator()(hive_h* hive) const noexcept { hivex_close(hive); }
};
using HiveHandle = std::unique_ptr<hive_h, HiveCloser>;

// Memory that libhivex allocated for the caller.
struct FreeDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};
template <typename T>
using CBuffer = std::unique_ptr<T, FreeDeleter>;

std::uint32_t Le32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

std::string ErrnoText(int err) {
  return err != 0 ? std::strerror(err) : "unknown error";
}

// Whether the first bytes are those of a registry export: REGEDIT4 or
// version 5, in UTF-16LE (with or without its BOM) or 8-bit text.
bool LooksLikeExport(std::string_view head) {
  std::string text;
  if (head.starts_with("\xFF\xFE")) {
    text = unicode::FromUtf16Le(head.substr(2, 96));
  } else if (head.size() >= 2 && head[1] == '\0') {
    text = unicode::FromUtf16Le(head.substr(0, 96));
  } else {
    text = std::string(head.substr(0, 48));
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  }
  return text.starts_with("REGEDIT4") || text.starts_with("Windows Registry Editor");
}

// Refuses, with a message naming the file, anything libhivex should not be
// given: what is not a regular file (a pipe would block, a device never
// end), an empty or oversized file, another format, and a base block that is
// truncated, a log's or damaged. Returns the note for a hive that was not
// closed cleanly, which is read as it is.
std::optional<std::string> CheckHiveFile(const std::string& file) {
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (ec) throw HiveError(file + ": cannot read the file: " + ec.message());
  if (fs::is_directory(status)) throw HiveError(file + ": is a directory, not a registry hive");
  if (!fs::is_regular_file(status)) {
    throw HiveError(file + ": not a regular file (a device, pipe or socket is no registry hive)");
  }
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec) throw HiveError(file + ": cannot read the file: " + ec.message());
  if (size == 0) throw HiveError(file + ": empty file");
  if (size > HiveRegistry::kMaxFileSize) {
    throw HiveError(file + ": too large for a registry hive (" + std::to_string(size) +
                    " bytes; at most 1 GiB is read)");
  }

  std::string head(static_cast<std::size_t>(std::min<std::uintmax_t>(size, kBaseBlockSize)), '\0');
  std::ifstream in(file, std::ios::binary);
  if (!in || !in.read(head.data(), static_cast<std::streamsize>(head.size()))) {
    throw HiveError(file + ": cannot read the file");
  }

  if (!head.starts_with("regf")) {
    if (LooksLikeExport(head)) {
      throw HiveError(file + ": this is a registry export (text): use --registry");
    }
    throw HiveError(file + ": not a registry hive (no regf signature)");
  }
  if (size < kMinHiveSize) {
    throw HiveError(file + ": the hive is truncated (" + std::to_string(size) +
                    " bytes; a hive has at least " + std::to_string(kMinHiveSize) + ")");
  }
  if (Le32(head, kFileTypeAt) != 0) {
    throw HiveError(file + ": this is a hive's transaction log, not the hive itself");
  }
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < kChecksumAt; at += 4) sum ^= Le32(head, at);
  if (sum != Le32(head, kChecksumAt)) {
    throw HiveError(file + ": the hive is damaged: wrong checksum in its header");
  }
  const std::uint64_t declared = std::uint64_t{Le32(head, kBinsSizeAt)} + kBaseBlockSize;
  if (declared > size) {
    throw HiveError(file + ": the hive is truncated: its header declares " +
                    std::to_string(declared) + " bytes, the file has " + std::to_string(size));
  }
  if (Le32(head, kPrimarySequenceAt) == Le32(head, kSecondarySequenceAt)) return std::nullopt;
  return DirtyNote(file);
}

// Where a key's (nk) and a value's (vk) name lie in its cell, counted from
// the cell's start (its size field): the name's length, the flags, the flag
// of an 8-bit name, and the name itself.
struct NameLayout {
  std::size_t lengthAt;
  std::size_t flagsAt;
  std::uint16_t latinFlag;
  std::size_t nameAt;
};
constexpr NameLayout kKeyName{0x4C, 0x06, 0x0020, 0x50};
constexpr NameLayout kValueName{0x06, 0x14, 0x0001, 0x18};

// A name as text: 8-bit names are Latin-1, the others UTF-16LE, where an
// unpaired surrogate (which no UTF-8 can hold) becomes U+FFFD.
std::string NameText(std::string_view raw, bool latin) {
  if (!latin) return unicode::FromUtf16Le(raw);
  std::string text;
  for (const char c : raw) unicode::Append(text, static_cast<unsigned char>(c));
  return text;
}

}  // namespace

std::optional<std::string> DirtyNote(const std::string& file) {
  // Windows writes changes to the logs first: the ones beside the hive, in
  // any letter case, are the ones that hold what the hive lacks.
  std::string logs;
  const fs::path path(file);
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const std::string wanted = unicode::Fold(path.filename().string());
  std::error_code ec;
  std::vector<std::string> found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::string folded = unicode::Fold(name);
    if (folded == wanted + ".LOG1" || folded == wanted + ".LOG2" || folded == wanted + ".LOG") {
      found.push_back((folder / name).string());
    }
  }
  std::sort(found.begin(), found.end());
  for (const auto& f : found) logs += (logs.empty() ? "" : " and ") + f;
  std::string note = file +
                     " was not closed cleanly (its header's sequence numbers differ): it is read "
                     "as it is, without the changes its transaction logs may hold";
  if (!logs.empty()) note += " (" + logs + ", not replayed)";
  return note;
}

struct HiveRegistry::Impl {
  // What a handle stands for: a key outside the mounted one (a root
  // without the hive), a key on the way down to the mount point, or a key
  // of the hive.
  struct Place {
    enum class Kind { Outside, Above, Hive };
    Kind kind = Kind::Outside;
    std::size_t level = 0;  // Above: mount path components already passed
    hive_node_h node = 0;   // Hive
    std::size_t depth = 0;  // Hive: levels below the hive's root
  };

  struct OpenHandle {
    Place place;
    std::uint32_t granted = 0;
  };

  // A key's subkeys, read once: their names in the hive's order and an
  // index by folded name. A name libhivex cannot convert (an unpaired
  // surrogate) is read from the cell itself, U+FFFD in the surrogate's place;
  // names that then fold alike are all listed, and a lookup finds the first.
  // A list that cannot be read, or that holds fewer subkeys than its key
  // counts, gives error (and damage says what).
  struct Children {
    long error = error::Success;
    int cause = 0;  // errno of the failed read
    std::vector<std::string> names;
    std::unordered_map<std::string, hive_node_h> byName;
  };

  struct Values {
    long error = error::Success;
    std::unordered_map<std::string, hive_value_h> byName;
  };

  std::string file;
  HiveHandle hive;
  hive_node_h rootNode = 0;
  KeyHandle mountRoot = root::LocalMachine;
  std::vector<std::string> mountNames;   // as given
  std::vector<std::string> mountFolded;  // folded, for lookups
  std::unordered_map<hive_node_h, Children> children;
  std::unordered_map<hive_node_h, Values> values;
  std::map<KeyHandle, OpenHandle> handles;
  KeyHandle nextHandle = 0x1000;
  std::optional<std::string> controlSet;
  std::optional<std::string> controlSetNote;
  std::optional<std::string> dirtyNote;
  std::size_t namesRead = 0;
  std::size_t indexBytes = 0;  // counted by Indexed
  std::size_t maxIndexBytes = kMaxIndexBytes;
  std::ifstream fileBytes;  // the file, for the names libhivex cannot convert
  // The path of each key opened so far below the hive's root, as the caller
  // spelled it, for messages; only keys opened cost memory here.
  std::unordered_map<hive_node_h, std::string> paths;
  // What the last "data is invalid" answer found damaged: the whole
  // sentence, and what alone.
  std::string damage;
  std::string damaged;

  std::string PathOf(hive_node_h node) const {
    std::string path = "HKEY_LOCAL_MACHINE";
    if (mountRoot != root::LocalMachine) path = "the mounted key";
    for (const auto& name : mountNames) path += "\\" + name;
    const auto it = paths.find(node);
    if (it != paths.end()) path += it->second;
    return EscapeControls(path);
  }

  // Remembers what is damaged (in the key node, when known) for ErrorText.
  // Counts a name into the index; false once the index is over its budget,
  // with the error set for node's list.
  bool Indexed(const std::string& name, hive_node_h node, const char* list) {
    indexBytes += 2 * name.size() + kIndexEntryCost;
    if (indexBytes <= maxIndexBytes) return true;
    damaged = std::string(list) + " unreadable: more names than the index of one hive holds (" +
              std::to_string(maxIndexBytes) + " bytes)";
    damage = "the hive " + file + " holds more than can be read: " + PathOf(node) + ": " + damaged;
    return false;
  }

  long Damaged(hive_node_h node, const std::string& what) {
    damaged = what;
    damage = "the hive " + file + " is damaged: " + (node != 0 ? PathOf(node) + ": " : "") + what;
    return error::InvalidData;
  }

  // The name stored in the cell at offset (a key's or a value's), read from
  // the file; nothing when the cell does not hold one.
  // size bytes of the file from offset; nothing past its end.
  std::optional<std::string> ReadAt(std::uint64_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    fileBytes.clear();
    fileBytes.seekg(static_cast<std::streamoff>(offset));
    if (!fileBytes.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
    return bytes;
  }

  // The size of the used cell whose first bytes are head; 0 for a free cell.
  static std::uint32_t UsedCellSize(std::string_view head) {
    const auto size = static_cast<std::int64_t>(static_cast<std::int32_t>(Le32(head, 0)));
    return size < 0 ? static_cast<std::uint32_t>(-size) : 0;
  }

  static std::uint16_t Le16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
  }

  // The number of entries the subkey list of the key at node holds, when
  // it is one list (lf, lh, li) rather than a list of lists (ri); nothing
  // when the key has no list or it cannot be read.
  std::optional<std::size_t> ListedSubkeys(hive_node_h node) {
    constexpr std::size_t kListAt = 0x20;  // in the key's cell, relative to the bins
    const auto key = ReadAt(node, kListAt + 4);
    if (!key) return std::nullopt;
    const std::uint32_t list = Le32(*key, kListAt);
    if (list == 0xFFFFFFFFu) return std::nullopt;
    const auto head = ReadAt(std::uint64_t{list} + kBaseBlockSize, 8);
    if (!head || UsedCellSize(*head) < 8) return std::nullopt;
    const std::string_view id = std::string_view(*head).substr(4, 2);
    if (id != "lf" && id != "lh" && id != "li") return std::nullopt;
    return Le16(*head, 6);
  }

  std::optional<std::string> RawName(std::uint64_t offset, const NameLayout& layout) {
    const auto head = ReadAt(offset, layout.nameAt);
    if (!head) return std::nullopt;
    const std::size_t length = Le16(*head, layout.lengthAt);
    // A used cell holds its name.
    if (layout.nameAt + length > UsedCellSize(*head)) return std::nullopt;
    std::string name;
    if (length > 0) {
      auto read = ReadAt(offset + layout.nameAt, length);
      if (!read) return std::nullopt;
      name = std::move(*read);
    }
    std::string text = NameText(name, (Le16(*head, layout.flagsAt) & layout.latinFlag) != 0);
    if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    ++namesRead;
    return text;
  }

  Place Normalized(Place place) const {
    if (place.kind == Place::Kind::Above && place.level == mountNames.size()) {
      return Place{Place::Kind::Hive, 0, rootNode, 0};
    }
    return place;
  }

  // The place of a handle and the rights it was opened with.
  long PlaceOf(KeyHandle key, Place& place, std::uint32_t& granted) const {
    if (IsPredefined(key)) {
      if (std::find(kRoots.begin(), kRoots.end(), key) == kRoots.end()) {
        return error::InvalidHandle;
      }
      place = key == mountRoot ? Normalized(Place{Place::Kind::Above, 0, 0, 0}) : Place{};
      granted = ~std::uint32_t{0};
      return error::Success;
    }
    const auto it = handles.find(key);
    if (it == handles.end()) return error::InvalidHandle;
    place = it->second.place;
    granted = it->second.granted;
    return error::Success;
  }

  // A name libhivex hands out (UTF-8), up to its first NUL as the Windows
  // functions see it; nothing when it cannot be read.
  std::optional<std::string> TakeName(char* raw) {
    CBuffer<char> owned(raw);
    if (!owned) return std::nullopt;
    ++namesRead;
    return std::string(owned.get());
  }

  const Children& ChildrenOf(hive_node_h node) {
    auto [it, inserted] = children.try_emplace(node);
    Children& c = it->second;
    if (!inserted) return c;
    errno = 0;
    const CBuffer<hive_node_h> list(hivex_node_children(hive.get(), node));
    if (!list) {
      c.cause = errno;
      c.error = Damaged(node, "subkey list unreadable");
      return c;
    }
    std::size_t count = 0;
    while (list.get()[count] != 0) ++count;
    const std::size_t declared = hivex_node_nr_children(hive.get(), node);
    // libhivex goes by the key's count: a list holding more keys than it
    // counts would lose some without a word.
    const std::optional<std::size_t> listed = ListedSubkeys(node);
    if (listed && *listed != declared) {
      c.error = Damaged(node, "subkey list unreadable: its key counts " + std::to_string(declared) +
                                  " subkeys, its list holds " + std::to_string(*listed));
      return c;
    }
    if (declared != count) {
      c.error =
          Damaged(node, "subkey list unreadable: it holds " + std::to_string(count) + " of the " +
                            std::to_string(declared) + " subkeys its key counts");
      return c;
    }
    for (std::size_t i = 0; i < count; ++i) {
      const hive_node_h child = list.get()[i];
      std::optional<std::string> name = TakeName(hivex_node_name(hive.get(), child));
      if (!name) name = RawName(child, kKeyName);
      if (!name) {
        c.names.clear();
        c.byName.clear();
        c.error = Damaged(node, "subkey list unreadable: the name of subkey " +
                                    std::to_string(i + 1) + " cannot be read");
        return c;
      }
      if (!Indexed(*name, node, "subkey list")) {
        c.names.clear();
        c.byName.clear();
        c.error = error::InvalidData;
        return c;
      }
      c.byName.emplace(unicode::Fold(*name), child);
      c.names.push_back(std::move(*name));
    }
    return c;
  }

  const Values& ValuesOf(hive_node_h node) {
    auto [it, inserted] = values.try_emplace(node);
    Values& v = it->second;
    if (!inserted) return v;
    const CBuffer<hive_value_h> list(hivex_node_values(hive.get(), node));
    if (!list) {
      v.error = Damaged(node, "value list unreadable");
      return v;
    }
    for (const hive_value_h* value = list.get(); *value != 0; ++value) {
      std::optional<std::string> name = TakeName(hivex_value_key(hive.get(), *value));
      if (!name) name = RawName(*value, kValueName);
      if (!name) continue;
      if (!Indexed(*name, node, "value list")) {
        v.byName.clear();
        v.error = error::InvalidData;
        return v;
      }
      v.byName.emplace(unicode::Fold(*name), *value);
    }
    return v;
  }

  // A value's type and data; strings converted from UTF-16LE to UTF-8.
  long ReadValue(hive_value_h value, std::uint32_t& type, std::string& data) {
    hive_type declaredType{};
    std::size_t length = 0;
    if (hivex_value_type(hive.get(), value, &declaredType, &length) != 0) {
      return Damaged(0, "a value's type cannot be read");
    }
    // Any 32-bit number is a valid type in a hive, not only the enum's.
    std::memcpy(&type, &declaredType, sizeof type);
    // The declared length is checked before anything of that size is
    // allocated: a damaged cell may declare up to 2 GiB.
    if (length > kMaxValueSize) {
      return Damaged(0, "a value declares " + std::to_string(length) + " bytes of data");
    }
    if (length == 0) {
      data.clear();
      return error::Success;
    }
    hive_type ignored{};
    const CBuffer<char> raw(hivex_value_value(hive.get(), value, &ignored, &length));
    if (!raw || length > kMaxValueSize) return Damaged(0, "a value's data cannot be read");
    data.assign(raw.get(), length);
    if (type == value_type::Sz || type == value_type::ExpandSz || type == value_type::MultiSz) {
      data = unicode::FromUtf16Le(data);
    }
    return error::Success;
  }

  // The subkey of place with the folded name.
  long Child(const Place& place, std::string_view spelled, Place& child) {
    const std::string folded = unicode::Fold(spelled);
    switch (place.kind) {
      case Place::Kind::Outside:
        return error::FileNotFound;
      case Place::Kind::Above:
        if (folded != mountFolded[place.level]) return error::FileNotFound;
        child = Normalized(Place{Place::Kind::Above, place.level + 1, 0, 0});
        return error::Success;
      case Place::Kind::Hive:
        break;
    }
    const Children& c = ChildrenOf(place.node);
    if (c.error != error::Success) return c.error;
    const auto it = c.byName.find(folded);
    if (it == c.byName.end()) return error::FileNotFound;
    // Deeper than Windows allows: a loop in a damaged hive.
    if (place.depth + 1 > kMaxDepth) {
      return Damaged(place.node,
                     "keys nest deeper than " + std::to_string(kMaxDepth) + " levels (a loop)");
    }
    child = Place{Place::Kind::Hive, 0, it->second, place.depth + 1};
    if (!paths.contains(it->second)) {
      const auto parent = paths.find(place.node);
      paths.emplace(it->second, (parent == paths.end() ? std::string() : parent->second) + "\\" +
                                    std::string(spelled));
    }
    return error::Success;
  }

  std::optional<std::uint32_t> SelectCurrent() {
    const Children& top = ChildrenOf(rootNode);
    const auto select = top.byName.find(unicode::Fold("Select"));
    if (select == top.byName.end()) return std::nullopt;
    const Values& v = ValuesOf(select->second);
    const auto current = v.byName.find(unicode::Fold("Current"));
    if (current == v.byName.end()) return std::nullopt;
    std::uint32_t type = 0;
    std::string data;
    if (ReadValue(current->second, type, data) != error::Success || type != value_type::Dword ||
        data.size() != 4) {
      return std::nullopt;
    }
    return Le32(data, 0);
  }

  // Makes CurrentControlSet below the hive's root stand for the chosen
  // ControlSetNNN, unless the hive holds a real key of that name.
  void LinkCurrentControlSet() {
    const std::string folded = unicode::Fold(kCurrentControlSet);
    const std::optional<std::uint32_t> selected = SelectCurrent();
    Children& top = children.at(rootNode);
    if (top.byName.contains(folded)) return;
    const std::optional<ControlSetChoice> choice = ChooseControlSet(selected, top.names);
    if (!choice) {
      controlSetNote = "the hive holds no ControlSetNNN key, so there is no CurrentControlSet";
      return;
    }
    top.byName.emplace(folded, top.byName.at(unicode::Fold(choice->name)));
    // Listed where Windows lists it: in the order of upper-case names.
    const auto at = std::find_if(top.names.begin(), top.names.end(), [&](const std::string& name) {
      return unicode::Fold(name) > folded;
    });
    top.names.insert(at, std::string(kCurrentControlSet));
    controlSet = choice->name;
    if (!choice->fromSelect) controlSetNote = choice->note;
  }
};

HiveRegistry::HiveRegistry(const std::string& file, const HiveMount& mount,
                           std::size_t maxIndexBytes)
    : impl_(std::make_unique<Impl>()) {
  if (std::find(kRoots.begin(), kRoots.end(), mount.root) == kRoots.end()) {
    throw std::invalid_argument("a hive is mounted below a predefined registry root");
  }
  Impl& m = *impl_;
  m.file = file;
  m.maxIndexBytes = maxIndexBytes;
  m.mountRoot = mount.root;
  ForEachComponent(mount.path, [&](std::string_view part) {
    m.mountNames.emplace_back(part);
    m.mountFolded.push_back(unicode::Fold(part));
    return true;
  });

  m.dirtyNote = CheckHiveFile(file);
  errno = 0;
  m.hive.reset(hivex_open(file.c_str(), 0));
  if (!m.hive) {
    throw HiveError(file + ": the hive is damaged: its blocks of key data cannot be read (" +
                    ErrnoText(errno) + ")");
  }
  m.fileBytes.open(file, std::ios::binary);
  if (!m.fileBytes) throw HiveError(file + ": cannot read the file");
  errno = 0;
  m.rootNode = hivex_root(m.hive.get());
  if (m.rootNode == 0) {
    throw HiveError(file + ": the hive is damaged: its root key cannot be read (" +
                    ErrnoText(errno) + ")");
  }
  if (const Impl::Children& top = m.ChildrenOf(m.rootNode); top.error != error::Success) {
    throw HiveError(file + ": the hive is damaged: the subkeys of its root key cannot be read (" +
                    m.damaged + ")");
  }
  m.LinkCurrentControlSet();
}

HiveRegistry::~HiveRegistry() = default;

const std::string& HiveRegistry::File() const {
  return impl_->file;
}

const std::optional<std::string>& HiveRegistry::CurrentControlSet() const {
  return impl_->controlSet;
}

const std::optional<std::string>& HiveRegistry::ControlSetNote() const {
  return impl_->controlSetNote;
}

const std::optional<std::string>& HiveRegistry::DirtyNote() const {
  return impl_->dirtyNote;
}

std::size_t HiveRegistry::NamesRead() const {
  return impl_->namesRead;
}

long HiveRegistry::OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
                           KeyHandle& result) {
  Impl& m = *impl_;
  Impl::Place place;
  std::uint32_t granted = 0;
  if (const long rc = m.PlaceOf(parent, place, granted); rc != error::Success) return rc;
  if (!subKey.empty() && subKey.front() == '\\') return error::BadPathname;

  bool any = false;
  long rc = error::Success;
  ForEachComponent(subKey, [&](std::string_view part) {
    any = true;
    Impl::Place child;
    rc = m.Child(place, part, child);
    place = child;
    return rc == error::Success;
  });
  if (rc != error::Success) return rc;
  if (!any && IsPredefined(parent)) {
    result = parent;  // as Windows does: "" below a root is the root itself
    return error::Success;
  }
  const KeyHandle handle = m.nextHandle;
  m.nextHandle += 4;
  m.handles[handle] = Impl::OpenHandle{place, accessMask};
  result = handle;
  return error::Success;
}

long HiveRegistry::QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* size) {
  // Like RegQueryValueExA, a buffer without its size is refused before the
  // key or the value is looked at.
  if (data != nullptr && size == nullptr) return error::InvalidParameter;
  Impl& m = *impl_;
  Impl::Place place;
  std::uint32_t granted = 0;
  if (const long rc = m.PlaceOf(key, place, granted); rc != error::Success) return rc;
  if ((granted & access::QueryValue) == 0) return error::AccessDenied;
  if (place.kind != Impl::Place::Kind::Hive) return error::FileNotFound;
  const Impl::Values& values = m.ValuesOf(place.node);
  if (values.error != error::Success) return values.error;
  const auto it = values.byName.find(unicode::Fold(name));
  if (it == values.byName.end()) return error::FileNotFound;

  std::uint32_t valueType = 0;
  std::string bytes;
  if (const long rc = m.ReadValue(it->second, valueType, bytes); rc != error::Success) return rc;
  const auto needed = static_cast<std::uint32_t>(bytes.size());
  if (type != nullptr) *type = valueType;
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return error::Success;
  }
  if (*size < needed) {
    *size = needed;
    return error::MoreData;
  }
  if (needed > 0) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return error::Success;
}

long HiveRegistry::EnumSubKeys(KeyHandle key, std::vector<std::string>& names) {
  Impl& m = *impl_;
  Impl::Place place;
  std::uint32_t granted = 0;
  if (const long rc = m.PlaceOf(key, place, granted); rc != error::Success) return rc;
  if ((granted & access::EnumerateSubKeys) == 0) return error::AccessDenied;
  switch (place.kind) {
    case Impl::Place::Kind::Outside:
      names.clear();
      return error::Success;
    case Impl::Place::Kind::Above:
      names.assign(1, m.mountNames[place.level]);
      return error::Success;
    case Impl::Place::Kind::Hive:
      break;
  }
  const Impl::Children& c = m.ChildrenOf(place.node);
  if (c.error != error::Success) return c.error;
  names = c.names;
  return error::Success;
}

long HiveRegistry::CloseKey(KeyHandle key) {
  if (IsPredefined(key)) return error::Success;
  return impl_->handles.erase(key) == 1 ? error::Success : error::InvalidHandle;
}

std::optional<std::string> HiveRegistry::ErrorText(long code) {
  // What the last read found damaged, rather than the bare code's text.
  if (code == error::InvalidData && !impl_->damage.empty()) {
    return "The data is invalid: " + impl_->damage + ".\r\n";
  }
  // Only a key that could not be opened leaves a caller with a handle the
  // hive never gave; after damage, that is why.
  if (code == error::InvalidHandle && !impl_->damage.empty()) {
    return "The handle is invalid: the key was not opened, as " + impl_->damage + ".\r\n";
  }
  return EnglishErrorText(code);
}

}  // namespace vormlan::registry
