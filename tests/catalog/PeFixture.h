#pragma once
// Synthetic PE images for the catalog suites: headers only, as far as the
// Authenticode hash reads them.

#include <cstdint>
#include <string>

namespace vormlan::catalog {

inline void Put(std::string& bytes, std::size_t at, std::uint64_t value, std::size_t n) {
  if (bytes.size() < at + n) bytes.resize(at + n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A PE image's headers: DOS header pointing at 0x80, a file header, and an
// optional header of the given magic with 16 data directories; sections'
// bytes follow up to size.
inline std::string PeImage(std::uint32_t magic, std::size_t size) {
  std::string b(size, '\x5A');
  b[0] = 'M';
  b[1] = 'Z';
  Put(b, 0x3C, 0x80, 4);
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  const std::size_t optional = magic == 0x10B ? 224 : 240;
  Put(b, 0x84 + 16, static_cast<std::uint32_t>(optional), 2);
  Put(b, 0x98, magic, 2);
  Put(b, 0x98 + 64, 0xDEADBEEF, 4);  // checksum
  Put(b, 0x98 + (magic == 0x10B ? 92 : 108), 16, 4);
  Put(b, 0x98 + (magic == 0x10B ? 96 : 112) + 32, 0, 8);  // no certificate table
  return b;
}

inline std::size_t CertEntry(std::uint32_t magic) {
  return 0x98 + (magic == 0x10B ? 96 : 112) + 32;
}

}  // namespace vormlan::catalog
