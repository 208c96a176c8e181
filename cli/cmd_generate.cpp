// vormlan-cli generate: packages a printer's driver (or every printer's)
// into a directory, composing an INF or copying the driver store's package.

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unordered_map>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "catalog/Catalog.h"
#include "catalog/PackageCatalog.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "cli/FolderNames.h"
#include "cli/Hints.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/Report.h"
#include "common/Quoted.h"
#include "common/ErrorText.h"
#include "common/PathWithin.h"
#include "common/Unicode.h"
#include "print/DriverRegistration.h"
#include "print/PrintQueues.h"
#include "generation/GenerationRun.h"
#include "generation/StorePackage.h"
#include "probes/Printers.h"
#include "registry/unitEXRegistry.h"

namespace vormlan::cli {
namespace {

using generation::Arch;

// The files generate --all writes beside the package folders.
constexpr char kIndexFile[] = "index.json";
constexpr char kSummaryFile[] = "summary.txt";

// Where a package comes from: an INF composed for the installed driver, the
// driver store's own package, or the store's where there is one.
enum class PackageSource { Composed, Store, Auto };

constexpr const char* NameOf(PackageSource source) {
  switch (source) {
    case PackageSource::Store:
      return "store";
    case PackageSource::Auto:
      return "auto";
    case PackageSource::Composed:
      break;
  }
  return "composed";
}

struct Options {
  std::string printer;
  std::string driver;
  bool all = false;
  std::string out;
  SourceOptions source;
  ArchOption arch;
  PackageSource from = PackageSource::Composed;
  InfEncodingOption encoding;
  bool json = false;
  bool quiet = false;
  bool replace = false;
  bool storeReady = false;
  catalog::SigningFiles signing;
  // The identity the catalogs are signed with, read before anything is written.
  std::shared_ptr<const catalog::SigningIdentity> signer;
};

// Where the messages of one run go: standard output, unless --json or
// --quiet keep it for the JSON or for errors alone.
struct Messages {
  bool shown = true;
  Progress* progress = nullptr;

  void Say(const std::string& text) const {
    if (!shown) return;
    if (progress != nullptr) progress->Clear();
    Out().Line(text);
  }
  void Notice(const std::string& text) const {
    if (!shown) return;
    if (progress != nullptr) progress->Clear();
    Note(text);
  }
  void Warn(const std::string& text) const {
    if (IsQuiet()) return;
    if (progress != nullptr) progress->Clear();
    Warning(text);
  }
};

std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

// text with its line ends as "\n" and each further line indented, so that
// a summary entry's own lines are told from the next entry.
std::string ContinuedLines(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\n  ";
    } else {
      out += text[i];
    }
  }
  return out;
}

// A --windows-dir that is not there would report every driver file missing:
// say so once instead.
void RequireWindowsDirectory(const std::string& windowsDir) {
  if (windowsDir.empty()) return;
  std::u8string name(windowsDir.begin(), windowsDir.end());
  std::error_code error;
  if (std::filesystem::is_directory(std::filesystem::path(name), error)) return;
  throw Exception(
      "The Windows directory \"" + windowsDir + "\" given by --windows-dir is not a directory",
      {"--windows-dir names the folder that holds System32 (on a mounted disk, "
       "for example /mnt/win/Windows)"});
}

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// An --out inside the Windows folder that is read, or holding it, would
// write into the source (its own files, a driver-store package copied into
// itself): refused before anything is written.
void RefuseOutAroundWindows(const std::string& out, const std::string& windowsDir) {
  if (windowsDir.empty()) return;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path windows = fs::canonical(PathOf(windowsDir), ec);
  if (ec) return;
  const fs::path target = fs::weakly_canonical(fs::absolute(PathOf(out), ec), ec);
  if (ec) return;
  const std::vector<std::string> hints = {
      "give --out a folder outside the Windows directory, for example on another disk"};
  if (PathWithin(target, windows)) {
    throw Exception("The target directory " + Quoted(out) + " lies inside the Windows directory " +
                        Quoted(windowsDir) + " that is read: nothing is written into the source",
                    hints);
  }
  if (PathWithin(windows, target)) {
    throw Exception("The target directory " + Quoted(out) + " holds the Windows directory " +
                        Quoted(windowsDir) + " that is read: nothing is written around the source",
                    hints);
  }
}

// The first part of folder (below prefix, "/"-separated) that is a link, or
// nothing: generate --all writes only into folders it makes, never through
// a link that was there before.
std::optional<std::string> LinkOnTheWay(const std::string& prefix, const std::string& folder) {
  namespace fs = std::filesystem;
  fs::path at = PathOf(prefix);
  std::size_t start = 0;
  while (start <= folder.size()) {
    const auto slash = folder.find('/', start);
    at /= PathOf(folder.substr(start, slash - start));
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(at, ec))) {
      const std::u8string text = at.u8string();
      return std::string(text.begin(), text.end());
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return std::nullopt;
}

// The driver-store package the registration names, or why there is none.
struct StoreChoice {
  std::optional<generation::StoreLocation> location;
  const generation::EnvironmentDriver* driver = nullptr;
  std::string why;  // when there is no usable package
};

// What one run packages: a printer's driver, or a registered driver that
// no printer needs to use.
struct Subject {
  std::string printer;  // empty for a driver
  std::string driver;   // the driver's name; for a printer, once looked up
  // For a driver of generate --all: its registration as the inventory read
  // it, which the run takes instead of reading it again.
  std::optional<generation::RegisteredDriver> registered;
};

StoreChoice FindStorePackage(const Subject& subject, const generation::EnvironmentDriver* here,
                             Arch arch, generation::HostServices& host) {
  StoreChoice choice;
  const auto& info = generation::InfoOf(arch);
  choice.driver = here;
  const std::string driver = Quoted(subject.driver);
  if (choice.driver == nullptr) {
    choice.why = "the driver " + driver + " is not registered for " + std::string(info.environment);
    return choice;
  }
  if (choice.driver->infPath.empty()) {
    choice.why = "the driver " + driver + " has no InfPath value in " +
                 std::string(info.environment) + "\\Drivers\\Version-" +
                 std::to_string(choice.driver->version);
    return choice;
  }
  try {
    choice.location = generation::LocateStorePackage(choice.driver->infPath);
  } catch (const Exception& e) {
    choice.why = e.what();
    return choice;
  }
  if (!generation::StorePackageExists(host, *choice.location)) {
    choice.why = "the driver-store package is missing: looked for " +
                 Quoted(host.DisplayPath(generation::StoreFolderPath(host, *choice.location)));
    choice.location.reset();
  }
  return choice;
}

void RunStore(generation::HostServices& host, const std::string& outDir, Arch arch,
              const StoreChoice& choice, bool replace, RunReport& report,
              const Messages& messages) {
  report.source = "store";
  report.version = choice.driver->version;
  report.outDir = outDir;
  report.infFile = choice.location->infName;
  CliHost cli(host, outDir, nullptr);
  const auto copied = generation::CopyStorePackage(cli, *choice.location, outDir, arch, replace);
  report.copied = copied.copied;
  report.kept = copied.kept;
  report.differing = copied.differing;
  report.catalogFile = copied.catalogFile;
  report.signedPackage = copied.catalogFile && copied.catalogPresent;
  for (const auto* list : {&choice.driver->packageDependencies, &choice.driver->coreDependencies}) {
    report.dependencies.insert(report.dependencies.end(), list->begin(), list->end());
  }
  std::string signature;
  if (!copied.catalogFile) {
    signature = "not signed: the INF names no catalog";
  } else if (copied.catalogPresent) {
    signature = "signed package: its catalog " + *copied.catalogFile + " is there";
  } else {
    signature = "not signed: its catalog " + *copied.catalogFile + " is missing";
  }
  messages.Say("Copied the driver-store package " + Quoted(copied.sourceFolder) + " (INF " +
               report.infFile + "; " + signature + ")");
  if (!report.dependencies.empty()) {
    messages.Say("It builds on the inbox packages " + Joined(report.dependencies, ", ") +
                 ", which the target system must have");
  }
  for (const auto& skipped : copied.skipped) messages.Warn("not copied: " + skipped);
  for (const auto& name : report.kept) messages.Say("kept: " + name + " (already there)");
}

// The catalog of a store-ready package, over its files as they now stand.
void WriteCatalog(generation::HostServices& host, const generation::PackageResult& package,
                  const Options& o, RunReport& report, const Messages& messages) {
  const generation::HostServices::TemporaryFoldersGuard temporaries(host);
  catalog::WritePackageCatalog(host, package.directory, package.packageFiles, o.signer.get(),
                               static_cast<std::int64_t>(std::time(nullptr)));
  report.catalogFile = catalog::kCatalogFileName;
  report.signedPackage = o.signer != nullptr;
  messages.Say(std::string(o.signer ? "signed catalog: " : "catalog: ") +
               catalog::kCatalogFileName +
               (o.signer ? "" : " (unsigned: the driver store takes it once it is signed)"));
}

void RunComposed(registry::RegistryApi& registry, generation::HostServices& host,
                 const Subject& subject, PrinterRegistrationOnce* printer,
                 const std::string& outDir, const Options& o, RunReport& report,
                 const Messages& messages, Progress& progress) {
  CliHost cli(host, outDir, [&messages](const std::string& text) { messages.Say(text); });
  generation::PackageOptions options;
  options.arch = report.arch;
  options.infEncoding = o.encoding.Get();
  options.replace = o.replace;
  options.storeReady = o.storeReady;
  options.onFile = [&progress, &o](std::size_t i, std::size_t n, const std::string& name) {
    if (!o.all) progress.Step(i, n, name);
  };
  generation::Composition composed;
  if (printer == nullptr) {
    composed =
        generation::ComposeDriver(registry, subject.driver, report.arch, options.infEncoding);
  } else {
    if (report.arch != Arch::X86) RefuseVersion4Only(printer->Get(), report.arch);
    try {
      composed =
          generation::ComposePrinter(registry, subject.printer, report.arch, options.infEncoding);
    } catch (const registry::ERegistryException& e) {
      throw Exception(e.what(), LookupHints(registry, printer->Get(), report.arch));
    }
  }
  if (o.storeReady) generation::MakeStoreReady(registry, composed, options.infEncoding);
  generation::GenerationResult result;
  result.package = generation::WriteComposition(cli, composed, options);
  result.description = std::move(composed.description);
  const auto& package = result.package;
  report.driver = result.description.driverName;
  report.version = result.description.driverVersion;
  report.outDir = outDir;
  report.infFile = package.infPath;
  report.copied = package.copiedFiles;
  report.kept = package.keptFiles;
  report.differing = package.differingFiles;
  report.missing = package.missingFiles;
  report.searched = package.searchedFolders;
  report.storeReady = o.storeReady;
  if (o.storeReady) {
    report.packageFiles = package.packageFiles;
    report.notes = package.notes;
  }
  for (const auto& name : package.keptFiles) messages.Say("kept: " + name + " (already there)");
  for (const auto& text : package.notes) messages.Notice(text);
  if (o.storeReady) WriteCatalog(cli, package, o, report, messages);
}

// One package into outDir. Fills report; errors are recorded there and
// printed, never thrown.
void RunOne(registry::RegistryApi& registry, generation::HostServices& host, Subject subject,
            const std::string& outDir, Arch arch, const Options& o, RunReport& report,
            Progress& progress) {
  Messages messages{!o.json && !o.quiet, &progress};
  report.printer = subject.printer;
  report.arch = arch;
  std::optional<PrinterRegistrationOnce> printer;
  try {
    // The registration is read once for the run: the version 4 checks, the
    // store choice and the hints share it, and a composed run of one printer
    // reads it only if it needs it.
    const generation::EnvironmentDriver* here = nullptr;
    std::optional<generation::RegisteredDriver> driver;
    if (subject.printer.empty()) {
      // A driver without a printer: it must be registered here.
      // With --all the inventory has read it already.
      driver = subject.registered ? std::move(subject.registered)
                                  : ComposableDriver(registry, subject.driver, arch,
                                                     o.from == PackageSource::Composed, false);
      subject.driver = driver->name;
      here = &driver->details;
    } else {
      printer.emplace(registry, subject.printer);
      if (o.all || o.from != PackageSource::Composed) {
        subject.driver = printer->Get().driverName;
        here = printer->Get().In(arch);
      }
    }
    report.driver = subject.driver;
    if (o.all && o.from == PackageSource::Composed && here != nullptr && here->version == 4) {
      // Not a failure of the rescue: the driver is there, in another form.
      report.version = 4;
      report.skipped =
          "a version 4 driver: a composed INF cannot install it; --source store (or auto) copies "
          "its driver-store package";
      messages.Warn(EscapeControls(Quoted(subject.driver)) + " skipped: " + *report.skipped);
      return;
    }
    if (o.from != PackageSource::Composed) {
      StoreChoice choice;
      if (printer && !printer->Get().printerKeyFound) {
        choice.why = "there is no printer called " + Quoted(subject.printer);
      } else {
        choice = FindStorePackage(subject, here, arch, host);
      }
      if (choice.location) {
        if (o.from == PackageSource::Auto) messages.Say("source: the driver store's own package");
        RunStore(host, outDir, report.arch, choice, o.replace, report, messages);
      } else if (o.from == PackageSource::Store) {
        auto hints = subject.printer.empty() ? std::vector<std::string>()
                                             : LookupHints(registry, printer->Get(), arch);
        if (choice.driver != nullptr && choice.driver->version != 4) {
          hints.push_back("--source composed writes an INF for the installed driver instead");
        }
        throw Exception("No driver-store package to copy: " + choice.why, std::move(hints));
      } else {
        messages.Say("source: a composed INF (" + choice.why + ")");
      }
    }
    if (report.source != "store") {
      RunComposed(registry, host, subject, printer ? &*printer : nullptr, outDir, o, report,
                  messages, progress);
    }
    for (const auto& name : report.differing) {
      messages.Warn("kept " + name + " in " + Quoted(host.DisplayPath(outDir)) +
                    " differs from the driver's file; it was not replaced");
    }
    if (!report.missing.empty()) {
      report.hints.push_back("looked in " + Joined(report.searched, " and "));
      if (!o.json && !o.quiet) {
        progress.Clear();
        for (const auto& hint : report.hints) Err().Line("hint: " + EscapeControls(hint));
      }
    }
  } catch (const std::exception& e) {
    progress.Clear();
    PrintError(e);
    if (report.driver.empty() && printer) report.driver = printer->Get().driverName;
    report.error = ErrorBoxText(e.what());
    if (const auto* hinted = dynamic_cast<const Exception*>(&e)) report.hints = hinted->Hints();
  }
}

// How a package just written is installed on Windows, as one hint line;
// nothing for a run that wrote none, or an incomplete one.
std::optional<std::string> InstallHint(const RunReport& report, bool storeReady, bool all) {
  if (report.Status() != "done" || report.infFile.empty()) return std::nullopt;
  if (report.source == "store" || storeReady) {
    const std::string inf = report.source == "store" ? report.infFile : generation::kInfFileName;
    return std::string("to install ") + (all ? "a package" : "it") +
           " on Windows, run in its folder: pnputil /add-driver " + inf + " /install (" +
           (report.source == "store" ? "" : "once its catalog is signed; ") +
           "the README's \"Installing a package\" tells the other ways)";
  }
  return std::string("to install ") + (all ? "a package" : "it") +
         " on Windows: Add Printer, \"Have Disk\", its folder; --store-ready makes packages "
         "that pnputil /add-driver stages in the driver store";
}

int StatusOf(const std::vector<RunReport>& reports) {
  int status = kExitOk;
  for (const auto& r : reports) {
    if (r.error) return kExitError;
    if (!r.missing.empty()) status = kExitMissingFiles;
  }
  return status;
}

// The architectures as the index names them: one name, or a list.
nlohmann::ordered_json ArchJson(const std::vector<Arch>& archs) {
  if (archs.size() == 1) return std::string(generation::InfoOf(archs.front()).name);
  auto list = nlohmann::ordered_json::array();
  for (const Arch a : archs) list.push_back(std::string(generation::InfoOf(a).name));
  return list;
}

// A second rescue into the folder of another one would mix them: refused
// before anything is written, unless the index there describes the same
// rescue (architectures, source and package folders), as a rerun does.
// A summary without an index is another file of that name.
void RefuseForeignIndex(const std::string& prefix, const nlohmann::ordered_json& arch,
                        const std::string& from, const std::set<std::string>& folders) {
  const std::string indexPath = prefix + kIndexFile;
  const std::string summaryPath = prefix + kSummaryFile;
  const std::vector<std::string> hints = {
      "give --out a new folder, or --replace to write this run's packages and index there "
      "(nothing else is removed)"};
  std::error_code ec;
  std::ifstream in(PathOf(indexPath), std::ios::binary);
  if (!in) {
    if (std::filesystem::symlink_status(PathOf(summaryPath), ec).type() !=
        std::filesystem::file_type::not_found) {
      throw Exception("The folder holds a " + std::string(kSummaryFile) +
                          " that is not of a rescue: " + Quoted(summaryPath),
                      hints);
    }
    return;
  }
  nlohmann::ordered_json old;
  try {
    old = nlohmann::ordered_json::parse(in);
  } catch (const std::exception&) {
    old = nullptr;
  }
  std::set<std::string> oldFolders;
  if (old.is_object() && old.contains("drivers") && old["drivers"].is_array()) {
    for (const auto& driver : old["drivers"]) {
      if (driver.is_object() && driver.contains("folder") && driver["folder"].is_string()) {
        oldFolders.insert(driver["folder"].get<std::string>());
      }
    }
  }
  if (old.is_object() && old.value("arch", nlohmann::ordered_json()) == arch &&
      old.value("source", std::string()) == from && oldFolders == folders) {
    return;
  }
  throw Exception("The folder already holds the index of another rescue: " + Quoted(indexPath),
                  hints);
}

// generate --all: every registered driver of each architecture, and every
// printer's, into a folder of its own.
int RunAll(const Source& source, generation::HostServices& host, const Options& o,
           const std::vector<Arch>& archs, Progress& progress) {
  registry::RegistryApi& registry = *source.registry;
  const std::string& root = o.out;
  // What goes before a name in root: "rescue/" gives "rescue/HP", not "rescue//HP".
  std::string prefix = root;
  if (prefix.back() != '/' && prefix.back() != host.Separator()) prefix += host.Separator();
  const nlohmann::ordered_json archJson = ArchJson(archs);
  const auto listing = generation::ListQueues(registry);
  const auto& queues = listing.queues;
  // A damaged Printers key: said, the drivers packaged all the same, exit 1.
  for (const auto& problem : listing.problems) Err().Line(EscapeControls(problem));
  if (queues.empty() && listing.problems.empty()) {
    for (const auto& hint : source.QueueHints()) Err().Line("hint: " + hint);
  }
  const auto drivers = generation::ListDrivers(registry);
  const bool several = archs.size() > 1;

  // Where a queue's driver is registered, among the run's architectures.
  std::vector<std::vector<Arch>> queueArchs(queues.size());
  {
    std::unordered_map<std::string, std::vector<Arch>> registered;
    for (const auto& d : drivers) {
      if (d.arch) registered[unicode::Fold(d.name)].push_back(*d.arch);
    }
    for (std::size_t q = 0; q < queues.size(); ++q) {
      const auto it = registered.find(unicode::Fold(queues[q].driverName));
      for (const Arch a : archs) {
        if (it != registered.end() &&
            std::find(it->second.begin(), it->second.end(), a) != it->second.end()) {
          queueArchs[q].push_back(a);
        }
      }
      // Registered for none of them: its failure is reported once.
      if (queueArchs[q].empty()) queueArchs[q].push_back(archs.front());
    }
  }

  // Printers sharing a driver share its package: one run per driver and
  // architecture, in the order the printers come, then the drivers no
  // printer uses.
  struct Package {
    Arch arch;
    std::string folder;  // below --out, "/"-separated
    Subject subject;
    std::vector<std::string> printers;
    RunReport report;
  };
  std::vector<Package> packages;
  struct Entry {
    std::string printer;
    std::size_t package;
  };
  std::vector<Entry> entries;  // printer by architecture
  for (const Arch arch : archs) {
    const std::string archName(generation::InfoOf(arch).name);
    FolderNamer namer;
    if (!several) {
      namer.Reserve(kIndexFile);
      namer.Reserve(kSummaryFile);
    }
    const auto folderOf = [&](const std::string& name) {
      const std::string folder = namer.Next(name);
      return several ? archName + "/" + folder : folder;
    };
    std::unordered_map<std::string, std::size_t> byDriver;  // folded driver name -> package
    for (std::size_t q = 0; q < queues.size(); ++q) {
      if (std::find(queueArchs[q].begin(), queueArchs[q].end(), arch) == queueArchs[q].end()) {
        continue;
      }
      const auto& queue = queues[q];
      const std::string key =
          queue.driverName.empty() ? std::string() : unicode::Fold(queue.driverName);
      auto found = key.empty() ? byDriver.end() : byDriver.find(key);
      if (found == byDriver.end()) {
        packages.push_back({arch,
                            folderOf(queue.driverName.empty() ? queue.name : queue.driverName),
                            {queue.name, queue.driverName, std::nullopt},
                            {},
                            {}});
        if (!key.empty()) byDriver.emplace(key, packages.size() - 1);
        entries.push_back({queue.name, packages.size() - 1});
      } else {
        entries.push_back({queue.name, found->second});
      }
      packages[entries.back().package].printers.push_back(queue.name);
    }
    for (const auto& d : drivers) {
      if (d.arch != arch) continue;
      const auto [at, added] = byDriver.emplace(unicode::Fold(d.name), packages.size());
      if (added) {
        packages.push_back({arch, folderOf(d.name), {std::string(), d.name, d}, {}, {}});
        continue;
      }
      // Registered in more than one Version-N key: the lookup takes the
      // first of Version-2, Version-3 and Version-4.
      auto& registered = packages[at->second].subject.registered;
      if (registered && d.details.version < registered->details.version) registered = d;
    }
  }

  if (!o.replace) {
    std::set<std::string> folders;
    for (const auto& package : packages) folders.insert(package.folder);
    RefuseForeignIndex(prefix, archJson, NameOf(o.from), folders);
  }
  if (const auto reason = host.CreateDirectoryTree(root)) {
    throw Exception("Cannot create directory " + Quoted(host.DisplayPath(root)) + ": " + *reason);
  }

  for (std::size_t p = 0; p < packages.size(); ++p) {
    Package& package = packages[p];
    const std::string& label =
        package.subject.printer.empty() ? package.subject.driver : package.subject.printer;
    progress.Step(p, packages.size(), label);
    if (!o.json && !o.quiet) {
      progress.Clear();
      Out().Line((package.subject.printer.empty() ? "driver " + Quoted(EscapeControls(label))
                                                  : EscapeControls(label)) +
                 " -> " + package.folder);
    }
    if (const auto link = LinkOnTheWay(prefix, package.folder)) {
      package.report.printer = package.subject.printer;
      package.report.arch = package.arch;
      package.report.driver = package.subject.driver;
      const Exception refused("The folder " + Quoted(*link) +
                                  " is a link: generate --all writes only into folders it makes, "
                                  "so nothing was written there",
                              {"remove the link, or give --out a new folder"});
      PrintError(refused);
      package.report.error = refused.what();
      package.report.hints = refused.Hints();
      continue;
    }
    std::string dir = prefix + package.folder;
    if (host.Separator() != '/')
      std::replace(dir.begin() + static_cast<std::ptrdiff_t>(prefix.size()), dir.end(), '/',
                   host.Separator());
    RunOne(registry, host, package.subject, dir, package.arch, o, package.report, progress);
    if (package.report.driver.empty()) package.report.driver = package.subject.driver;
  }
  progress.Clear();

  std::vector<RunReport> reports;
  nlohmann::ordered_json index = {{"arch", archJson},
                                  {"source", NameOf(o.from)},
                                  {"printers", nlohmann::ordered_json::array()},
                                  {"drivers", nlohmann::ordered_json::array()}};
  std::string summary;
  const auto summaryLine = [](const std::string& who, const Package& package) {
    const RunReport& report = package.report;
    std::string line = who + " -> " + package.folder + ": " + report.Status();
    if (report.error) line += ": " + ContinuedLines(*report.error);
    if (report.skipped) line += ": " + *report.skipped;
    if (!report.missing.empty()) line += ": " + Joined(report.missing, ", ");
    return line + "\n";
  };
  for (const auto& entry : entries) {
    const Package& package = packages[entry.package];
    RunReport report = package.report;
    report.printer = entry.printer;
    auto json = ToJson(report);
    json["folder"] = package.folder;
    index["printers"].push_back(std::move(json));
    summary += summaryLine(EscapeControls(entry.printer), package);
  }
  for (const auto& package : packages) {
    RunReport report = package.report;
    report.printer.clear();
    auto json = ToJson(report);
    json.erase("printer");
    json["folder"] = package.folder;
    json["printers"] = package.printers;
    index["drivers"].push_back(std::move(json));
    if (package.printers.empty()) {
      summary += summaryLine(
          "driver " + Quoted(EscapeControls(package.subject.driver)) + " (no printer)", package);
    }
    reports.push_back(package.report);
  }
  if (packages.empty()) summary = queues.empty() ? "No printers.\n" : "No drivers.\n";
  host.SaveFile(prefix + kIndexFile, JsonText(index) + "\n");
  host.SaveFile(prefix + kSummaryFile, summary);
  if (o.json) {
    Out().Line(JsonText(index));
  } else if (!o.quiet) {
    Out().Line("");
    Out().Text(summary);
    for (const auto& package : packages) {
      if (const auto hint = InstallHint(package.report, o.storeReady, true)) {
        Err().Line("hint: " + *hint);
        break;
      }
    }
  }
  return listing.problems.empty() ? StatusOf(reports) : kExitError;
}

// The JSON of a run that ended before any printer was packaged: the
// printer's report, or with --all an index without printers.
nlohmann::ordered_json FailedJson(const Options& o, const std::exception& error) {
  RunReport report;
  report.printer = o.printer;
  report.driver = o.driver;
  report.error = ErrorBoxText(error.what());
  if (const auto* hinted = dynamic_cast<const Exception*>(&error)) report.hints = hinted->Hints();
  auto j = ToJson(report);
  j["arch"] =
      o.arch.name.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(o.arch.name);
  if (!o.all) return j;
  return {{"arch", j["arch"]},
          {"source", NameOf(o.from)},
          {"printers", nlohmann::ordered_json::array()},
          {"drivers", nlohmann::ordered_json::array()},
          {"error", j["error"]}};
}

}  // namespace

void AddGenerateCommand(CLI::App& app, int& status) {
  auto* cmd =
      app.add_subcommand("generate", "Package a printer's driver (or every driver) into a folder");
  cmd->footer(
      "Copies the driver's files into --out (created with its parents) and writes vormlan.inf "
      "beside them, or with --source store copies the driver store's own, signed package. "
      "Files already in --out that are the driver's own are kept. A folder that holds another "
      "package (a file that differs from the driver's, an INF of another driver or "
      "architecture, a name that differs only in letter case) is refused before anything is "
      "written; --replace writes the package's files over those there and removes nothing "
      "else.\n"
      "--driver NAME packages a registered driver that no printer needs to use.\n"
      "With --all, every driver registered for the architecture and every printer's driver goes "
      "into a folder of its own below --out, named after the driver (printers sharing a driver "
      "share it), with index.json and summary.txt beside them; with several architectures "
      "(--arch x64,x86 or all) each gets a folder of its own (--out/x64/...). One failure does "
      "not stop the others; version 4 drivers need --source store or auto and are otherwise "
      "listed as skipped.\n"
      "Progress goes to standard error when it is a terminal.\n" +
      SourceHelp() + "\n" + ExitStatusHelp(true) +
      " With --all: 1 when any driver failed, else 3 when files were missing.");
  cmd->allow_extras();
  auto o = std::make_shared<Options>();
  cmd->add_option("--printer,-p", o->printer, "Printer name as listed (e.g. \\\\srv\\laser)");
  cmd->add_option("--driver,-d", o->driver,
                  "Registered driver name (case ignored), for a driver no printer uses");
  cmd->add_flag("--all", o->all, "Package every registered driver and every printer's driver");
  cmd->add_option("--out,-o", o->out, "Target directory");
  AddSourceOptions(*cmd, o->source);
  AddArchOption(*cmd, o->arch, true);
  cmd->add_option("--source", o->from,
                  "composed (the default): an INF written for the installed driver; store: the "
                  "driver's original package from System32\\DriverStore\\FileRepository, which "
                  "keeps the vendor's signature; auto: the store package where there is one")
      ->transform(CLI::CheckedTransformer(
                      std::map<std::string, PackageSource>{{"composed", PackageSource::Composed},
                                                           {"store", PackageSource::Store},
                                                           {"auto", PackageSource::Auto}})
                      .description(""))
      ->type_name("composed|store|auto")
      ->default_str("composed");
  AddInfEncodingOption(*cmd, o->encoding);
  cmd->add_flag("--json", o->json,
                "Print one JSON object (with --all, the index) instead of messages");
  cmd->add_flag("--quiet,-q", o->quiet, kQuietHelp);
  cmd->add_flag("--store-ready", o->storeReady,
                "Make a composed package ready for the driver store (pnputil /add-driver, "
                "Add-PrinterDriver): its INF names a catalog and gets DriverVer, source disk "
                "sections, the driver's print processor and color profiles. With --source store "
                "the original, signed package is copied as it is; with auto only the composed "
                "packages get it");
  cmd->add_option("--sign", o->signing.pfx,
                  "Sign the catalog of the package (implies --store-ready) with the key and "
                  "certificate of this PKCS #12 file, carrying the certificates it holds; SHA-256")
      ->type_name("FILE.pfx");
  cmd->add_option("--sign-password-file", o->signing.passwordFile,
                  "The file whose first line is the password of --sign's file (an empty file: no "
                  "password); the password is never given on the command line")
      ->type_name("FILE");
  cmd->add_option("--sign-key", o->signing.key,
                  "Sign the catalog (implies --store-ready) with this PEM private key "
                  "(unencrypted); --sign-cert gives its certificate")
      ->type_name("KEY.pem");
  cmd->add_option("--sign-cert", o->signing.cert,
                  "The PEM certificate of --sign-key, then the certificates of its chain to carry")
      ->type_name("CERT.pem");
  cmd->add_flag("--replace", o->replace,
                "Write the package over one already in --out: its files replace those there "
                "(through a temporary file each), nothing else is removed");
  cmd->callback([cmd, o, &status] {
    RequireNoExtras(*cmd);
    if (int(o->all) + int(!o->printer.empty()) + int(!o->driver.empty()) != 1) {
      throw UsageError(
          "generate: name one printer with --printer, one driver with --driver, or all with "
          "--all");
    }
    RequireOption(*cmd, "--out", o->out);
    if (!o->signing.passwordFile.empty() && o->signing.pfx.empty()) {
      throw UsageError("generate: --sign-password-file goes with --sign FILE.pfx");
    }
    if (!o->signing.pfx.empty() && (!o->signing.key.empty() || !o->signing.cert.empty())) {
      throw UsageError(
          "generate: sign with --sign FILE.pfx or with --sign-key and --sign-cert, "
          "not both");
    }
    if (o->signing.key.empty() != o->signing.cert.empty()) {
      throw UsageError("generate: --sign-key and --sign-cert go together");
    }
    if (o->signing.Any()) o->storeReady = true;
#ifndef _WIN32
    RequireOption(*cmd, "--windows-dir", o->source.windowsDir);
#endif
    SetQuiet(o->quiet);
    Progress progress(o->quiet || o->json);
    Source source;
    std::vector<Arch> archs;
    std::unique_ptr<generation::HostServices> host;
    try {
      if (auto signer = catalog::LoadSigner(o->signing)) {
        o->signer = std::make_shared<const catalog::SigningIdentity>(std::move(*signer));
      }
      RequireWindowsDirectory(o->source.windowsDir);
      source = OpenRegistry(o->source);
      archs = o->arch.Resolve(source, o->all);
      host = MakeSystemHost(o->source.windowsDir);
      RefuseOutAroundWindows(
          o->out, o->source.windowsDir.empty() ? host->WindowsDir() : o->source.windowsDir);
      host->SetByteProgress(
          [&progress](std::uint64_t done, std::uint64_t total) { progress.Bytes(done, total); });
    } catch (const UsageError&) {
      throw;
    } catch (const std::exception& e) {
      PrintError(e);
      if (o->json) Out().Line(JsonText(FailedJson(*o, e)));
      status = kExitError;
      return;
    }
    if (o->all) {
      try {
        status = RunAll(source, *host, *o, archs, progress);
      } catch (const std::exception& e) {
        progress.Clear();
        PrintError(e);
        if (o->json) Out().Line(JsonText(FailedJson(*o, e)));
        status = kExitError;
      }
      return;
    }
    RunReport report;
    RunOne(*source.registry, *host, Subject{o->printer, o->driver, std::nullopt}, o->out,
           archs.front(), *o, report, progress);
    progress.Clear();
    if (o->json) Out().Line(JsonText(ToJson(report)));
    status = StatusOf({report});
    if (!o->json && !o->quiet) {
      if (const auto hint = InstallHint(report, o->storeReady, false)) Err().Line("hint: " + *hint);
    }
  });
}

}  // namespace vormlan::cli
