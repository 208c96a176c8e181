#pragma once
// What catalogs need from the platform's cryptography: digests, the
// encoding of a catalog as a signed (or unsigned) PKCS #7 message, signing
// identities, and the decoding and verification of catalogs read back.
// OpenSSL on Linux (CatalogCrypto_openssl.cpp), CryptoAPI on Windows
// (CatalogCrypto_win32.cpp). Failures throw vormlan::Exception.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/CatalogContent.h"

namespace vormlan::catalog {

class Hasher {
 public:
  explicit Hasher(HashAlg alg);
  ~Hasher();
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;
  void Update(std::string_view bytes);
  std::string Final();  // the raw digest; the hasher is spent

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A private key with its certificate and the chain to carry along.
class SigningIdentity {
 public:
  ~SigningIdentity();
  SigningIdentity(SigningIdentity&&) noexcept;
  SigningIdentity& operator=(SigningIdentity&&) noexcept;

  // A PKCS #12 file; password is the text of the password file (nothing:
  // no password). Errors name the file and say what is wrong: not a PKCS #12
  // file, a wrong password, no key or no certificate in it.
  static SigningIdentity FromPfx(const std::filesystem::path& pfx,
                                 const std::optional<std::string>& password);
  // A PEM private key (unencrypted) and a PEM certificate file, whose first
  // certificate is the key's and whose others form the chain.
  static SigningIdentity FromPem(const std::filesystem::path& key,
                                 const std::filesystem::path& cert);

  struct State;
  const State& Get() const { return *state_; }

 private:
  explicit SigningIdentity(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// The catalog as a PKCS #7 SignedData of content type szOID_CTL. Without a
// signer the message has no signer and no certificate; with one it is
// signed with SHA-256 and carries the signer's certificate and chain.
std::string EncodeCatalog(const CatalogContent& content, const SigningIdentity* signer);

struct DecodedCatalog {
  CatalogContent content;
  bool signedBySomeone = false;  // at least one signer
};

// Reads a catalog; name is how messages call it. Throws naming the file
// when it is no catalog or its content cannot be read.
DecodedCatalog DecodeCatalog(std::string_view bytes, const std::string& name);

// What a signer's certificate must chain to for a catalog to be trusted.
struct TrustAnchors {
  std::optional<std::filesystem::path> rootsFile;  // a PEM file of root certificates
  bool systemRoots = false;                        // the roots the system trusts
  bool Any() const { return rootsFile.has_value() || systemRoots; }
};

// Whether this build can consult the system's trusted roots (the Root
// store on Windows); where not, TrustAnchors::systemRoots is refused.
bool PlatformHasSystemRoots();

// Checks the catalog's signature: that each signer's signature covers the
// content as it stands; with trust anchors, also that the signer's
// certificate chains (through the certificates the catalog carries) to one
// of the roots of the file or, with systemRoots, to a root the system
// trusts (either suffices), and may sign code. Nothing when it holds;
// otherwise what is wrong.
std::optional<std::string> VerifyCatalogSignature(std::string_view bytes,
                                                  const TrustAnchors& trust);

}  // namespace vormlan::catalog
