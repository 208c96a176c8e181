#include "inf/StoreReady.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "common/Ansi.h"
#include "common/CodePage.h"
#include "common/Exception.h"
#include "common/Quoted.h"
#include "common/Unicode.h"
#include "inf/DescriptionCheck.h"

namespace vormlan::generation {
namespace {

constexpr char kInstallSection[] = "KELInstSec";
constexpr char kPrintProcessorSection[] = "KELInstSec_PrintProcessor";
constexpr char kColorSection[] = "KELInstSec_ColorProfiles";
// The longest provider text an INF's [Version] takes (LINE_LEN less one).
constexpr std::size_t kMaxProviderBytes = 255;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHex(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A GUID in braces, as "CoreDependencies" and the core driver sections
// name core drivers: {8-4-4-4-12 hexadecimal digits}.
bool IsBracedGuid(std::string_view text) {
  constexpr std::string_view shape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == 'X' ? !IsHex(text[i]) : text[i] != shape[i]) return false;
  }
  return true;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

// A quoted [Strings] value: '"' doubled, and "%" doubled so that it is not
// taken for a string substitution.
std::string StringValue(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    out += c;
    if (c == '"' || c == '%') out += c;
  }
  return out + "\"";
}

class Composer {
 public:
  Composer(const DriverDescription& d, const StagingDetails& s, InfEncoding encoding)
      : d_(d), s_(s), encoding_(encoding) {}

  StoreReadyInf Compose(std::string_view infName) {
    if (!d_.printerKeyFound) {
      throw Exception("The printer " + Quoted(d_.printerName) +
                      " has no registration key, so its INF has no install section: there is "
                      "nothing to stage in the driver store");
    }
    ComposedInf composed = ComposeInf(d_);
    StoreReadyInf out{{}, std::move(composed.files), {}, {}};
    ChoosePrintProcessor();
    ChooseColorProfiles();
    const std::string provider = Provider();
    const bool packageAware =
        s_.driverAttributes && (*s_.driverAttributes & kPackageAwareAttribute) != 0;
    std::vector<std::string> cores;
    for (const auto& guid : s_.coreDependencies) {
      if (!IsBracedGuid(guid)) {
        throw Exception("The registry value 'CoreDependencies' of the driver " +
                        Quoted(d_.driverName) + " holds " + Quoted(Shown(guid)) +
                        ", which is no core driver GUID ({8-4-4-4-12 hexadecimal digits}); the "
                        "driver cannot be staged");
      }
      cores.push_back(guid);
    }
    if (!packageAware && !cores.empty()) {
      notes_.push_back(
          "the driver is not package-aware, so its core drivers (CoreDependencies) "
          "are not named; the package carries the core files it copies");
    }

    const std::string platform(InfoOf(d_.arch).sourceSuffix);
    const std::string driverVer = DriverVer();
    const std::string installCopy = std::string("CopyFiles=") + kInstallSection + "_Files";
    for (auto& line : composed.lines) {
      const bool classLine = line == "Class=Printer" && !versionDone_;
      const bool copyLine = line == installCopy && !installDone_;
      const bool destLine = line == "DefaultDestDir=66000" && !destDone_;
      out.lines.push_back(std::move(line));
      if (classLine) {
        versionDone_ = true;
        out.lines.push_back("CatalogFile=" + CatalogNameOf(infName));
        out.lines.push_back("DriverVer=" + driverVer);
      } else if (copyLine) {
        installDone_ = true;
        if (printProcessor_) {
          out.lines.push_back(std::string("CopyFiles=") + kPrintProcessorSection);
          out.lines.push_back("PrintProcessor=\"" + s_.printProcessor + "," + *printProcessor_ +
                              "\"");
        }
        if (!colors_.empty()) out.lines.push_back(std::string("CopyFiles=") + kColorSection);
      } else if (destLine) {
        destDone_ = true;
        if (printProcessor_) out.lines.push_back(std::string(kPrintProcessorSection) + "=66001");
        if (!colors_.empty()) out.lines.push_back(std::string(kColorSection) + "=66003");
      }
    }
    if (!versionDone_ || !installDone_ || !destDone_) {
      throw Exception("The composed INF of " + Quoted(d_.driverName) +
                      " lacks a line staging builds on; the driver cannot be staged");
    }
    InfLines& l = out.lines;
    if (printProcessor_) {
      l.push_back("");
      l.push_back(std::string("[") + kPrintProcessorSection + "]");
      l.push_back(*printProcessor_);
      out.stagedFiles.push_back({*printProcessor_, StagedFolder::PrintProcessors});
    }
    if (!colors_.empty()) {
      l.push_back("");
      l.push_back(std::string("[") + kColorSection + "]");
      for (const auto& name : colors_) {
        l.push_back(name);
        out.stagedFiles.push_back({name, StagedFolder::Color});
      }
    }
    if (packageAware) {
      l.push_back("");
      l.push_back("[PrinterPackageInstallation." + platform + "]");
      l.push_back("PackageAware=TRUE");
      if (!cores.empty()) {
        std::string list;
        for (const auto& guid : cores) list += (list.empty() ? "" : ",") + guid;
        l.push_back("CoreDriverDependencies=" + list);
      }
    }
    l.push_back("");
    l.push_back("[SourceDisksNames." + platform + "]");
    l.push_back("1=%DiskName%");
    l.push_back("");
    l.push_back("[SourceDisksFiles." + platform + "]");
    std::unordered_set<std::string> listed;
    const auto listFile = [&](const std::string& name) {
      if (!name.empty() && listed.insert(Folded(name)).second) l.push_back(name + "=1");
    };
    for (const auto& name : out.files.Items()) listFile(name);
    for (const auto& file : out.stagedFiles) listFile(file.name);
    l.push_back("");
    l.push_back("[Strings]");
    l.push_back("OEM=" + StringValue(provider));
    l.push_back("DiskName=\"Printer driver files\"");
    out.notes = std::move(notes_);
    return out;
  }

 private:
  // A registry text as a message may show it.
  static std::string Shown(const std::string& text) {
    std::string out;
    for (const char c : text) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7F) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
        out += escaped;
      } else {
        out += c;
      }
    }
    return out;
  }

  std::string Folded(const std::string& name) const {
    return unicode::Fold(d_.encoding == registry::TextEncoding::Utf8 ? name : ansi::ToUtf8(name));
  }

  // Refuses a text the 8-bit INF cannot hold.
  void RequireCodePage(const std::string& label, const std::string& text) const {
    if (d_.encoding != registry::TextEncoding::Utf8 || encoding_ != InfEncoding::CodePage) return;
    if (ToInfCodePage(text)) return;
    throw Exception("The registry value " + label + " holds " + Quoted(text) + ", which " +
                        InfCodePageName() + " cannot hold; the INF cannot be written in it",
                    {"--inf-encoding utf-16 writes the INF in UTF-16, which holds every name"});
  }

  // Refuses a file name that cannot stand in the INF, or be a file in the
  // package folder.
  void RequireFileName(const std::string& label, const std::string& name) const {
    if (const std::string why = NotAPlainFileName(name); !why.empty()) {
      throw Exception("The registry value " + label + " names " + Quoted(Shown(name)) + ", " + why +
                      "; the driver cannot be staged");
    }
    RequireCodePage(label, name);
  }

  void ChoosePrintProcessor() {
    const std::string& name = s_.printProcessor;
    if (name.empty() || unicode::EqualsIgnoreCase(name, "winprint")) return;
    const std::string label = "'Print Processor' of the driver " + Quoted(d_.driverName);
    RequireFileName(label, name);
    if (!s_.printProcessorFile) {
      notes_.push_back("the print processor " + Quoted(name) + " is not registered in " +
                       std::string(InfoOf(d_.arch).environment) +
                       "\\Print Processors: the INF does not name it");
      return;
    }
    if (s_.printProcessorFile->empty()) {
      notes_.push_back("the print processor " + Quoted(name) +
                       " has no 'Driver' value: the INF does not name it");
      return;
    }
    RequireFileName("'Driver' of the print processor " + Quoted(name), *s_.printProcessorFile);
    printProcessor_ = *s_.printProcessorFile;
  }

  void ChooseColorProfiles() {
    std::unordered_set<std::string> seen;
    for (const auto& name : s_.colorProfiles) {
      RequireFileName("'ColorProfiles' of the driver " + Quoted(d_.driverName), name);
      if (seen.insert(Folded(name)).second) colors_.push_back(name);
    }
  }

  std::string Provider() const {
    for (const auto* value : {&s_.provider, &s_.manufacturer}) {
      if (value->empty()) continue;
      const std::string label = std::string("'") +
                                (value == &s_.provider ? "Provider" : "Manufacturer") +
                                "' of the driver " + Quoted(d_.driverName);
      if (HasControlCharacter(*value)) {
        throw Exception("The registry value " + label +
                        " holds a line break or another control character; the driver cannot "
                        "be staged");
      }
      if (value->size() > kMaxProviderBytes) {
        throw Exception("The registry value " + label + " is " + std::to_string(value->size()) +
                        " bytes long, longer than the " + std::to_string(kMaxProviderBytes) +
                        " an INF's provider may be; the driver cannot be staged");
      }
      RequireCodePage(label, *value);
      return *value;
    }
    return "OEM";
  }

  std::string DriverVer() {
    std::string date = kDefaultDriverDate;
    if (s_.driverDate.empty()) {
      notes_.push_back(std::string("the registration holds no DriverDate: DriverVer has ") +
                       kDefaultDriverDate);
    } else if (const auto parsed = DriverDateOf(s_.driverDate)) {
      date = *parsed;
    } else {
      notes_.push_back("the registration's DriverDate " + Quoted(Shown(s_.driverDate)) +
                       " is no date (mm/dd/yyyy): DriverVer has " + kDefaultDriverDate);
    }
    std::string version = kDefaultDriverVersion;
    if (s_.driverVersion.empty()) {
      notes_.push_back(std::string("the registration holds no DriverVersion: DriverVer has ") +
                       kDefaultDriverVersion);
    } else if (IsDriverVersion(s_.driverVersion)) {
      version = s_.driverVersion;
    } else {
      notes_.push_back("the registration's DriverVersion " + Quoted(Shown(s_.driverVersion)) +
                       " is no version (w.x.y.z): DriverVer has " + kDefaultDriverVersion);
    }
    return date + "," + version;
  }

  const DriverDescription& d_;
  const StagingDetails& s_;
  InfEncoding encoding_;
  std::optional<std::string> printProcessor_;
  std::vector<std::string> colors_;
  std::vector<std::string> notes_;
  bool versionDone_ = false, installDone_ = false, destDone_ = false;
};

}  // namespace

std::optional<std::string> DriverDateOf(std::string_view text) {
  int parts[3] = {0, 0, 0};
  std::size_t digits[3] = {0, 0, 0};
  std::size_t part = 0;
  for (const char c : text) {
    if (c == '/') {
      if (++part > 2) return std::nullopt;
    } else if (IsDigit(c) && digits[part] < 4) {
      parts[part] = parts[part] * 10 + (c - '0');
      ++digits[part];
    } else {
      return std::nullopt;
    }
  }
  const auto [month, day, year] = parts;
  if (part != 2 || digits[0] == 0 || digits[0] > 2 || digits[1] == 0 || digits[1] > 2 ||
      digits[2] != 4 || year < 1980 || month < 1 || month > 12 || day < 1) {
    return std::nullopt;
  }
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return std::nullopt;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", month, day, year);
  return std::string(buffer);
}

bool IsDriverVersion(std::string_view text) {
  std::size_t parts = 1;
  long value = 0;
  std::size_t digits = 0;
  for (const char c : text) {
    if (c == '.') {
      if (digits == 0 || ++parts > 4) return false;
      value = 0;
      digits = 0;
    } else if (IsDigit(c) && digits < 5) {
      value = value * 10 + (c - '0');
      if (value > 65535) return false;
      ++digits;
    } else {
      return false;
    }
  }
  return digits != 0;
}

std::string CatalogNameOf(std::string_view infName) {
  const auto dot = infName.rfind('.');
  return std::string(infName.substr(0, dot)) + ".cat";
}

StoreReadyInf ComposeStoreReady(const DriverDescription& description, const StagingDetails& details,
                                InfEncoding infEncoding, std::string_view infName) {
  return Composer(description, details, infEncoding).Compose(infName);
}

}  // namespace vormlan::generation
