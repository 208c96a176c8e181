#include "cli/Report.h"

#include "cli/Terminal.h"
#include "common/ErrorText.h"

namespace vormlan::cli {

using json = nlohmann::ordered_json;

std::string RunReport::Status() const {
  if (error) return "failed";
  if (skipped) return "skipped";
  return missing.empty() ? "done" : "files missing";
}

json ToJson(const RunReport& r) {
  json j = {
      {"printer", r.printer},
      {"driver", r.driver},
      {"arch", std::string(generation::InfoOf(r.arch).name)},
      {"version", r.version},
      {"source", r.source},
      {"status", r.Status()},
      {"out", r.outDir.empty() ? json(nullptr) : json(r.outDir)},
      {"inf", r.infFile.empty() ? json(nullptr) : json(r.infFile)},
      {"copied", r.copied},
      {"kept", r.kept},
      {"differing", r.differing},
      {"missing", r.missing},
  };
  if (!r.searched.empty()) j["searched"] = r.searched;
  if (r.source == "store") {
    j["catalog"] = r.catalogFile ? json(*r.catalogFile) : json(nullptr);
    j["signed"] = r.signedPackage;
    j["dependencies"] = r.dependencies;
  }
  if (r.storeReady) {
    j["storeReady"] = true;
    j["files"] = r.packageFiles;
    j["catalog"] = r.catalogFile ? json(*r.catalogFile) : json(nullptr);
    j["signed"] = r.signedPackage;
    j["notes"] = r.notes;
  }
  if (r.skipped) j["skipped"] = *r.skipped;
  j["error"] = r.error ? ErrorJson(*r.error, r.hints) : json(nullptr);
  return j;
}

json ErrorJson(const std::string& message, const std::vector<std::string>& hints) {
  json lines = json::array();
  for (const auto& hint : hints) lines.push_back(WithLineEnds(hint, LineEnd()));
  return {{"message", WithLineEnds(message, LineEnd())}, {"hints", std::move(lines)}};
}

std::string JsonText(const json& value) {
  return value.dump(2, ' ', false, json::error_handler_t::replace);
}

}  // namespace vormlan::cli
