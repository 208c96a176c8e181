#pragma once
// The catalog of a driver package: which files it lists, how each is
// hashed, and which attributes it carries. The list covers every file the
// INF copies and the INF itself; Windows' driver store takes a package only
// when each of them is a member with a matching hash.
//
// Members are hashed with SHA-1: the catalog declares Windows 7 to 11
// (OSAttr "2:6.1,2:6.2,2:6.3,2:10.0"), and Windows' catalog tool writes
// SHA-1 member hashes for every OS list that reaches back before Windows 8,
// as Windows 7 verifies no other member hash. The signature itself is
// SHA-256.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalog/CatalogContent.h"
#include "catalog/CatalogCrypto.h"

namespace vormlan::catalog {

// The Windows versions a catalog is declared for, as OSAttr lists them.
inline constexpr char kOsAttr[] = "2:6.1,2:6.2,2:6.3,2:10.0";
inline constexpr HashAlg kMemberHash = HashAlg::Sha1;
// The largest catalog read back.
inline constexpr std::uintmax_t kMaxCatalogBytes = 64 * 1024 * 1024;

struct FileHash {
  std::string digest;
  bool peImage = false;
};

// The hash of a file as a catalog member: of its Authenticode image bytes
// when it is a PE image, of all its bytes otherwise. name is how errors
// call the file. Throws vormlan::Exception naming it when it cannot be read
// or is a PE image whose headers do not hold together.
FileHash HashFile(const std::filesystem::path& path, const std::string& name, HashAlg alg);

struct MemberFile {
  std::string name;  // as the member's "File" attribute gives it
  std::filesystem::path path;
};

// The content of a catalog of these files, made at thisUpdate (seconds since
// 1970). Files with the same hash share one member (named after the first).
CatalogContent MakeCatalogContent(const std::vector<MemberFile>& files, std::int64_t thisUpdate);

// The catalog's bytes for files: unsigned, or signed by signer.
std::string BuildCatalog(const std::vector<MemberFile>& files, const SigningIdentity* signer,
                         std::int64_t thisUpdate);

// How a catalog is to be signed, as the command line gives it: a PKCS #12
// file with the file holding its password (never the password itself), or
// a PEM key with its PEM certificate (and chain). All empty: unsigned.
struct SigningFiles {
  std::string pfx;
  std::string passwordFile;  // empty, or an empty file: no password
  std::string key;
  std::string cert;
  bool Any() const { return !pfx.empty() || !key.empty() || !cert.empty(); }
};

// The identity the files name, or nothing when they name none. Throws
// vormlan::Exception naming the file that cannot be read or used; a
// password file's text ends before its first line break.
std::optional<SigningIdentity> LoadSigner(const SigningFiles& files);

}  // namespace vormlan::catalog
