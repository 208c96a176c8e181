#pragma once
// The catalog a store-ready package carries: written over the package's
// files once they are in place, through the host's temporary file and
// rename, so that no partial catalog ever stands under its name.

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/CatalogCrypto.h"
#include "host/HostServices.h"

namespace vormlan::catalog {

inline constexpr char kCatalogFileName[] = "vormlan.cat";

// Writes directory/vormlan.cat (target paths, joined with the host's
// separator) listing files: the package's files as named in directory
// (their INF among them; folders below it allowed; the catalog itself is
// left out), each member named by its file name. Signed by signer when
// given, made at thisUpdate (seconds since 1970). Returns the catalog's
// path. Throws vormlan::Exception naming the file that cannot be hashed,
// or the host's error when the catalog cannot be written.
std::string WritePackageCatalog(generation::HostServices& host, const std::string& directory,
                                const std::vector<std::string>& files,
                                const SigningIdentity* signer, std::int64_t thisUpdate);

}  // namespace vormlan::catalog
