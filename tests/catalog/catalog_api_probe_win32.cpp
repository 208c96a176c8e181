// catalog-api-probe ROOT.pem CATALOG FILE...
// Reads a package's catalog through the system's catalog API, as Windows'
// driver store does, and prints what it found, one line each, for
// wine_catalog_api_test.sh:
//   root added                      ROOT.pem is in the machine's Root store
//   ours NAME TAG pe|flat           this program's own hash of FILE
//   system NAME TAG|error:CODE      CryptCATAdminCalcHashFromFileHandle
//   open ok|error:CODE              CryptCATOpen
//   member TAG                      each member CryptCATEnumerateMember gives
//   info NAME found|error:CODE      CryptCATGetMemberInfo by the system's tag
//   trust-catalog CODE              WinVerifyTrust on the catalog file
//   trust-member NAME CODE          WinVerifyTrust on FILE as a catalog member

#include <windows.h>
#include <wincrypt.h>
#include <mscat.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/Catalog.h"
#include "common/UniqueHandle_win32.h"
#include "common/WideText_win32.h"

namespace {

using namespace vormlan;

std::string Code(DWORD code) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(code));
  return text;
}

std::string Hex(const BYTE* bytes, DWORD size) {
  return catalog::TagOf(std::string(reinterpret_cast<const char*>(bytes), size));
}

bool AddRoot(const std::filesystem::path& pem) {
  std::ifstream in(pem, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  DWORD size = 0;
  if (!CryptStringToBinaryA(s.data(), static_cast<DWORD>(s.size()), CRYPT_STRING_BASE64HEADER,
                            nullptr, &size, nullptr, nullptr)) {
    return false;
  }
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(s.data(), static_cast<DWORD>(s.size()), CRYPT_STRING_BASE64HEADER,
                            der.data(), &size, nullptr, nullptr)) {
    return false;
  }
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (root == nullptr) return false;
  const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), size,
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(root, 0);
  return added != FALSE;
}

LONG Trust(WINTRUST_DATA& data) {
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: catalog-api-probe ROOT.pem CATALOG FILE...\n");
    return 2;
  }
  std::printf("root %s\n", AddRoot(argv[1]) ? "added" : "not-added");
  std::wstring catalog = WideFromUtf8(argv[2]);
  struct Member {
    std::string name;
    std::wstring path;
    std::string systemTag;
  };
  std::vector<Member> members;
  for (int i = 3; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    Member m{path.filename().string(), WideFromUtf8(argv[i]), {}};
    const auto ours = catalog::HashFile(path, m.name, catalog::kMemberHash);
    std::printf("ours %s %s %s\n", m.name.c_str(), catalog::TagOf(ours.digest).c_str(),
                ours.peImage ? "pe" : "flat");
    FileHandle file(CreateFileW(m.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    BYTE hash[64];
    DWORD size = sizeof hash;
    if (file && CryptCATAdminCalcHashFromFileHandle(file.Get(), &size, hash, 0)) {
      m.systemTag = Hex(hash, size);
      std::printf("system %s %s\n", m.name.c_str(), m.systemTag.c_str());
    } else {
      std::printf("system %s error:%s\n", m.name.c_str(), Code(GetLastError()).c_str());
    }
    members.push_back(std::move(m));
  }
  HANDLE cat = CryptCATOpen(catalog.data(), CRYPTCAT_OPEN_EXISTING, 0, 0, 0);
  if (cat == INVALID_HANDLE_VALUE || cat == nullptr) {
    std::printf("open error:%s\n", Code(GetLastError()).c_str());
  } else {
    std::printf("open ok\n");
    for (CRYPTCATMEMBER* m = nullptr; (m = CryptCATEnumerateMember(cat, m)) != nullptr;) {
      std::printf("member %s\n", Utf8FromWide(m->pwszReferenceTag).c_str());
    }
    for (auto& m : members) {
      std::wstring tag = WideFromUtf8(m.systemTag);
      SetLastError(0);
      const CRYPTCATMEMBER* info = CryptCATGetMemberInfo(cat, tag.data());
      std::printf("info %s %s\n", m.name.c_str(),
                  info != nullptr ? "found" : ("error:" + Code(GetLastError())).c_str());
    }
    CryptCATClose(cat);
  }
  {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = catalog.c_str();
    WINTRUST_DATA data{};
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    std::printf("trust-catalog %s\n", Code(static_cast<DWORD>(Trust(data))).c_str());
  }
  for (auto& m : members) {
    std::wstring tag = WideFromUtf8(m.systemTag);
    WINTRUST_CATALOG_INFO info{};
    info.cbStruct = sizeof info;
    info.pcwszCatalogFilePath = catalog.c_str();
    info.pcwszMemberTag = tag.c_str();
    info.pcwszMemberFilePath = m.path.c_str();
    WINTRUST_DATA data{};
    data.dwUnionChoice = WTD_CHOICE_CATALOG;
    data.pCatalog = &info;
    std::printf("trust-member %s %s\n", m.name.c_str(),
                Code(static_cast<DWORD>(Trust(data))).c_str());
  }
  return 0;
}
