// Files and catalogs from another machine's disk, as a package check reads
// them: any bytes may be a driver file whose PE headers choose what its hash
// covers, or a catalog to decode and whose signature to check. A refusal is
// a vormlan::Exception; the ranges a PE image gives stay inside the file, in
// order, without overlap, and leave out its checksum.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/CatalogCrypto.h"
#include "catalog/PeImage.h"
#include "common/Exception.h"
#include "fuzz/FuzzSupport.h"

namespace {

void CheckRanges(std::string_view bytes) {
  using vormlan::catalog::AuthenticodeRanges;
  using vormlan::catalog::kMaxPeHeaderBytes;
  const std::string_view head = bytes.substr(0, kMaxPeHeaderBytes);
  try {
    const auto ranges = AuthenticodeRanges(head, bytes.size(), "fuzz.dll");
    if (!ranges) return;
    std::uint64_t end = 0;
    std::uint64_t covered = 0;
    for (const auto& range : *ranges) {
      if (range.offset < end) vormlan::fuzz::Fail("ranges out of order or overlapping");
      if (range.size > bytes.size() || range.offset > bytes.size() - range.size) {
        vormlan::fuzz::Fail("a range past the end of the file");
      }
      end = range.offset + range.size;
      covered += range.size;
    }
    // At least the checksum is left out.
    if (covered + 4 > bytes.size()) vormlan::fuzz::Fail("the ranges cover the checksum");
  } catch (const vormlan::Exception&) {
    // Headers that do not hold together: refused by name.
  }
}

void CheckCatalog(std::string_view bytes) {
  try {
    (void)vormlan::catalog::DecodeCatalog(bytes, "fuzz.cat");
  } catch (const vormlan::Exception&) {
    // No catalog, or one whose content cannot be read.
  }
  try {
    (void)vormlan::catalog::VerifyCatalogSignature(bytes, vormlan::catalog::TrustAnchors{});
  } catch (const vormlan::Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckRanges(bytes);
  CheckCatalog(bytes);
  return 0;
}
