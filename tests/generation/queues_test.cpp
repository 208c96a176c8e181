// Queues of SYSTEM and SOFTWARE, the driver inventory and the lookup of a
// driver that no queue uses, over registries built from export text.

#include <gtest/gtest.h>

#include <memory>

#include "print/DriverLookup.h"
#include "print/DriverRegistration.h"
#include "print/PrintQueues.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#include "registry/UnionRegistry.h"
#include "registry/unitEXRegistry.h"

namespace vormlan::generation {
namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kSystem = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kSoftware =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers";

// Two drivers of x86 version 3, one of x64 version 3 and one of x64
// version 4, and an environment the command line does not package.
const std::string kDrivers =
    kSystem + "\\Environments\\Windows NT x86\\Drivers\\Version-3\\Laser Three]\r\n" +
    "\"Driver\"=\"UNIDRV.DLL\"\r\n\"Data File\"=\"LASER.GPD\"\r\n" +
    "\"Configuration File\"=\"UNIDRVUI.DLL\"\r\n\"Help File\"=\"UNIDRV.HLP\"\r\n" +
    "\"Dependent Files\"=hex(7):41,00,2e,00,44,00,4c,00,4c,00,00,00,00,00\r\n\r\n" + kSystem +
    "\\Environments\\Windows NT x86\\Drivers\\Version-3\\Unused Driver]\r\n" +
    "\"Driver\"=\"UNUSED.DLL\"\r\n\"Dependent Files\"=hex(7):00,00\r\n\r\n" + kSystem +
    "\\Environments\\Windows x64\\Drivers\\Version-3\\Laser Three]\r\n" +
    "\"Driver\"=\"UNIDRV64.DLL\"\r\n\"Dependent Files\"=hex(7):00,00\r\n\r\n" + kSystem +
    "\\Environments\\Windows x64\\Drivers\\Version-4\\Class Driver]\r\n" +
    "\"InfPath\"=\"C:\\\\Windows\\\\INF\\\\class.inf\"\r\n\r\n" + kSystem +
    "\\Environments\\Windows IA64\\Drivers\\Version-3\\Itanium Driver]\r\n\r\n";

std::unique_ptr<registry::MemoryRegistry> Load(const std::string& text) {
  auto reg = std::make_unique<registry::MemoryRegistry>(registry::TextEncoding::Utf8);
  registry::LoadRegText(*reg, kHeader + text, "test.reg");
  return reg;
}

std::string Queue(const std::string& key, const std::string& name, const std::string& driver,
                  const std::string& port) {
  std::string text = key + "\\" + name + "]\r\n";
  if (!name.empty()) text += "\"Name\"=\"" + name + "\"\r\n";
  text += "\"Printer Driver\"=\"" + driver + "\"\r\n\"Port\"=\"" + port + "\"\r\n\r\n";
  return text;
}

std::vector<std::string> Names(const QueueListing& listing) {
  std::vector<std::string> names;
  for (const auto& q : listing.queues) names.push_back(q.name);
  return names;
}

TEST(PrintQueues, SoftwareQueuesAreListedAfterSystemsAndItsValuesCountForSharedQueues) {
  const auto reg = Load(Queue(kSystem + "\\Printers", "Front Desk", "Old Driver", "LPT1:") +
                        Queue(kSystem + "\\Printers", "Only System", "Laser Three", "LPT2:") +
                        Queue(kSoftware, "Offline Only", "Laser Three", "IP_1") +
                        Queue(kSoftware, "FRONT DESK", "Laser Three", "IP_2"));
  const QueueListing listing = ListQueues(*reg);
  EXPECT_TRUE(listing.systemKey);
  EXPECT_TRUE(listing.softwareKey);
  // Listed once, where SYSTEM lists it, with SOFTWARE's values.
  EXPECT_EQ(Names(listing),
            (std::vector<std::string>{"FRONT DESK", "Only System", "Offline Only"}));
  EXPECT_EQ(listing.queues[0].driverName, "Laser Three");
  EXPECT_EQ(listing.queues[0].port, "IP_2");
  EXPECT_TRUE(listing.queues[0].fromSoftware);
  EXPECT_FALSE(listing.queues[1].fromSoftware);
}

TEST(PrintQueues, AnOfflineDiskHasItsQueuesOnlyInSoftware) {
  const auto reg = Load(kDrivers + Queue(kSoftware, "Office", "Laser Three", "IP_1"));
  const QueueListing listing = ListQueues(*reg);
  EXPECT_FALSE(listing.systemKey);
  ASSERT_EQ(Names(listing), (std::vector<std::string>{"Office"}));
  EXPECT_EQ(listing.queues[0].KeyPath(), std::string(kSoftwarePrintersKey) + "\\Office");

  // The lookup finds the queue's key there and its driver in SYSTEM.
  const auto d = LookupDriver(*reg, "Office");
  EXPECT_TRUE(d.printerKeyFound);
  EXPECT_EQ(d.driverName, "Laser Three");
  EXPECT_EQ(d.driverVersion, 3);
  EXPECT_EQ(d.dependentFiles, (std::vector<std::string>{"A.DLL"}));
}

TEST(PrintQueues, PrinterKeyPathPrefersTheKeyThatNamesADriver) {
  // SOFTWARE's key of an older system holds settings, not the driver.
  const auto reg = Load(Queue(kSystem + "\\Printers", "Desk", "Laser Three", "LPT1:") + kSoftware +
                        "\\Desk]\r\n\"Default DevMode\"=hex:00\r\n\r\n" +
                        Queue(kSoftware, "Both", "Laser Three", "X") +
                        Queue(kSystem + "\\Printers", "Both", "Other", "Y"));
  EXPECT_EQ(PrinterKeyPath(*reg, "Desk"), std::string(kSystemPrintersKey) + "\\Desk");
  EXPECT_EQ(PrinterKeyPath(*reg, "Both"), std::string(kSoftwarePrintersKey) + "\\Both");
  // Nowhere: SYSTEM's path, which does not open, as for any missing printer.
  EXPECT_EQ(PrinterKeyPath(*reg, "Ghost"), std::string(kSystemPrintersKey) + "\\Ghost");
  EXPECT_EQ(PrinterKeyPath(*reg, ""), std::string(kSystemPrintersKey) + "\\");
}

TEST(DriverInventory, ListsEveryEnvironmentAndVersionWithItsArchitecture) {
  const auto reg = Load(kDrivers);
  const auto drivers = ListDrivers(*reg);
  // In the registry's order: environments, versions and names as keys sort.
  std::vector<std::string> seen;
  for (const auto& d : drivers) {
    seen.push_back(d.environment + "/" + std::to_string(d.details.version) + "/" + d.name);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "Windows IA64/3/Itanium Driver", "Windows NT x86/3/Laser Three",
                      "Windows NT x86/3/Unused Driver", "Windows x64/3/Laser Three",
                      "Windows x64/4/Class Driver"}));
  // An environment without a table entry is listed, without an architecture.
  EXPECT_FALSE(drivers[0].arch.has_value());
  EXPECT_EQ(drivers[1].arch, Arch::X86);
  EXPECT_EQ(drivers[3].arch, Arch::X64);
  EXPECT_EQ(drivers[4].details.infPath, "C:\\Windows\\INF\\class.inf");
}

TEST(DriverInventory, FindDriverMatchesAsWindowsDoesAndGivesTheKeysSpelling) {
  const auto reg = Load(kDrivers);
  const auto found = FindDriver(*reg, Arch::X86, "unused DRIVER");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->name, "Unused Driver");
  EXPECT_EQ(found->details.version, 3);
  EXPECT_EQ(FindDriver(*reg, Arch::X64, "class driver")->details.version, 4);
  EXPECT_FALSE(FindDriver(*reg, Arch::X64, "Unused Driver"));
  EXPECT_FALSE(FindDriver(*reg, Arch::X86, ""));
  EXPECT_FALSE(FindDriver(*reg, Arch::X86, "Version-3\\..\\Laser Three"));
}

TEST(DriverInventory, ByNameGivesTheDescriptionOfAQueueUsingTheDriver) {
  const auto reg = Load(kDrivers + Queue(kSoftware, "Office", "Laser Three", "IP_1"));
  for (const Arch arch : {Arch::X86, Arch::X64}) {
    auto byQueue = LookupDriver(*reg, "Office", arch);
    const auto byName = LookupDriverByName(*reg, "Laser Three", arch);
    EXPECT_TRUE(byName.printerKeyFound);
    EXPECT_EQ(byName.driverKeyPath, byQueue.driverKeyPath);
    EXPECT_EQ(byName.driverFile, byQueue.driverFile);
    EXPECT_EQ(byName.dataFile, byQueue.dataFile);
    EXPECT_EQ(byName.dependentFiles, byQueue.dependentFiles);
  }
  // Not registered: the accessor's error, as for a queue whose driver is missing.
  EXPECT_THROW(LookupDriverByName(*reg, "Nobody", Arch::X86), registry::EExRegistryException);
}

TEST(UnionRegistry, OpensEachPathInTheMemberThatHoldsItAndListsTheRootsOnce) {
  std::vector<std::unique_ptr<registry::RegistryApi>> members;
  members.push_back(Load(kDrivers));
  members.push_back(Load(Queue(kSoftware, "Office", "Laser Three", "IP_1")));
  registry::UnionRegistry both(std::move(members));

  const auto listing = ListQueues(both);
  EXPECT_EQ(Names(listing), (std::vector<std::string>{"Office"}));
  EXPECT_EQ(LookupDriver(both, "Office").driverVersion, 3);

  std::vector<std::string> roots;
  ASSERT_EQ(both.EnumSubKeys(registry::root::LocalMachine, roots), registry::error::Success);
  EXPECT_EQ(roots, (std::vector<std::string>{"SYSTEM", "SOFTWARE"}));

  registry::KeyHandle key = 0;
  EXPECT_EQ(
      both.OpenKey(registry::root::LocalMachine, "SOFTWARE\\Nothing", registry::access::Read, key),
      registry::error::FileNotFound);
  ASSERT_EQ(both.OpenKey(registry::root::LocalMachine, "SOFTWARE", registry::access::Read, key),
            registry::error::Success);
  EXPECT_EQ(both.CloseKey(key), registry::error::Success);
  EXPECT_EQ(both.CloseKey(key), registry::error::InvalidHandle);
}

// Members may spell a key in other letter cases: it is listed once. A member
// that holds a key but refuses it answers for it; the next member's key of
// that name is not the one asked for.
TEST(UnionRegistry, OtherCasesAreOneKeyAndARefusalIsTheAnswer) {
  auto first = Load(kDrivers);
  first->RestrictAccess(registry::root::LocalMachine, "SYSTEM\\Secret",
                        registry::access::QueryValue);
  std::vector<std::unique_ptr<registry::RegistryApi>> members;
  members.push_back(std::move(first));
  members.push_back(Load("[HKEY_LOCAL_MACHINE\\system\\Secret]\r\n\r\n" +
                         Queue(kSoftware, "Office", "Laser Three", "IP_1")));
  registry::UnionRegistry both(std::move(members));

  std::vector<std::string> roots;
  ASSERT_EQ(both.EnumSubKeys(registry::root::LocalMachine, roots), registry::error::Success);
  EXPECT_EQ(roots, (std::vector<std::string>{"SYSTEM", "SOFTWARE"}));

  registry::KeyHandle key = 0;
  EXPECT_EQ(
      both.OpenKey(registry::root::LocalMachine, "SYSTEM\\Secret", registry::access::Read, key),
      registry::error::AccessDenied);
}

// Environment keys are matched whatever their letter case, as Windows
// matches key names; each package a driver's files come from is named once.
TEST(DriverInventory, EnvironmentsInAnyCaseAndEachPackageNamedOnce) {
  registry::MemoryRegistry reg(registry::TextEncoding::Utf8);
  reg.SetMultiString(registry::root::LocalMachine,
                     "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\WINDOWS X64\\"
                     "Drivers\\Version-3\\Modern",
                     "Dependent Files",
                     {"pkg.inf_amd64_1|a.dll", "|nameless.dll", "plain.dll",
                      "other.inf_amd64_2|c.dll", "pkg.inf_amd64_1|b.dll"});
  const std::vector<std::string> packages = {"pkg.inf_amd64_1", "other.inf_amd64_2"};
  const auto drivers = ListDrivers(reg);
  ASSERT_EQ(drivers.size(), 1u);
  EXPECT_EQ(drivers[0].arch, Arch::X64);
  EXPECT_EQ(drivers[0].details.packageDependencies, packages);
  const auto found = FindDriver(reg, Arch::X64, "modern");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "Modern");
  EXPECT_EQ(found->details.packageDependencies, packages);
}

}  // namespace
}  // namespace vormlan::generation
