#include "generation/PackageWriter.h"

#include "common/Exception.h"

namespace vormlan::generation {
namespace {

const char kStore2[] = "\\System32\\Spool\\Drivers\\w32x86\\2\\";
const char kStore3[] = "\\System32\\Spool\\Drivers\\w32x86\\3\\";
const char kSystem32[] = "\\System32\\";

}  // namespace

PackageResult WriteDriverPackage(HostServices& host, DriverVersion driverVersion,
                                 const InfLines& infLines, const DriverFiles& driverFiles) {
  PackageResult result;
  const std::string start = host.ModulePath();
  const std::string sourceDir = host.WindowsDir() + (driverVersion == 2 ? kStore2 : kStore3);

  const auto chosen = host.ChooseDirectory(start);
  if (!chosen) {
    host.ShowPlainMessage("Aborted");
    host.RequestApplicationEnd();
    result.cancelled = true;
    return result;
  }
  const std::string& dir = *chosen;
  if (dir.empty()) throw Exception("Unable to create directory");
  host.CreateDirectoryTree(dir);

  for (const auto& name : driverFiles.Items()) {
    const std::string dest = dir + "\\" + name;
    auto copied = host.CopyFileNoOverwrite(sourceDir + name, dest);
    if (copied == HostServices::CopyResult::Failed) {
      copied = host.CopyFileNoOverwrite(host.WindowsDir() + kSystem32 + name, dest);
    }
    // The empty entry names no file; anything else that is neither copied
    // nor already in the target leaves the package unable to install.
    if (copied == HostServices::CopyResult::Failed && !name.empty()) {
      result.missingFiles.push_back(name);
    }
  }

  host.SaveFile(dir + "\\" + kInfFileName, InfText(infLines));

  if (result.missingFiles.empty()) {
    host.ShowPlainMessage("Driver has been created");
  } else {
    std::string text = "Driver has been created, but these files were not found:";
    for (const auto& name : result.missingFiles) text += "\n" + name;
    host.ShowPlainMessage(text);
  }
  return result;
}

}  // namespace vormlan::generation
