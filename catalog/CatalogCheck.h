#pragma once
// The package check's view of a catalog: every file of the package is a
// member with a matching hash, the catalog lists nothing else, and its
// signature holds (with trust anchors: chains to one of them).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalog/CatalogCrypto.h"
#include "inf/PackageCheck.h"

namespace vormlan::catalog {

class CatalogChecker : public generation::CatalogVerifier {
 public:
  // trust: what the signature must chain to; without any anchor, a
  // signature is checked for what it covers only, and an unsigned catalog
  // passes.
  explicit CatalogChecker(TrustAnchors trust = {}) : trust_(std::move(trust)) {}

  std::vector<std::string> Verify(const std::filesystem::path& catalog,
                                  const std::string& catalogName,
                                  const std::vector<generation::PackageFile>& files) override;

 private:
  TrustAnchors trust_;
};

}  // namespace vormlan::catalog
