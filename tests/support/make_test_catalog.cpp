// make-test-catalog OUT.cat [--time SECONDS] [--pfx P [--password-file F] | --key K --cert C]
//                   FILE...
// Writes the catalog of FILEs (members named by their file names) as a
// package would carry it, made now or at the given time (seconds since
// 1970), for shell tests of signing and checking.

#include <cstdio>
#include <ctime>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/Catalog.h"

int main(int argc, char** argv) {
  using namespace vormlan::catalog;
  if (argc < 3) {
    std::fprintf(stderr, "usage: make-test-catalog OUT.cat [signing options] FILE...\n");
    return 2;
  }
  SigningFiles signing;
  std::string time;
  std::vector<MemberFile> files;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string* option = arg == "--pfx"             ? &signing.pfx
                          : arg == "--password-file" ? &signing.passwordFile
                          : arg == "--key"           ? &signing.key
                          : arg == "--cert"          ? &signing.cert
                          : arg == "--time"          ? &time
                                                     : nullptr;
    if (option != nullptr && i + 1 < argc) {
      *option = argv[++i];
      continue;
    }
    const std::filesystem::path path(arg);
    files.push_back({path.filename().string(), path});
  }
  try {
    const auto signer = LoadSigner(signing);
    const std::int64_t when =
        time.empty() ? static_cast<std::int64_t>(std::time(nullptr)) : std::stoll(time);
    const std::string bytes = BuildCatalog(files, signer ? &*signer : nullptr, when);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out.good() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
