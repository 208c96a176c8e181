#include "catalog/PackageCatalog.h"

#include <algorithm>

#include "catalog/Catalog.h"
#include "common/Unicode.h"

namespace vormlan::catalog {

std::string WritePackageCatalog(generation::HostServices& host, const std::string& directory,
                                const std::vector<std::string>& files,
                                const SigningIdentity* signer, std::int64_t thisUpdate) {
  const char separator = host.Separator();
  const auto join = [&](const std::string& name) {
    if (directory.empty() || directory.back() == separator) return directory + name;
    return directory + separator + name;
  };
  const std::string catalogFolded = unicode::Fold(kCatalogFileName);
  std::vector<MemberFile> members;
  members.reserve(files.size());
  for (const auto& file : files) {
    // Folders below the package come as either separator; the member is
    // named by the file's own name.
    std::string relative = file;
    std::replace(relative.begin(), relative.end(), separator == '/' ? '\\' : '/', separator);
    const std::string leaf = relative.substr(relative.find_last_of(separator) + 1);
    if (unicode::Fold(relative) == catalogFolded) continue;
    const std::string path = join(relative);
    members.push_back({leaf, std::filesystem::path(std::u8string(path.begin(), path.end()))});
  }
  const std::string bytes = BuildCatalog(members, signer, thisUpdate);
  const std::string path = join(kCatalogFileName);
  host.SaveFile(path, bytes);
  return path;
}

}  // namespace vormlan::catalog
