#include "catalog/CatalogCheck.h"

#include <fstream>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "catalog/Catalog.h"
#include "catalog/CatalogCrypto.h"
#include "common/Exception.h"
#include "common/Quoted.h"
#include "common/Unicode.h"

namespace vormlan::catalog {
namespace {

std::optional<std::string> ReadCatalog(const std::filesystem::path& path, std::string& bytes) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return "cannot be read: " + ec.message();
  if (size > kMaxCatalogBytes) return std::string("is larger than 64 MiB, too large for a catalog");
  std::ifstream in(path, std::ios::binary);
  bytes.resize(static_cast<std::size_t>(size));
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<std::size_t>(in.gcount()) != bytes.size()) return std::string("cannot be read");
  return std::nullopt;
}

// The folded names of the regular files in the package folder and below it
// (links not followed, at most 100,000 entries looked at).
std::unordered_set<std::string> FileNamesBelow(const std::filesystem::path& dir) {
  std::unordered_set<std::string> names;
  std::error_code ec;
  std::filesystem::recursive_directory_iterator it(dir, ec);
  for (std::size_t seen = 0;
       !ec && it != std::filesystem::recursive_directory_iterator() && seen < 100'000;
       it.increment(ec), ++seen) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && !it->is_symlink(typeError)) {
      const auto u8 = it->path().filename().u8string();
      names.insert(unicode::Fold(std::string(u8.begin(), u8.end())));
    }
  }
  return names;
}

std::string FileNameOf(const CatalogMember& m) {
  const NameValue* file = FindNameValue(m, "File");
  return file != nullptr ? file->value : std::string();
}

}  // namespace

std::vector<std::string> CatalogChecker::Verify(const std::filesystem::path& catalog,
                                                const std::string& catalogName,
                                                const std::vector<generation::PackageFile>& files) {
  std::vector<std::string> problems;
  const std::string quoted = Quoted(catalogName);
  std::string bytes;
  if (const auto error = ReadCatalog(catalog, bytes)) {
    problems.push_back("catalog file " + quoted + " " + *error);
    return problems;
  }
  DecodedCatalog decoded;
  try {
    decoded = DecodeCatalog(bytes, catalogName);
  } catch (const Exception& e) {
    problems.push_back(e.what());
    return problems;
  }
  if (const auto wrong = VerifyCatalogSignature(bytes, trust_)) {
    problems.push_back("catalog " + quoted + ": " + *wrong);
  }
  const auto& content = decoded.content;
  std::unordered_map<std::string, std::size_t> byDigest;
  std::unordered_map<std::string, std::size_t> byName;  // folded "File" name
  for (std::size_t i = 0; i < content.members.size(); ++i) {
    byDigest.emplace(content.members[i].digest, i);
    byName.emplace(unicode::Fold(FileNameOf(content.members[i])), i);
  }
  std::vector<bool> matched(content.members.size(), false);
  for (const auto& file : files) {
    FileHash hash;
    try {
      hash = HashFile(file.path, file.name, content.hash);
    } catch (const Exception& e) {
      problems.push_back(e.what());
      continue;
    }
    if (const auto it = byDigest.find(hash.digest); it != byDigest.end()) {
      matched[it->second] = true;
      continue;
    }
    const std::string leaf = file.name.substr(file.name.find_last_of("\\/") + 1);
    const auto named = byName.find(unicode::Fold(leaf));
    if (named != byName.end()) {
      matched[named->second] = true;
      problems.push_back("file " + Quoted(file.name) + " does not match catalog " + quoted +
                         ": its " + NameOf(content.hash) + " hash " + TagOf(hash.digest) +
                         " is not the one listed (" + TagOf(content.members[named->second].digest) +
                         "); the file was changed after the catalog was made");
    } else {
      problems.push_back("file " + Quoted(file.name) + " is not listed in catalog " + quoted +
                         " (its " + NameOf(content.hash) + " hash " + TagOf(hash.digest) +
                         " is no member's)");
    }
  }
  // A member that no file of the INF matches is extra, unless it names a
  // file the folder holds for another INF or architecture (a driver store
  // package lists all of them in one catalog).
  std::optional<std::unordered_set<std::string>> folderNames;
  for (std::size_t i = 0; i < content.members.size(); ++i) {
    if (matched[i]) continue;
    const std::string name = FileNameOf(content.members[i]);
    if (!folderNames) folderNames = FileNamesBelow(catalog.parent_path());
    if (!name.empty() && folderNames->count(unicode::Fold(name)) != 0) continue;
    problems.push_back("catalog " + quoted + " lists " +
                       (name.empty() ? std::string("a member") : Quoted(name)) + " (hash " +
                       TagOf(content.members[i].digest) + ") that is no file of the package");
  }
  return problems;
}

}  // namespace vormlan::catalog
