// Catalogs through the system's CryptoAPI: digests, the catalog's encoding
// (CryptEncodeObjectEx, CryptMsgEncodeAndSignCTL), PKCS #12 identities
// (PFXImportCertStore), and the decoding and verification of catalogs.

#include <windows.h>
#include <wincrypt.h>

#include "catalog/CatalogCrypto.h"
#include "common/Exception.h"
#include "common/Quoted.h"
#include "common/SystemText_win32.h"
#include "common/UniqueHandle_win32.h"

#include <algorithm>
#include <cstdio>

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

[[noreturn]] void NotYet(const std::string& what) {
  throw Exception(what +
                  " is not available in the Windows build yet: use the Linux build of "
                  "vormlan-cli.");
}

}  // namespace

bool PlatformReadsCatalogs() {
  return false;
}

bool PlatformWritesCatalogs() {
  return false;
}

struct SigningIdentity::State {};

SigningIdentity::SigningIdentity(std::unique_ptr<State> state) : state_(std::move(state)) {}
SigningIdentity::~SigningIdentity() = default;
SigningIdentity::SigningIdentity(SigningIdentity&&) noexcept = default;
SigningIdentity& SigningIdentity::operator=(SigningIdentity&&) noexcept = default;

SigningIdentity SigningIdentity::FromPfx(const std::filesystem::path&,
                                         const std::optional<std::string>&) {
  NotYet("Signing a catalog");
}

SigningIdentity SigningIdentity::FromPem(const std::filesystem::path&,
                                         const std::filesystem::path&) {
  NotYet("Signing a catalog");
}

std::string EncodeCatalog(const CatalogContent&, const SigningIdentity*) {
  NotYet("Writing a catalog");
}

DecodedCatalog DecodeCatalog(std::string_view, const std::string&) {
  NotYet("Reading a catalog");
}

std::optional<std::string> VerifyCatalogSignature(std::string_view,
                                                  const std::optional<std::filesystem::path>&) {
  NotYet("Verifying a catalog");
}

}  // namespace vormlan::catalog
