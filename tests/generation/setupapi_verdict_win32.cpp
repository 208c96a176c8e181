// setupapi-verdict DIR: judges a driver package folder with Windows' own
// setup functions, for the platform this program runs on (x86 when built
// for i686, x64 for x86_64). Prints "ok" and exits 0 when every INF in DIR
// opens, is of the printer class, reaches a models section, and every file
// its install sections copy (and its catalog) is there; otherwise prints the
// problems and exits 1. Exit 2: usage.
//
// Where the system lacks SetupDiGetActualModelsSection (Wine), the models
// section is chosen from [Manufacturer]'s decorations for the running
// platform and version, as Windows documents it.

#include <windows.h>
#include <setupapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

#if defined(_M_ARM64) || defined(__aarch64__)
const std::wstring kPlatform = L"NTarm64";
const std::wstring kSourcePlatform = L"arm64";
#elif defined(_WIN64)
const std::wstring kPlatform = L"NTamd64";
const std::wstring kSourcePlatform = L"amd64";
#else
const std::wstring kPlatform = L"NTx86";
const std::wstring kSourcePlatform = L"x86";
#endif
const bool kIs64Bit = kPlatform != L"NTx86";

class Inf {
 public:
  explicit Inf(HINF handle) : handle_(handle) {}
  Inf(const Inf&) = delete;
  Inf& operator=(const Inf&) = delete;
  ~Inf() {
    if (handle_ != INVALID_HANDLE_VALUE) SetupCloseInfFile(handle_);
  }
  HINF Get() const { return handle_; }

 private:
  HINF handle_;
};

class Search {
 public:
  Search(const std::wstring& pattern, WIN32_FIND_DATAW& found)
      : handle_(FindFirstFileW(pattern.c_str(), &found)) {}
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;
  ~Search() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

class Library {
 public:
  explicit Library(const wchar_t* name) : module_(LoadLibraryW(name)) {}
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  template <typename F>
  F Function(const char* name) const {
    if (module_ == nullptr) return nullptr;
    // Through the generic function pointer type, which converts to any other.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

bool Same(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
         CSTR_EQUAL;
}

std::wstring Field(INFCONTEXT& context, DWORD index) {
  DWORD size = 0;
  if (!SetupGetStringFieldW(&context, index, nullptr, 0, &size) || size == 0) return {};
  std::wstring text(size, L'\0');
  if (!SetupGetStringFieldW(&context, index, text.data(), size, nullptr)) return {};
  text.resize(size - 1);
  return text;
}

// Field 1 of the first line with the key, or nothing.
bool Value(HINF inf, const std::wstring& section, const std::wstring& key, std::wstring& value) {
  INFCONTEXT context;
  if (!SetupFindFirstLineW(inf, section.c_str(), key.c_str(), &context)) return false;
  value = Field(context, 1);
  return true;
}

bool SectionExists(HINF inf, const std::wstring& section) {
  return SetupGetLineCountW(inf, section.c_str()) >= 0;
}

struct OsVersion {
  DWORD major = 0, minor = 0, build = 0;
};

OsVersion RunningVersion() {
  OsVersion version{10, 0, 0};
  Library ntdll(L"ntdll.dll");
  using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  if (auto get = ntdll.Function<GetVersionFn>("RtlGetVersion")) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (get(&info) == 0) version = {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
  }
  return version;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  for (;;) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::wstring::npos) return parts;
    start = end + 1;
  }
}

// The decorated models section of one [Manufacturer] line for this
// platform: the decoration whose version is the highest not above the
// running system's, the platform's own before plain "NT". Undecorated
// models serve x86 only.
bool ChooseModels(INFCONTEXT& line, std::wstring& models) {
  using ModelsFn = BOOL(WINAPI*)(PINFCONTEXT, PSP_ALTPLATFORM_INFO, PWSTR, DWORD, PDWORD, PVOID);
  static Library setupapi(L"setupapi.dll");
  static const auto system = setupapi.Function<ModelsFn>("SetupDiGetActualModelsSectionW");
  if (system != nullptr) {
    wchar_t buffer[MAX_INF_STRING_LENGTH];
    if (!system(&line, nullptr, buffer, MAX_INF_STRING_LENGTH, nullptr, nullptr)) return false;
    models = buffer;
    return true;
  }
  static const OsVersion os = RunningVersion();
  const std::wstring base = Field(line, 1);
  std::wstring best;
  std::vector<DWORD> bestRank;
  const DWORD count = SetupGetFieldCount(&line);
  for (DWORD i = 2; i <= count; ++i) {
    const std::wstring decoration = Field(line, i);
    const auto parts = Split(decoration, L'.');
    const bool own = Same(parts[0], kPlatform);
    if (!own && !(Same(parts[0], L"NT") && !kIs64Bit)) continue;
    const auto number = [&](std::size_t index) -> DWORD {
      return index < parts.size() ? wcstoul(parts[index].c_str(), nullptr, 0) : 0;
    };
    const std::vector<DWORD> version = {number(1), number(2), number(5)};
    if (version > std::vector<DWORD>{os.major, os.minor, os.build}) continue;
    std::vector<DWORD> rank = version;
    rank.push_back(own ? 1 : 0);
    if (best.empty() || rank > bestRank) {
      best = decoration;
      bestRank = rank;
    }
  }
  if (!best.empty()) {
    models = base + L"." + best;
    return true;
  }
  if (kIs64Bit) return false;
  models = base;
  return true;
}

class Verdict {
 public:
  explicit Verdict(std::wstring dir) : dir_(std::move(dir)) {}

  void Check(const std::wstring& name) {
    name_ = name;
    UINT errorLine = 0;
    const std::wstring path = dir_ + L"\\" + name;
    Inf inf(SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine));
    if (inf.Get() == INVALID_HANDLE_VALUE) {
      Problem(L"does not open: error " + std::to_wstring(GetLastError()) + L" at line " +
              std::to_wstring(errorLine));
      return;
    }
    std::wstring value;
    if (!Value(inf.Get(), L"Version", L"Class", value) || !Same(value, L"Printer")) {
      Problem(L"[Version] Class is not Printer");
    }
    if (!Value(inf.Get(), L"Version", L"ClassGUID", value) ||
        !Same(value, L"{4D36E979-E325-11CE-BFC1-08002BE10318}")) {
      Problem(L"[Version] ClassGUID is not the printer class");
    }
    Models(inf.Get());
    if (!SectionExists(inf.Get(), L"DestinationDirs")) Problem(L"no [DestinationDirs]");
    for (const std::wstring& key : {L"CatalogFile." + kPlatform, std::wstring(L"CatalogFile.NT"),
                                    std::wstring(L"CatalogFile")}) {
      if (Value(inf.Get(), L"Version", key, value)) {
        if (!value.empty()) RequireFile(value, L"catalog");
        break;
      }
    }
  }

  bool Ok() const { return problems_ == 0; }

 private:
  void Problem(const std::wstring& text) {
    ++problems_;
    std::printf("%s: %s\n", Utf8(name_).c_str(), Utf8(text).c_str());
  }

  void Models(HINF inf) {
    const LONG count = SetupGetLineCountW(inf, L"Manufacturer");
    bool reached = false;
    for (LONG i = 0; i < count; ++i) {
      INFCONTEXT line;
      std::wstring models;
      if (!SetupGetLineByIndexW(inf, L"Manufacturer", static_cast<DWORD>(i), &line) ||
          !ChooseModels(line, models)) {
        continue;
      }
      reached = true;
      const LONG modelCount = SetupGetLineCountW(inf, models.c_str());
      if (modelCount < 0) Problem(L"models section [" + models + L"] does not exist");
      if (modelCount == 0) Problem(L"models section [" + models + L"] lists no model");
      for (LONG m = 0; m < modelCount; ++m) {
        INFCONTEXT model;
        if (SetupGetLineByIndexW(inf, models.c_str(), static_cast<DWORD>(m), &model)) {
          Install(inf, Field(model, 1));
        }
      }
    }
    if (!reached) Problem(L"no models section for " + kPlatform);
  }

  void Install(HINF inf, const std::wstring& section) {
    wchar_t actual[MAX_INF_STRING_LENGTH];
    if (section.empty() ||
        !SetupDiGetActualSectionToInstallW(inf, section.c_str(), actual, MAX_INF_STRING_LENGTH,
                                           nullptr, nullptr) ||
        !SectionExists(inf, actual)) {
      Problem(L"install section [" + section + L"] does not exist");
      return;
    }
    INFCONTEXT line;
    bool found = SetupFindFirstLineW(inf, actual, L"CopyFiles", &line);
    while (found) {
      const DWORD count = SetupGetFieldCount(&line);
      for (DWORD i = 1; i <= count; ++i) {
        const std::wstring item = Field(line, i);
        if (item.empty()) continue;
        if (item[0] == L'@') {
          RequireSource(inf, item.substr(1));
        } else {
          CopyFilesSection(inf, item);
        }
      }
      found = SetupFindNextMatchLineW(&line, L"CopyFiles", &line);
    }
  }

  void CopyFilesSection(HINF inf, const std::wstring& section) {
    const LONG count = SetupGetLineCountW(inf, section.c_str());
    if (count < 0) Problem(L"CopyFiles section [" + section + L"] does not exist");
    for (LONG i = 0; i < count; ++i) {
      INFCONTEXT line;
      if (!SetupGetLineByIndexW(inf, section.c_str(), static_cast<DWORD>(i), &line)) continue;
      std::wstring source = Field(line, 2);
      if (source.empty()) source = Field(line, 1);
      if (!source.empty()) RequireSource(inf, source);
    }
  }

  // A source file below the media's path and the subfolder that
  // [SourceDisksFiles] gives it, or in the folder itself when it is not
  // listed there.
  void RequireSource(HINF inf, const std::wstring& file) {
    UINT disk = 0;
    wchar_t ignored[MAX_PATH];
    if (!SetupGetSourceFileLocationW(inf, nullptr, file.c_str(), &disk, ignored, MAX_PATH,
                                     nullptr)) {
      std::wstring listed;
      if (Value(inf, L"SourceDisksFiles." + kSourcePlatform, file, listed) ||
          Value(inf, L"SourceDisksFiles", file, listed)) {
        Problem(L"the disk of " + file + L" is not in [SourceDisksNames]");
        return;
      }
      RequireFile(file, L"file");
      return;
    }
    wchar_t media[MAX_PATH] = L"";
    if (!SetupGetSourceInfoW(inf, disk, SRCINFO_PATH, media, MAX_PATH, nullptr)) {
      Problem(L"the disk of " + file + L" is not in [SourceDisksNames]");
      return;
    }
    std::wstring subfolder;
    INFCONTEXT line;
    if (SetupFindFirstLineW(inf, (L"SourceDisksFiles." + kSourcePlatform).c_str(), file.c_str(),
                            &line) ||
        SetupFindFirstLineW(inf, L"SourceDisksFiles", file.c_str(), &line)) {
      subfolder = Field(line, 2);
    }
    std::wstring relative = media;
    if (!subfolder.empty()) relative += L"\\" + subfolder;
    relative += L"\\" + file;
    while (!relative.empty() && relative[0] == L'\\') relative.erase(0, 1);
    RequireFile(relative, L"file");
  }

  void RequireFile(const std::wstring& relative, const std::wstring& what) {
    const DWORD attributes = GetFileAttributesW((dir_ + L"\\" + relative).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      Problem(what + L" " + relative + L" is missing");
    }
  }

  std::wstring dir_;
  std::wstring name_;
  int problems_ = 0;
};

bool EndsWithInf(const std::wstring& name) {
  return name.size() > 4 && Same(name.substr(name.size() - 4), L".inf");
}

}  // namespace

int main() {
  int argc = 0;
  const std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(
      CommandLineToArgvW(GetCommandLineW(), &argc), &LocalFree);
  if (argv == nullptr || argc != 2) {
    std::fprintf(stderr, "usage: setupapi-verdict DIR\n");
    return 2;
  }
  std::wstring dir = argv.get()[1];
  while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();

  std::vector<std::wstring> infs;
  WIN32_FIND_DATAW found;
  const Search search(dir + L"\\*", found);
  if (search.Get() != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
          EndsWithInf(found.cFileName)) {
        infs.emplace_back(found.cFileName);
      }
    } while (FindNextFileW(search.Get(), &found));
  }
  if (infs.empty()) {
    std::printf("%s: no INF file\n", Utf8(dir).c_str());
    return 1;
  }
  std::sort(infs.begin(), infs.end());
  Verdict verdict(dir);
  for (const auto& name : infs) verdict.Check(name);
  if (!verdict.Ok()) return 1;
  std::printf("ok\n");
  return 0;
}
