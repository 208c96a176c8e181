// Package writing and the generation run against a host double.

#include <gtest/gtest.h>

#include <memory>

#include "common/Exception.h"
#include "common/Unicode.h"
#include "inf/DescriptionCheck.h"
#include "generation/FolderCheck.h"
#include "generation/GenerationRun.h"
#include "generation/PackageWriter.h"
#include "registry/MemoryRegistry.h"
#include "registry/unitEXRegistry.h"
#include "tests/support/FakeHost.h"

namespace vormlan::generation {
namespace {

using test::FakeHost;

const std::string kStore2 = "C:\\WINDOWS\\System32\\Spool\\Drivers\\w32x86\\2\\";
const std::string kStore3 = "C:\\WINDOWS\\System32\\Spool\\Drivers\\w32x86\\3\\";

DriverFiles Files(std::initializer_list<const char*> names) {
  DriverFiles files;
  for (const char* n : names) files.Add(n);
  return files;
}

TEST(WriteDriverPackage, Version2CopiesFromTheVersion2Store) {
  FakeHost host;
  host.AddFile(kStore2 + "rasdd.dll", "driver");
  const auto result = WriteDriverPackage(host, 2, {"[Version]"}, Files({"rasdd.dll"}));
  EXPECT_FALSE(result.cancelled);
  EXPECT_EQ(host.chooserStarts, std::vector<std::string>{"C:\\Tools\\vormlan.exe"});
  EXPECT_EQ(host.createdDirs, std::vector<std::string>{"C:\\out"});
  EXPECT_EQ(host.Content("C:\\out\\rasdd.dll"), "driver");
  EXPECT_EQ(host.Content("C:\\out\\vormlan.inf"), "[Version]\r\n");
  EXPECT_EQ(host.messages, std::vector<std::string>{"Driver has been created"});
  EXPECT_EQ(host.endRequests, 0);
}

TEST(WriteDriverPackage, Versions3And0UseTheVersion3Store) {
  for (const int version : {3, 0}) {
    FakeHost host;
    host.AddFile(kStore3 + "unidrv.dll");
    host.AddFile(kStore2 + "unidrv.dll");
    WriteDriverPackage(host, version, {}, Files({"unidrv.dll"}));
    ASSERT_FALSE(host.copyAttempts.empty());
    EXPECT_EQ(host.copyAttempts.front().first, kStore3 + "unidrv.dll") << version;
    EXPECT_EQ(host.messages, std::vector<std::string>{"Driver has been created"});
  }
}

TEST(WriteDriverPackage, FallsBackToSystem32) {
  FakeHost host;
  host.AddFile("C:\\WINDOWS\\System32\\pjlmon.dll", "monitor");
  WriteDriverPackage(host, 3, {}, Files({"pjlmon.dll"}));
  EXPECT_EQ(host.Content("C:\\out\\pjlmon.dll"), "monitor");
  EXPECT_EQ(host.messages, std::vector<std::string>{"Driver has been created"});
}

TEST(WriteDriverPackage, DriveRootTargetKeepsTheDoubledSeparator) {
  FakeHost host;
  host.chosen = "D:\\";
  host.AddFile(kStore3 + "a.dll");
  WriteDriverPackage(host, 3, {}, Files({"a.dll"}));
  EXPECT_EQ(host.copyAttempts.front().second, "D:\\\\a.dll");
  EXPECT_TRUE(host.Has("D:\\\\vormlan.inf"));
}

TEST(WriteDriverPackage, ReportsFilesFoundNowhere) {
  FakeHost host;
  host.AddFile(kStore3 + "a.dll");
  host.AddFile("C:\\out\\present.dll");  // already in the target: not missing
  const auto result = WriteDriverPackage(
      host, 3, {"x"}, Files({"", "a.dll", "gone1.dll", "present.dll", "gone2.dll"}));
  EXPECT_EQ(result.missingFiles, (std::vector<std::string>{"gone1.dll", "gone2.dll"}));
  EXPECT_EQ(host.messages,
            std::vector<std::string>{"Driver has been created, but these files were not found:\n"
                                     "gone1.dll\ngone2.dll"});
  // The INF is written all the same.
  EXPECT_TRUE(host.Has("C:\\out\\vormlan.inf"));
}

// The INF of a package of driver, undecorated (x86), ending in a comment.
InfLines Inf(const std::string& driver, const std::string& note = "") {
  return {"[Version]", "Signature=\"$Windows NT$\"", "Class=Printer", "[Manufacturer]", "KEL=KEL",
          "[KEL]",     "\"" + driver + "\" = I",     "; " + note};
}

TEST(WriteDriverPackage, SecondRunLeavesFilesAndReplacesTheInf) {
  FakeHost host;
  host.AddFile(kStore3 + "a.dll", "store");
  WriteDriverPackage(host, 3, Inf("Laser", "first"), Files({"a.dll"}));
  const auto second = WriteDriverPackage(host, 3, Inf("Laser", "second"), Files({"a.dll"}));
  EXPECT_EQ(second.keptFiles, std::vector<std::string>{"a.dll"});
  EXPECT_EQ(host.Content("C:\\out\\vormlan.inf").substr(0, 9), "[Version]");
  EXPECT_NE(host.Content("C:\\out\\vormlan.inf").find("; second\r\n"), std::string::npos);
  EXPECT_EQ(host.messages.back(), "Driver has been created");
}

// What the folder holds decides: the driver's files changed since, or
// another driver's INF, make it another package's folder; nothing is
// written or shown, unless the run replaces.
TEST(WriteDriverPackage, FolderOfAnotherPackageIsRefusedUnlessReplaced) {
  FakeHost host;
  host.AddFile(kStore3 + "a.dll", "store");
  WriteDriverPackage(host, 3, Inf("Laser"), Files({"a.dll"}));
  host.AddFile(kStore3 + "a.dll", "newer");
  const auto refusal = [&](const InfLines& inf) -> std::vector<FolderConflict> {
    const auto messages = host.messages.size();
    const auto attempts = host.copyAttempts.size();
    try {
      WriteDriverPackage(host, 3, inf, Files({"a.dll", "b.dll"}));
    } catch (const MixedFolderError& e) {
      EXPECT_EQ(host.messages.size(), messages);
      EXPECT_EQ(host.copyAttempts.size(), attempts);
      return e.Conflicts();
    }
    ADD_FAILURE() << "no refusal";
    return {};
  };
  auto conflicts = refusal(Inf("Laser"));
  ASSERT_EQ(conflicts.size(), 1u);
  EXPECT_EQ(conflicts[0].name, "a.dll");
  EXPECT_EQ(conflicts[0].why, "differs from the driver's file");

  host.AddFile(kStore3 + "a.dll", "store");
  conflicts = refusal(Inf("Office Jet"));
  ASSERT_EQ(conflicts.size(), 1u);
  EXPECT_EQ(conflicts[0].name, "vormlan.inf");
  EXPECT_EQ(conflicts[0].why, "the INF of another driver");
  host.AddFile("C:\\out\\other.INF", "[Version]");
  EXPECT_EQ(refusal(Inf("Laser")).at(0).name, "other.INF");
  EXPECT_EQ(host.Content("C:\\out\\a.dll"), "store");

  host.AddFile(kStore3 + "a.dll", "newer");
  PackageOptions options;
  options.replace = true;
  const auto result = WriteDriverPackage(host, 3, Inf("Office Jet"), Files({"a.dll"}), options);
  EXPECT_EQ(result.copiedFiles, std::vector<std::string>{"a.dll"});
  EXPECT_EQ(host.Content("C:\\out\\a.dll"), "newer");
  EXPECT_NE(host.Content("C:\\out\\vormlan.inf").find("Office Jet"), std::string::npos);
  EXPECT_TRUE(host.Has("C:\\out\\other.inf"));
}

TEST(WriteDriverPackage, CancelShowsAbortedRequestsTheEndAndWritesNothing) {
  FakeHost host;
  host.chosen.reset();
  host.AddFile(kStore3 + "a.dll");
  const auto result = WriteDriverPackage(host, 3, {"x"}, Files({"a.dll"}));
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(host.messages, std::vector<std::string>{"Aborted"});
  EXPECT_EQ(host.endRequests, 1);
  EXPECT_TRUE(host.copyAttempts.empty());
  EXPECT_TRUE(host.createdDirs.empty());
  EXPECT_EQ(host.files.size(), 1u);
}

TEST(WriteDriverPackage, EmptyDirectoryTextIsAnError) {
  FakeHost host;
  host.chosen = "";
  try {
    WriteDriverPackage(host, 3, {"x"}, Files({"a.dll"}));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to create directory");
  }
  EXPECT_TRUE(host.copyAttempts.empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST(WriteDriverPackage, InfWriteFailurePassesOnAndSaysNothing) {
  FakeHost host;
  host.failWrites = true;
  host.AddFile(kStore3 + "a.dll");
  try {
    WriteDriverPackage(host, 3, {"x"}, Files({"a.dll"}));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cannot create file \"C:\\out\\vormlan.inf\". Access is denied");
  }
  EXPECT_TRUE(host.Has("C:\\out\\a.dll"));  // copied before the failure, left in place
  EXPECT_TRUE(host.messages.empty());
}

DriverDescription SafeDescription() {
  DriverDescription d;
  d.printerKeyFound = true;
  d.driverName = "Laser";
  d.dataFile = "a.gpd";
  d.driverFile = "unidrv.dll";
  d.monitorName = "PJL";
  d.monitorFound = true;
  d.monitorDriver = "pjl.dll";
  d.dependentFiles = {"b.dll"};
  return d;
}

TEST(CheckDescription, AcceptsBareNamesAndEmptyValues) {
  EXPECT_NO_THROW(CheckDescription(SafeDescription()));
  EXPECT_NO_THROW(CheckDescription(DriverDescription{}));
}

TEST(CheckDescription, RefusesNamesThatLeaveTheirDirectory) {
  for (const char* bad : {"..\\evil.dll", "sub/x.dll", "C:x.dll", ".", ".."}) {
    auto d = SafeDescription();
    d.dependentFiles.push_back(bad);
    try {
      CheckDescription(d);
      ADD_FAILURE() << bad;
    } catch (const Exception& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("'Dependent Files'"), std::string::npos) << message;
      EXPECT_NE(message.find(bad), std::string::npos) << message;
    }
  }
  auto d = SafeDescription();
  d.monitorDriver = "..\\pjl.dll";
  EXPECT_THROW(CheckDescription(d), Exception);
}

// A file name is written into the INF as it stands: one that holds INF
// syntax could empty the CopyFiles list or point it elsewhere.
TEST(CheckDescription, RefusesFileNamesThatChangeTheInfOrAreNoPlainFileNames) {
  for (const char* bad : {"[DestinationDirs]", "KELInstSec_Files=11", "a.dll,b.dll", "a.dll;x",
                          "a\"b.dll", "%OEM%.dll", "a*.dll", "a?.dll", "a|b", " a.dll", "a.dll ",
                          "a.dll.", "NUL", "com1.dll", "Lpt9.txt"}) {
    for (int where = 0; where < 3; ++where) {
      auto d = SafeDescription();
      std::string label;
      if (where == 0) {
        d.driverFile = bad;
        label = "'Driver'";
      } else if (where == 1) {
        d.helpFile = bad;
        label = "'Help File'";
      } else {
        d.dependentFiles.push_back(bad);
        label = "'Dependent Files'";
      }
      try {
        CheckDescription(d);
        ADD_FAILURE() << bad;
      } catch (const Exception& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(label), std::string::npos) << message;
        EXPECT_NE(message.find(std::string("\"") + bad + "\""), std::string::npos) << message;
      }
    }
  }
  // Ordinary names, and the names of the driver and the monitor, which are
  // quoted in the INF, pass.
  auto d = SafeDescription();
  d.dependentFiles = {"UNIDRV.HLP", "stdnames.gpd", "a b (1).dll", "console.dll", "lpt.dll",
                      "com10.dll",  "x~1.ini",      "ÉCRAN.GPD",   "a.b.c"};
  d.helpFile = "";
  d.driverName = "Laser [v2], 100% \"fast\"";
  EXPECT_NO_THROW(CheckDescription(d));
}

TEST(CheckDescription, RefusesControlCharactersInInfValues) {
  auto d = SafeDescription();
  d.driverName = "Laser\r\n[Evil]";
  try {
    CheckDescription(d);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("'Printer Driver'"), std::string::npos);
  }
  d = SafeDescription();
  d.helpFile = std::string("a\tb.hlp");
  EXPECT_THROW(CheckDescription(d), Exception);
}

// --- The generation run.

const std::string kPrint = "SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kV3 = kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-3";

void AddPrinter(registry::MemoryRegistry& reg, const std::string& printer,
                const std::vector<std::string>& dependents) {
  reg.SetString(registry::root::LocalMachine, kPrint + "\\Printers\\" + printer, "Printer Driver",
                "Drv " + printer);
  const std::string key = kV3 + "\\Drv " + printer;
  reg.SetString(registry::root::LocalMachine, key, "Driver", "unidrv.dll");
  reg.SetMultiString(registry::root::LocalMachine, key, "Dependent Files", dependents);
}

TEST(Generate, DoesNothingForAnEmptyListOrNoSelection) {
  registry::MemoryRegistry reg;
  FakeHost host;
  EXPECT_FALSE(Generate(reg, host, {}, [](std::size_t) { return true; }));
  EXPECT_FALSE(Generate(reg, host, {"A", "B"}, [](std::size_t) { return false; }));
  EXPECT_TRUE(host.chooserStarts.empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST(Generate, PackagesTheSelectedEntry) {
  registry::MemoryRegistry reg;
  AddPrinter(reg, "A", {"a.dll"});
  AddPrinter(reg, "B", {"b.dll"});
  FakeHost host;
  host.AddFile(kStore3 + "unidrv.dll");
  host.AddFile(kStore3 + "b.dll");
  const auto result = Generate(reg, host, {"A", "B"}, [](std::size_t i) { return i == 1; });
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->missingFiles.empty());
  EXPECT_TRUE(host.Has("C:\\out\\b.dll"));
  EXPECT_FALSE(host.Has("C:\\out\\a.dll"));
  EXPECT_NE(host.Content("C:\\out\\vormlan.inf").find("\"Drv B\" = KELInstSec\r\n"),
            std::string::npos);
}

TEST(Generate, RegistryErrorEndsTheRunBeforeAnythingIsAsked) {
  registry::MemoryRegistry reg;
  reg.SetString(registry::root::LocalMachine, kPrint + "\\Printers\\A", "Printer Driver", "X");
  FakeHost host;
  EXPECT_THROW(Generate(reg, host, {"A"}, [](std::size_t) { return true; }),
               registry::EExRegistryException);
  EXPECT_TRUE(host.chooserStarts.empty());
  EXPECT_TRUE(host.files.empty());
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(Generate, UnsafeDescriptionIsRefusedBeforeCopyingOrWriting) {
  registry::MemoryRegistry reg;
  AddPrinter(reg, "A", {"..\\..\\boot.ini"});
  FakeHost host;
  EXPECT_THROW(Generate(reg, host, {"A"}, [](std::size_t) { return true; }), Exception);
  EXPECT_TRUE(host.chooserStarts.empty());
  EXPECT_TRUE(host.copyAttempts.empty());
  EXPECT_TRUE(host.files.empty());
}

// Off x86, a driver that only other architectures register says so before
// anything is asked, instead of the lookup's registry error.
TEST(Generate, ADriverOfAnotherArchitectureOnlyIsSaidSo) {
  registry::MemoryRegistry reg;
  AddPrinter(reg, "A", {"a.dll"});
  FakeHost host;
  PackageOptions x64;
  x64.arch = Arch::X64;
  try {
    Generate(
        reg, host, {"A"}, [](std::size_t) { return true; }, x64);
    FAIL() << "expected an error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "The driver \"Drv A\" is registered for x86 only, not for x64, the architecture "
                 "Windows runs on: it cannot be packaged here");
  }
  EXPECT_TRUE(host.chooserStarts.empty());
  EXPECT_TRUE(host.files.empty());
}

// A version 4 driver is not composed: its driver-store package is copied,
// and the message names the INF to install from.
TEST(Generate, AVersion4DriverCopiesItsStorePackage) {
  registry::MemoryRegistry reg;
  const auto hklm = registry::root::LocalMachine;
  reg.SetString(hklm, kPrint + "\\Printers\\PDF", "Printer Driver", "Print To PDF");
  const std::string v4 = kPrint + "\\Environments\\Windows x64\\Drivers\\Version-4\\Print To PDF";
  reg.SetString(
      hklm, v4, "InfPath",
      "C:\\Windows\\System32\\DriverStore\\FileRepository\\prnms009.inf_amd64_1\\prnms009.inf");
  FakeHost host;
  const std::string store =
      "C:\\WINDOWS\\System32\\DriverStore\\FileRepository\\prnms009.inf_amd64_1\\";
  PackageOptions x64;
  x64.arch = Arch::X64;
  const auto select = [](std::size_t) { return true; };
  EXPECT_THROW(Generate(reg, host, {"PDF"}, select, x64), Exception);  // no package yet
  EXPECT_TRUE(host.chooserStarts.empty());

  host.AddFile(store + "prnms009.inf", "[Version]");
  host.AddFile(store + "amd64\\mxdwdrv.dll", "pe");
  const auto result = Generate(reg, host, {"PDF"}, select, x64);
  ASSERT_TRUE(result);
  EXPECT_EQ(host.Content("C:\\out\\prnms009.inf"), "[Version]");
  EXPECT_EQ(host.Content("C:\\out\\amd64\\mxdwdrv.dll"), "pe");
  EXPECT_FALSE(host.Has("C:\\out\\vormlan.inf"));
  EXPECT_EQ(host.messages.back(),
            "Driver has been created from its driver-store package: install it from "
            "prnms009.inf");
}

// The window reads UTF-8: where the INF code page holds every name, the INF
// is byte for byte the one an ANSI registry gives; otherwise it is UTF-16.
TEST(GeneratePrinter, TheWindowsInfIsEightBitWhereTheNamesFitAndUtf16Elsewhere) {
  const auto registryWith = [](registry::TextEncoding encoding, const std::string& printer,
                               const std::string& driver) {
    auto owned = std::make_unique<registry::MemoryRegistry>(encoding);
    registry::MemoryRegistry& registry = *owned;
    const auto hklm = registry::root::LocalMachine;
    const std::string key = DriversKeyOf(Arch::X86) + "\\Version-3\\" + driver;
    registry.SetString(hklm, std::string(kPrintersKey) + "\\" + printer, "Printer Driver", driver);
    registry.SetString(hklm, key, "Driver", "unidrv.dll");
    registry.SetString(hklm, key, "Data File", "b\xC3\xBCro.gpd");
    registry.SetMultiString(hklm, key, "Dependent Files", {"Zeta.dll", "alpha-1.dll", "Alpha.dll"});
    if (encoding == registry::TextEncoding::Ansi) {
      registry.SetString(hklm, key, "Data File", "b\xFCro.gpd");
    }
    return owned;
  };
  const auto infOf = [](const std::unique_ptr<registry::MemoryRegistry>& registry,
                        const std::string& printer, bool utf16WhereNeeded) {
    FakeHost host;
    PackageOptions options;
    options.utf16WhereNeeded = utf16WhereNeeded;
    GeneratePrinter(*registry, host, printer, options);
    return host.Content("C:\\out\\vormlan.inf");
  };

  const std::string ansi = infOf(
      registryWith(registry::TextEncoding::Ansi, "B\xFCro", "B\xFCro Driver"), "B\xFCro", false);
  const std::string utf8 =
      infOf(registryWith(registry::TextEncoding::Utf8, "B\xC3\xBCro", "B\xC3\xBCro Driver"),
            "B\xC3\xBCro", true);
  EXPECT_EQ(utf8, ansi);
  EXPECT_NE(ansi.find("\"B\xFCro Driver\""), std::string::npos);

  const std::string cyrillic = "\xD0\x9B\xD0\xB0\xD0\xB7\xD0\xB5\xD1\x80";  // Лазер
  const std::string utf16 = infOf(
      registryWith(registry::TextEncoding::Utf8, cyrillic, cyrillic + " PCL"), cyrillic, true);
  ASSERT_GE(utf16.size(), 2u);
  EXPECT_EQ(utf16.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(utf16.find(unicode::ToUtf16Le("\"" + cyrillic + " PCL\"")), std::string::npos);
}

}  // namespace
}  // namespace vormlan::generation
