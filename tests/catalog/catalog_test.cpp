// The catalog library: the member list, the encoding read back, the
// package's catalog as generate writes it, and the package check against a
// catalog.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "catalog/Catalog.h"
#include "catalog/CatalogCheck.h"
#include "catalog/PackageCatalog.h"
#include "host/host_posix.h"
#include "tests/catalog/PeFixture.h"
#include "common/Exception.h"
#include "tests/support/TestSupport.h"

namespace vormlan::catalog {
namespace {

using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Package {
  TempDir dir;
  std::vector<MemberFile> files;
  void Add(const std::string& name, const std::string& bytes) {
    WriteFile(dir.Path() / name, bytes);
    files.push_back({name, dir.Path() / name});
  }
};

TEST(Catalog, MembersRoundTripThroughTheEncoding) {
  Package p;
  p.Add("vormlan.inf", "[Version]\r\n");
  p.Add("drv.dll", PeImage(0x20B, 2048));
  p.Add("copy.dll", PeImage(0x20B, 2048));  // same bytes: one member
  p.Add("names.gpd", "*GPDFileName: \"names.gpd\"\r\n");
  const CatalogContent content = MakeCatalogContent(p.files, 1'700'000'000);
  ASSERT_EQ(content.members.size(), 3u);
  EXPECT_EQ(content.hash, HashAlg::Sha1);
  EXPECT_EQ(content.listIdentifier.size(), 16u);
  for (const auto& m : content.members) {
    EXPECT_EQ(m.digest.size(), 20u);
    const NameValue* file = FindNameValue(m, "file");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(m.peImage, file->value == "drv.dll");
    EXPECT_EQ(m.subjectGuid, m.peImage ? kPeImageSubject : kFlatFileSubject);
    ASSERT_NE(FindNameValue(m, "OSAttr"), nullptr);
    EXPECT_EQ(FindNameValue(m, "OSAttr")->value, kOsAttr);
  }
  // The flat hash is of all the bytes; the image hash leaves the checksum out.
  std::string changed = PeImage(0x20B, 2048);
  changed[0x98 + 64] = 'x';
  WriteFile(p.dir.Path() / "changed.dll", changed);
  EXPECT_EQ(HashFile(p.dir.Path() / "changed.dll", "changed.dll", HashAlg::Sha1).digest,
            HashFile(p.dir.Path() / "drv.dll", "drv.dll", HashAlg::Sha1).digest);

  const std::string der = EncodeCatalog(content, nullptr);
  const DecodedCatalog decoded = DecodeCatalog(der, "vormlan.cat");
  EXPECT_FALSE(decoded.signedBySomeone);
  EXPECT_EQ(decoded.content, content);
  EXPECT_EQ(VerifyCatalogSignature(der, TrustAnchors{}), std::nullopt);
  EXPECT_EQ(VerifyCatalogSignature(der, TrustAnchors{std::filesystem::path("roots.pem")}),
            "it is not signed");
}

TEST(Catalog, DamagedCatalogsAreRefusedByName) {
  Package p;
  p.Add("a.inf", "[Version]\r\n");
  const std::string der = EncodeCatalog(MakeCatalogContent(p.files, 0), nullptr);
  const auto refusal = [](const std::string& bytes) {
    try {
      DecodeCatalog(bytes, "bad.cat");
    } catch (const Exception& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_THAT(refusal(""), HasSubstr("\"bad.cat\" is not a catalog"));
  EXPECT_THAT(refusal("cat\n"), HasSubstr("\"bad.cat\" is not a catalog"));
  EXPECT_THAT(refusal(der + "x"), HasSubstr("1 bytes follow"));
  for (std::size_t cut = 1; cut < der.size(); cut += 7) {
    EXPECT_NE(refusal(der.substr(0, der.size() - cut)), "accepted") << cut;
  }
}

TEST(Catalog, CheckerNamesChangedUnlistedAndExtraFiles) {
  Package p;
  p.Add("x.inf", "[Version]\r\n");
  p.Add("drv.dll", PeImage(0x10B, 1024));
  p.Add("data.bin", "data");
  std::vector<generation::PackageFile> files;
  for (const auto& f : p.files) files.push_back({f.name, f.path});
  // A file of the folder for another architecture: listed, copied by no
  // INF checked here, and no problem (store packages list every one).
  p.Add("x86.dll", "x86");
  WriteFile(p.dir.Path() / "x.cat", BuildCatalog(p.files, nullptr, 0));

  CatalogChecker checker;
  EXPECT_THAT(checker.Verify(p.dir.Path() / "x.cat", "x.cat", files), ElementsAre());

  // One byte changed (not the image checksum), a file the catalog lacks, and
  // a member no file matches.
  std::string dll = PeImage(0x10B, 1024);
  dll[600] = 'y';
  WriteFile(p.dir.Path() / "drv.dll", dll);
  WriteFile(p.dir.Path() / "new.txt", "new");
  files.erase(files.begin() + 2);  // data.bin, gone from the folder
  std::filesystem::remove(p.dir.Path() / "data.bin");
  files.push_back({"new.txt", p.dir.Path() / "new.txt"});
  const auto problems = checker.Verify(p.dir.Path() / "x.cat", "x.cat", files);
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_THAT(problems[0], HasSubstr("file \"drv.dll\" does not match catalog \"x.cat\""));
  EXPECT_THAT(problems[1], HasSubstr("file \"new.txt\" is not listed in catalog \"x.cat\""));
  EXPECT_THAT(problems[2], HasSubstr("lists \"data.bin\""));

  WriteFile(p.dir.Path() / "x.cat", "not a catalog");
  EXPECT_THAT(checker.Verify(p.dir.Path() / "x.cat", "x.cat", files),
              ElementsAre(HasSubstr("\"x.cat\" is not a catalog")));
}

// The system's host, without dialogs.
class Host : public generation::PosixHost {
 public:
  using PosixHost::PosixHost;
  std::optional<std::string> ChooseDirectory(const std::string&) override { return std::nullopt; }
  void ShowPlainMessage(const std::string&) override {}
  void RequestApplicationEnd() override {}
};

TEST(Catalog, PackageCatalogListsEveryFileButItselfAndStandsWholeOrNotAtAll) {
  TempDir dir;
  Host host(dir.Path().string());
  std::filesystem::create_directories(dir.Path() / "amd64");
  WriteFile(dir.Path() / "vormlan.inf", "[Version]\r\n");
  WriteFile(dir.Path() / "amd64" / "drv.dll", PeImage(0x20B, 1024));
  WriteFile(dir.Path() / "vormlan.cat", "old");
  const std::string written = WritePackageCatalog(
      host, dir.Path().string(), {"vormlan.inf", "amd64\\drv.dll", "vormlan.cat"}, nullptr, 0);
  EXPECT_EQ(written, (dir.Path() / "vormlan.cat").string());
  const auto decoded = DecodeCatalog(test::ReadFile(dir.Path() / "vormlan.cat"), "vormlan.cat");
  ASSERT_EQ(decoded.content.members.size(), 2u);
  std::vector<std::string> names;
  for (const auto& m : decoded.content.members) names.push_back(FindNameValue(m, "File")->value);
  std::sort(names.begin(), names.end());
  EXPECT_THAT(names, ElementsAre("drv.dll", "vormlan.inf"));

  // A file that cannot be hashed stops the catalog before anything is written.
  const std::string before = test::ReadFile(dir.Path() / "vormlan.cat");
  std::string broken = PeImage(0x20B, 1024);
  Put(broken, 0x98, 0x999, 2);
  WriteFile(dir.Path() / "amd64" / "drv.dll", broken);
  try {
    WritePackageCatalog(host, dir.Path().string(), {"vormlan.inf", "amd64/drv.dll"}, nullptr, 0);
    ADD_FAILURE() << "a broken image was hashed";
  } catch (const Exception& e) {
    EXPECT_THAT(e.what(), HasSubstr("\"drv.dll\""));
  }
  EXPECT_EQ(test::ReadFile(dir.Path() / "vormlan.cat"), before);
}

}  // namespace
}  // namespace vormlan::catalog
