#include "tests/support/HiveFixture.h"

#include <hivex.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "common/Unicode.h"
#include "registry/RegFile.h"

namespace vormlan::test {
namespace {

namespace fs = std::filesystem;
using registry::KeyHandle;
using registry::RegistryValue;
using registry::TextEncoding;

constexpr std::uint32_t kNone = 0xFFFFFFFFu;  // "no cell"
constexpr std::size_t kBinStart = 0x1000;
constexpr std::size_t kBinHeader = 0x20;
constexpr std::size_t kNkHeader = 0x50;  // an nk cell up to its name
constexpr std::uint16_t kKeyCompressedName = 0x20;
constexpr std::uint16_t kKeyRootFlags = 0x2C;  // hive entry, no delete, compressed name

// A little-endian image of the file being laid down.
class Image {
 public:
  explicit Image(std::size_t size) : bytes_(size, '\0') {}
  void Put16(std::size_t at, std::uint16_t v) { Put(at, v, 2); }
  void Put32(std::size_t at, std::uint32_t v) { Put(at, v, 4); }
  void PutText(std::size_t at, std::string_view text) {
    std::copy(text.begin(), text.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
  }
  std::uint32_t Get32(std::size_t at) const {
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes_[at + i]);
    return v;
  }
  std::string& Bytes() { return bytes_; }

 private:
  void Put(std::size_t at, std::uint32_t v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) bytes_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  std::string bytes_;
};

std::size_t CellSize(std::size_t payload) {
  return (payload + 7) & ~std::size_t{7};
}

// The size field of a cell in use: its size, negated.
std::uint32_t InUse(std::size_t size) {
  return static_cast<std::uint32_t>(-static_cast<std::int32_t>(size));
}

std::string Upper(std::string_view ascii) {
  std::string upper(ascii);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// The hash an "lh" subkey list keeps of each name.
std::uint32_t NameHash(std::string_view ascii) {
  std::uint32_t hash = 0;
  for (const char c : Upper(ascii)) hash = hash * 37 + static_cast<unsigned char>(c);
  return hash;
}

void WriteKeyCell(Image& image, std::size_t at, std::size_t size, std::uint16_t flags,
                  std::uint32_t parent, std::uint32_t sk, std::string_view name) {
  image.Put32(at, InUse(size));
  image.PutText(at + 4, "nk");
  image.Put16(at + 6, flags);
  image.Put32(at + 0x14, parent);
  image.Put32(at + 0x20, kNone);  // subkey list
  image.Put32(at + 0x24, kNone);  // volatile subkey list
  image.Put32(at + 0x2C, kNone);  // value list
  image.Put32(at + 0x30, sk);
  image.Put32(at + 0x34, kNone);  // class name
  image.Put16(at + 0x4C, static_cast<std::uint16_t>(name.size()));
  image.PutText(at + kNkHeader, name);
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write the hive " + file.string());
}

std::string HivexError(const std::string& what, const fs::path& file) {
  return what + " in the hive " + file.string() + ": " + std::strerror(errno);
}

// Names and string data in UTF-8, whatever the registry's encoding. Text
// that is not UTF-8 is taken as Windows-1252, the other encoding a registry
// holds.
std::string ToUtf8(const registry::MemoryRegistry& reg, const std::string& text) {
  const bool ansi = reg.Encoding() == TextEncoding::Ansi || !unicode::IsValid(text);
  return ansi ? unicode::FromAnsi(text) : text;
}

bool IsString(std::uint32_t type) {
  return type == registry::value_type::Sz || type == registry::value_type::ExpandSz ||
         type == registry::value_type::MultiSz;
}

void CopyKey(HiveWriter& writer, HiveWriter::Node node, const registry::MemoryRegistry& reg,
             KeyHandle rootKey, const std::string& path) {
  std::vector<RegistryValue> values = reg.Values(rootKey, path);
  for (RegistryValue& v : values) {
    v.name = ToUtf8(reg, v.name);
    if (IsString(v.type)) v.data = ToUtf8(reg, v.data);
  }
  writer.SetValues(node, values);
  for (const std::string& name : reg.SubKeyNames(rootKey, path)) {
    const HiveWriter::Node child = writer.AddKey(node, ToUtf8(reg, name));
    CopyKey(writer, child, reg, rootKey, path.empty() ? name : path + "\\" + name);
  }
}

KeyHandle RootByName(std::string_view name) {
  struct Root {
    std::string_view longName, shortName;
    KeyHandle key;
  };
  static constexpr std::array<Root, 5> kRoots = {{
      {"HKEY_LOCAL_MACHINE", "HKLM", registry::root::LocalMachine},
      {"HKEY_CURRENT_USER", "HKCU", registry::root::CurrentUser},
      {"HKEY_CLASSES_ROOT", "HKCR", registry::root::ClassesRoot},
      {"HKEY_USERS", "HKU", registry::root::Users},
      {"HKEY_CURRENT_CONFIG", "HKCC", registry::root::CurrentConfig},
  }};
  const std::string upper = Upper(name);
  for (const Root& r : kRoots) {
    if (upper == r.longName || upper == r.shortName) return r.key;
  }
  throw std::runtime_error("not a registry root: " + std::string(name));
}

}  // namespace

void WriteMinimalHive(const fs::path& file, const std::vector<std::string>& rootSubKeys) {
  // Windows keeps subkey lists in the order of upper-case names.
  std::vector<std::string> names = rootSubKeys;
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return Upper(a) < Upper(b); });
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool ascii = std::all_of(names[i].begin(), names[i].end(),
                                   [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; });
    if (!ascii || names[i].size() > 255 || (i > 0 && Upper(names[i]) == Upper(names[i - 1]))) {
      throw std::runtime_error("unusable subkey name for a minimal hive: " + names[i]);
    }
  }
  if (names.size() > 0xFFFF) throw std::runtime_error("too many subkeys for one subkey list");

  // Cells, as offsets from the first bin: the root key, its security cell,
  // the subkeys, their list, then the rest of the bin as one free cell.
  const std::string rootName = "ROOT";
  const std::size_t root = kBinHeader;
  const std::size_t sk = root + CellSize(kNkHeader + rootName.size());
  const std::size_t skSize = CellSize(0x18 + 20);
  std::size_t next = sk + skSize;
  std::vector<std::size_t> keyCells;
  for (const std::string& name : names) {
    keyCells.push_back(next);
    next += CellSize(kNkHeader + name.size());
  }
  const std::size_t list = next;
  if (!names.empty()) next += CellSize(8 + 8 * names.size());
  const std::size_t binSize = (next + 8 + 0xFFF) & ~std::size_t{0xFFF};

  Image image(kBinStart + binSize);
  // Base block.
  image.PutText(0, "regf");
  image.Put32(0x04, 1);  // sequence numbers: equal, the hive is clean
  image.Put32(0x08, 1);
  image.Put32(0x14, 1);  // format version 1.5
  image.Put32(0x18, 5);
  image.Put32(0x20, 1);  // direct memory load
  image.Put32(0x24, static_cast<std::uint32_t>(root));
  image.Put32(0x28, static_cast<std::uint32_t>(binSize));
  image.Put32(0x2C, 1);
  image.PutText(0x30, unicode::ToUtf16Le("vormlan-test"));
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < 0x1FC; at += 4) sum ^= image.Get32(at);
  image.Put32(0x1FC, sum);

  // The bin and its cells.
  const std::size_t bin = kBinStart;
  image.PutText(bin, "hbin");
  image.Put32(bin + 8, static_cast<std::uint32_t>(binSize));
  WriteKeyCell(image, bin + root, CellSize(kNkHeader + rootName.size()), kKeyRootFlags, 0,
               static_cast<std::uint32_t>(sk), rootName);
  image.Put32(bin + root + 0x18, static_cast<std::uint32_t>(names.size()));
  if (!names.empty()) image.Put32(bin + root + 0x20, static_cast<std::uint32_t>(list));

  image.Put32(bin + sk, InUse(skSize));
  image.PutText(bin + sk + 4, "sk");
  image.Put32(bin + sk + 0x08, static_cast<std::uint32_t>(sk));  // a ring of one
  image.Put32(bin + sk + 0x0C, static_cast<std::uint32_t>(sk));
  image.Put32(bin + sk + 0x10, static_cast<std::uint32_t>(1 + names.size()));  // users
  image.Put32(bin + sk + 0x14, 20);
  // A self-relative security descriptor without owner, group or lists.
  image.Put16(bin + sk + 0x18, 1);
  image.Put16(bin + sk + 0x1A, 0x8000);

  for (std::size_t i = 0; i < names.size(); ++i) {
    WriteKeyCell(image, bin + keyCells[i], CellSize(kNkHeader + names[i].size()),
                 kKeyCompressedName, static_cast<std::uint32_t>(root),
                 static_cast<std::uint32_t>(sk), names[i]);
  }
  if (!names.empty()) {
    image.Put32(bin + list, InUse(CellSize(8 + 8 * names.size())));
    image.PutText(bin + list + 4, "lh");
    image.Put16(bin + list + 6, static_cast<std::uint16_t>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
      image.Put32(bin + list + 8 + 8 * i, static_cast<std::uint32_t>(keyCells[i]));
      image.Put32(bin + list + 12 + 8 * i, NameHash(names[i]));
    }
  }
  image.Put32(bin + next, static_cast<std::uint32_t>(binSize - next));  // free
  WriteBytes(file, image.Bytes());
}

void HiveWriter::Closer::operator()(hive_h* hive) const noexcept {
  hivex_close(hive);
}

HiveWriter::HiveWriter(const fs::path& file)
    : file_(file), hive_(hivex_open(file.c_str(), HIVEX_OPEN_WRITE)) {
  if (!hive_) throw std::runtime_error(HivexError("cannot open for writing", file));
}

HiveWriter::~HiveWriter() = default;

HiveWriter::Node HiveWriter::Root() const {
  return hivex_root(hive_.get());
}

HiveWriter::Node HiveWriter::AddKey(Node parent, const std::string& name) {
  const Node child = hivex_node_add_child(hive_.get(), parent, name.c_str());
  if (child == 0) throw std::runtime_error(HivexError("cannot add the key " + name, file_));
  return child;
}

void HiveWriter::SetValues(Node node, const std::vector<RegistryValue>& values) {
  // libhivex takes mutable buffers; these own them until the call returns.
  std::vector<std::string> names, data;
  names.reserve(values.size());
  data.reserve(values.size());
  std::vector<hive_set_value> set(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    names.push_back(values[i].name);
    data.push_back(IsString(values[i].type) ? unicode::ToUtf16Le(values[i].data) : values[i].data);
    set[i].key = names.back().data();
    // Any 32-bit number is a value type in a hive, not only the enum's.
    std::memcpy(&set[i].t, &values[i].type, sizeof set[i].t);
    set[i].len = data.back().size();
    set[i].value = data.back().data();
  }
  if (hivex_node_set_values(hive_.get(), node, set.size(), set.data(), 0) != 0) {
    throw std::runtime_error(HivexError("cannot set values", file_));
  }
}

void HiveWriter::Commit(const fs::path& out) {
  const fs::path& target = out.empty() ? file_ : out;
  if (hivex_commit(hive_.get(), target.c_str(), 0) != 0) {
    throw std::runtime_error(HivexError("cannot commit", target));
  }
}

void WriteHive(const fs::path& file, const registry::MemoryRegistry& registry, KeyHandle mountRoot,
               std::string_view mountPath) {
  if (!registry.KeyExists(mountRoot, mountPath)) {
    throw std::runtime_error("no key " + std::string(mountPath) + " to write as the hive " +
                             file.string());
  }
  // Built beside the target and renamed, so no half-written hive stands
  // under its name.
  const fs::path partial = fs::path(file).concat(".partial");
  try {
    WriteMinimalHive(partial);
    HiveWriter writer(partial);
    CopyKey(writer, writer.Root(), registry, mountRoot, std::string(mountPath));
    writer.Commit();
  } catch (...) {
    std::error_code ec;
    fs::remove(partial, ec);
    throw;
  }
  fs::rename(partial, file);
}

void WriteHiveFromRegText(const fs::path& file, std::string_view regText, std::string_view mountKey,
                          const std::string& sourceName) {
  const std::size_t sep = mountKey.find('\\');
  const KeyHandle rootKey = RootByName(mountKey.substr(0, sep));
  const std::string_view path =
      sep == std::string_view::npos ? std::string_view() : mountKey.substr(sep + 1);
  registry::MemoryRegistry reg(TextEncoding::Utf8);
  registry::LoadRegText(reg, regText, sourceName);
  WriteHive(file, reg, rootKey, path);
}

std::string AsSavedHive(std::string regText, unsigned controlSet) {
  char set[32];
  std::snprintf(set, sizeof set, "ControlSet%03u", controlSet);
  const std::string from = "\\CurrentControlSet\\", to = "\\" + std::string(set) + "\\";
  for (std::size_t at = 0; (at = regText.find(from, at)) != std::string::npos; at += to.size()) {
    regText.replace(at, from.size(), to);
  }
  char select[96];
  std::snprintf(select, sizeof select,
                "\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:%08x\r\n",
                controlSet);
  return regText + select;
}

}  // namespace vormlan::test
