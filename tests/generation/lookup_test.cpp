// Driver lookup over a registry export holding several printers: on the
// in-memory registry everywhere, and on the live registry under Wine, where
// the same export has been imported into the test prefix.

#include <gtest/gtest.h>

#include <memory>

#include "print/DriverLookup.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#include "registry/unitEXRegistry.h"
#include "tests/support/TestSupport.h"
#ifdef _WIN32
#include "registry/registry_win32.h"
#endif

namespace vormlan::generation {
namespace {

using registry::EExRegistryException;
using registry::ERegistryException;

const std::string kDrivers =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers";

std::unique_ptr<registry::MemoryRegistry> LoadFixture() {
  auto reg = std::make_unique<registry::MemoryRegistry>();
  registry::LoadRegFile(
      *reg, (test::DataDir().parent_path() / "wine" / "generation-printers.reg").string());
  return reg;
}

class LookupTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
#ifdef _WIN32
    if (GetParam() == "win32") {
      registry_ = std::make_unique<registry::Win32Registry>();
      return;
    }
#endif
    registry_ = LoadFixture();
  }
  DriverDescription Lookup(const std::string& printer) {
    return LookupDriver(*registry_, printer);
  }

  std::unique_ptr<registry::RegistryApi> registry_;
};

TEST_P(LookupTest, Version2DriverReadsItsKey) {
  const auto d = Lookup("Laser Two");
  EXPECT_TRUE(d.printerKeyFound);
  EXPECT_EQ(d.driverName, "Two Driver");
  EXPECT_EQ(d.driverVersion, 2);
  EXPECT_EQ(d.driverKeyPath, "\\" + kDrivers + "\\Version-2\\Two Driver");
  EXPECT_EQ(d.dataFile, "TWO.PPD");
  EXPECT_EQ(d.driverFile, "RASDD.DLL");
  EXPECT_EQ(d.configFile, "RASDDUI.DLL");
  EXPECT_EQ(d.helpFile, "");
  EXPECT_EQ(d.monitorName, "");
  EXPECT_FALSE(d.monitorFound);
  EXPECT_EQ(d.dependentFiles, std::vector<std::string>{"two.dll"});
}

TEST_P(LookupTest, Version3DriverWithMonitorKeepsDependentOrderAndDuplicates) {
  const auto d = Lookup("Laser Three");
  EXPECT_EQ(d.driverVersion, 3);
  EXPECT_EQ(d.monitorName, "PJL Monitor");
  EXPECT_TRUE(d.monitorFound);
  EXPECT_EQ(d.monitorDriver, "pjlmon.dll");
  EXPECT_EQ(d.dependentFiles,
            (std::vector<std::string>{"UNIDRV.DLL", "unires.dll", "three-res.dll", "unires.dll"}));
}

TEST_P(LookupTest, DriverUnderBothVersionsIsTakenAsVersion2) {
  const auto d = Lookup("Both Versions");
  EXPECT_EQ(d.driverVersion, 2);
  EXPECT_EQ(d.dataFile, "shared2.gpd");
  EXPECT_TRUE(d.dependentFiles.empty());
}

TEST_P(LookupTest, ConnectionNameIsLookedUpWithCommas) {
  const auto d = Lookup("\\\\srv\\laser");
  EXPECT_EQ(d.printerKeyName, ",,srv,laser");
  EXPECT_TRUE(d.printerKeyFound);
  EXPECT_EQ(d.driverName, "Three Driver");
  EXPECT_EQ(d.printerName, "\\\\srv\\laser");
}

TEST_P(LookupTest, MonitorWhoseKeyIsMissingIsNotRecorded) {
  const auto d = Lookup("Lost Monitor");
  EXPECT_EQ(d.monitorName, "Missing Monitor");
  EXPECT_FALSE(d.monitorFound);
  EXPECT_EQ(d.monitorDriver, "");
}

// Neither version key holds the driver: the file values come from the
// "Version-3" key itself and the dependent files from the printer key, which
// has none, so the lookup ends with the multi-string error for code 2.
TEST_P(LookupTest, DriverUnderNeitherVersionEndsWithTheMultiStringError) {
  try {
    Lookup("Orphan");
    FAIL() << "expected the multi-string error";
  } catch (const EExRegistryException& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("Error 2", 0), 0u) << message;
    EXPECT_TRUE(message.ends_with(":Unable read MULTI_SZ value")) << message;
  }
}

TEST_P(LookupTest, MissingPrinterKeyFallsIntoTheVersion2KeyItself) {
  // The empty driver name names the current key, so "Version-2" counts as
  // found; its key holds no dependent files.
  EXPECT_THROW(Lookup("No Such Printer"), EExRegistryException);
}

TEST_P(LookupTest, NonStringFileValueEndsTheLookup) {
  try {
    Lookup("Dword Driver");
    FAIL() << "expected the data type error";
  } catch (const EExRegistryException&) {
    FAIL() << "wrong exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Driver'");
  }
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Registries, LookupTest, ::testing::Values("memory", "win32"));
#else
INSTANTIATE_TEST_SUITE_P(Registries, LookupTest, ::testing::Values("memory"));
#endif

// What the in-memory registry alone can model.

TEST(LookupEdges, MissingPrinterKeyReadsFromVersion2KeyWithTrailingSeparator) {
  registry::MemoryRegistry reg;
  reg.SetString(registry::root::LocalMachine, kDrivers + "\\Version-2", "Driver", "v2.dll");
  reg.SetMultiString(registry::root::LocalMachine, kDrivers + "\\Version-2", "Dependent Files",
                     {"a.dll"});
  const auto d = LookupDriver(reg, "Ghost");
  EXPECT_FALSE(d.printerKeyFound);
  EXPECT_EQ(d.driverName, "");
  EXPECT_EQ(d.driverVersion, 2);
  EXPECT_EQ(d.driverKeyPath, "\\" + kDrivers + "\\Version-2\\");
  EXPECT_EQ(d.driverFile, "v2.dll");
  EXPECT_EQ(d.dependentFiles, std::vector<std::string>{"a.dll"});
}

// Without administrative rights keys open for reading only; the lookup must
// still see every key it needs.
TEST(LookupEdges, WorksWhenKeysRefuseFullAccess) {
  auto reg = LoadFixture();
  reg->RestrictAccess(registry::root::LocalMachine, "SYSTEM", registry::access::Read, true);
  const auto d = LookupDriver(*reg, "Laser Three");
  EXPECT_TRUE(d.printerKeyFound);
  EXPECT_EQ(d.driverVersion, 3);
  EXPECT_TRUE(d.monitorFound);
  EXPECT_EQ(d.dependentFiles.size(), 4u);
  EXPECT_EQ(reg->OpenHandleCount(), 0u);
}

TEST(LookupEdges, ReleasesEveryKeyOnSuccessAndFailure) {
  auto reg = LoadFixture();
  LookupDriver(*reg, "Laser Two");
  EXPECT_EQ(reg->OpenHandleCount(), 0u);
  EXPECT_THROW(LookupDriver(*reg, "Orphan"), ERegistryException);
  EXPECT_EQ(reg->OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace vormlan::generation
