// vormlan-cli check: verifies a driver package folder and lists what is
// wrong with it, as lines or as one JSON object.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <string>

#include "catalog/CatalogCheck.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "inf/PackageCheck.h"

namespace vormlan::cli {
namespace {

std::filesystem::path FolderPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Json(const std::string& folder, generation::Arch arch,
                 const generation::PackageCheckResult& result) {
  nlohmann::ordered_json problems = nlohmann::ordered_json::array();
  for (const auto& p : result.problems) {
    problems.push_back(
        {{"inf", p.inf.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(p.inf)},
         {"problem", p.problem}});
  }
  const nlohmann::ordered_json doc = {{"folder", folder},
                                      {"arch", std::string(generation::InfoOf(arch).name)},
                                      {"ok", result.Ok()},
                                      {"infs", result.infs},
                                      {"problems", problems}};
  // Names from another machine's disk need not be UTF-8: such bytes become
  // U+FFFD instead of failing the output.
  return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string Text(const std::string& folder, generation::Arch arch,
                 const generation::PackageCheckResult& result) {
  std::string out;
  if (result.Ok()) {
    out = folder + ": ok for " + std::string(generation::InfoOf(arch).name) + " (";
    for (std::size_t i = 0; i < result.infs.size(); ++i) {
      out += (i == 0 ? "" : ", ") + result.infs[i];
    }
    return out + ")";
  }
  for (const auto& p : result.problems) {
    out += (out.empty() ? "" : "\n") + (p.inf.empty() ? folder : p.inf) + ": " + p.problem;
  }
  return out;
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand("check", "Verify a driver package folder");
  cmd->footer(
      "Checks that every INF in the folder reads, is of the printer class, reaches a models "
      "section for the architecture, has [DestinationDirs], and that every file it copies and "
      "its catalog file are in the folder (names compared without regard to case). An INF that "
      "names a catalog and a DriverVer and lists its source files (a package for the driver "
      "store) must list there every file it copies, and every file it lists must be there.\n"
      "The catalog an INF names must list the INF and every file it copies, each with its "
      "hash (the Authenticode image hash of PE files), and nothing else; a signed catalog's "
      "signature must cover its content, and with --trust chain to one of the given roots (with "
      "--trust-system, on Windows, to a root the system trusts; either suffices).\n"
      "Prints one problem per line, \"<inf file>: <what is wrong>\".\n"
      "Exit status: 0 all holds, 1 problems found (also: the folder is missing or holds no INF "
      "file), 2 usage.");
  cmd->allow_extras();
  struct Options {
    std::string dir;
    generation::Arch arch = generation::Arch::X86;
    bool json = false;
    std::string trust;
    bool trustSystem = false;
    bool noCatalog = false;
  };
  auto o = std::make_shared<Options>();
  cmd->add_option("DIR", o->dir, "The package folder");
  AddSingleArchOption(*cmd, o->arch,
                      "The architecture the package is for: x86 (the default), x64 or arm64");
  cmd->add_flag("--json", o->json,
                "Print one JSON object (UTF-8): folder, arch, ok, infs and problems");
  cmd->add_option("--trust", o->trust,
                  "A PEM file of root certificates: the catalog must be signed by a code-signing "
                  "certificate that chains to one of them")
      ->check(CLI::ExistingFile)
      ->type_name("ROOT.pem");
  cmd->add_flag("--trust-system", o->trustSystem,
                "Windows: the catalog must be signed by a code-signing certificate that chains to "
                "a root this system trusts (its Root store)");
  cmd->add_flag("--no-catalog", o->noCatalog,
                "Check that the catalog file is there, not what it lists or its signature");
  cmd->callback([cmd, o, &status] {
    RequireNoExtras(*cmd);
    RequireOption(*cmd, "DIR", o->dir);
    const auto arch = o->arch;
    if (o->noCatalog && (!o->trust.empty() || o->trustSystem)) {
      throw UsageError(
          "--trust checks the catalog, which --no-catalog leaves out: give one of them.");
    }
    if (o->trustSystem && !catalog::PlatformHasSystemRoots()) {
      throw UsageError(
          "--trust-system: this build cannot consult a system's trusted roots; give them with "
          "--trust ROOT.pem.");
    }
    catalog::TrustAnchors trust;
    if (!o->trust.empty()) trust.rootsFile = FolderPath(o->trust);
    trust.systemRoots = o->trustSystem;
    catalog::CatalogChecker catalogs(std::move(trust));
    const auto result =
        generation::CheckPackage(FolderPath(o->dir), arch, o->noCatalog ? nullptr : &catalogs);
    Out().Line(o->json ? Json(o->dir, arch, result) : Text(o->dir, arch, result));
    status = result.Ok() ? kExitOk : kExitError;
  });
}

}  // namespace vormlan::cli
