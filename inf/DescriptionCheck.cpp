#include "inf/DescriptionCheck.h"

#include <array>
#include <cstdint>
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

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

// Device names that Windows takes for the device whatever the extension.
bool IsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  if (stem.size() == 3) {
    return EqualsUpper(stem, "CON") || EqualsUpper(stem, "PRN") || EqualsUpper(stem, "AUX") ||
           EqualsUpper(stem, "NUL");
  }
  if (stem.size() == 4) {
    return (EqualsUpper(stem.substr(0, 3), "COM") || EqualsUpper(stem.substr(0, 3), "LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
  }
  return EqualsUpper(stem, "CONIN$") || EqualsUpper(stem, "CONOUT$");
}

// What each byte is in a file name: fine, or the kind of trouble it makes.
enum class ByteClass : std::uint8_t { Fine, Path, InfSyntax, NotInFileNames };
constexpr auto kByteClass = [] {
  std::array<ByteClass, 256> table{};
  for (const char c : std::string_view("\\/:"))
    table[static_cast<unsigned char>(c)] = ByteClass::Path;
  for (const char c : kInfSyntax) table[static_cast<unsigned char>(c)] = ByteClass::InfSyntax;
  for (const char c : kNotInFileNames) {
    table[static_cast<unsigned char>(c)] = ByteClass::NotInFileNames;
  }
  return table;
}();

}  // namespace

std::string NotAPlainFileName(std::string_view name) {
  if (name.empty()) return "which is empty";
  if (name == "." || name == "..") return "which is not a bare file name";
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return "which holds a control character";
  }
  for (const char c : name) {
    switch (kByteClass[static_cast<unsigned char>(c)]) {
      case ByteClass::Fine:
        continue;
      case ByteClass::Path:
        return "which is not a bare file name";
      case ByteClass::InfSyntax:
        return std::string("whose '") + c + "' would change the INF's structure";
      case ByteClass::NotInFileNames:
        return std::string("whose '") + c + "' Windows does not allow in a file name";
    }
  }
  if (name.front() == ' ' || name.back() == ' ' || name.back() == '.') {
    return "which begins or ends with a blank, or ends with a period, as no file name does";
  }
  if (IsDeviceName(name)) return "which Windows takes for a device, not a file";
  return "";
}

namespace {

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

bool FitsInfCodePage(const DriverDescription& d) {
  if (d.encoding != registry::TextEncoding::Utf8) return true;
  bool fits = true;
  ForEachValue(d, [&fits](const std::string&, const std::string& text, bool) {
    if (fits && !ToInfCodePage(text)) fits = false;
  });
  return fits;
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
