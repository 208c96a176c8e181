#pragma once
// The package check's view of a catalog: every file of the package is a
// member with a matching hash, the catalog lists nothing else, and its
// signature holds (with trusted roots: chains to one of them).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "inf/PackageCheck.h"

namespace vormlan::catalog {

class CatalogChecker : public generation::CatalogVerifier {
 public:
  // trustedRoots: a PEM file of root certificates the signature must chain
  // to; without it, a signature is checked for what it covers only, and an
  // unsigned catalog passes.
  explicit CatalogChecker(std::optional<std::filesystem::path> trustedRoots = std::nullopt)
      : trustedRoots_(std::move(trustedRoots)) {}

  std::vector<std::string> Verify(const std::filesystem::path& catalog,
                                  const std::string& catalogName,
                                  const std::vector<generation::PackageFile>& files) override;

 private:
  std::optional<std::filesystem::path> trustedRoots_;
};

}  // namespace vormlan::catalog
