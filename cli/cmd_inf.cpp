// vormlan-cli inf: prints the INF text of a printer's driver exactly as it
// would be saved.

#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Hints.h"
#include "cli/Output.h"
#include "cli/Report.h"
#include "common/ErrorText.h"
#include "print/DriverRegistration.h"
#include "generation/GenerationRun.h"
#include "inf/InfComposer.h"
#include "registry/unitEXRegistry.h"

namespace vormlan::cli {

void AddInfCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand("inf", "Print the INF composed for a printer's driver");
  cmd->footer(
      "Prints the INF to standard output exactly as generate writes it (CR LF line ends).\n"
      "--driver NAME composes it for a registered driver that no printer needs to use.\n" +
      SourceHelp() + "\n" + ExitStatusHelp(false));
  cmd->allow_extras();
  struct Options {
    std::string printer;
    std::string driver;
    SourceOptions source;
    ArchOption arch;
    InfEncodingOption encoding;
    bool json = false;
    bool storeReady = false;
  };
  auto o = std::make_shared<Options>();
  auto* printer =
      cmd->add_option("--printer,-p", o->printer, "Printer name as listed (e.g. \\\\srv\\laser)");
  cmd->add_option("--driver,-d", o->driver,
                  "Registered driver name (case ignored), for a driver no printer uses")
      ->excludes(printer);
  AddSourceOptions(*cmd, o->source);
  AddArchOption(*cmd, o->arch, false);
  AddInfEncodingOption(*cmd, o->encoding);
  cmd->add_flag("--store-ready", o->storeReady,
                "The INF that generate --store-ready writes: ready for the driver store");
  cmd->add_flag("--json", o->json,
                "Print one JSON object: printer, driver, arch, version, files and the INF text");
  AddQuietOption(*cmd);
  cmd->callback([cmd, o, &status] {
    RequireNoExtras(*cmd);
    if (o->printer.empty() && o->driver.empty()) {
      throw UsageError("inf: name a printer with --printer, or a driver with --driver");
    }
    RunReport report;
    report.printer = o->printer;
    std::string text;
    std::string lines;  // the INF's lines in UTF-8, for --json
    try {
      const Source source = OpenRegistry(o->source);
      registry::RegistryApi& registry = *source.registry;
      report.arch = o->arch.Resolve(source, false).front();
      generation::Composition composed;
      if (!o->driver.empty()) {
        const auto found = ComposableDriver(registry, o->driver, report.arch);
        composed = generation::ComposeDriver(registry, found.name, report.arch, o->encoding.Get());
      } else {
        // Read once, and only where needed: off x86 for the version 4
        // refusal, and for the hints of a failed lookup.
        PrinterRegistrationOnce registration(registry, o->printer);
        if (report.arch != generation::Arch::X86)
          RefuseVersion4Only(registration.Get(), report.arch);
        try {
          composed =
              generation::ComposePrinter(registry, o->printer, report.arch, o->encoding.Get());
        } catch (const registry::ERegistryException& e) {
          throw Exception(e.what(), LookupHints(registry, registration.Get(), report.arch));
        }
      }
      if (o->storeReady) generation::MakeStoreReady(registry, composed, o->encoding.Get());
      const auto& description = composed.description;
      const auto& inf = composed.inf;
      report.driver = description.driverName;
      report.version = description.driverVersion;
      report.copied = inf.files.Items();
      for (const auto& file : composed.stagedFiles) report.copied.push_back(file.name);
      report.storeReady = o->storeReady;
      report.notes = composed.notes;
      if (!o->json) {
        for (const auto& note : composed.notes) Note(note);
      }
      text = generation::InfBytes(inf.lines, description.encoding, o->encoding.Get());
      for (const auto& line : inf.lines) lines += line + "\r\n";
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
      j.erase("notes");
      j["files"] = report.copied;
      if (o->storeReady) j["notes"] = report.notes;
      j["text"] = lines;
      Out().Line(JsonText(j));
    } else {
      Out().Raw(text);
    }
    status = kExitOk;
  });
}

}  // namespace vormlan::cli
