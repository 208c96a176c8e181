#include "generation/DescriptionCheck.h"

#include <functional>
#include <string_view>

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

// Characters that would change the INF's structure where a file name is
// written as it stands (a section header, a key, another field, a comment,
// a quoted part, a string substitution).
constexpr std::string_view kInfSyntax = "[],;=\"%";
// Characters Windows does not allow in a file name.
constexpr std::string_view kNotInFileNames = "*?<>|";

// Device names that Windows takes for the device whatever the extension.
bool IsDeviceName(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
      stem == "CONOUT$") {
    return true;
  }
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// Why name is not a plain file name, or "" when it is one.
std::string NotAPlainFileName(const std::string& name) {
  if (name == "." || name == ".." || name.find_first_of("\\/:") != std::string::npos) {
    return "which is not a bare file name";
  }
  if (const auto at = name.find_first_of(kInfSyntax); at != std::string::npos) {
    return std::string("whose '") + name[at] + "' would change the INF's structure";
  }
  if (const auto at = name.find_first_of(kNotInFileNames); at != std::string::npos) {
    return std::string("whose '") + name[at] + "' Windows does not allow in a file name";
  }
  if (name.front() == ' ' || name.back() == ' ' || name.back() == '.') {
    return "which begins or ends with a blank, or ends with a period, as no file name does";
  }
  if (IsDeviceName(name)) return "which Windows takes for a device, not a file";
  return "";
}

void CheckFileName(const std::string& label, const std::string& name) {
  CheckText(label, name);
  if (name.empty()) return;  // names no file: an empty entry in the INF
  if (const std::string why = NotAPlainFileName(name); !why.empty()) {
    throw Exception("The registry value " + label + " names \"" + name + "\", " + why +
                    "; the driver cannot be packaged");
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
