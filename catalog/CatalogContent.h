#pragma once
// What a catalog says, apart from how it is encoded: the list of member
// files with their hashes and attributes, and the catalog's own attributes.
// The member list and every attribute are chosen here, once; the platform
// (CatalogCrypto) only encodes, signs, decodes and verifies.

#include <cstdint>
#include <string>
#include <vector>

namespace vormlan::catalog {

enum class HashAlg { Sha1, Sha256 };

// "SHA-1" or "SHA-256".
const char* NameOf(HashAlg alg);
// The digest size in bytes.
std::size_t SizeOf(HashAlg alg);

// A name and value the way catalogs carry them (CAT_NAMEVALUE): the value
// is UTF-16LE text ending in a NUL character.
struct NameValue {
  std::string name;  // UTF-8; encoded as a BMPString
  std::uint32_t flags = 0;
  std::string value;  // UTF-8; encoded as UTF-16LE with its NUL
  bool operator==(const NameValue&) const = default;
};

// Attribute flags Windows' catalog tool gives names and OS lists: name and
// value, text, added to the catalog (CRYPTCAT_ATTR_NAMEASCII |
// CRYPTCAT_ATTR_DATAASCII | CRYPTCAT_ATTR_AUTHENTICATED).
inline constexpr std::uint32_t kNameValueFlags = 0x10010001;

// The subject GUIDs of the two kinds of member (CAT_MEMBERINFO).
inline constexpr char kPeImageSubject[] = "{C689AAB8-8E78-11D0-8C47-00C04FC295EE}";
inline constexpr char kFlatFileSubject[] = "{DE351A42-8E59-11D0-8C47-00C04FC295EE}";
inline constexpr std::uint32_t kMemberCertVersion = 512;

struct CatalogMember {
  // The hash of the file: of its Authenticode image bytes for a PE image,
  // of all its bytes otherwise. The member's tag is its upper-case hex.
  std::string digest;
  bool peImage = false;
  std::vector<NameValue> nameValues;  // "File" first, then "OSAttr"
  std::string subjectGuid;            // kPeImageSubject or kFlatFileSubject
  std::uint32_t certVersion = kMemberCertVersion;
  bool operator==(const CatalogMember&) const = default;
};

struct CatalogContent {
  std::string listIdentifier;          // 16 bytes
  std::int64_t thisUpdate = 0;         // seconds since 1970, UTC
  HashAlg hash = HashAlg::Sha1;        // of every member
  std::vector<CatalogMember> members;  // sorted by digest, each digest once
  std::vector<NameValue> attributes;   // the catalog's own
  bool operator==(const CatalogContent&) const = default;
};

// The member's tag: its digest as upper-case hex.
std::string TagOf(const std::string& digest);

// The value of a member's name-value called name (compared without regard
// to ASCII case), or nothing.
const NameValue* FindNameValue(const CatalogMember& member, const std::string& name);

}  // namespace vormlan::catalog
