// Which bytes of a PE image its Authenticode hash covers, the headers read
// as hostile input.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalog/PeImage.h"
#include "common/Exception.h"
#include "tests/catalog/PeFixture.h"

namespace vormlan::catalog {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(PeImage, RangesLeaveOutChecksumCertificateEntryAndTable) {
  for (const std::uint32_t magic : {0x10Bu, 0x20Bu}) {
    SCOPED_TRACE(magic);
    std::string image = PeImage(magic, 4096);
    const std::uint64_t entry = CertEntry(magic);
    const std::uint64_t checksum = 0x98 + 64;
    auto ranges = AuthenticodeRanges(image, image.size(), "a.dll");
    ASSERT_TRUE(ranges);
    EXPECT_THAT(*ranges,
                ElementsAre(ByteRange{0, checksum}, ByteRange{checksum + 4, entry - checksum - 4},
                            ByteRange{entry + 8, 4096 - entry - 8}));
    // A table at the end is left out; bytes after a table in the middle are not.
    Put(image, entry, 3072, 4);
    Put(image, entry + 4, 1024, 4);
    ranges = AuthenticodeRanges(image, image.size(), "a.dll");
    ASSERT_TRUE(ranges);
    EXPECT_EQ(ranges->back(), (ByteRange{entry + 8, 3072 - entry - 8}));
    Put(image, entry + 4, 512, 4);
    ranges = AuthenticodeRanges(image, image.size(), "a.dll");
    ASSERT_TRUE(ranges);
    EXPECT_EQ(ranges->back(), (ByteRange{3584, 512}));
  }
}

TEST(PeImage, FilesThatAreNoImageAreHashedWhole) {
  EXPECT_FALSE(AuthenticodeRanges("", 0, "empty"));
  EXPECT_FALSE(AuthenticodeRanges("; an INF file\r\n", 15, "x.inf"));
  std::string dos = PeImage(0x10B, 512);
  dos[0x80] = 'N';  // "NE": a 16-bit program
  EXPECT_FALSE(AuthenticodeRanges(dos, dos.size(), "old.exe"));
  Put(dos, 0x3C, 0xFFFFFFF0u, 4);  // points far past the end
  EXPECT_FALSE(AuthenticodeRanges(dos, dos.size(), "old.exe"));
  EXPECT_FALSE(AuthenticodeRanges(dos.substr(0, 0x3F), 0x3F, "short.exe"));
}

TEST(PeImage, BrokenHeadersAreRefusedByName) {
  const auto refusal = [](const std::string& bytes, std::uint64_t size) {
    try {
      AuthenticodeRanges(bytes, size, "drv.dll");
    } catch (const Exception& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  const std::string good = PeImage(0x20B, 1024);
  EXPECT_THAT(refusal(good.substr(0, 0x90), 0x90), HasSubstr("the file header is cut short"));
  EXPECT_THAT(refusal(good.substr(0, 0x100), 0x100), HasSubstr("optional header is cut short"));

  std::string bad = good;
  Put(bad, 0x98, 0x107, 2);
  EXPECT_THAT(refusal(bad, bad.size()), HasSubstr("unknown optional header magic 0x107"));

  bad = good;
  Put(bad, 0x98 + 108, 4, 4);  // four directories: none for certificates
  EXPECT_THAT(refusal(bad, bad.size()), HasSubstr("no certificate-table entry"));
  bad = good;
  Put(bad, 0x84 + 16, 100, 2);  // optional header ends before the directory count
  EXPECT_THAT(refusal(bad, bad.size()), HasSubstr("has no data directory"));

  const std::size_t entry = CertEntry(0x20B);
  for (const auto& [at, size] : {std::pair<std::uint32_t, std::uint32_t>{1000, 100},
                                 {0xFFFFFFF0u, 0x20},
                                 {100, 16},
                                 {512, 0xFFFFFFFFu}}) {
    bad = good;
    Put(bad, entry, at, 4);
    Put(bad, entry + 4, size, 4);
    const std::string why = refusal(bad, bad.size());
    EXPECT_THAT(why, HasSubstr("\"drv.dll\"")) << at;
    EXPECT_THAT(why, HasSubstr("lies outside the file")) << at;
  }
}

}  // namespace
}  // namespace vormlan::catalog
