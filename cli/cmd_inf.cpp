// vormlan-cli inf: prints the INF text of a printer's driver exactly as it
// would be saved.

#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Hints.h"
#include "cli/Output.h"
#include "cli/Report.h"
#include "common/ErrorText.h"
#include "generation/DescriptionCheck.h"
#include "generation/DriverLookup.h"
#include "generation/InfComposer.h"
#include "registry/unitEXRegistry.h"

namespace vormlan::cli {

void AddInfCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand("inf", "Print the INF composed for a printer's driver");
  cmd->footer(
      "Prints the INF to standard output exactly as generate writes it (CR LF line ends).\n" +
      SourceHelp() + "\n" + ExitStatusHelp(false));
  cmd->allow_extras();
  struct Options {
    std::string printer;
    SourceOptions source;
    ArchOption arch;
    InfEncodingOption encoding;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  cmd->add_option("--printer,-p", o->printer, "Printer name as listed (e.g. \\\\srv\\laser)");
  AddSourceOptions(*cmd, o->source);
  AddArchOption(*cmd, o->arch);
  AddInfEncodingOption(*cmd, o->encoding);
  cmd->add_flag("--json", o->json,
                "Print one JSON object: printer, driver, arch, version, files and the INF text");
  AddQuietOption(*cmd);
  cmd->callback([cmd, o, &status] {
    RequireNoExtras(*cmd);
    RequireOption(*cmd, "--printer", o->printer);
    RunReport report;
    report.printer = o->printer;
    report.arch = o->arch.Get();
    std::string text;
    std::string lines;  // the INF's lines in UTF-8, for --json
    std::unique_ptr<registry::RegistryApi> registry;
    try {
      registry = OpenRegistry(o->source);
      RefuseVersion4Only(*registry, o->printer, report.arch);
      try {
        const auto description = generation::LookupDriver(*registry, o->printer, report.arch);
        report.driver = description.driverName;
        report.version = description.driverVersion;
        generation::CheckDescription(description, o->encoding.Get());
        const auto inf = generation::ComposeInf(description);
        report.copied = inf.files.Items();
        text = generation::InfBytes(inf.lines, description.encoding, o->encoding.Get());
        for (const auto& line : inf.lines) lines += line + "\r\n";
      } catch (const registry::ERegistryException& e) {
        throw Exception(e.what(), LookupHints(*registry, o->printer, report.arch));
      }
    } catch (const UsageError&) {
      throw;
    } catch (const std::exception& e) {
      PrintError(e);
      report.error = ErrorBoxText(e.what());
      if (const auto* hinted = dynamic_cast<const Exception*>(&e)) report.hints = hinted->Hints();
      if (o->json) Out().Line(JsonText(ToJson(report)));
      status = kExitError;
      return;
    }
    if (o->json) {
      auto j = ToJson(report);
      j.erase("copied");
      j["files"] = report.copied;
      j["text"] = lines;
      Out().Line(JsonText(j));
    } else {
      Out().Raw(text);
    }
    status = kExitOk;
  });
}

}  // namespace vormlan::cli
