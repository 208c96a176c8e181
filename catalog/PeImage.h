#pragma once
// The bytes of a PE image that its Authenticode hash covers: the whole file
// but the checksum field of the optional header, the certificate-table entry
// of its data directory and the certificate table itself.
//
// The headers are read as hostile input: every offset and size is checked
// against the bytes at hand and the file's size, and a file that says it is
// a PE image but whose headers do not hold together is refused by name.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vormlan::catalog {

// How much of a file's start the headers are looked for in.
inline constexpr std::size_t kMaxPeHeaderBytes = 64 * 1024;

struct ByteRange {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  bool operator==(const ByteRange&) const = default;
};

// The ranges of the file to hash, in file order, for a file whose first
// bytes are head (at most kMaxPeHeaderBytes, fewer only when the file is
// shorter) and whose size is fileSize. Nothing for a file that is no PE
// image: no "MZ", or no "PE\0\0" where the DOS header points (a DOS
// program); those are hashed whole. Throws vormlan::Exception naming name
// and what is wrong when the PE headers are cut short or contradict the
// file: an unknown optional-header magic, a data directory without a
// certificate-table entry, a certificate table outside the file or over
// the headers.
std::optional<std::vector<ByteRange>> AuthenticodeRanges(std::string_view head,
                                                         std::uint64_t fileSize,
                                                         const std::string& name);

}  // namespace vormlan::catalog
