// vormlan-cli check: verifies a driver package folder and lists what is
// wrong with it, as lines or as one JSON object.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "common/Unicode.h"
#include "generation/PackageCheck.h"

namespace vormlan::cli {
namespace {

// The folder argument as UTF-8 text. On Linux any bytes are a valid path
// and pass as they are; on Windows text that is not UTF-8 came in the ANSI
// code page.
std::string FolderText(const std::string& arg) {
#ifdef _WIN32
  return unicode::IsValid(arg) ? arg : unicode::FromAnsi(arg);
#else
  return arg;
#endif
}

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
  return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string Text(const std::string& folder, generation::Arch arch,
                 const generation::PackageCheckResult& result) {
  std::string out;
  if (result.Ok()) {
    out = folder + ": ok for " + std::string(generation::InfoOf(arch).name) + " (";
    for (std::size_t i = 0; i < result.infs.size(); ++i) {
      out += (i == 0 ? "" : ", ") + result.infs[i];
    }
    return out + ")\n";
  }
  for (const auto& p : result.problems) {
    out += (p.inf.empty() ? folder : p.inf) + ": " + p.problem + "\n";
  }
  return out;
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand(
      "check",
      "Verify a driver package folder: every INF in it reads, is of the printer class, reaches "
      "a models section for the architecture, has [DestinationDirs], and every file it copies "
      "and its catalog file are in the folder (names compared without regard to case).\n"
      "Prints one problem per line, \"<inf file>: <what is wrong>\".\n"
      "Exit status: 0 all holds, 1 problems found (also: the folder is missing or holds no INF "
      "file), 2 usage.");
  struct Options {
    std::string dir;
    std::string arch = "x86";
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  cmd->add_option("DIR", o->dir, "The package folder")->required();
  cmd->add_option("--arch", o->arch, "Architecture to check for: x86 (default), x64 or arm64")
      ->check(CLI::IsMember({"x86", "x64", "arm64"}, CLI::ignore_case));
  cmd->add_flag("--json", o->json,
                "Print one JSON object (UTF-8): folder, arch, ok, infs and problems");
  cmd->callback([o, &status] {
    const auto arch = generation::ParseArch(o->arch).value_or(generation::Arch::X86);
    const std::string folder = FolderText(o->dir);
    const auto result = generation::CheckPackage(FolderPath(folder), arch);
    std::cout << (o->json ? Json(folder, arch, result) : Text(folder, arch, result));
    std::cout.flush();
    if (!std::cout) {
      std::cerr << "check: cannot write the result to standard output\n";
      status = kExitError;
      return;
    }
    status = result.Ok() ? kExitOk : kExitError;
  });
}

}  // namespace vormlan::cli
