#include "inf/InfComposer.h"

#include "common/Ansi.h"
#include "common/CodePage.h"
#include "common/Exception.h"
#include "common/Unicode.h"
#include "inf/Contact.h"

namespace vormlan::generation {
namespace {

// A double quote inside a quoted INF string is written doubled.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace

ComposedInf ComposeInf(const DriverDescription& d) {
  ComposedInf inf{{}, DriverFiles(d.encoding)};
  const std::string decoration(InfoOf(d.arch).decoration);
  InfLines& l = inf.lines;
  l.push_back("; This file is written by ");
  l.push_back("; Ulvmarsk's Vormlan");
  l.push_back("; Made by Ulvmarsk");
  l.push_back(std::string("; ") + kContactAddress);
  l.push_back(";");
  l.push_back("[Version]");
  l.push_back("Signature=\"$Windows NT$\"");
  l.push_back("Provider=%OEM%");
  l.push_back("ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}");
  l.push_back("Class=Printer");
  l.push_back(" ");
  l.push_back("[Manufacturer]");
  if (decoration.empty()) {
    l.push_back("\"KEL\"");
    l.push_back(" ");
    l.push_back("[KEL]");
  } else {
    l.push_back("\"KEL\"=KEL," + decoration);
    l.push_back(" ");
    l.push_back("[KEL." + decoration + "]");
  }
  if (d.printerKeyFound) {
    l.push_back(Quoted(d.driverName) + " = KELInstSec");
    l.push_back(" ");
    l.push_back("[KELInstSec]");
    l.push_back("DataSection=KELInstSec_DATA");
    l.push_back("CopyFiles=KELInstSec_Files");
  }
  l.push_back("DataFile=" + d.dataFile);
  l.push_back("");
  l.push_back("[KELInstSec_DATA]");
  l.push_back("DriverFile=" + d.driverFile);
  l.push_back("ConfigFile=" + d.configFile);
  l.push_back("HelpFile=" + d.helpFile);
  if (d.monitorFound) {
    l.push_back("LanguageMonitor= " + Quoted(d.monitorName + ", " + d.monitorDriver));
  }
  l.push_back("");
  l.push_back("[KELInstSec_Files]");

  DriverFiles& files = inf.files;
  files.Add(d.dataFile);
  files.Add(d.driverFile);
  files.Add(d.configFile);
  files.Add(d.helpFile);
  if (d.monitorFound) files.Add(d.monitorDriver);
  for (const auto& dependent : d.dependentFiles) files.Add(dependent);
  for (const auto& name : files.Items()) l.push_back(name);

  l.push_back("");
  l.push_back("[DestinationDirs]");
  l.push_back("DefaultDestDir=66000");
  return inf;
}

std::string InfBytes(const InfLines& lines, registry::TextEncoding textEncoding,
                     InfEncoding infEncoding) {
  const bool utf8 = textEncoding == registry::TextEncoding::Utf8;
  if (infEncoding == InfEncoding::Utf16) {
    std::string bytes = "\xFF\xFE";
    for (const auto& line : lines) {
      bytes += unicode::ToUtf16Le(utf8 ? line : ansi::ToUtf8(line));
      bytes += std::string("\r\0\n\0", 4);
    }
    return bytes;
  }
  if (!utf8) return InfText(lines);
  std::string bytes;
  for (const auto& line : lines) {
    const auto converted = ToInfCodePage(line);
    if (!converted) {
      throw Exception("The INF line \"" + line + "\" holds characters that " + InfCodePageName() +
                      " lacks");
    }
    bytes += *converted;
    bytes += "\r\n";
  }
  return bytes;
}

std::string InfText(const InfLines& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace vormlan::generation
