// vormlan-cli generate: packages a printer's driver (or every printer's)
// into a directory, composing an INF or copying the driver store's package.

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "cli/FolderNames.h"
#include "cli/Hints.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/Report.h"
#include "common/ErrorText.h"
#include "common/Unicode.h"
#include "generation/DriverRegistration.h"
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

struct Options {
  std::string printer;
  bool all = false;
  std::string out;
  SourceOptions source;
  std::string windowsDir;
  ArchOption arch;
  std::string from = "composed";
  InfEncodingOption encoding;
  bool json = false;
  bool quiet = false;
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
  void Warn(const std::string& text) const {
    if (IsQuiet()) return;
    if (progress != nullptr) progress->Clear();
    Warning(text);
  }
};

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

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

// The driver-store package the registration names, or why there is none.
struct StoreChoice {
  std::optional<generation::StoreLocation> location;
  const generation::EnvironmentDriver* driver = nullptr;
  std::string why;  // when there is no usable package
};

StoreChoice FindStorePackage(const generation::PrinterRegistration& printer, Arch arch,
                             generation::HostServices& host) {
  StoreChoice choice;
  const auto& info = generation::InfoOf(arch);
  if (!printer.printerKeyFound) {
    choice.why = "there is no printer called " + Quoted(printer.printerName);
    return choice;
  }
  choice.driver = printer.In(arch);
  if (choice.driver == nullptr) {
    choice.why = "the driver " + Quoted(printer.driverName) + " is not registered for " +
                 std::string(info.environment);
    return choice;
  }
  if (choice.driver->infPath.empty()) {
    choice.why = "the driver " + Quoted(printer.driverName) + " has no InfPath value in " +
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
              const StoreChoice& choice, RunReport& report, const Messages& messages) {
  report.source = "store";
  report.version = choice.driver->version;
  report.outDir = outDir;
  report.infFile = choice.location->infName;
  CliHost cli(host, outDir, nullptr);
  const auto copied = generation::CopyStorePackage(cli, *choice.location, outDir, arch);
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

void RunComposed(registry::RegistryApi& registry, generation::HostServices& host,
                 const std::string& printer, const std::string& outDir, const Options& o,
                 RunReport& report, const Messages& messages, Progress& progress) {
  RefuseVersion4Only(registry, printer, report.arch);
  CliHost cli(host, outDir, [&messages](const std::string& text) { messages.Say(text); });
  generation::PackageOptions options;
  options.arch = report.arch;
  options.infEncoding = o.encoding.Get();
  options.onFile = [&progress, &o](std::size_t i, std::size_t n, const std::string& name) {
    if (!o.all) progress.Step(i, n, name);
  };
  generation::GenerationResult result;
  try {
    result = generation::GeneratePrinter(registry, cli, printer, options);
  } catch (const registry::ERegistryException& e) {
    throw Exception(e.what(), LookupHints(registry, printer, report.arch));
  }
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
  for (const auto& name : package.keptFiles) messages.Say("kept: " + name + " (already there)");
}

// One package into outDir. Fills report; errors are recorded there and
// printed, never thrown.
void RunOne(registry::RegistryApi& registry, generation::HostServices& host,
            const std::string& printer, const std::string& outDir, const Options& o,
            RunReport& report, Progress& progress) {
  Messages messages{!o.json && !o.quiet, &progress};
  report.printer = printer;
  report.arch = o.arch.Get();
  try {
    const auto registration = generation::DescribePrinter(registry, printer);
    report.driver = registration.driverName;
    if (o.from != "composed") {
      const StoreChoice choice = FindStorePackage(registration, report.arch, host);
      if (choice.location) {
        if (o.from == "auto") messages.Say("source: the driver store's own package");
        RunStore(host, outDir, report.arch, choice, report, messages);
      } else if (o.from == "store") {
        auto hints = LookupHints(registry, printer, report.arch);
        if (choice.driver != nullptr && choice.driver->version != 4) {
          hints.push_back("--source composed writes an INF for the installed driver instead");
        }
        throw Exception("No driver-store package to copy: " + choice.why, std::move(hints));
      } else {
        messages.Say("source: a composed INF (" + choice.why + ")");
      }
    }
    if (report.source != "store") {
      RunComposed(registry, host, printer, outDir, o, report, messages, progress);
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
    report.error = ErrorBoxText(e.what());
    if (const auto* hinted = dynamic_cast<const Exception*>(&e)) report.hints = hinted->Hints();
  }
}

int StatusOf(const std::vector<RunReport>& reports) {
  int status = kExitOk;
  for (const auto& r : reports) {
    if (r.error) return kExitError;
    if (!r.missing.empty()) status = kExitMissingFiles;
  }
  return status;
}

// generate --all: every printer's driver into a folder of its own.
int RunAll(registry::RegistryApi& registry, generation::HostServices& host, const Options& o,
           Progress& progress) {
  const std::string& root = o.out;
  // What goes before a name in root: "rescue/" gives "rescue/HP", not "rescue//HP".
  std::string prefix = root;
  if (prefix.back() != '/' && prefix.back() != host.Separator()) prefix += host.Separator();
  if (const auto reason = host.CreateDirectoryTree(root)) {
    throw Exception("Cannot create directory " + Quoted(host.DisplayPath(root)) + ": " + *reason);
  }
  const auto names = probes::PrinterNamesFromRegistry(registry);

  // Printers sharing a driver share its package: one run per driver, in the
  // order the printers come.
  struct Package {
    std::string folder;
    RunReport report;
    bool done = false;
  };
  std::vector<Package> packages;
  std::map<std::string, std::size_t> byDriver;  // folded driver name -> package
  std::vector<std::size_t> packageOf;           // printer -> package
  FolderNamer namer;
  namer.Reserve(kIndexFile);
  namer.Reserve(kSummaryFile);
  for (const auto& name : names) {
    const auto registration = generation::DescribePrinter(registry, name);
    const std::string key =
        registration.driverName.empty() ? std::string() : unicode::Fold(registration.driverName);
    auto found = key.empty() ? byDriver.end() : byDriver.find(key);
    if (found == byDriver.end()) {
      packages.push_back(
          {namer.Next(registration.driverName.empty() ? name : registration.driverName),
           {},
           false});
      if (!key.empty()) found = byDriver.emplace(key, packages.size() - 1).first;
      packageOf.push_back(packages.size() - 1);
    } else {
      packageOf.push_back(found->second);
    }
  }

  for (std::size_t p = 0; p < names.size(); ++p) {
    Package& package = packages[packageOf[p]];
    if (package.done) continue;
    progress.Step(p, names.size(), names[p]);
    if (!o.json && !o.quiet) {
      progress.Clear();
      Out().Line(EscapeControls(names[p]) + " -> " + package.folder);
    }
    RunOne(registry, host, names[p], prefix + package.folder, o, package.report, progress);
    package.done = true;
  }
  progress.Clear();

  std::vector<RunReport> reports;
  nlohmann::ordered_json index = {{"arch", std::string(generation::InfoOf(o.arch.Get()).name)},
                                  {"source", o.from},
                                  {"printers", nlohmann::ordered_json::array()}};
  std::string summary;
  for (std::size_t p = 0; p < names.size(); ++p) {
    const Package& package = packages[packageOf[p]];
    RunReport report = package.report;
    report.printer = names[p];
    auto entry = ToJson(report);
    entry["folder"] = package.folder;
    index["printers"].push_back(entry);
    summary += EscapeControls(names[p]) + " -> " + package.folder + ": " + report.Status();
    if (report.error) summary += ": " + ContinuedLines(*report.error);
    if (!report.missing.empty()) summary += ": " + Joined(report.missing, ", ");
    summary += "\n";
    reports.push_back(std::move(report));
  }
  if (names.empty()) summary = "No printers.\n";
  host.SaveFile(prefix + kIndexFile, JsonText(index) + "\n");
  host.SaveFile(prefix + kSummaryFile, summary);
  if (o.json) {
    Out().Line(JsonText(index));
  } else if (!o.quiet) {
    Out().Line("");
    Out().Text(summary);
  }
  return StatusOf(reports);
}

// The JSON of a run that ended before any printer was packaged: the
// printer's report, or with --all an index without printers.
nlohmann::ordered_json FailedJson(const Options& o, const std::exception& error) {
  RunReport report;
  report.printer = o.printer;
  report.arch = o.arch.Get();
  report.error = ErrorBoxText(error.what());
  if (const auto* hinted = dynamic_cast<const Exception*>(&error)) report.hints = hinted->Hints();
  if (!o.all) return ToJson(report);
  return {{"arch", std::string(generation::InfoOf(report.arch).name)},
          {"source", o.from},
          {"printers", nlohmann::ordered_json::array()},
          {"error", ToJson(report)["error"]}};
}

}  // namespace

void AddGenerateCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand("generate",
                                 "Package a printer's driver (or every printer's) into a folder");
  cmd->footer(
      "Copies the driver's files into --out (created with its parents) and writes vormlan.inf "
      "beside them, or with --source store copies the driver store's own, signed package. "
      "Files already in --out are never replaced; they are listed as kept.\n"
      "With --all, every printer's driver goes into a folder of its own below --out, named "
      "after the driver (printers sharing a driver share it), with index.json and summary.txt "
      "beside them; one failure does not stop the others.\n"
      "Progress goes to standard error when it is a terminal.\n" +
      SourceHelp() + "\n" + ExitStatusHelp(true) +
      " With --all: 1 when any printer failed, else 3 when files were missing.");
  cmd->allow_extras();
  auto o = std::make_shared<Options>();
  cmd->add_option("--printer,-p", o->printer, "Printer name as listed (e.g. \\\\srv\\laser)");
  cmd->add_flag("--all", o->all, "Package every printer's driver");
  cmd->add_option("--out,-o", o->out, "Target directory");
  AddSourceOptions(*cmd, o->source);
  cmd->add_option("--windows-dir", o->windowsDir,
                  "Directory standing for the Windows directory (the one holding "
                  "System32\\Spool\\Drivers); required on Linux, the system's by default on "
                  "Windows");
  AddArchOption(*cmd, o->arch);
  cmd->add_option("--source", o->from,
                  "composed (the default): an INF written for the installed driver; store: the "
                  "driver's original package from System32\\DriverStore\\FileRepository, which "
                  "keeps the vendor's signature; auto: the store package where there is one")
      ->check(CLI::IsMember({"composed", "store", "auto"}))
      ->default_str("composed");
  AddInfEncodingOption(*cmd, o->encoding);
  cmd->add_flag("--json", o->json,
                "Print one JSON object (with --all, the index) instead of messages");
  cmd->add_flag("--quiet,-q", o->quiet, kQuietHelp);
  cmd->callback([cmd, o, &status] {
    RequireNoExtras(*cmd);
    if (o->all == !o->printer.empty()) {
      throw UsageError("generate: name one printer with --printer, or all with --all");
    }
    RequireOption(*cmd, "--out", o->out);
#ifndef _WIN32
    RequireOption(*cmd, "--windows-dir", o->windowsDir);
#endif
    SetQuiet(o->quiet);
    Progress progress(o->quiet || o->json);
    std::unique_ptr<registry::RegistryApi> registry;
    std::unique_ptr<generation::HostServices> host;
    try {
      registry = OpenRegistry(o->source);
      RequireWindowsDirectory(o->windowsDir);
      host = MakeSystemHost(o->windowsDir);
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
        status = RunAll(*registry, *host, *o, progress);
      } catch (const std::exception& e) {
        progress.Clear();
        PrintError(e);
        if (o->json) Out().Line(JsonText(FailedJson(*o, e)));
        status = kExitError;
      }
      return;
    }
    RunReport report;
    RunOne(*registry, *host, o->printer, o->out, *o, report, progress);
    progress.Clear();
    if (o->json) Out().Line(JsonText(ToJson(report)));
    status = StatusOf({report});
  });
}

}  // namespace vormlan::cli
