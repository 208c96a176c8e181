// The registry the command line reads, and the architecture it packages.

#include <algorithm>
#include <filesystem>

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Terminal.h"
#include "common/Exception.h"
#include "common/PathWithin.h"
#include "common/Unicode.h"
#include "print/DriverRegistration.h"
#include "probes/NativeArch.h"
#include "registry/ControlSet.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#include "registry/UnionRegistry.h"
#include "registry/ValueRead.h"
#ifdef _WIN32
#include "registry/registry_win32.h"
#endif
#ifdef VORMLAN_HAVE_HIVE
#include "registry/HiveRegistry.h"
#endif

namespace vormlan::cli {
namespace {

namespace fs = std::filesystem;
using generation::Arch;

#ifdef VORMLAN_HAVE_HIVE
fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string TextOf(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The entry of folder whose name is name without regard to case (the exact
// spelling first), or nothing.
std::optional<fs::path> EntryIgnoringCase(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  if (fs::exists(folder / PathOf(name), ec)) return folder / PathOf(name);
  const std::string wanted = unicode::Fold(name);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (unicode::Fold(TextOf(it->path().filename())) == wanted) return it->path();
  }
  return std::nullopt;
}

// A path below windowsDir, each part matched without regard to case; the
// path as spelled when a part is missing (found false).
fs::path BelowIgnoringCase(const fs::path& windowsDir, std::initializer_list<const char*> parts,
                           bool& found) {
  fs::path at = windowsDir;
  found = true;
  for (const char* part : parts) {
    const auto entry = found ? EntryIgnoringCase(at, part) : std::nullopt;
    if (!entry) found = false;
    at = entry.value_or(at / part);
  }
  return at;
}

// A hive of the Windows directory, refused when a link leads it out of there.
std::string HiveInWindowsDir(const fs::path& windowsDir, const fs::path& hive) {
  std::error_code ec;
  const fs::path root = fs::canonical(windowsDir, ec);
  const fs::path real = ec ? fs::path() : fs::canonical(hive, ec);
  if (!ec && !PathWithin(real, root)) {
    throw Exception("The hive " + TextOf(hive) +
                    " is a link that leads out of the Windows directory: it is not read");
  }
  return TextOf(hive);
}
void NoteIf(const std::optional<std::string>& note) {
  if (note) Note(*note);
}
#endif

// The architecture a registry of another machine was written on:
// PROCESSOR_ARCHITECTURE of the session manager's environment.
std::optional<std::string> ProcessorArchitecture(registry::RegistryApi& api) {
  const registry::RegKey key =
      registry::OpenForReading(api, registry::root::LocalMachine,
                               "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
  if (!key.IsOpen()) return std::nullopt;
  const auto value = registry::ReadValue(api, key.Get(), "PROCESSOR_ARCHITECTURE", 256);
  if (!value) return std::nullopt;
  return registry::TextOf(*value);
}

}  // namespace

void AddSourceOptions(CLI::App& command, SourceOptions& options) {
  auto* reg = command.add_option(
      "--registry", options.registryFiles,
      "Registry export file (.reg: REGEDIT4 or version 5, UTF-16 or UTF-8) to read; - reads it "
      "from standard input. May be given twice: an export of SYSTEM and one of SOFTWARE");
  reg->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  auto* hive = command.add_option(
      "--hive", options.hiveFile,
      "Binary SYSTEM hive to read (Windows\\System32\\config\\SYSTEM of an offline disk, or "
      "reg save HKLM\\SYSTEM); a SOFTWARE hive beside it is read too");
  command.add_option("--software-hive", options.softwareHive,
                     "Binary SOFTWARE hive whose printer queues to read (where Windows keeps them "
                     "since Vista); by default the SOFTWARE file beside --hive");
  command.add_option(
      "--windows-dir", options.windowsDir,
      "Folder standing for the Windows directory of an offline disk (it holds System32). "
      "Driver files are taken from it; without --registry and --hive its "
      "System32\\config\\SYSTEM and SOFTWARE hives are read (Linux)");
  reg->excludes(hive);
}

std::string SourceHelp() {
#ifdef _WIN32
  return "Without --registry or --hive the live registry is read.";
#else
  return "One of --registry, --hive and --windows-dir is needed: this system has no registry of "
         "its own.";
#endif
}

Source OpenRegistry(const SourceOptions& options) {
  Source source;
  std::vector<std::unique_ptr<registry::RegistryApi>> members;
#ifdef VORMLAN_HAVE_HIVE
  std::string systemHive = options.hiveFile;
  std::string softwareHive = options.softwareHive;
  bool softwareBeside = false;
  if (systemHive.empty() && options.registryFiles.empty() && !options.windowsDir.empty()) {
    // The offline tree alone: its hives are where Windows keeps them.
    const fs::path windows = PathOf(options.windowsDir);
    std::error_code ec;
    if (!fs::is_directory(windows, ec)) {
      throw Exception("The Windows directory \"" + options.windowsDir +
                          "\" given by --windows-dir is not a directory",
                      {"--windows-dir names the folder that holds System32 (on a mounted disk, "
                       "for example /mnt/win/Windows)"});
    }
    bool found = false;
    const fs::path system = BelowIgnoringCase(windows, {"System32", "config", "SYSTEM"}, found);
    if (!found) {
      throw Exception(
          "There is no SYSTEM hive in the Windows directory: " + TextOf(system) + " is missing",
          {"--windows-dir names the folder that holds System32 (on a mounted disk, "
           "for example /mnt/win/Windows)",
           "--hive FILE reads a SYSTEM hive kept elsewhere"});
    }
    systemHive = HiveInWindowsDir(windows, system);
    if (softwareHive.empty()) {
      const fs::path software =
          BelowIgnoringCase(windows, {"System32", "config", "SOFTWARE"}, found);
      if (found) softwareHive = HiveInWindowsDir(windows, software);
    }
  }
  if (!systemHive.empty() && softwareHive.empty()) {
    // Since Vista the queues are in SOFTWARE: the hive beside SYSTEM.
    const fs::path system = PathOf(systemHive);
    const fs::path folder = system.has_parent_path() ? system.parent_path() : fs::path(".");
    if (const auto software = EntryIgnoringCase(folder, "SOFTWARE")) {
      std::error_code ec;
      if (fs::is_regular_file(*software, ec) && !fs::equivalent(*software, system, ec)) {
        softwareHive = TextOf(*software);
        softwareBeside = true;
      }
    }
  }
  if (!systemHive.empty() || !softwareHive.empty()) {
    if (!systemHive.empty()) {
      auto hive = std::make_unique<registry::HiveRegistry>(systemHive);
      NoteIf(hive->DirtyNote());
      NoteIf(hive->ControlSetNote());
      members.push_back(std::move(hive));
      source.systemHive = systemHive;
    }
    if (!softwareHive.empty()) {
      if (softwareBeside) Note("reading the printer queues of " + softwareHive);
      auto hive = std::make_unique<registry::HiveRegistry>(
          softwareHive, registry::HiveMount{registry::root::LocalMachine, "SOFTWARE"});
      NoteIf(hive->DirtyNote());
      members.push_back(std::move(hive));
      source.softwareRead = true;
    }
  }
#else
  if (!options.hiveFile.empty() || !options.softwareHive.empty()) {
    throw Exception(
        "This build reads no binary hives: export the keys with regedit and use "
        "--registry, or use the Linux build");
  }
#endif
  if (!options.registryFiles.empty()) {
    if (options.registryFiles.size() > 2) {
      throw UsageError(
          "--registry is given at most twice (an export of SYSTEM and one of "
          "SOFTWARE)");
    }
    auto memory = std::make_unique<registry::MemoryRegistry>(registry::TextEncoding::Utf8);
    for (const auto& file : options.registryFiles) {
      if (file == "-") {
        UseBinaryMode(stdin);
        registry::LoadRegStream(*memory, stdin, "standard input");
      } else {
        registry::LoadRegFile(*memory, file);
      }
    }
    if (const auto note = registry::LinkExportControlSet(*memory)) Note(*note);
    // The export comes first: its SYSTEM keys are the ones to read.
    members.insert(members.begin(), std::move(memory));
  }
  if (members.empty()) {
#ifdef _WIN32
    source.registry = std::make_unique<registry::Win32Registry>(registry::TextEncoding::Utf8);
    source.live = true;
    return source;
#else
    throw UsageError(
        "this system has no registry of its own: name an export file with --registry FILE, a "
        "hive with --hive FILE, or the Windows directory of an offline disk with "
        "--windows-dir DIR");
#endif
  }
  if (members.size() == 1) {
    source.registry = std::move(members.front());
  } else {
    source.registry = std::make_unique<registry::UnionRegistry>(std::move(members));
  }
  return source;
}

std::vector<std::string> Source::QueueHints(bool withDrivers) const {
  if (systemHive.empty() || softwareRead) return {};
  std::vector<std::string> hints = {
      "Windows Vista and later keep their printer queues in the SOFTWARE hive "
      "(Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers), not in SYSTEM: add "
      "--software-hive .../System32/config/SOFTWARE, or --windows-dir alone to read both"};
  if (withDrivers) {
    hints.push_back(
        "the drivers of the SYSTEM hive are there all the same: `vormlan-cli list --drivers` "
        "shows them, and --driver NAME or generate --all packages them");
  }
  return hints;
}

std::vector<Arch> ArchOption::Resolve(const Source& source, bool several) const {
  std::vector<Arch> archs;
  if (name.empty()) {
    Arch arch = Arch::X86;
    std::string why;
    if (source.live) {
      if (const auto native = probes::NativeMachine()) {
        arch = generation::ArchOfMachine(*native).value_or(Arch::X86);
      }
      if (arch != Arch::X86) why = "the architecture Windows runs on";
    } else {
      const auto processor = ProcessorArchitecture(*source.registry);
      const std::string folded = unicode::Fold(processor.value_or(""));
      if (folded == "AMD64") {
        arch = Arch::X64;
      } else if (folded == "ARM64") {
        arch = Arch::Arm64;
      }
      // Without it, x86 as ever.
      if (processor) why = "PROCESSOR_ARCHITECTURE of the registry read is " + *processor;
    }
    if (!why.empty()) {
      Note("packaging " + std::string(generation::InfoOf(arch).name) + " drivers (" + why +
           "); --arch chooses another");
    }
    archs.push_back(arch);
    return archs;
  }
  std::string rest = name;
  while (true) {
    const auto comma = rest.find(',');
    const std::string item = rest.substr(0, comma);
    if (unicode::Fold(item) == "ALL") {
      for (const auto& d : generation::ListDrivers(*source.registry)) {
        if (d.arch && std::find(archs.begin(), archs.end(), *d.arch) == archs.end()) {
          archs.push_back(*d.arch);
        }
      }
      std::sort(archs.begin(), archs.end());
    } else if (const auto arch = generation::ParseArch(item)) {
      if (std::find(archs.begin(), archs.end(), *arch) == archs.end()) archs.push_back(*arch);
    } else {
      throw UsageError("--arch: '" + EscapeControls(item) +
                       "' is no architecture (x86, x64, arm64 or all)");
    }
    if (comma == std::string::npos) break;
    rest.erase(0, comma + 1);
  }
  if (archs.empty()) throw Exception("No environment of the registry read registers drivers");
  if (archs.size() > 1 && !several) {
    throw UsageError("--arch: one architecture here (several only with generate --all)");
  }
  return archs;
}

}  // namespace vormlan::cli
