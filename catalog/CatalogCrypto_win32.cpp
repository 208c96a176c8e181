// Catalogs through the system's CryptoAPI: digests, the catalog's ASN.1
// (CryptEncodeObjectEx and CryptDecodeObjectEx), the signature
// (CryptSignHash over the signer's authenticated attributes), PKCS #12 and
// PEM identities (PFXImportCertStore, CryptImportKey), and the verification
// of catalogs read back (CryptMsgControl, CertGetCertificateChain).

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "catalog/CatalogCrypto.h"
#include "catalog/CatalogOids.h"
#include "catalog/CryptoFiles.h"
#include "common/Exception.h"
#include "common/Quoted.h"
#include "common/SystemText_win32.h"
#include "common/UniqueHandle_win32.h"
#include "common/WideText_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>

namespace vormlan::catalog {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  const DWORD code = GetLastError();
  const auto text = SystemMessageTextUtf8(code);
  char number[32];
  std::snprintf(number, sizeof number, "0x%08lx", static_cast<unsigned long>(code));
  throw Exception(what + " (" + (text ? *text : std::string("error ") + number) + ").");
}

// CALG_SHA_256, which the headers hide at the program's Windows XP level;
// the AES provider has it from Windows XP SP3.
constexpr ALG_ID kCalgSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

struct ProviderTraits {
  using Handle = HCRYPTPROV;
  static Handle Invalid() { return 0; }
  static bool Valid(Handle h) { return h != 0; }
  static bool Close(Handle h) { return CryptReleaseContext(h, 0) != FALSE; }
};
struct HashTraits {
  using Handle = HCRYPTHASH;
  static Handle Invalid() { return 0; }
  static bool Valid(Handle h) { return h != 0; }
  static bool Close(Handle h) { return CryptDestroyHash(h) != FALSE; }
};

}  // namespace

struct Hasher::State {
  UniqueHandle<ProviderTraits> provider;
  UniqueHandle<HashTraits> hash;
};

Hasher::Hasher(HashAlg alg) : state_(std::make_unique<State>()) {
  if (!CryptAcquireContextW(state_->provider.Receive(), nullptr, nullptr, PROV_RSA_AES,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    Fail("Cannot open the system's cryptographic provider");
  }
  if (!CryptCreateHash(state_->provider.Get(), alg == HashAlg::Sha1 ? CALG_SHA1 : kCalgSha256, 0, 0,
                       state_->hash.Receive())) {
    Fail("Cannot start a digest");
  }
}

Hasher::~Hasher() = default;

void Hasher::Update(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!CryptHashData(state_->hash.Get(), reinterpret_cast<const BYTE*>(bytes.data()), chunk, 0)) {
      Fail("Cannot hash");
    }
    bytes.remove_prefix(chunk);
  }
}

std::string Hasher::Final() {
  BYTE out[64];
  DWORD size = sizeof out;
  if (!CryptGetHashParam(state_->hash.Get(), HP_HASHVAL, out, &size, 0)) {
    Fail("Cannot finish a digest");
  }
  return std::string(reinterpret_cast<const char*>(out), size);
}

}  // namespace vormlan::catalog

namespace vormlan::catalog {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr char kObsolete[] = "<<<Obsolete>>>";
// The parameters of an algorithm that takes none: ASN.1 NULL, in the
// encoded form CRYPT_ALGORITHM_IDENTIFIER's Parameters carry.
constexpr char kNullParameters[] = {0x05, 0x00};
// Seconds from 1601 (FILETIME) to 1970.
constexpr std::int64_t kEpochDifference = 11644473600LL;

struct KeyTraits {
  using Handle = HCRYPTKEY;
  static Handle Invalid() { return 0; }
  static bool Valid(Handle h) { return h != 0; }
  static bool Close(Handle h) { return CryptDestroyKey(h) != FALSE; }
};
struct StoreTraits {
  using Handle = HCERTSTORE;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return CertCloseStore(h, 0) != FALSE; }
};
struct CertTraits {
  using Handle = PCCERT_CONTEXT;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return CertFreeCertificateContext(h) != FALSE; }
};
struct MsgTraits {
  using Handle = HCRYPTMSG;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return CryptMsgClose(h) != FALSE; }
};
struct ChainTraits {
  using Handle = PCCERT_CHAIN_CONTEXT;
  static Handle Invalid() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) {
    CertFreeCertificateChain(h);
    return true;
  }
};
using Provider = UniqueHandle<ProviderTraits>;
using Key = UniqueHandle<KeyTraits>;
using Store = UniqueHandle<StoreTraits>;
using Cert = UniqueHandle<CertTraits>;
using Msg = UniqueHandle<MsgTraits>;
using Chain = UniqueHandle<ChainTraits>;

struct LocalFreeDeleter {
  void operator()(void* p) const noexcept { LocalFree(p); }
};
template <typename T>
using LocalPtr = std::unique_ptr<T, LocalFreeDeleter>;

const BYTE* Bytes(std::string_view s) {
  return reinterpret_cast<const BYTE*>(s.data());
}

CRYPT_DATA_BLOB Blob(std::string_view s) {
  return {static_cast<DWORD>(s.size()), const_cast<BYTE*>(Bytes(s))};
}

std::string FromBlob(const CRYPT_DATA_BLOB& b) {
  return b.cbData != 0 ? std::string(reinterpret_cast<const char*>(b.pbData), b.cbData)
                       : std::string();
}

LPSTR OidArg(const char* oid) {
  return const_cast<LPSTR>(oid);
}

// The DER of a structure through the system's encoder for its type.
std::string Encode(LPCSTR type, const void* info, const char* what) {
  BYTE* out = nullptr;
  DWORD size = 0;
  if (!CryptEncodeObjectEx(kEncoding, type, info, CRYPT_ENCODE_ALLOC_FLAG, nullptr, &out, &size)) {
    Fail(std::string("Cannot encode ") + what);
  }
  const LocalPtr<BYTE> owned(out);
  return std::string(reinterpret_cast<const char*>(out), size);
}

// The structure the system's decoder reads from der, or null when der is no
// such thing.
template <typename T>
LocalPtr<T> TryDecode(LPCSTR type, std::string_view der) {
  if (der.empty() || der.size() > std::numeric_limits<DWORD>::max()) return nullptr;
  void* out = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(kEncoding, type, Bytes(der), static_cast<DWORD>(der.size()),
                           CRYPT_DECODE_ALLOC_FLAG, nullptr, &out, &size)) {
    return nullptr;
  }
  return LocalPtr<T>(static_cast<T*>(out));
}

std::string Sequence(const std::vector<std::string>& items) {
  std::vector<CRYPT_DER_BLOB> blobs;
  blobs.reserve(items.size());
  for (const auto& item : items) blobs.push_back(Blob(item));
  CRYPT_SEQUENCE_OF_ANY seq{static_cast<DWORD>(blobs.size()), blobs.data()};
  return Encode(X509_SEQUENCE_OF_ANY, &seq, "a sequence");
}

// The encoded elements of a SEQUENCE, or nothing when der is none. Together
// they are the sequence's content octets.
std::optional<std::vector<std::string>> Elements(std::string_view der) {
  const auto seq = TryDecode<CRYPT_SEQUENCE_OF_ANY>(X509_SEQUENCE_OF_ANY, der);
  if (!seq) return std::nullopt;
  std::vector<std::string> out;
  out.reserve(seq->cValue);
  for (DWORD i = 0; i < seq->cValue; ++i) out.push_back(FromBlob(seq->rgValue[i]));
  return out;
}

std::vector<std::string> ElementsOf(std::string_view der, const char* what) {
  auto elements = Elements(der);
  if (!elements) throw Exception(std::string("Cannot read back ") + what + ".");
  return std::move(*elements);
}

std::string Bmp(const std::string& utf8) {
  std::wstring wide = WideFromUtf8(utf8);
  CERT_NAME_VALUE value{};
  value.dwValueType = CERT_RDN_BMP_STRING;
  value.Value.cbData = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
  value.Value.pbData = reinterpret_cast<BYTE*>(wide.data());
  return Encode(X509_UNICODE_NAME_VALUE, &value, "a text");
}

std::string UnsignedInteger(std::uint32_t value) {
  BYTE le[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  CRYPT_UINT_BLOB blob{sizeof le, le};
  return Encode(X509_MULTI_BYTE_UINT, &blob, "a number");
}

std::string Octets(std::string_view bytes) {
  CRYPT_DATA_BLOB blob = Blob(bytes);
  return Encode(X509_OCTET_STRING, &blob, "an octet string");
}

std::string ContentInfo(const char* oid, std::string_view content) {
  CRYPT_CONTENT_INFO info{OidArg(oid), Blob(content)};
  return Encode(PKCS_CONTENT_INFO, &info, "a content info");
}

// SEQUENCE { type OBJECT IDENTIFIER, value ANY }: an algorithm identifier or
// an Authenticode attribute type and value. The system encodes that shape
// as an S/MIME capability.
std::string TypeAndValue(const char* oid, std::string_view value) {
  CRYPT_SMIME_CAPABILITY capability{OidArg(oid), Blob(value)};
  CRYPT_SMIME_CAPABILITIES list{1, &capability};
  const auto elements =
      ElementsOf(Encode(PKCS_SMIME_CAPABILITIES, &list, "a type and value"), "a type and value");
  if (elements.size() != 1) throw Exception("Cannot read back a type and value.");
  return elements[0];
}

std::string TypeOf(const std::string& typeAndValue) {
  const auto list =
      TryDecode<CRYPT_SMIME_CAPABILITIES>(PKCS_SMIME_CAPABILITIES, Sequence({typeAndValue}));
  if (!list || list->cCapability != 1 || list->rgCapability[0].pszObjId == nullptr) return {};
  return list->rgCapability[0].pszObjId;
}

// [0] EXPLICIT value: the content of a content info, taken from one.
std::string Explicit0(std::string_view value) {
  const auto elements = ElementsOf(ContentInfo(oid::kCtl, value), "a tagged value");
  if (elements.size() != 2) throw Exception("Cannot read back a tagged value.");
  return elements[1];
}

std::string EmptySet() {
  CRYPT_ATTRIBUTES none{0, nullptr};
  return Encode(PKCS_ATTRIBUTES, &none, "an empty set");
}

// The link to the file that catalogs no longer name: a file link whose
// name is "<<<Obsolete>>>" (wintrust's encoder).
std::string ObsoleteLink() {
  std::wstring name = WideFromUtf8(kObsolete);
  SPC_LINK link{};
  link.dwLinkChoice = SPC_FILE_LINK_CHOICE;
  link.pwszFile = name.data();
  return Encode(SPC_LINK_STRUCT, &link, "a file link");
}

std::string NameValueDer(const NameValue& nv) {
  return Sequence({Bmp(nv.name), UnsignedInteger(nv.flags), Octets(Utf16WithNul(nv.value))});
}

std::string MemberInfoDer(const CatalogMember& m) {
  return Sequence({Bmp(m.subjectGuid), UnsignedInteger(m.certVersion)});
}

// SpcIndirectDataContent: the member's kind (SPC_PE_IMAGE_DATA with the
// obsolete link, or the link alone for a flat file) and its digest. Built
// from crypt32's generic encoders: Wine's wintrust refuses to encode
// SPC_INDIRECT_DATA_CONTENT_STRUCT (CRYPT_E_ASN1_ERROR, whatever it is
// given), and the flags of SPC_PE_IMAGE_DATA_STRUCT are left out there
// when they are empty, though the structure requires them.
std::string IndirectDataDer(const CatalogMember& m, HashAlg alg) {
  const std::string link = ObsoleteLink();
  CRYPT_BIT_BLOB noFlags{0, nullptr, 0};
  const std::string kind =
      m.peImage
          ? TypeAndValue(oid::kPeImageData,
                         Sequence({Encode(X509_BITS, &noFlags, "image flags"), Explicit0(link)}))
          : TypeAndValue(oid::kCabData, link);
  const std::string algorithm =
      TypeAndValue(alg == HashAlg::Sha1 ? oid::kSha1 : oid::kSha256,
                   std::string_view(kNullParameters, sizeof kNullParameters));
  return Sequence({kind, Sequence({algorithm, Octets(m.digest)})});
}

FILETIME FileTimeOf(std::int64_t unixSeconds) {
  constexpr std::int64_t kMax =
      std::numeric_limits<std::int64_t>::max() / 10'000'000 - kEpochDifference;
  if (unixSeconds < -kEpochDifference || unixSeconds > kMax) {
    throw Exception("The catalog's time is out of range.");
  }
  const auto ticks = static_cast<ULONGLONG>(unixSeconds + kEpochDifference) * 10'000'000ULL;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::int64_t UnixSecondsOf(const FILETIME& t) {
  const ULONGLONG ticks = (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10'000'000ULL) - kEpochDifference;
}

// One member's attributes, with the storage they point into. They are put
// in the order of their encodings, as DER orders a SET OF, so that the
// result does not hang on whether the system's encoder sorts them.
struct EntryAttributes {
  std::string tag;
  std::vector<std::string> values;
  std::vector<CRYPT_ATTR_BLOB> blobs;
  std::vector<CRYPT_ATTRIBUTE> attributes;

  void Fill(const CatalogMember& m, HashAlg alg) {
    tag = unicode::ToUtf16Le(TagOf(m.digest));
    std::vector<const char*> types;
    for (const auto& nv : m.nameValues) {
      values.push_back(NameValueDer(nv));
      types.push_back(oid::kNameValue);
    }
    values.push_back(MemberInfoDer(m));
    types.push_back(oid::kMemberInfo);
    values.push_back(IndirectDataDer(m, alg));
    types.push_back(oid::kIndirectData);
    blobs.reserve(values.size());
    for (const auto& v : values) blobs.push_back(Blob(v));
    std::vector<std::pair<std::string, CRYPT_ATTRIBUTE>> encoded;
    for (std::size_t i = 0; i < values.size(); ++i) {
      CRYPT_ATTRIBUTE a{OidArg(types[i]), 1, &blobs[i]};
      encoded.emplace_back(Encode(PKCS_ATTRIBUTE, &a, "an attribute"), a);
    }
    std::sort(encoded.begin(), encoded.end(),
              [](const auto& x, const auto& y) { return x.first < y.first; });
    for (const auto& e : encoded) attributes.push_back(e.second);
  }
};

std::string CtlDer(const CatalogContent& content) {
  std::vector<EntryAttributes> stores(content.members.size());
  std::vector<CTL_ENTRY> entries(content.members.size());
  for (std::size_t i = 0; i < content.members.size(); ++i) {
    stores[i].Fill(content.members[i], content.hash);
    entries[i].SubjectIdentifier = Blob(stores[i].tag);
    entries[i].cAttribute = static_cast<DWORD>(stores[i].attributes.size());
    entries[i].rgAttribute = stores[i].attributes.data();
  }
  std::vector<std::string> extensionValues;
  extensionValues.reserve(content.attributes.size());
  std::vector<CERT_EXTENSION> extensions;
  for (const auto& nv : content.attributes) {
    extensionValues.push_back(NameValueDer(nv));
    extensions.push_back({OidArg(oid::kNameValue), FALSE, Blob(extensionValues.back())});
  }
  LPSTR usage = OidArg(oid::kCatalogList);
  CTL_INFO info{};
  info.dwVersion = CTL_V1;
  info.SubjectUsage = {1, &usage};
  info.ListIdentifier = Blob(content.listIdentifier);
  info.ThisUpdate = FileTimeOf(content.thisUpdate);
  info.SubjectAlgorithm.pszObjId =
      OidArg(content.hash == HashAlg::Sha1 ? oid::kCatalogMember : oid::kCatalogMember2);
  info.SubjectAlgorithm.Parameters =
      Blob(std::string_view(kNullParameters, sizeof kNullParameters));
  info.cCTLEntry = static_cast<DWORD>(entries.size());
  info.rgCTLEntry = entries.data();
  info.cExtension = static_cast<DWORD>(extensions.size());
  info.rgExtension = extensions.data();
  return Encode(PKCS_CTL, &info, "the certificate trust list");
}

std::string Concatenated(const std::vector<std::string>& parts) {
  return std::accumulate(parts.begin(), parts.end(), std::string());
}

// The content octets of the trust list: what the signature of content
// other than data covers.
std::string ContentOctets(std::string_view ctl) {
  return Concatenated(ElementsOf(ctl, "the certificate trust list"));
}

// The catalog read as far as its trust list.
struct Parsed {
  std::string ctl;
};

Parsed ParseMessage(std::string_view bytes, const std::string& name) {
  if (bytes.size() > std::numeric_limits<DWORD>::max()) {
    throw Exception(Quoted(name) + " is too large for a catalog.");
  }
  const auto outer = TryDecode<CRYPT_CONTENT_INFO>(PKCS_CONTENT_INFO, bytes);
  if (!outer || outer->pszObjId == nullptr) {
    throw Exception(Quoted(name) + " is not a catalog: no PKCS #7 message.");
  }
  const std::string signedData = FromBlob(outer->Content);
  // What follows the message: the message encoded again is a shorter
  // prefix of the bytes.
  const std::string again = ContentInfo(outer->pszObjId, signedData);
  if (again.size() < bytes.size() && bytes.substr(0, again.size()) == again) {
    throw Exception(Quoted(name) +
                    " is not a catalog: " + std::to_string(bytes.size() - again.size()) +
                    " bytes follow its PKCS #7 message.");
  }
  const auto notCatalog = [&name] {
    return Exception(Quoted(name) +
                     " is not a catalog: no signed certificate trust list (szOID_CTL) in it.");
  };
  if (std::strcmp(outer->pszObjId, szOID_RSA_signedData) != 0) throw notCatalog();
  const auto elements = Elements(signedData);
  if (!elements || elements->size() < 4) throw notCatalog();
  const auto inner = TryDecode<CRYPT_CONTENT_INFO>(PKCS_CONTENT_INFO, (*elements)[2]);
  if (!inner || inner->pszObjId == nullptr || std::strcmp(inner->pszObjId, oid::kCtl) != 0 ||
      inner->Content.cbData == 0) {
    throw notCatalog();
  }
  return {FromBlob(inner->Content)};
}

// The system's reading of the message, for its signers and certificates.
Msg OpenMessage(std::string_view bytes, const std::string& name, DWORD flags) {
  Msg msg(CryptMsgOpenToDecode(kEncoding, flags, 0, 0, nullptr, nullptr));
  if (!msg) Fail("Cannot start reading " + Quoted(name));
  if (!CryptMsgUpdate(msg.Get(), Bytes(bytes), static_cast<DWORD>(bytes.size()), TRUE)) {
    Fail("Cannot read " + Quoted(name) + " as a PKCS #7 message");
  }
  return msg;
}

DWORD SignerCount(HCRYPTMSG msg) {
  DWORD count = 0;
  DWORD size = sizeof count;
  if (!CryptMsgGetParam(msg, CMSG_SIGNER_COUNT_PARAM, 0, &count, &size)) {
    Fail("Cannot count the catalog's signers");
  }
  return count;
}

std::optional<std::string> ReadBmp(const std::string& der) {
  const auto v = TryDecode<CERT_NAME_VALUE>(X509_UNICODE_NAME_VALUE, der);
  if (!v || v->dwValueType != CERT_RDN_BMP_STRING) return std::nullopt;
  return Utf8FromWide(std::wstring_view(reinterpret_cast<const wchar_t*>(v->Value.pbData),
                                        v->Value.cbData / sizeof(wchar_t)));
}

// An INTEGER that fits 32 bits unsigned.
std::optional<std::uint32_t> ReadUnsigned(const std::string& der) {
  const auto v = TryDecode<CRYPT_INTEGER_BLOB>(X509_MULTI_BYTE_INTEGER, der);
  if (!v || v->cbData == 0 || (v->pbData[v->cbData - 1] & 0x80) != 0) return std::nullopt;
  DWORD size = v->cbData;
  while (size > 0 && v->pbData[size - 1] == 0) --size;
  if (size > 4) return std::nullopt;
  std::uint32_t value = 0;
  for (DWORD i = size; i > 0; --i) value = (value << 8) | v->pbData[i - 1];
  return value;
}

std::optional<std::string> ReadOctets(const std::string& der) {
  const auto v = TryDecode<CRYPT_DATA_BLOB>(X509_OCTET_STRING, der);
  if (!v) return std::nullopt;
  return FromBlob(*v);
}

std::optional<NameValue> ReadNameValue(const std::string& der) {
  const auto e = Elements(der);
  if (!e || e->size() != 3) return std::nullopt;
  auto name = ReadBmp((*e)[0]);
  const auto flags = ReadUnsigned((*e)[1]);
  auto value = ReadOctets((*e)[2]);
  if (!name || !flags || !value) return std::nullopt;
  return NameValue{std::move(*name), *flags, FromUtf16WithNul(std::move(*value))};
}

// The member's kind and digest from its SpcIndirectDataContent.
bool ReadIndirectData(const std::string& der, CatalogMember& m) {
  const auto e = Elements(der);
  if (!e || e->size() != 2) return false;
  const auto digestInfo = Elements((*e)[1]);
  if (!digestInfo || digestInfo->size() != 2) return false;
  auto digest = ReadOctets((*digestInfo)[1]);
  if (!digest) return false;
  m.peImage = TypeOf((*e)[0]) == oid::kPeImageData;
  m.digest = std::move(*digest);
  return true;
}

}  // namespace

// The key lives in a provider of its own (a verification context of the
// RSA/AES provider: it hashes SHA-256 from Windows XP SP3 on, and keeps
// nothing once closed), imported as a signature key.
struct SigningIdentity::State {
  Provider provider;
  Key key;
  Cert cert;
  std::vector<std::string> chain;  // encoded, the signer's own left out
};

SigningIdentity::SigningIdentity(std::unique_ptr<State> state) : state_(std::move(state)) {}
SigningIdentity::~SigningIdentity() = default;
SigningIdentity::SigningIdentity(SigningIdentity&&) noexcept = default;
SigningIdentity& SigningIdentity::operator=(SigningIdentity&&) noexcept = default;

namespace {

// A PRIVATEKEYBLOB made the signing key of a new state.
std::unique_ptr<SigningIdentity::State> StateWithKey(std::string blob) {
  auto s = std::make_unique<SigningIdentity::State>();
  if (!CryptAcquireContextW(s->provider.Receive(), nullptr, nullptr, PROV_RSA_AES,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    Fail("Cannot open the system's cryptographic provider");
  }
  BLOBHEADER header;
  if (blob.size() < sizeof header) throw Exception("The private key is too short.");
  std::memcpy(&header, blob.data(), sizeof header);
  header.aiKeyAlg = CALG_RSA_SIGN;  // a signature key, whatever it was made for
  std::memcpy(blob.data(), &header, sizeof header);
  if (!CryptImportKey(s->provider.Get(), Bytes(blob), static_cast<DWORD>(blob.size()), 0, 0,
                      s->key.Receive())) {
    Fail("Cannot import the private key");
  }
  return s;
}

void RequireKeyMatches(const SigningIdentity::State& s, const std::filesystem::path& file) {
  DWORD size = 0;
  if (!CryptExportPublicKeyInfo(s.provider.Get(), AT_SIGNATURE, X509_ASN_ENCODING, nullptr,
                                &size)) {
    Fail("Cannot read the public half of the private key");
  }
  std::vector<BYTE> buffer(size);
  auto* info = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(buffer.data());
  if (!CryptExportPublicKeyInfo(s.provider.Get(), AT_SIGNATURE, X509_ASN_ENCODING, info, &size)) {
    Fail("Cannot read the public half of the private key");
  }
  if (!CertComparePublicKeyInfo(X509_ASN_ENCODING, &s.cert.Get()->pCertInfo->SubjectPublicKeyInfo,
                                info)) {
    throw Exception("The private key does not belong to the certificate of " +
                    Quoted(PathText(file)) + ".");
  }
}

std::string EncodedCert(PCCERT_CONTEXT c) {
  return std::string(reinterpret_cast<const char*>(c->pbCertEncoded), c->cbCertEncoded);
}

// The DER of each PEM block of that label ("CERTIFICATE"), in file order.
std::vector<std::string> PemBlocks(const std::string& text, const std::string& label) {
  const std::string begin = "-----BEGIN " + label + "-----";
  const std::string end = "-----END " + label + "-----";
  std::vector<std::string> out;
  std::size_t from = 0;
  while (true) {
    const std::size_t b = text.find(begin, from);
    if (b == std::string::npos) break;
    const std::size_t e = text.find(end, b + begin.size());
    if (e == std::string::npos) break;
    const std::string_view block(text.data() + b, e + end.size() - b);
    from = e + end.size();
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
      continue;
    }
    std::string der(size, '\0');
    if (CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                             CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()), &size,
                             nullptr, nullptr)) {
      der.resize(size);
      out.push_back(std::move(der));
    }
  }
  return out;
}

// An RSAPrivateKey as the PRIVATEKEYBLOB CryptImportKey takes.
std::optional<std::string> RsaKeyBlob(std::string_view der) {
  void* out = nullptr;
  DWORD size = 0;
  if (der.empty() || !CryptDecodeObjectEx(kEncoding, PKCS_RSA_PRIVATE_KEY, Bytes(der),
                                          static_cast<DWORD>(der.size()), CRYPT_DECODE_ALLOC_FLAG,
                                          nullptr, &out, &size)) {
    return std::nullopt;
  }
  const LocalPtr<BYTE> owned(static_cast<BYTE*>(out));
  return std::string(static_cast<const char*>(out), size);
}

// The PFXImportCertStore key container of a certificate, deleted when done:
// the key goes on in a provider of its own.
class ImportedContainer {
 public:
  explicit ImportedContainer(PCCERT_CONTEXT cert) {
    DWORD size = 0;
    if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) {
      return;
    }
    info_.resize(size);
    if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, info_.data(), &size)) {
      info_.clear();
    }
  }
  ~ImportedContainer() {
    if (info_.empty()) return;
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(info_.data());
    HCRYPTPROV gone = 0;
    CryptAcquireContextW(
        &gone, info->pwszContainerName, info->pwszProvName, info->dwProvType,
        CRYPT_DELETEKEYSET | CRYPT_SILENT | (info->dwFlags & CRYPT_MACHINE_KEYSET));
  }
  ImportedContainer(const ImportedContainer&) = delete;
  ImportedContainer& operator=(const ImportedContainer&) = delete;
  bool HasKey() const { return !info_.empty(); }

 private:
  std::vector<BYTE> info_;
};

// The private key of a certificate PFXImportCertStore made, as a PRIVATEKEYBLOB.
std::string ExportedKey(PCCERT_CONTEXT cert, const std::filesystem::path& pfx) {
  HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
  DWORD keySpec = 0;
  BOOL callerFrees = FALSE;
  if (!CryptAcquireCertificatePrivateKey(cert, CRYPT_ACQUIRE_SILENT_FLAG, nullptr, &handle,
                                         &keySpec, &callerFrees)) {
    Fail("Cannot open the private key of " + Quoted(PathText(pfx)));
  }
  Provider provider(callerFrees ? handle : 0);
  // Wine gives the key's kind as both kinds at once (3): then each is tried.
  Key key;
  bool opened = false;
  for (const DWORD spec : {keySpec, DWORD{AT_KEYEXCHANGE}, DWORD{AT_SIGNATURE}}) {
    if ((spec == AT_KEYEXCHANGE || spec == AT_SIGNATURE) &&
        CryptGetUserKey(handle, spec, key.Receive())) {
      opened = true;
      break;
    }
  }
  if (!opened) Fail("Cannot open the private key of " + Quoted(PathText(pfx)));
  DWORD size = 0;
  if (!CryptExportKey(key.Get(), 0, PRIVATEKEYBLOB, 0, nullptr, &size)) {
    Fail("Cannot read the private key of " + Quoted(PathText(pfx)));
  }
  std::string blob(size, '\0');
  if (!CryptExportKey(key.Get(), 0, PRIVATEKEYBLOB, 0, reinterpret_cast<BYTE*>(blob.data()),
                      &size)) {
    Fail("Cannot read the private key of " + Quoted(PathText(pfx)));
  }
  blob.resize(size);
  return blob;
}

}  // namespace

SigningIdentity SigningIdentity::FromPfx(const std::filesystem::path& pfx,
                                         const std::optional<std::string>& password) {
  const std::string bytes = ReadSmallFile(pfx, "the PKCS #12 file");
  CRYPT_DATA_BLOB blob = Blob(bytes);
  if (!PFXIsPFXBlob(&blob)) {
    throw Exception(Quoted(PathText(pfx)) + " is not a PKCS #12 (.pfx) file.");
  }
  const auto import = [&blob](LPCWSTR pw) {
    return Store(PFXImportCertStore(&blob, pw, CRYPT_EXPORTABLE | CRYPT_USER_KEYSET));
  };
  Store store;
  if (password) {
    store = import(WideFromUtf8(*password).c_str());
  } else {
    store = import(L"");
    if (!store) store = import(nullptr);
  }
  if (!store) {
    // Windows says ERROR_INVALID_PASSWORD; Wine sets no error at all, but
    // PFXVerifyPassword tells.
    const DWORD code = GetLastError();
    const std::wstring pw = password ? WideFromUtf8(*password) : std::wstring();
    if (code == ERROR_INVALID_PASSWORD || !PFXVerifyPassword(&blob, pw.c_str(), 0)) {
      throw Exception("Cannot open " + Quoted(PathText(pfx)) +
                      ": the password is wrong (or a password is needed and none was given).");
    }
    if (code == ERROR_SUCCESS) {
      throw Exception("Cannot read the key and certificate of " + Quoted(PathText(pfx)) + ".");
    }
    SetLastError(code);
    Fail("Cannot read the key and certificate of " + Quoted(PathText(pfx)));
  }
  std::vector<Cert> certs;
  for (PCCERT_CONTEXT c = nullptr; (c = CertEnumCertificatesInStore(store.Get(), c)) != nullptr;) {
    certs.emplace_back(CertDuplicateCertificateContext(c));
  }
  if (certs.empty()) throw Exception(Quoted(PathText(pfx)) + " holds no certificate for its key.");
  std::unique_ptr<State> s;
  for (const auto& c : certs) {
    const ImportedContainer container(c.Get());
    if (!container.HasKey() || s) continue;
    s = StateWithKey(ExportedKey(c.Get(), pfx));
    s->cert.Reset(CertDuplicateCertificateContext(c.Get()));
  }
  if (!s) throw Exception(Quoted(PathText(pfx)) + " holds no private key.");
  for (const auto& c : certs) {
    if (!CertCompareCertificate(X509_ASN_ENCODING, c.Get()->pCertInfo, s->cert.Get()->pCertInfo)) {
      s->chain.push_back(EncodedCert(c.Get()));
    }
  }
  RequireKeyMatches(*s, pfx);
  return SigningIdentity(std::move(s));
}

SigningIdentity SigningIdentity::FromPem(const std::filesystem::path& key,
                                         const std::filesystem::path& cert) {
  std::unique_ptr<State> s;
  {
    const std::string text = ReadSmallFile(key, "the private key");
    std::optional<std::string> blob;
    if (const auto pkcs8 = PemBlocks(text, "PRIVATE KEY"); !pkcs8.empty()) {
      // PrivateKeyInfo ::= SEQUENCE { version, algorithm, privateKey OCTET
      // STRING, ... }, read element by element: Wine has no decoder for
      // PKCS_PRIVATE_KEY_INFO.
      const auto e = Elements(pkcs8[0]);
      if (e && e->size() >= 3 && TypeOf((*e)[1]) == szOID_RSA_RSA) {
        if (const auto rsa = ReadOctets((*e)[2])) blob = RsaKeyBlob(*rsa);
      }
    } else if (const auto pkcs1 = PemBlocks(text, "RSA PRIVATE KEY"); !pkcs1.empty()) {
      blob = RsaKeyBlob(pkcs1[0]);
    }
    if (!blob) {
      throw Exception(Quoted(PathText(key)) +
                      " holds no PEM private key (an encrypted key is not read: give a .pfx "
                      "with --sign and its password file instead).");
    }
    s = StateWithKey(std::move(*blob));
  }
  const std::string text = ReadSmallFile(cert, "the certificate file");
  for (const auto& der : PemBlocks(text, "CERTIFICATE")) {
    if (!s->cert) {
      s->cert.Reset(CertCreateCertificateContext(X509_ASN_ENCODING, Bytes(der),
                                                 static_cast<DWORD>(der.size())));
    } else {
      s->chain.push_back(der);
    }
  }
  if (!s->cert) throw Exception(Quoted(PathText(cert)) + " holds no PEM certificate.");
  RequireKeyMatches(*s, cert);
  return SigningIdentity(std::move(s));
}

namespace {

std::string_view NullParameters() {
  return {kNullParameters, sizeof kNullParameters};
}

// SET OF with the one element: an attribute's values, taken from one.
std::string SetOfOne(std::string_view element) {
  CRYPT_ATTR_BLOB value = Blob(element);
  CRYPT_ATTRIBUTE attribute{OidArg(oid::kCtl), 1, &value};
  const auto elements =
      ElementsOf(Encode(PKCS_ATTRIBUTE, &attribute, "a set"), "a set of one element");
  if (elements.size() != 2) throw Exception("Cannot read back a set of one element.");
  return elements[1];
}

// The encoded OBJECT IDENTIFIER, taken from a type and value without one.
std::string ObjectIdentifier(const char* oid) {
  const auto elements = ElementsOf(TypeAndValue(oid, {}), "an object identifier");
  if (elements.empty()) throw Exception("Cannot read back an object identifier.");
  return elements[0];
}

// The certificates field of SignedData ([0] IMPLICIT SET OF Certificate),
// from a message without signers that carries them: the element after its
// content info.
std::string CertificatesField(const std::vector<std::string>& encoded) {
  std::vector<CERT_BLOB> certs;
  for (const auto& c : encoded) certs.push_back(Blob(c));
  CMSG_SIGNED_ENCODE_INFO info{};
  info.cbSize = sizeof info;
  info.cCertEncoded = static_cast<DWORD>(certs.size());
  info.rgCertEncoded = certs.data();
  const Msg msg(CryptMsgOpenToEncode(kEncoding, 0, CMSG_SIGNED, &info, nullptr, nullptr));
  if (!msg || !CryptMsgUpdate(msg.Get(), nullptr, 0, TRUE)) Fail("Cannot encode the certificates");
  DWORD size = 0;
  if (!CryptMsgGetParam(msg.Get(), CMSG_BARE_CONTENT_PARAM, 0, nullptr, &size)) {
    Fail("Cannot encode the certificates");
  }
  std::string bare(size, '\0');
  if (!CryptMsgGetParam(msg.Get(), CMSG_BARE_CONTENT_PARAM, 0, bare.data(), &size)) {
    Fail("Cannot encode the certificates");
  }
  bare.resize(size);
  const auto elements = ElementsOf(bare, "the certificates");
  for (std::size_t i = 0; i + 1 < elements.size(); ++i) {
    if (TryDecode<CRYPT_CONTENT_INFO>(PKCS_CONTENT_INFO, elements[i])) return elements[i + 1];
  }
  throw Exception("Cannot read back the certificates.");
}

// The signer's SignerInfo over the trust list: SHA-256, with the
// authenticated attributes catalogs carry (content type szOID_CTL and the
// digest of the trust list's content octets), whose DER the key signs.
// Built here rather than by the message encoder, which under Wine hashes
// the trust list with its tag and length and gives the content type
// attribute as data.
std::string SignerInfo(const SigningIdentity::State& s, std::string_view octets) {
  Hasher content(HashAlg::Sha256);
  content.Update(octets);
  const std::string digest = Octets(content.Final());
  const std::string contentType = ObjectIdentifier(oid::kCtl);
  CRYPT_ATTR_BLOB typeValue = Blob(contentType);
  CRYPT_ATTR_BLOB digestValue = Blob(digest);
  CRYPT_ATTRIBUTE attributes[] = {{OidArg(szOID_RSA_contentType), 1, &typeValue},
                                  {OidArg(szOID_RSA_messageDigest), 1, &digestValue}};
  CRYPT_ATTRIBUTES list{2, attributes};
  const std::string signedAttributes = Encode(PKCS_ATTRIBUTES, &list, "the signed attributes");

  UniqueHandle<HashTraits> hash;
  if (!CryptCreateHash(s.provider.Get(), kCalgSha256, 0, 0, hash.Receive()) ||
      !CryptHashData(hash.Get(), Bytes(signedAttributes),
                     static_cast<DWORD>(signedAttributes.size()), 0)) {
    Fail("Cannot hash the signed attributes");
  }
  DWORD size = 0;
  if (!CryptSignHashW(hash.Get(), AT_SIGNATURE, nullptr, 0, nullptr, &size)) {
    Fail("Cannot sign the catalog");
  }
  std::string signature(size, '\0');
  if (!CryptSignHashW(hash.Get(), AT_SIGNATURE, nullptr, 0,
                      reinterpret_cast<BYTE*>(signature.data()), &size)) {
    Fail("Cannot sign the catalog");
  }
  signature.resize(size);
  std::reverse(signature.begin(), signature.end());  // CryptoAPI gives it little-endian

  const CERT_INFO* cert = s.cert.Get()->pCertInfo;
  CMSG_SIGNER_INFO info{};
  info.dwVersion = 1;
  info.Issuer = cert->Issuer;
  info.SerialNumber = cert->SerialNumber;
  info.HashAlgorithm = {OidArg(oid::kSha256), Blob(NullParameters())};
  info.HashEncryptionAlgorithm = {OidArg(szOID_RSA_RSA), Blob(NullParameters())};
  info.EncryptedHash = Blob(signature);
  info.AuthAttrs = list;
  return Encode(PKCS7_SIGNER_INFO, &info, "the signer");
}

}  // namespace

std::string EncodeCatalog(const CatalogContent& content, const SigningIdentity* signer) {
  const std::string ctl = CtlDer(content);
  const std::string contentInfo = ContentInfo(oid::kCtl, ctl);
  INT version = 1;
  const std::string versionDer = Encode(X509_INTEGER, &version, "a version");
  if (signer == nullptr) {
    // No digest algorithms and no signer infos: empty sets, which Wine's
    // message encoder would leave out.
    return ContentInfo(szOID_RSA_signedData,
                       Sequence({versionDer, EmptySet(), contentInfo, EmptySet()}));
  }
  const auto& s = signer->Get();
  std::vector<std::string> certs{EncodedCert(s.cert.Get())};
  certs.insert(certs.end(), s.chain.begin(), s.chain.end());
  return ContentInfo(
      szOID_RSA_signedData,
      Sequence({versionDer, SetOfOne(TypeAndValue(oid::kSha256, NullParameters())), contentInfo,
                CertificatesField(certs), SetOfOne(SignerInfo(s, ContentOctets(ctl)))}));
}

DecodedCatalog DecodeCatalog(std::string_view bytes, const std::string& name) {
  const Parsed parsed = ParseMessage(bytes, name);
  DecodedCatalog out;
  out.signedBySomeone = SignerCount(OpenMessage(bytes, name, 0).Get()) > 0;
  const auto bad = [&name](const std::string& what) {
    return Exception("Cannot read catalog " + Quoted(name) + ": " + what + ".");
  };
  const auto ctl = TryDecode<CTL_INFO>(PKCS_CTL, parsed.ctl);
  if (!ctl) throw bad("its certificate trust list does not decode");
  out.content.listIdentifier = FromBlob(ctl->ListIdentifier);
  out.content.thisUpdate = UnixSecondsOf(ctl->ThisUpdate);
  const std::string algorithm =
      ctl->SubjectAlgorithm.pszObjId != nullptr ? ctl->SubjectAlgorithm.pszObjId : "";
  const bool sha256Members = algorithm == oid::kCatalogMember2;
  if (!sha256Members && algorithm != oid::kCatalogMember) {
    throw bad("its members are of an unknown kind " + algorithm);
  }
  out.content.hash = sha256Members ? HashAlg::Sha256 : HashAlg::Sha1;
  for (DWORD i = 0; i < ctl->cCTLEntry; ++i) {
    const CTL_ENTRY& entry = ctl->rgCTLEntry[i];
    CatalogMember m;
    bool indirect = false;
    for (DWORD j = 0; j < entry.cAttribute; ++j) {
      const CRYPT_ATTRIBUTE& a = entry.rgAttribute[j];
      if (a.pszObjId == nullptr || a.cValue != 1) continue;
      const std::string type = a.pszObjId;
      const std::string der = FromBlob(a.rgValue[0]);
      if (type == oid::kNameValue) {
        if (auto nv = ReadNameValue(der)) m.nameValues.push_back(std::move(*nv));
      } else if (type == oid::kMemberInfo) {
        const auto e = Elements(der);
        if (!e || e->size() != 2) continue;
        auto guid = ReadBmp((*e)[0]);
        const auto version = ReadUnsigned((*e)[1]);
        if (guid && version) {
          m.subjectGuid = std::move(*guid);
          m.certVersion = *version;
        }
      } else if (type == oid::kIndirectData) {
        if (!ReadIndirectData(der, m)) {
          throw bad("member " + std::to_string(i + 1) + " has unreadable indirect data");
        }
        indirect = true;
      }
    }
    if (!indirect) throw bad("member " + std::to_string(i + 1) + " has no hash (indirect data)");
    out.content.members.push_back(std::move(m));
  }
  for (DWORD i = 0; i < ctl->cExtension; ++i) {
    const CERT_EXTENSION& ext = ctl->rgExtension[i];
    if (ext.pszObjId == nullptr || std::strcmp(ext.pszObjId, oid::kNameValue) != 0) continue;
    if (auto nv = ReadNameValue(FromBlob(ext.Value)))
      out.content.attributes.push_back(std::move(*nv));
  }
  return out;
}

namespace {

// The certificates of a PEM file in a store of their own, or nothing when
// it holds none.
Store RootsStore(const std::filesystem::path& file) {
  std::string text;
  try {
    text = ReadSmallFile(file, "the trusted roots");
  } catch (const Exception&) {
    return Store();
  }
  Store store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!store) Fail("Cannot make a certificate store");
  bool any = false;
  for (const auto& der : PemBlocks(text, "CERTIFICATE")) {
    any = CertAddEncodedCertificateToStore(store.Get(), X509_ASN_ENCODING, Bytes(der),
                                           static_cast<DWORD>(der.size()),
                                           CERT_STORE_ADD_USE_EXISTING, nullptr) ||
          any;
  }
  return any ? std::move(store) : Store();
}

std::string ChainProblem(DWORD status) {
  if ((status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) != 0)
    return "a signature in the chain is invalid";
  if ((status & CERT_TRUST_IS_NOT_TIME_VALID) != 0) {
    return "a certificate of the chain has expired or is not yet valid";
  }
  if ((status & CERT_TRUST_IS_REVOKED) != 0) return "a certificate of the chain is revoked";
  if ((status & CERT_TRUST_INVALID_BASIC_CONSTRAINTS) != 0) {
    return "an issuer in the chain is no certification authority";
  }
  if ((status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) != 0) {
    return "a certificate of the chain is not valid for this use";
  }
  char text[64];
  std::snprintf(text, sizeof text, "trust status 0x%08lx", static_cast<unsigned long>(status));
  return text;
}

std::optional<std::string> CheckChain(PCCERT_CONTEXT signer, HCERTSTORE carried,
                                      const std::filesystem::path& rootsFile) {
  const std::string intro = "its signer's certificate does not chain to the trusted roots " +
                            Quoted(PathText(rootsFile)) + ": ";
  const Store roots = RootsStore(rootsFile);
  if (!roots) {
    return "the trusted roots " + Quoted(PathText(rootsFile)) +
           " cannot be read as PEM certificates";
  }
  Store both(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
  if (!both || !CertAddStoreToCollection(both.Get(), carried, 0, 0) ||
      !CertAddStoreToCollection(both.Get(), roots.Get(), 0, 0)) {
    Fail("Cannot make a certificate store");
  }
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  Chain chain;
  PCCERT_CHAIN_CONTEXT made = nullptr;
  if (!CertGetCertificateChain(nullptr, signer, nullptr, both.Get(), &para, 0, nullptr, &made)) {
    Fail("Cannot build the signer's certificate chain");
  }
  chain.Reset(made);
  if (chain.Get()->cChain == 0 || chain.Get()->rgpChain[0]->cElement == 0) {
    return intro + "no chain";
  }
  const CERT_SIMPLE_CHAIN* simple = chain.Get()->rgpChain[0];
  PCCERT_CONTEXT top = simple->rgpElement[simple->cElement - 1]->pCertContext;
  const Cert found(CertFindCertificateInStore(roots.Get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                              top, nullptr));
  if (!found) return intro + "it ends at a certificate that is not among them";
  const DWORD ignored = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                        CERT_TRUST_IS_OFFLINE_REVOCATION;
  if (const DWORD status = simple->TrustStatus.dwErrorStatus & ~ignored; status != 0) {
    return intro + ChainProblem(status);
  }
  return std::nullopt;
}

// The chain Windows itself builds: through the certificates the catalog
// carries to a root in the system's stores (the Root store and the roots
// policy adds), as the driver store's check of a catalog does.
std::optional<std::string> CheckSystemChain(PCCERT_CONTEXT signer, HCERTSTORE carried) {
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  Chain chain;
  PCCERT_CHAIN_CONTEXT made = nullptr;
  if (!CertGetCertificateChain(nullptr, signer, nullptr, carried, &para, 0, nullptr, &made)) {
    Fail("Cannot build the signer's certificate chain");
  }
  chain.Reset(made);
  const std::string intro =
      "its signer's certificate does not chain to a root this system trusts: ";
  if (chain.Get()->cChain == 0 || chain.Get()->rgpChain[0]->cElement == 0) {
    return intro + "no chain";
  }
  const DWORD ignored = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
  const CERT_SIMPLE_CHAIN* simple = chain.Get()->rgpChain[0];
  if (const DWORD status = simple->TrustStatus.dwErrorStatus & ~ignored; status != 0) {
    return intro + ChainProblem(status);
  }
  return std::nullopt;
}

template <typename T>
std::optional<std::vector<BYTE>> SignerParam(HCRYPTMSG msg, DWORD param, DWORD index) {
  DWORD size = 0;
  if (!CryptMsgGetParam(msg, param, index, nullptr, &size)) return std::nullopt;
  std::vector<BYTE> buffer(std::max<DWORD>(size, sizeof(T)));
  if (!CryptMsgGetParam(msg, param, index, buffer.data(), &size)) return std::nullopt;
  return buffer;
}

// Whether the message digest among the signer's authenticated attributes
// (when it has any) is the digest of the content octets. Wine's
// CryptMsgControl checks the signature over the attributes only, and
// passes a catalog whose content was changed after it was signed: so the
// digest is compared here, on every system.
bool DigestAttributeHolds(HCRYPTMSG msg, DWORD index, std::string_view octets) {
  const auto attrs = SignerParam<CRYPT_ATTRIBUTES>(msg, CMSG_SIGNER_AUTH_ATTR_PARAM, index);
  if (!attrs) return true;  // none: the signature itself covers the content's digest
  const auto* list = reinterpret_cast<const CRYPT_ATTRIBUTES*>(attrs->data());
  if (list->cAttr == 0) return true;
  const auto info = SignerParam<CMSG_SIGNER_INFO>(msg, CMSG_SIGNER_INFO_PARAM, index);
  if (!info) return false;
  const char* hashOid =
      reinterpret_cast<const CMSG_SIGNER_INFO*>(info->data())->HashAlgorithm.pszObjId;
  if (hashOid == nullptr) return false;
  std::optional<HashAlg> alg;
  if (std::strcmp(hashOid, oid::kSha1) == 0) alg = HashAlg::Sha1;
  if (std::strcmp(hashOid, oid::kSha256) == 0) alg = HashAlg::Sha256;
  if (!alg) return false;
  Hasher hasher(*alg);
  hasher.Update(octets);
  const std::string digest = hasher.Final();
  for (DWORD i = 0; i < list->cAttr; ++i) {
    const CRYPT_ATTRIBUTE& a = list->rgAttr[i];
    if (a.pszObjId == nullptr || std::strcmp(a.pszObjId, szOID_RSA_messageDigest) != 0) continue;
    if (a.cValue != 1) return false;
    const auto value = ReadOctets(FromBlob(a.rgValue[0]));
    return value && *value == digest;
  }
  return false;  // authenticated attributes without a message digest
}

bool MayNotSignCode(PCCERT_CONTEXT cert) {
  DWORD size = 0;
  if (!CertGetEnhancedKeyUsage(cert, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size)) {
    return false;  // no extended key usage: any use
  }
  std::vector<BYTE> buffer(size);
  auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.data());
  if (!CertGetEnhancedKeyUsage(cert, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size)) {
    return false;
  }
  for (DWORD i = 0; i < usage->cUsageIdentifier; ++i) {
    if (std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_CODE_SIGNING) == 0) return false;
  }
  return usage->cUsageIdentifier > 0;
}

}  // namespace

bool PlatformHasSystemRoots() {
  return true;
}

std::optional<std::string> VerifyCatalogSignature(std::string_view bytes,
                                                  const TrustAnchors& trust) {
  Parsed parsed;
  Msg msg;
  try {
    parsed = ParseMessage(bytes, "catalog");
    msg = OpenMessage(bytes, "catalog", 0);
  } catch (const Exception& e) {
    return std::string(e.what());
  }
  const DWORD signers = SignerCount(msg.Get());
  if (signers == 0) {
    return trust.Any() ? std::optional<std::string>("it is not signed") : std::nullopt;
  }
  // The signature of a trust list covers its content octets; the message
  // is read again with them as its detached content, so that the system
  // hashes exactly those.
  Msg detached;
  std::string octets;
  try {
    detached = OpenMessage(bytes, "catalog", CMSG_DETACHED_FLAG);
    octets = ContentOctets(parsed.ctl);
  } catch (const Exception& e) {
    return std::string(e.what());
  }
  if (!CryptMsgUpdate(detached.Get(), Bytes(octets), static_cast<DWORD>(octets.size()), TRUE)) {
    return std::string("its content cannot be read for its signature");
  }
  const Store carried(CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, msg.Get()));
  if (!carried) Fail("Cannot read the catalog's certificates");
  for (DWORD i = 0; i < signers; ++i) {
    DWORD size = 0;
    if (!CryptMsgGetParam(msg.Get(), CMSG_SIGNER_CERT_INFO_PARAM, i, nullptr, &size)) {
      return std::string("its signer cannot be read");
    }
    std::vector<BYTE> buffer(size);
    if (!CryptMsgGetParam(msg.Get(), CMSG_SIGNER_CERT_INFO_PARAM, i, buffer.data(), &size)) {
      return std::string("its signer cannot be read");
    }
    const Cert signer(CertGetSubjectCertificateFromStore(
        carried.Get(), kEncoding, reinterpret_cast<CERT_INFO*>(buffer.data())));
    if (!signer) return std::string("the signer's certificate is not in the catalog");
    CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA para{};
    para.cbSize = sizeof para;
    para.dwSignerIndex = i;
    para.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
    para.pvSigner = const_cast<CERT_CONTEXT*>(signer.Get());
    if (!CryptMsgControl(detached.Get(), 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &para) ||
        !DigestAttributeHolds(msg.Get(), i, octets)) {
      return std::string(
          "its signature does not match its content: the catalog was changed "
          "after it was signed, or is damaged");
    }
    if (!trust.Any()) continue;
    // Either anchor suffices; when neither holds, both say why.
    std::optional<std::string> problem;
    if (trust.rootsFile) problem = CheckChain(signer.Get(), carried.Get(), *trust.rootsFile);
    if (trust.systemRoots && (problem || !trust.rootsFile)) {
      auto system = CheckSystemChain(signer.Get(), carried.Get());
      problem = !system   ? std::nullopt
                : problem ? std::optional(*problem + "; " + *system)
                          : system;
    }
    if (problem) return problem;
    if (MayNotSignCode(signer.Get())) {
      return std::string("its signer's certificate is not for code signing");
    }
  }
  return std::nullopt;
}

}  // namespace vormlan::catalog
