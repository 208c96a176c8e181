#include "catalog/CryptoFiles.h"

#include <fstream>

#include "common/Exception.h"
#include "common/Quoted.h"
#include "common/Unicode.h"

namespace vormlan::catalog {

std::string PathText(const std::filesystem::path& path) {
  const auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

std::string ReadSmallFile(const std::filesystem::path& path, const char* what) {
  constexpr std::size_t kMax = 1024 * 1024;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw Exception("Cannot read " + std::string(what) + " " + Quoted(PathText(path)) +
                    ": not a readable file.");
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  bytes.resize(kMax + 1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) {
    throw Exception("Cannot read " + std::string(what) + " " + Quoted(PathText(path)) + ".");
  }
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > kMax) {
    throw Exception(Quoted(PathText(path)) + " is larger than 1 MiB, too large for " + what + ".");
  }
  return bytes;
}

std::string Utf16WithNul(const std::string& utf8) {
  return unicode::ToUtf16Le(utf8) + std::string(2, '\0');
}

std::string FromUtf16WithNul(std::string bytes) {
  if (bytes.size() % 2 != 0) bytes.pop_back();
  while (bytes.size() >= 2 && bytes[bytes.size() - 1] == '\0' && bytes[bytes.size() - 2] == '\0') {
    bytes.resize(bytes.size() - 2);
  }
  return unicode::FromUtf16Le(bytes);
}

}  // namespace vormlan::catalog
