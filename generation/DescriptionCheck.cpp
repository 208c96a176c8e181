#include "generation/DescriptionCheck.h"

#include "common/Exception.h"

namespace vormlan::generation {
namespace {

bool HasControlCharacter(const std::string& text) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return true;
  }
  return false;
}

// label names the registry value, e.g. "'Help File'".
void CheckText(const std::string& label, const std::string& text) {
  if (HasControlCharacter(text)) {
    throw Exception("The registry value " + label +
                    " holds a line break or another control character; the driver cannot "
                    "be packaged");
  }
}

void CheckFileName(const std::string& label, const std::string& name) {
  CheckText(label, name);
  if (name == "." || name == ".." || name.find_first_of("\\/:") != std::string::npos) {
    throw Exception("The registry value " + label + " names \"" + name +
                    "\", which is not a bare file name; the driver cannot be packaged");
  }
}

}  // namespace

void CheckDescription(const DriverDescription& d) {
  CheckText("'Printer Driver'", d.driverName);
  CheckText("'Monitor'", d.monitorName);
  CheckFileName("'Data File'", d.dataFile);
  CheckFileName("'Driver'", d.driverFile);
  CheckFileName("'Configuration File'", d.configFile);
  CheckFileName("'Help File'", d.helpFile);
  if (d.monitorFound)
    CheckFileName("'Driver' of the monitor '" + d.monitorName + "'", d.monitorDriver);
  for (const auto& name : d.dependentFiles) CheckFileName("'Dependent Files'", name);
}

}  // namespace vormlan::generation
