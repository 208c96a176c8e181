// vormlan-cli list: prints the installed printers, one per line or as a JSON
// array.

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "common/Ansi.h"
#include "common/ErrorText.h"
#include "probes/Printers.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"

namespace vormlan::cli {
namespace {

// ANSI text as a JSON string literal in UTF-8: quotes, backslashes and
// control characters escaped.
std::string JsonString(const std::string& ansiText) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : ansi::ToUtf8(ansiText)) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& names) {
  std::string out = "[";
  for (std::size_t i = 0; i < names.size(); ++i) {
    out += i == 0 ? "\n  " : ",\n  ";
    out += JsonString(names[i]);
  }
  return out + (names.empty() ? "]\n" : "\n]\n");
}

}  // namespace

void AddListCommand(CLI::App& app, int& status) {
  auto* cmd = app.add_subcommand(
      "list",
      "Print the installed printers, one name per line, as the printer list shows them.\n"
      "Reads the live print spooler on Windows, or the printers of a registry export file "
      "(--registry).\n"
      "Exit status: 0 listed (also when there are none), 1 error (the export file cannot be "
      "read), 2 usage (also: --registry missing on a system without a print spooler, such as "
      "Linux).");
  struct Options {
    std::string registry;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  cmd->add_option("--registry", o->registry,
                  "Registry export file (.reg) whose printers to list instead of the spooler's"
#ifndef _WIN32
                  "; required on this system"
#endif
  );
  cmd->add_flag("--json", o->json, "Print a JSON array of the names (UTF-8) instead of lines");
  cmd->callback([o, &status] {
    std::vector<std::string> names;
    try {
      if (!o->registry.empty()) {
        registry::MemoryRegistry registry;
        registry::LoadRegFile(registry, o->registry);
        names = probes::PrinterNamesFromRegistry(registry);
      } else {
#ifdef _WIN32
        names = probes::InstalledPrinterNames();
#else
        std::cerr << "list: this system has no print spooler; name a registry export file with "
                     "--registry FILE\n";
        status = kExitUsage;
        return;
#endif
      }
    } catch (const std::exception& e) {
      std::cerr << ForTerminal(ErrorBoxText(e.what())) << '\n';
      status = kExitError;
      return;
    }
    if (o->json) {
      std::cout << JsonArray(names);
    } else {
      for (const auto& name : names) std::cout << ForTerminal(name) << '\n';
    }
    std::cout.flush();
    status = std::cout ? kExitOk : kExitError;
  });
}

}  // namespace vormlan::cli
