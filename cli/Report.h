#pragma once
// What one printer's inf or generate run did, for --json, generate --all's
// index and its summary.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "print/Architecture.h"

namespace vormlan::cli {

struct RunReport {
  std::string printer;
  std::string driver;
  generation::Arch arch = generation::Arch::X86;
  int version = 0;                  // the driver version the run used (0: none)
  std::string source = "composed";  // or "store"
  std::string outDir;               // generate only
  std::string infFile;              // the INF written (generate) or its name (store)
  std::vector<std::string> copied;
  std::vector<std::string> kept;
  std::vector<std::string> differing;  // kept files whose bytes differ from the driver's
  std::vector<std::string> missing;
  std::vector<std::string> searched;  // where missing files were looked for
  // Driver store packages: the catalog the INF names and whether it is there,
  // and the inbox packages a version 4 driver builds on.
  std::optional<std::string> catalogFile;
  bool signedPackage = false;
  std::vector<std::string> dependencies;
  // Composed packages made for the driver store (--store-ready): every file
  // of the package as it stands in the folder, the INF first, and what the
  // INF left out or put in place of a registry value.
  bool storeReady = false;
  std::vector<std::string> packageFiles;
  std::vector<std::string> notes;
  std::optional<std::string> error;  // the message, when the run failed
  // Why the driver was left out, when it was (not a failure): a version 4
  // driver in a rescue of composed packages.
  std::optional<std::string> skipped;
  std::vector<std::string> hints;

  // "done", "files missing", "skipped" or "failed".
  std::string Status() const;
};

nlohmann::ordered_json ToJson(const RunReport& report);

// The "error" object of the JSON output: the message and the hints, their
// line breaks written as the platform's line end.
nlohmann::ordered_json ErrorJson(const std::string& message, const std::vector<std::string>& hints);

// The JSON text as printed: two-space indents, UTF-8, invalid bytes replaced.
std::string JsonText(const nlohmann::ordered_json& value);

}  // namespace vormlan::cli
