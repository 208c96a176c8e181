#include "generation/DescriptionCheck.h"

#include <functional>

#include "common/CodePage.h"
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

// Calls check(label, text, isFileName) for every value written into the INF.
void ForEachValue(const DriverDescription& d,
                  const std::function<void(const std::string&, const std::string&, bool)>& check) {
  check("'Printer Driver'", d.driverName, false);
  check("'Monitor'", d.monitorName, false);
  check("'Data File'", d.dataFile, true);
  check("'Driver'", d.driverFile, true);
  check("'Configuration File'", d.configFile, true);
  check("'Help File'", d.helpFile, true);
  if (d.monitorFound)
    check("'Driver' of the monitor '" + d.monitorName + "'", d.monitorDriver, true);
  for (const auto& name : d.dependentFiles) check("'Dependent Files'", name, true);
}

}  // namespace

void CheckDescription(const DriverDescription& d) {
  ForEachValue(d, [](const std::string& label, const std::string& text, bool isFileName) {
    if (isFileName) {
      CheckFileName(label, text);
    } else {
      CheckText(label, text);
    }
  });
}

void CheckDescription(const DriverDescription& d, InfEncoding infEncoding) {
  CheckDescription(d);
  if (d.encoding != registry::TextEncoding::Utf8 || infEncoding != InfEncoding::CodePage) return;
  ForEachValue(d, [](const std::string& label, const std::string& text, bool) {
    if (ToInfCodePage(text)) return;
    throw Exception("The registry value " + label + " holds \"" + text + "\", which " +
                        InfCodePageName() + " cannot hold; the INF cannot be written in it",
                    {"--inf-encoding utf-16 writes the INF in UTF-16, which holds every name"});
  });
}

}  // namespace vormlan::generation
