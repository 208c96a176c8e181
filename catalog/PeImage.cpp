#include "catalog/PeImage.h"

#include <algorithm>

#include "common/Exception.h"
#include "common/Quoted.h"

namespace vormlan::catalog {
namespace {

constexpr std::uint32_t kDosHeaderBytes = 0x40;
constexpr std::uint32_t kLfanewAt = 0x3C;
constexpr std::uint32_t kCoffHeaderBytes = 20;
constexpr std::uint32_t kPe32Magic = 0x10B;
constexpr std::uint32_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kChecksumAt = 64;  // in the optional header, for both kinds
constexpr std::uint32_t kCertificateTableIndex = 4;
constexpr std::uint32_t kDirectoryEntryBytes = 8;

std::uint32_t Le(std::string_view bytes, std::size_t at, std::size_t n) {
  std::uint32_t v = 0;
  for (std::size_t i = n; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

[[noreturn]] void Refuse(const std::string& name, const std::string& what) {
  throw Exception("Cannot hash " + Quoted(name) + " as a PE image: " + what + ".");
}

}  // namespace

std::optional<std::vector<ByteRange>> AuthenticodeRanges(std::string_view head,
                                                         std::uint64_t fileSize,
                                                         const std::string& name) {
  head = head.substr(0, static_cast<std::size_t>(
                            std::min<std::uint64_t>({head.size(), fileSize, kMaxPeHeaderBytes})));
  if (head.size() < kDosHeaderBytes || head.substr(0, 2) != "MZ") return std::nullopt;
  const std::uint64_t pe = Le(head, kLfanewAt, 4);
  if (pe + 4 > head.size() || head.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
    // A DOS program, or a header beyond what is read: not an image Windows loads.
    return std::nullopt;
  }
  const std::uint64_t coff = pe + 4;
  if (coff + kCoffHeaderBytes > head.size()) Refuse(name, "the file header is cut short");
  const std::uint64_t optionalSize = Le(head, coff + 16, 2);
  const std::uint64_t opt = coff + kCoffHeaderBytes;
  if (optionalSize < 2 || opt + optionalSize > head.size()) {
    Refuse(name, "the optional header is cut short");
  }
  const std::uint32_t magic = Le(head, opt, 2);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) {
    char text[64];
    std::snprintf(text, sizeof text, "unknown optional header magic 0x%x", magic);
    Refuse(name, text);
  }
  const std::uint64_t countAt = opt + (magic == kPe32Magic ? 92 : 108);
  const std::uint64_t directories = countAt + 4;
  if (countAt + 4 > opt + optionalSize) Refuse(name, "the optional header has no data directory");
  const std::uint64_t count = Le(head, countAt, 4);
  const std::uint64_t entry = directories + kCertificateTableIndex * kDirectoryEntryBytes;
  if (count <= kCertificateTableIndex || entry + kDirectoryEntryBytes > opt + optionalSize) {
    Refuse(name, "the data directory has no certificate-table entry");
  }
  const std::uint64_t checksum = opt + kChecksumAt;
  const std::uint64_t tableAt = Le(head, entry, 4);
  const std::uint64_t tableSize = Le(head, entry + 4, 4);

  std::vector<ByteRange> ranges;
  ranges.push_back({0, checksum});
  ranges.push_back({checksum + 4, entry - (checksum + 4)});
  const std::uint64_t afterEntry = entry + kDirectoryEntryBytes;
  if (tableSize == 0) {
    ranges.push_back({afterEntry, fileSize - afterEntry});
    return ranges;
  }
  if (tableAt < afterEntry || tableAt > fileSize || tableSize > fileSize - tableAt) {
    Refuse(name, "its certificate table (" + std::to_string(tableSize) + " bytes at " +
                     std::to_string(tableAt) + ") lies outside the file's " +
                     std::to_string(fileSize) + " bytes or over its headers");
  }
  ranges.push_back({afterEntry, tableAt - afterEntry});
  const std::uint64_t end = tableAt + tableSize;
  if (end < fileSize) ranges.push_back({end, fileSize - end});
  return ranges;
}

}  // namespace vormlan::catalog
