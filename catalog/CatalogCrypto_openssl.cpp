// Catalogs through OpenSSL: digests (EVP), the catalog's ASN.1 (OpenSSL's
// templates), PKCS #7 signing and verification, PKCS #12 and PEM keys.

#include <openssl/asn1.h>
#include <openssl/asn1t.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <iterator>
#include <memory>

#include "catalog/CatalogCrypto.h"
#include "catalog/CatalogOids.h"
#include "catalog/CryptoFiles.h"
#include "common/Exception.h"
#include "common/Quoted.h"
#include "common/Unicode.h"

// The templates below expand to C: casts and initialisers that C++ warns of.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wcast-qual"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuseless-cast"
#endif
#pragma GCC diagnostic ignored "-Wunused-function"

namespace {

// CAT_NAMEVALUE ::= SEQUENCE { tag BMPString, flags INTEGER, value OCTET STRING }
struct CatNameValue {
  ASN1_BMPSTRING* tag;
  ASN1_INTEGER* flags;
  ASN1_OCTET_STRING* value;
};
ASN1_SEQUENCE(CatNameValue) =
    {
        ASN1_SIMPLE(CatNameValue, tag, ASN1_BMPSTRING),
        ASN1_SIMPLE(CatNameValue, flags, ASN1_INTEGER),
        ASN1_SIMPLE(CatNameValue, value, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(CatNameValue) IMPLEMENT_ASN1_FUNCTIONS(CatNameValue)

    // CAT_MEMBERINFO ::= SEQUENCE { subjectGuid BMPString, certVersion INTEGER }
    struct CatMemberInfo {
  ASN1_BMPSTRING* guid;
  ASN1_INTEGER* certVersion;
};
ASN1_SEQUENCE(CatMemberInfo) =
    {
        ASN1_SIMPLE(CatMemberInfo, guid, ASN1_BMPSTRING),
        ASN1_SIMPLE(CatMemberInfo, certVersion, ASN1_INTEGER),
} ASN1_SEQUENCE_END(CatMemberInfo) IMPLEMENT_ASN1_FUNCTIONS(CatMemberInfo)

    // SpcString ::= CHOICE { unicode [0] IMPLICIT BMPString, ascii [1] IMPLICIT IA5String }
    struct SpcString {
  int type;
  union {
    ASN1_BMPSTRING* unicode;
    ASN1_IA5STRING* ascii;
  } value;
};
ASN1_CHOICE(SpcString) =
    {
        ASN1_IMP_OPT(SpcString, value.unicode, ASN1_BMPSTRING, 0),
        ASN1_IMP_OPT(SpcString, value.ascii, ASN1_IA5STRING, 1),
} ASN1_CHOICE_END(SpcString) IMPLEMENT_ASN1_FUNCTIONS(SpcString)

    // SpcLink ::= CHOICE { url [0] IMPLICIT IA5String, file [2] EXPLICIT SpcString }
    // (the moniker choice is never written)
    struct SpcLink {
  int type;
  union {
    ASN1_IA5STRING* url;
    SpcString* file;
  } value;
};
ASN1_CHOICE(SpcLink) =
    {
        ASN1_IMP_OPT(SpcLink, value.url, ASN1_IA5STRING, 0),
        ASN1_EXP_OPT(SpcLink, value.file, SpcString, 2),
} ASN1_CHOICE_END(SpcLink) IMPLEMENT_ASN1_FUNCTIONS(SpcLink)

    // SpcPeImageData ::= SEQUENCE { flags BIT STRING, file [0] EXPLICIT SpcLink OPTIONAL }
    struct SpcPeImageData {
  ASN1_BIT_STRING* flags;
  SpcLink* file;
};
ASN1_SEQUENCE(SpcPeImageData) =
    {
        ASN1_SIMPLE(SpcPeImageData, flags, ASN1_BIT_STRING),
        ASN1_EXP_OPT(SpcPeImageData, file, SpcLink, 0),
} ASN1_SEQUENCE_END(SpcPeImageData) IMPLEMENT_ASN1_FUNCTIONS(SpcPeImageData)

    // SpcAttributeTypeAndOptionalValue ::= SEQUENCE { type OBJECT IDENTIFIER, value ANY OPTIONAL }
    struct SpcAttributeValue {
  ASN1_OBJECT* type;
  ASN1_TYPE* value;
};
ASN1_SEQUENCE(SpcAttributeValue) =
    {
        ASN1_SIMPLE(SpcAttributeValue, type, ASN1_OBJECT),
        ASN1_OPT(SpcAttributeValue, value, ASN1_ANY),
} ASN1_SEQUENCE_END(SpcAttributeValue) IMPLEMENT_ASN1_FUNCTIONS(SpcAttributeValue)

    // DigestInfo ::= SEQUENCE { digestAlgorithm AlgorithmIdentifier, digest OCTET STRING }
    struct DigestInfo {
  X509_ALGOR* algorithm;
  ASN1_OCTET_STRING* digest;
};
ASN1_SEQUENCE(DigestInfo) =
    {
        ASN1_SIMPLE(DigestInfo, algorithm, X509_ALGOR),
        ASN1_SIMPLE(DigestInfo, digest, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(DigestInfo) IMPLEMENT_ASN1_FUNCTIONS(DigestInfo)

    // SpcIndirectDataContent ::= SEQUENCE { data SpcAttributeTypeAndOptionalValue,
    //                                       messageDigest DigestInfo }
    struct SpcIndirectData {
  SpcAttributeValue* data;
  DigestInfo* messageDigest;
};
ASN1_SEQUENCE(SpcIndirectData) =
    {
        ASN1_SIMPLE(SpcIndirectData, data, SpcAttributeValue),
        ASN1_SIMPLE(SpcIndirectData, messageDigest, DigestInfo),
} ASN1_SEQUENCE_END(SpcIndirectData) IMPLEMENT_ASN1_FUNCTIONS(SpcIndirectData)

    // TrustedSubject ::= SEQUENCE { subjectIdentifier OCTET STRING,
    //                               subjectAttributes SET OF Attribute OPTIONAL }
    struct TrustedSubject {
  ASN1_OCTET_STRING* identifier;
  STACK_OF(X509_ATTRIBUTE) * attributes;
};
ASN1_SEQUENCE(TrustedSubject) =
    {
        ASN1_SIMPLE(TrustedSubject, identifier, ASN1_OCTET_STRING),
        ASN1_SET_OF_OPT(TrustedSubject, attributes, X509_ATTRIBUTE),
} ASN1_SEQUENCE_END(TrustedSubject) IMPLEMENT_ASN1_FUNCTIONS(TrustedSubject)
        DEFINE_STACK_OF(TrustedSubject)

    // CertificateTrustList ::= SEQUENCE {
    //   version INTEGER DEFAULT v1, subjectUsage SEQUENCE OF OBJECT IDENTIFIER,
    //   listIdentifier OCTET STRING OPTIONAL, sequenceNumber INTEGER OPTIONAL,
    //   ctlThisUpdate Time, ctlNextUpdate Time OPTIONAL,
    //   subjectAlgorithm AlgorithmIdentifier, trustedSubjects SEQUENCE OF
    //   TrustedSubject OPTIONAL, ctlExtensions [0] EXPLICIT Extensions OPTIONAL }
    struct CertTrustList {
  ASN1_INTEGER* version;
  STACK_OF(ASN1_OBJECT) * subjectUsage;
  ASN1_OCTET_STRING* listIdentifier;
  ASN1_INTEGER* sequenceNumber;
  ASN1_TIME* thisUpdate;
  ASN1_TIME* nextUpdate;
  X509_ALGOR* subjectAlgorithm;
  STACK_OF(TrustedSubject) * subjects;
  STACK_OF(X509_EXTENSION) * extensions;
};
ASN1_SEQUENCE(CertTrustList) = {
    ASN1_OPT(CertTrustList, version, ASN1_INTEGER),
    ASN1_SEQUENCE_OF(CertTrustList, subjectUsage, ASN1_OBJECT),
    ASN1_OPT(CertTrustList, listIdentifier, ASN1_OCTET_STRING),
    ASN1_OPT(CertTrustList, sequenceNumber, ASN1_INTEGER),
    ASN1_SIMPLE(CertTrustList, thisUpdate, ASN1_TIME),
    ASN1_OPT(CertTrustList, nextUpdate, ASN1_TIME),
    ASN1_SIMPLE(CertTrustList, subjectAlgorithm, X509_ALGOR),
    ASN1_SEQUENCE_OF_OPT(CertTrustList, subjects, TrustedSubject),
    ASN1_EXP_SEQUENCE_OF_OPT(CertTrustList, extensions, X509_EXTENSION, 0),
} ASN1_SEQUENCE_END(CertTrustList) IMPLEMENT_ASN1_FUNCTIONS(CertTrustList)

}  // namespace

#pragma GCC diagnostic pop

namespace vormlan::catalog {
namespace {

constexpr char kObsolete[] = "<<<Obsolete>>>";

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

using Bio = Owned<BIO, BIO_free_all>;
using Object = Owned<ASN1_OBJECT, ASN1_OBJECT_free>;
using Pkcs7 = Owned<PKCS7, PKCS7_free>;
using X509Ptr = Owned<X509, X509_free>;
using KeyPtr = Owned<EVP_PKEY, EVP_PKEY_free>;
using MdCtx = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;
using Store = Owned<X509_STORE, X509_STORE_free>;
using StoreCtx = Owned<X509_STORE_CTX, X509_STORE_CTX_free>;
using Pkcs12 = Owned<PKCS12, PKCS12_free>;
using Ctl = Owned<CertTrustList, CertTrustList_free>;
using NameValuePtr = Owned<CatNameValue, CatNameValue_free>;
using MemberInfoPtr = Owned<CatMemberInfo, CatMemberInfo_free>;
using IndirectPtr = Owned<SpcIndirectData, SpcIndirectData_free>;
using TypePtr = Owned<ASN1_TYPE, ASN1_TYPE_free>;

void FreeX509Stack(STACK_OF(X509) * certs) {
  sk_X509_pop_free(certs, X509_free);
}
using X509Stack = Owned<STACK_OF(X509), FreeX509Stack>;

// What OpenSSL's error queue says, then empties it.
std::string OpenSslReason() {
  std::string out;
  while (const unsigned long e = ERR_get_error()) {
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    if (!out.empty()) out += "; ";
    out += text;
  }
  return out.empty() ? std::string("unknown error") : out;
}

[[noreturn]] void Fail(const std::string& what) {
  const std::string reason = OpenSslReason();
  throw Exception(what + " (" + reason + ").");
}

template <typename T>
T* Check(T* p, const char* what) {
  if (p == nullptr) Fail(what);
  return p;
}
void Check(int ok, const char* what) {
  if (ok <= 0) Fail(what);
}

Object Oid(const char* text) {
  return Object(Check(OBJ_txt2obj(text, 1), "Cannot make an object identifier"));
}

std::string OidText(const ASN1_OBJECT* obj) {
  char text[128];
  const int n = OBJ_obj2txt(text, sizeof text, obj, 1);
  return n > 0 && static_cast<std::size_t>(n) < sizeof text ? std::string(text) : std::string();
}

const EVP_MD* MdOf(HashAlg alg) {
  return alg == HashAlg::Sha1 ? EVP_sha1() : EVP_sha256();
}

// DER of a value through its template's i2d.
template <typename T>
std::string Der(T* value, int (*i2d)(const T*, unsigned char**), const char* what) {
  unsigned char* out = nullptr;
  const int n = i2d(value, &out);
  if (n <= 0) Fail(what);
  std::string der(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
  OPENSSL_free(out);
  return der;
}

void SetBmp(ASN1_BMPSTRING* target, const std::string& utf8) {
  // BMPString is big-endian UTF-16.
  std::string le = unicode::ToUtf16Le(utf8);
  for (std::size_t i = 0; i + 1 < le.size(); i += 2) std::swap(le[i], le[i + 1]);
  Check(ASN1_STRING_set(target, le.data(), static_cast<int>(le.size())), "Cannot set a text");
}

std::string FromBmp(const ASN1_STRING* s) {
  std::string be(reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
                 static_cast<std::size_t>(ASN1_STRING_length(s)));
  for (std::size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
  return unicode::FromUtf16Le(be);
}

std::string StringOf(const ASN1_STRING* s) {
  return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
                     static_cast<std::size_t>(ASN1_STRING_length(s)));
}

std::string NameValueDer(const NameValue& nv) {
  NameValuePtr v(Check(CatNameValue_new(), "Cannot make a name-value"));
  SetBmp(v->tag, nv.name);
  Check(ASN1_INTEGER_set_uint64(v->flags, nv.flags), "Cannot set flags");
  const std::string value = Utf16WithNul(nv.value);
  Check(ASN1_OCTET_STRING_set(v->value, reinterpret_cast<const unsigned char*>(value.data()),
                              static_cast<int>(value.size())),
        "Cannot set a value");
  return Der<CatNameValue>(v.get(), i2d_CatNameValue, "Cannot encode a name-value");
}

std::string MemberInfoDer(const CatalogMember& m) {
  MemberInfoPtr v(Check(CatMemberInfo_new(), "Cannot make a member info"));
  SetBmp(v->guid, m.subjectGuid);
  Check(ASN1_INTEGER_set_uint64(v->certVersion, m.certVersion), "Cannot set a version");
  return Der<CatMemberInfo>(v.get(), i2d_CatMemberInfo, "Cannot encode a member info");
}

// A link to the file that catalogs no longer name: [2] { [0] "<<<Obsolete>>>" }.
SpcLink* ObsoleteLink() {
  SpcLink* link = Check(SpcLink_new(), "Cannot make a link");
  link->type = 1;  // the file choice, second in the template
  link->value.file = Check(SpcString_new(), "Cannot make a text");
  link->value.file->type = 0;
  link->value.file->value.unicode = Check(ASN1_BMPSTRING_new(), "Cannot make a text");
  SetBmp(link->value.file->value.unicode, kObsolete);
  return link;
}

TypePtr TypeOfDer(const std::string& der) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
  return TypePtr(
      Check(d2i_ASN1_TYPE(nullptr, &p, static_cast<long>(der.size())), "Cannot wrap a value"));
}

std::string IndirectDataDer(const CatalogMember& m, HashAlg alg) {
  IndirectPtr v(Check(SpcIndirectData_new(), "Cannot make indirect data"));
  std::string valueDer;
  if (m.peImage) {
    Owned<SpcPeImageData, SpcPeImageData_free> image(
        Check(SpcPeImageData_new(), "Cannot make image data"));
    image->file = ObsoleteLink();
    valueDer = Der<SpcPeImageData>(image.get(), i2d_SpcPeImageData, "Cannot encode image data");
  } else {
    Owned<SpcLink, SpcLink_free> link(ObsoleteLink());
    valueDer = Der<SpcLink>(link.get(), i2d_SpcLink, "Cannot encode a link");
  }
  ASN1_OBJECT_free(v->data->type);
  v->data->type = Oid(m.peImage ? oid::kPeImageData : oid::kCabData).release();
  v->data->value = TypeOfDer(valueDer).release();
  Check(X509_ALGOR_set0(v->messageDigest->algorithm, OBJ_nid2obj(EVP_MD_type(MdOf(alg))),
                        V_ASN1_NULL, nullptr),
        "Cannot set a digest algorithm");
  Check(ASN1_OCTET_STRING_set(v->messageDigest->digest,
                              reinterpret_cast<const unsigned char*>(m.digest.data()),
                              static_cast<int>(m.digest.size())),
        "Cannot set a digest");
  return Der<SpcIndirectData>(v.get(), i2d_SpcIndirectData, "Cannot encode indirect data");
}

void AddAttribute(STACK_OF(X509_ATTRIBUTE) * attributes, const char* oid, const std::string& der) {
  const Object type = Oid(oid);
  X509_ATTRIBUTE* a = Check(X509_ATTRIBUTE_create_by_OBJ(nullptr, type.get(), V_ASN1_SEQUENCE,
                                                         der.data(), static_cast<int>(der.size())),
                            "Cannot make an attribute");
  if (sk_X509_ATTRIBUTE_push(attributes, a) <= 0) {
    X509_ATTRIBUTE_free(a);
    Fail("Cannot add an attribute");
  }
}

std::string CtlDer(const CatalogContent& content) {
  Ctl ctl(Check(CertTrustList_new(), "Cannot make a trust list"));
  Object usage = Oid(oid::kCatalogList);
  if (sk_ASN1_OBJECT_push(ctl->subjectUsage, usage.get()) <= 0) Fail("Cannot set the usage");
  usage.release();  // the stack owns it now
  ctl->listIdentifier = Check(ASN1_OCTET_STRING_new(), "Cannot make an identifier");
  Check(ASN1_OCTET_STRING_set(ctl->listIdentifier,
                              reinterpret_cast<const unsigned char*>(content.listIdentifier.data()),
                              static_cast<int>(content.listIdentifier.size())),
        "Cannot set the list identifier");
  Check(ASN1_TIME_set(ctl->thisUpdate, static_cast<time_t>(content.thisUpdate)),
        "Cannot set the time");
  Check(
      X509_ALGOR_set0(
          ctl->subjectAlgorithm,
          Oid(content.hash == HashAlg::Sha1 ? oid::kCatalogMember : oid::kCatalogMember2).release(),
          V_ASN1_NULL, nullptr),
      "Cannot set the member algorithm");
  ctl->subjects = Check(sk_TrustedSubject_new_null(), "Cannot make the member list");
  for (const auto& m : content.members) {
    Owned<TrustedSubject, TrustedSubject_free> subject(
        Check(TrustedSubject_new(), "Cannot make a member"));
    const std::string tag = unicode::ToUtf16Le(TagOf(m.digest));
    Check(ASN1_OCTET_STRING_set(subject->identifier,
                                reinterpret_cast<const unsigned char*>(tag.data()),
                                static_cast<int>(tag.size())),
          "Cannot set a member's tag");
    subject->attributes = Check(sk_X509_ATTRIBUTE_new_null(), "Cannot make attributes");
    for (const auto& nv : m.nameValues) {
      AddAttribute(subject->attributes, oid::kNameValue, NameValueDer(nv));
    }
    AddAttribute(subject->attributes, oid::kMemberInfo, MemberInfoDer(m));
    AddAttribute(subject->attributes, oid::kIndirectData, IndirectDataDer(m, content.hash));
    if (sk_TrustedSubject_push(ctl->subjects, subject.get()) <= 0) Fail("Cannot add a member");
    subject.release();
  }
  if (!content.attributes.empty()) {
    ctl->extensions = Check(sk_X509_EXTENSION_new_null(), "Cannot make the catalog attributes");
    const Object type = Oid(oid::kNameValue);
    for (const auto& nv : content.attributes) {
      const std::string der = NameValueDer(nv);
      Owned<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free> value(
          Check(ASN1_OCTET_STRING_new(), "Cannot make an attribute"));
      Check(ASN1_OCTET_STRING_set(value.get(), reinterpret_cast<const unsigned char*>(der.data()),
                                  static_cast<int>(der.size())),
            "Cannot set an attribute");
      X509_EXTENSION* ext = Check(X509_EXTENSION_create_by_OBJ(nullptr, type.get(), 0, value.get()),
                                  "Cannot make a catalog attribute");
      if (sk_X509_EXTENSION_push(ctl->extensions, ext) <= 0) {
        X509_EXTENSION_free(ext);
        Fail("Cannot add a catalog attribute");
      }
    }
  }
  return Der<CertTrustList>(ctl.get(), i2d_CertTrustList, "Cannot encode the trust list");
}

// The content octets of a DER value: what follows its tag and length, which
// the signature of non-data content covers.
std::string_view ContentOctets(std::string_view der) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
  long length = 0;
  int tag = 0;
  int cls = 0;
  const int r = ASN1_get_object(&p, &length, &tag, &cls, static_cast<long>(der.size()));
  if ((r & 0x80) != 0 || r == 0x21) return {};
  const auto header =
      static_cast<std::size_t>(p - reinterpret_cast<const unsigned char*>(der.data()));
  return der.substr(header, static_cast<std::size_t>(length));
}

Pkcs7 ParsePkcs7(std::string_view bytes, const std::string& name) {
  ERR_clear_error();
  if (bytes.size() > static_cast<std::size_t>(LONG_MAX)) {
    throw Exception(Quoted(name) + " is too large for a catalog.");
  }
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  Pkcs7 p7(d2i_PKCS7(nullptr, &p, static_cast<long>(bytes.size())));
  if (!p7) {
    throw Exception(Quoted(name) + " is not a catalog: no PKCS #7 message (" + OpenSslReason() +
                    ").");
  }
  const auto used =
      static_cast<std::size_t>(p - reinterpret_cast<const unsigned char*>(bytes.data()));
  if (used != bytes.size()) {
    throw Exception(Quoted(name) + " is not a catalog: " + std::to_string(bytes.size() - used) +
                    " bytes follow its PKCS #7 message.");
  }
  if (!PKCS7_type_is_signed(p7.get()) || p7->d.sign == nullptr || p7->d.sign->contents == nullptr ||
      OidText(p7->d.sign->contents->type) != oid::kCtl ||
      p7->d.sign->contents->d.other == nullptr ||
      p7->d.sign->contents->d.other->type != V_ASN1_SEQUENCE) {
    throw Exception(Quoted(name) +
                    " is not a catalog: no signed certificate trust list (szOID_CTL) in it.");
  }
  return p7;
}

std::string_view CtlOf(const PKCS7* p7) {
  const ASN1_STRING* s = p7->d.sign->contents->d.other->value.sequence;
  return {reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
          static_cast<std::size_t>(ASN1_STRING_length(s))};
}

std::optional<std::string> AttributeSequence(X509_ATTRIBUTE* a) {
  if (X509_ATTRIBUTE_count(a) != 1) return std::nullopt;
  const ASN1_TYPE* t = X509_ATTRIBUTE_get0_type(a, 0);
  if (t == nullptr || t->type != V_ASN1_SEQUENCE) return std::nullopt;
  return StringOf(t->value.sequence);
}

std::optional<NameValue> ReadNameValue(const std::string& der) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
  NameValuePtr v(d2i_CatNameValue(nullptr, &p, static_cast<long>(der.size())));
  if (!v) return std::nullopt;
  uint64_t flags = 0;
  if (ASN1_INTEGER_get_uint64(&flags, v->flags) <= 0 || flags > 0xFFFFFFFFu) return std::nullopt;
  return NameValue{FromBmp(v->tag), static_cast<std::uint32_t>(flags),
                   FromUtf16WithNul(StringOf(v->value))};
}

}  // namespace

struct Hasher::State {
  MdCtx ctx;
};

Hasher::Hasher(HashAlg alg) : state_(std::make_unique<State>()) {
  state_->ctx.reset(Check(EVP_MD_CTX_new(), "Cannot start a digest"));
  Check(EVP_DigestInit_ex(state_->ctx.get(), MdOf(alg), nullptr), "Cannot start a digest");
}

Hasher::~Hasher() = default;

void Hasher::Update(std::string_view bytes) {
  Check(EVP_DigestUpdate(state_->ctx.get(), bytes.data(), bytes.size()), "Cannot hash");
}

std::string Hasher::Final() {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  Check(EVP_DigestFinal_ex(state_->ctx.get(), out, &n), "Cannot finish a digest");
  return std::string(reinterpret_cast<const char*>(out), n);
}

struct SigningIdentity::State {
  KeyPtr key;
  X509Ptr cert;
  X509Stack chain;
};

SigningIdentity::SigningIdentity(std::unique_ptr<State> state) : state_(std::move(state)) {}
SigningIdentity::~SigningIdentity() = default;
SigningIdentity::SigningIdentity(SigningIdentity&&) noexcept = default;
SigningIdentity& SigningIdentity::operator=(SigningIdentity&&) noexcept = default;

namespace {

Bio MemBio(const std::string& bytes) {
  return Bio(
      Check(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())), "Cannot read memory"));
}

// Never asks on the terminal for a PEM pass phrase: an encrypted key is refused.
int NoPassphrase(char*, int, int, void*) {
  return -1;
}

void RequireKeyMatches(const SigningIdentity::State& s, const std::filesystem::path& file) {
  if (X509_check_private_key(s.cert.get(), s.key.get()) != 1) {
    ERR_clear_error();
    throw Exception("The private key does not belong to the certificate of " +
                    Quoted(PathText(file)) + ".");
  }
}

}  // namespace

SigningIdentity SigningIdentity::FromPfx(const std::filesystem::path& pfx,
                                         const std::optional<std::string>& password) {
  ERR_clear_error();
  const std::string bytes = ReadSmallFile(pfx, "the PKCS #12 file");
  const Bio bio = MemBio(bytes);
  Pkcs12 p12(d2i_PKCS12_bio(bio.get(), nullptr));
  if (!p12) {
    ERR_clear_error();
    throw Exception(Quoted(PathText(pfx)) + " is not a PKCS #12 (.pfx) file.");
  }
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  STACK_OF(X509)* ca = nullptr;
  if (PKCS12_parse(p12.get(), password ? password->c_str() : nullptr, &key, &cert, &ca) != 1) {
    const unsigned long e = ERR_peek_last_error();
    ERR_clear_error();
    if (ERR_GET_REASON(e) == PKCS12_R_MAC_VERIFY_FAILURE) {
      throw Exception("Cannot open " + Quoted(PathText(pfx)) +
                      ": the password is wrong (or a password is needed and none was given).");
    }
    throw Exception("Cannot read the key and certificate of " + Quoted(PathText(pfx)) + ".");
  }
  auto s = std::make_unique<State>();
  s->key.reset(key);
  s->cert.reset(cert);
  s->chain.reset(ca != nullptr ? ca : sk_X509_new_null());
  if (!s->key) throw Exception(Quoted(PathText(pfx)) + " holds no private key.");
  if (!s->cert) throw Exception(Quoted(PathText(pfx)) + " holds no certificate for its key.");
  RequireKeyMatches(*s, pfx);
  return SigningIdentity(std::move(s));
}

SigningIdentity SigningIdentity::FromPem(const std::filesystem::path& key,
                                         const std::filesystem::path& cert) {
  ERR_clear_error();
  auto s = std::make_unique<State>();
  {
    const std::string bytes = ReadSmallFile(key, "the private key");
    const Bio bio = MemBio(bytes);
    s->key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassphrase, nullptr));
    if (!s->key) {
      ERR_clear_error();
      throw Exception(Quoted(PathText(key)) +
                      " holds no PEM private key (an encrypted key is not read: give a .pfx "
                      "with --sign and its password file instead).");
    }
  }
  const std::string bytes = ReadSmallFile(cert, "the certificate file");
  const Bio bio = MemBio(bytes);
  s->chain.reset(Check(sk_X509_new_null(), "Cannot make a list"));
  while (X509* c = PEM_read_bio_X509(bio.get(), nullptr, NoPassphrase, nullptr)) {
    if (!s->cert) {
      s->cert.reset(c);
    } else if (sk_X509_push(s->chain.get(), c) <= 0) {
      X509_free(c);
      Fail("Cannot add a certificate");
    }
  }
  ERR_clear_error();  // the end of the file
  if (!s->cert) throw Exception(Quoted(PathText(cert)) + " holds no PEM certificate.");
  RequireKeyMatches(*s, cert);
  return SigningIdentity(std::move(s));
}

std::string EncodeCatalog(const CatalogContent& content, const SigningIdentity* signer) {
  ERR_clear_error();
  const std::string ctl = CtlDer(content);

  Pkcs7 p7(Check(PKCS7_new(), "Cannot make a PKCS #7 message"));
  Check(PKCS7_set_type(p7.get(), NID_pkcs7_signed), "Cannot make a PKCS #7 message");
  Pkcs7 inner(Check(PKCS7_new(), "Cannot make a PKCS #7 message"));
  inner->type = Oid(oid::kCtl).release();
  inner->d.other = Check(ASN1_TYPE_new(), "Cannot make the content");
  {
    ASN1_STRING* seq = Check(ASN1_STRING_type_new(V_ASN1_SEQUENCE), "Cannot make the content");
    if (ASN1_STRING_set(seq, ctl.data(), static_cast<int>(ctl.size())) <= 0) {
      ASN1_STRING_free(seq);
      Fail("Cannot set the content");
    }
    ASN1_TYPE_set(inner->d.other, V_ASN1_SEQUENCE, seq);
  }
  if (signer != nullptr) {
    const auto& s = signer->Get();
    PKCS7_SIGNER_INFO* si =
        Check(PKCS7_add_signature(p7.get(), s.cert.get(), s.key.get(), EVP_sha256()),
              "Cannot add the signature");
    Object contentType = Oid(oid::kCtl);
    Check(PKCS7_add_signed_attribute(si, NID_pkcs9_contentType, V_ASN1_OBJECT, contentType.get()),
          "Cannot add the content type");
    contentType.release();  // the attribute owns it now
    Check(PKCS7_add_certificate(p7.get(), s.cert.get()), "Cannot add the certificate");
    for (int i = 0; i < sk_X509_num(s.chain.get()); ++i) {
      X509* c = sk_X509_value(s.chain.get(), i);
      if (X509_cmp(c, s.cert.get()) == 0) continue;
      Check(PKCS7_add_certificate(p7.get(), c), "Cannot add a certificate of the chain");
    }
    // The signature covers the content octets of the trust list. OpenSSL
    // signs data content only: the trust list takes its place afterwards.
    Check(PKCS7_content_new(p7.get(), NID_pkcs7_data), "Cannot start the signature");
    Bio bio(Check(PKCS7_dataInit(p7.get(), nullptr), "Cannot start the signature"));
    const std::string_view octets = ContentOctets(ctl);
    if (BIO_write(bio.get(), octets.data(), static_cast<int>(octets.size())) !=
        static_cast<int>(octets.size())) {
      Fail("Cannot hash the content");
    }
    Check(PKCS7_dataFinal(p7.get(), bio.get()), "Cannot sign the catalog");
  }
  Check(PKCS7_set_content(p7.get(), inner.get()), "Cannot set the content");
  inner.release();
  unsigned char* out = nullptr;
  const int n = i2d_PKCS7(p7.get(), &out);
  if (n <= 0) Fail("Cannot encode the catalog");
  std::string der(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
  OPENSSL_free(out);
  return der;
}

DecodedCatalog DecodeCatalog(std::string_view bytes, const std::string& name) {
  const Pkcs7 p7 = ParsePkcs7(bytes, name);
  DecodedCatalog out;
  out.signedBySomeone = sk_PKCS7_SIGNER_INFO_num(PKCS7_get_signer_info(p7.get())) > 0;
  const std::string_view ctlDer = CtlOf(p7.get());
  const unsigned char* p = reinterpret_cast<const unsigned char*>(ctlDer.data());
  const Ctl ctl(d2i_CertTrustList(nullptr, &p, static_cast<long>(ctlDer.size())));
  const auto bad = [&name](const std::string& what) {
    ERR_clear_error();
    return Exception("Cannot read catalog " + Quoted(name) + ": " + what + ".");
  };
  if (!ctl) throw bad("its certificate trust list does not decode");
  const std::string algorithm = OidText(ctl->subjectAlgorithm->algorithm);
  if (ctl->listIdentifier != nullptr) out.content.listIdentifier = StringOf(ctl->listIdentifier);
  struct tm when {};
  if (ASN1_TIME_to_tm(ctl->thisUpdate, &when) == 1) out.content.thisUpdate = timegm(&when);
  bool sha256Members = algorithm == oid::kCatalogMember2;
  if (!sha256Members && algorithm != oid::kCatalogMember) {
    throw bad("its members are of an unknown kind " + algorithm);
  }
  out.content.hash = sha256Members ? HashAlg::Sha256 : HashAlg::Sha1;
  const int count = ctl->subjects != nullptr ? sk_TrustedSubject_num(ctl->subjects) : 0;
  for (int i = 0; i < count; ++i) {
    const TrustedSubject* subject = sk_TrustedSubject_value(ctl->subjects, i);
    CatalogMember m;
    bool indirect = false;
    const int attributes =
        subject->attributes != nullptr ? sk_X509_ATTRIBUTE_num(subject->attributes) : 0;
    for (int j = 0; j < attributes; ++j) {
      X509_ATTRIBUTE* a = sk_X509_ATTRIBUTE_value(subject->attributes, j);
      const std::string type = OidText(X509_ATTRIBUTE_get0_object(a));
      const auto der = AttributeSequence(a);
      if (!der) continue;
      if (type == oid::kNameValue) {
        if (auto nv = ReadNameValue(*der)) m.nameValues.push_back(std::move(*nv));
      } else if (type == oid::kMemberInfo) {
        const unsigned char* q = reinterpret_cast<const unsigned char*>(der->data());
        const MemberInfoPtr info(d2i_CatMemberInfo(nullptr, &q, static_cast<long>(der->size())));
        uint64_t version = 0;
        if (info && ASN1_INTEGER_get_uint64(&version, info->certVersion) == 1 &&
            version <= 0xFFFFFFFFu) {
          m.subjectGuid = FromBmp(info->guid);
          m.certVersion = static_cast<std::uint32_t>(version);
        }
      } else if (type == oid::kIndirectData) {
        const unsigned char* q = reinterpret_cast<const unsigned char*>(der->data());
        const IndirectPtr data(d2i_SpcIndirectData(nullptr, &q, static_cast<long>(der->size())));
        if (!data) throw bad("member " + std::to_string(i + 1) + " has unreadable indirect data");
        m.peImage = OidText(data->data->type) == oid::kPeImageData;
        m.digest = StringOf(data->messageDigest->digest);
        indirect = true;
      }
    }
    ERR_clear_error();
    if (!indirect) throw bad("member " + std::to_string(i + 1) + " has no hash (indirect data)");
    out.content.members.push_back(std::move(m));
  }
  const int extensions = ctl->extensions != nullptr ? sk_X509_EXTENSION_num(ctl->extensions) : 0;
  for (int i = 0; i < extensions; ++i) {
    X509_EXTENSION* ext = sk_X509_EXTENSION_value(ctl->extensions, i);
    if (OidText(X509_EXTENSION_get_object(ext)) != oid::kNameValue) continue;
    if (auto nv = ReadNameValue(StringOf(X509_EXTENSION_get_data(ext)))) {
      out.content.attributes.push_back(std::move(*nv));
    }
  }
  ERR_clear_error();
  return out;
}

bool PlatformHasSystemRoots() {
  return false;
}

std::optional<std::string> VerifyCatalogSignature(std::string_view bytes,
                                                  const TrustAnchors& trust) {
  if (trust.systemRoots) {
    throw Exception("This build cannot consult the system's trusted roots: give them in a file.");
  }
  const auto& trustedRoots = trust.rootsFile;
  Pkcs7 p7;
  try {
    p7 = ParsePkcs7(bytes, "catalog");
  } catch (const Exception& e) {
    return std::string(e.what());
  }
  ERR_clear_error();
  STACK_OF(PKCS7_SIGNER_INFO)* infos = PKCS7_get_signer_info(p7.get());
  const int signers = infos != nullptr ? sk_PKCS7_SIGNER_INFO_num(infos) : 0;
  if (signers == 0) {
    return trustedRoots ? std::optional<std::string>("it is not signed") : std::nullopt;
  }
  const std::string_view octets = ContentOctets(CtlOf(p7.get()));
  STACK_OF(X509)* carried = p7->d.sign->cert;
  for (int i = 0; i < signers; ++i) {
    PKCS7_SIGNER_INFO* si = sk_PKCS7_SIGNER_INFO_value(infos, i);
    X509* signer = X509_find_by_issuer_and_serial(carried, si->issuer_and_serial->issuer,
                                                  si->issuer_and_serial->serial);
    if (signer == nullptr) return std::string("the signer's certificate is not in the catalog");
    Bio content(Check(BIO_new_mem_buf(octets.data(), static_cast<int>(octets.size())),
                      "Cannot read memory"));
    BIO* chain = PKCS7_dataInit(p7.get(), content.get());
    if (chain == nullptr) {
      return "its signature cannot be checked (" + OpenSslReason() + ")";
    }
    content.release();  // now the end of chain
    Bio owned(chain);
    char buffer[4096];
    while (BIO_read(chain, buffer, sizeof buffer) > 0) {
    }
    if (PKCS7_signatureVerify(chain, p7.get(), si, signer) != 1) {
      ERR_clear_error();
      return std::string(
          "its signature does not match its content: the catalog was changed "
          "after it was signed, or is damaged");
    }
    if (!trustedRoots) continue;
    Store store(Check(X509_STORE_new(), "Cannot make a certificate store"));
    if (X509_STORE_load_file(store.get(), PathText(*trustedRoots).c_str()) != 1) {
      ERR_clear_error();
      return "the trusted roots " + Quoted(PathText(*trustedRoots)) +
             " cannot be read as PEM certificates";
    }
    StoreCtx ctx(Check(X509_STORE_CTX_new(), "Cannot check a chain"));
    Check(X509_STORE_CTX_init(ctx.get(), store.get(), signer, carried), "Cannot check a chain");
    X509_STORE_CTX_set_purpose(ctx.get(), X509_PURPOSE_ANY);
    if (X509_verify_cert(ctx.get()) != 1) {
      const int error = X509_STORE_CTX_get_error(ctx.get());
      ERR_clear_error();
      return "its signer's certificate does not chain to the trusted roots " +
             Quoted(PathText(*trustedRoots)) + ": " + X509_verify_cert_error_string(error);
    }
    if ((X509_get_extension_flags(signer) & EXFLAG_XKUSAGE) != 0 &&
        (X509_get_extended_key_usage(signer) & XKU_CODE_SIGN) == 0) {
      return std::string("its signer's certificate is not for code signing");
    }
  }
  ERR_clear_error();
  return std::nullopt;
}

}  // namespace vormlan::catalog
