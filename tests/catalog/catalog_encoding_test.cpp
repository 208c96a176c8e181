// The catalog's encoding is the same from both platforms' cryptography:
// OpenSSL on Linux and CryptoAPI on Windows write an unsigned catalog byte
// for byte alike, read each other's catalogs, and verify each other's
// signatures. The committed catalogs in tests/data/catalog were written by
// one build and are held against the other:
//   unsigned.cat, edge.cat   this suite with VORMLAN_CATALOG_GOLDEN_OUT=DIR
//                            (also writes the package's files to DIR/package)
//   signed-linux.cat         make-test-catalog --time 1700000000 --pfx ... (Linux)
//   signed-windows.cat       the same from the win64 build under Wine
// signed by a test signer under root.pem (both valid for a hundred years); stranger.pem
// is another root.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "catalog/Catalog.h"
#include "common/Unicode.h"
#include "tests/catalog/PeFixture.h"
#include "tests/support/TestSupport.h"

namespace vormlan::catalog {
namespace {

using test::DataDir;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr std::int64_t kTime = 1'700'000'000;

std::filesystem::path Golden(const std::string& name) {
  return DataDir() / "catalog" / name;
}

// The package the committed catalogs list, written to dir.
std::vector<MemberFile> WritePackage(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"vormlan.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n"},
      {"kel.dll", PeImage(0x20B, 4096)},
      {"kel.gpd", "*GPDFileName: \"kel.gpd\"\r\n"},
      {"kel.icm", "profile"},
  };
  std::vector<MemberFile> out;
  for (const auto& [name, bytes] : files) {
    const auto path = dir / std::filesystem::path(std::u8string(name.begin(), name.end()));
    WriteFile(path, bytes);
    out.push_back({name, path});
  }
  return out;
}

// What the encoding must carry unchanged: SHA-256 members, flags at the
// edges of 32 bits, text beyond ASCII and outside the BMP, empty values.
CatalogContent EdgeContent() {
  CatalogContent c;
  c.listIdentifier = std::string(
      "\x00\x01\x80\xFF"
      "0123456789AB",
      16);
  c.thisUpdate = 2'840'140'800;  // 2060: a GeneralizedTime
  c.hash = HashAlg::Sha256;
  CatalogMember image;
  image.digest = std::string(32, '\x01');
  image.peImage = true;
  // A member's attributes are a SET: they come back in the order of their
  // encodings, the shorter first here.
  image.nameValues = {{"OSAttr", 0xFFFFFFFF, ""}, {"File", 0, "Straße ☃ 𝄞.dll"}};
  image.subjectGuid = kPeImageSubject;
  CatalogMember flat;
  flat.digest = std::string(32, '\xFE');
  flat.nameValues = {{"File", 0x80000000, "a.inf"}};
  flat.subjectGuid = kFlatFileSubject;
  flat.certVersion = 0;
  c.members = {image, flat};
  c.attributes = {{"OSAttr", kNameValueFlags, kOsAttr}, {"Ünïcode", 0x7FFFFFFF, "x"}};
  return c;
}

class CatalogEncoding : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = WritePackage(dir_.Path() / "package");
    if (const char* out = std::getenv("VORMLAN_CATALOG_GOLDEN_OUT")) {
      const std::filesystem::path to(out);
      WritePackage(to / "package");
      WriteFile(to / "unsigned.cat", EncodeCatalog(MakeCatalogContent(files_, kTime), nullptr));
      WriteFile(to / "edge.cat", EncodeCatalog(EdgeContent(), nullptr));
    }
  }
  TempDir dir_;
  std::vector<MemberFile> files_;
};

TEST_F(CatalogEncoding, UnsignedCatalogsAreByteForByteTheCommittedOnes) {
  const CatalogContent content = MakeCatalogContent(files_, kTime);
  const std::string bytes = EncodeCatalog(content, nullptr);
  EXPECT_EQ(bytes, ReadFile(Golden("unsigned.cat")));
  EXPECT_EQ(DecodeCatalog(bytes, "unsigned.cat").content, content);

  const std::string edge = EncodeCatalog(EdgeContent(), nullptr);
  EXPECT_EQ(edge, ReadFile(Golden("edge.cat")));
  const DecodedCatalog decoded = DecodeCatalog(edge, "edge.cat");
  EXPECT_FALSE(decoded.signedBySomeone);
  EXPECT_EQ(decoded.content, EdgeContent());
}

TEST_F(CatalogEncoding, EachBuildReadsAndVerifiesTheOthersSignedCatalogs) {
  const CatalogContent content = MakeCatalogContent(files_, kTime);
  const auto root = Golden("root.pem");
  for (const char* name : {"signed-linux.cat", "signed-windows.cat"}) {
    SCOPED_TRACE(name);
    std::string bytes = ReadFile(Golden(name));
    const DecodedCatalog decoded = DecodeCatalog(bytes, name);
    EXPECT_TRUE(decoded.signedBySomeone);
    EXPECT_EQ(decoded.content, content);
    EXPECT_EQ(VerifyCatalogSignature(bytes, TrustAnchors{}), std::nullopt);
    EXPECT_EQ(VerifyCatalogSignature(bytes, TrustAnchors{root}), std::nullopt);
    const auto stranger = VerifyCatalogSignature(bytes, TrustAnchors{Golden("stranger.pem")});
    ASSERT_TRUE(stranger.has_value());
    EXPECT_NE(stranger->find("does not chain to the trusted roots"), std::string::npos)
        << *stranger;
    // One byte of a member's digest changed: the signature no longer holds.
    const std::string tag = unicode::ToUtf16Le(TagOf(content.members[0].digest));
    const auto at = bytes.find(tag);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 3] = static_cast<char>(bytes[at + 3] ^ 1);
    const auto changed = VerifyCatalogSignature(bytes, TrustAnchors{root});
    ASSERT_TRUE(changed.has_value());
    EXPECT_NE(changed->find("does not match its content"), std::string::npos) << *changed;
  }
}

TEST_F(CatalogEncoding, BytesAfterTheMessageAreRefused) {
  const std::string bytes = ReadFile(Golden("unsigned.cat")) + "tail";
  try {
    DecodeCatalog(bytes, "tail.cat");
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("4 bytes follow its PKCS #7 message"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace vormlan::catalog
