#include "catalog/Catalog.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <unordered_set>

#include "catalog/PeImage.h"
#include "common/Exception.h"
#include "common/Quoted.h"

namespace vormlan::catalog {

const char* NameOf(HashAlg alg) {
  return alg == HashAlg::Sha1 ? "SHA-1" : "SHA-256";
}

std::size_t SizeOf(HashAlg alg) {
  return alg == HashAlg::Sha1 ? 20 : 32;
}

std::string TagOf(const std::string& digest) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(digest.size() * 2);
  for (const char c : digest) {
    const auto b = static_cast<unsigned char>(c);
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

const NameValue* FindNameValue(const CatalogMember& member, const std::string& name) {
  const auto same = [&name](const std::string& other) {
    return std::equal(name.begin(), name.end(), other.begin(), other.end(), [](char a, char b) {
      const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
      };
      return lower(a) == lower(b);
    });
  };
  for (const auto& nv : member.nameValues) {
    if (same(nv.name)) return &nv;
  }
  return nullptr;
}

FileHash HashFile(const std::filesystem::path& path, const std::string& name, HashAlg alg) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw Exception("Cannot hash " + Quoted(name) + ": " + ec.message() + ".");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Exception("Cannot hash " + Quoted(name) + ": it cannot be opened.");
  std::string head(static_cast<std::size_t>(std::min<std::uintmax_t>(size, kMaxPeHeaderBytes)),
                   '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  if (static_cast<std::size_t>(in.gcount()) != head.size()) {
    throw Exception("Cannot hash " + Quoted(name) + ": it could not be read whole.");
  }
  FileHash out;
  const auto ranges = AuthenticodeRanges(head, size, name);
  out.peImage = ranges.has_value();
  const std::vector<ByteRange> whole = {{0, size}};
  Hasher hasher(alg);
  std::string buffer(1 << 20, '\0');
  for (const auto& range : ranges ? *ranges : whole) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(range.offset));
    std::uint64_t left = range.size;
    while (left > 0) {
      const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
      in.read(buffer.data(), static_cast<std::streamsize>(chunk));
      if (static_cast<std::size_t>(in.gcount()) != chunk) {
        throw Exception("Cannot hash " + Quoted(name) + ": it changed or could not be read whole.");
      }
      hasher.Update(std::string_view(buffer.data(), chunk));
      left -= chunk;
    }
  }
  out.digest = hasher.Final();
  return out;
}

CatalogContent MakeCatalogContent(const std::vector<MemberFile>& files, std::int64_t thisUpdate) {
  CatalogContent content;
  content.thisUpdate = thisUpdate;
  content.hash = kMemberHash;
  content.attributes.push_back({"OSAttr", kNameValueFlags, kOsAttr});
  std::unordered_set<std::string> seen;
  for (const auto& file : files) {
    FileHash hash = HashFile(file.path, file.name, content.hash);
    if (!seen.insert(hash.digest).second) continue;
    CatalogMember m;
    m.digest = std::move(hash.digest);
    m.peImage = hash.peImage;
    m.nameValues.push_back({"File", kNameValueFlags, file.name});
    m.nameValues.push_back({"OSAttr", kNameValueFlags, kOsAttr});
    m.subjectGuid = m.peImage ? kPeImageSubject : kFlatFileSubject;
    content.members.push_back(std::move(m));
  }
  std::sort(content.members.begin(), content.members.end(),
            [](const auto& a, const auto& b) { return a.digest < b.digest; });
  // The list's identifier follows from what it lists, so that the same
  // package gives the same identifier.
  Hasher id(HashAlg::Sha256);
  for (const auto& m : content.members) id.Update(m.digest);
  content.listIdentifier = id.Final().substr(0, 16);
  return content;
}

std::string BuildCatalog(const std::vector<MemberFile>& files, const SigningIdentity* signer,
                         std::int64_t thisUpdate) {
  return EncodeCatalog(MakeCatalogContent(files, thisUpdate), signer);
}

namespace {

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ReadPassword(const std::string& file) {
  constexpr std::size_t kMax = 64 * 1024;
  std::error_code ec;
  const auto path = PathOf(file);
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw Exception("Cannot read the password file " + Quoted(file) + ": not a readable file.");
  }
  std::ifstream in(path, std::ios::binary);
  std::string text(kMax + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) throw Exception("Cannot read the password file " + Quoted(file) + ".");
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kMax) {
    throw Exception("The password file " + Quoted(file) + " is larger than 64 KiB.");
  }
  return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace

std::optional<SigningIdentity> LoadSigner(const SigningFiles& files) {
  if (!files.pfx.empty()) {
    std::optional<std::string> password;
    if (!files.passwordFile.empty()) {
      password = ReadPassword(files.passwordFile);
      if (password->empty()) password.reset();
    }
    return SigningIdentity::FromPfx(PathOf(files.pfx), password);
  }
  if (!files.key.empty() || !files.cert.empty()) {
    return SigningIdentity::FromPem(PathOf(files.key), PathOf(files.cert));
  }
  return std::nullopt;
}

}  // namespace vormlan::catalog
