// The hive backend read as the program reads it: the driver lookup over a
// hive must give what it gives over an export of the same keys, through the
// control set that Select\Current names; names compare by Unicode case; and
// big keys are indexed once, not scanned per lookup.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "print/DriverLookup.h"
#include "registry/ControlSet.h"
#include "registry/HiveRegistry.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#include "registry/unitEXRegistry.h"
#include "tests/support/HiveFixture.h"
#include "tests/support/TestSupport.h"

namespace vormlan::registry {
namespace {

using Strings = std::vector<std::string>;

std::string FixtureText(const std::string& name) {
  return test::ReadFile(std::string(VORMLAN_FIXTURE_DIR) + "/" + name);
}

// Everything a lookup yields: the description, or the exception's message.
std::string Outcome(RegistryApi& api, const std::string& printer) {
  try {
    const generation::DriverDescription d = generation::LookupDriver(api, printer);
    std::ostringstream s;
    s << d.printerName << '|' << d.printerKeyName << '|' << d.printerKeyFound << '|' << d.driverName
      << '|' << d.driverVersion << '|' << d.driverKeyPath << '|' << d.dataFile << '|'
      << d.driverFile << '|' << d.configFile << '|' << d.helpFile << '|' << d.monitorName << '|'
      << d.monitorFound << '|' << d.monitorDriver;
    for (const std::string& f : d.dependentFiles) s << '|' << f;
    return s.str();
  } catch (const EExRegistryException& e) {
    return "code " + std::to_string(e.ErrorCode()) + ": " + e.what();
  } catch (const ERegistryException& e) {
    return std::string("error: ") + e.what();
  }
}

Strings SubKeys(RegistryApi& api, KeyHandle parent, const std::string& path) {
  KeyHandle key = 0;
  EXPECT_EQ(api.OpenKey(parent, path, access::Read, key), error::Success) << path;
  RegKey owned(api, key);
  Strings names;
  EXPECT_EQ(api.EnumSubKeys(key, names), error::Success) << path;
  return names;
}

class HiveTest : public ::testing::Test {
 protected:
  std::unique_ptr<HiveRegistry> HiveOf(const std::string& regText) {
    const auto file = dir_.Path() / ("fixture" + std::to_string(++count_) + ".hive");
    test::WriteHiveFromRegText(file, regText);
    return std::make_unique<HiveRegistry>(file.string());
  }

  test::TempDir dir_;
  int count_ = 0;
};

TEST_F(HiveTest, LookupGivesWhatTheSameKeysGiveFromAnExport) {
  const std::string text = FixtureText("generation-printers.reg");
  MemoryRegistry exported(TextEncoding::Utf8);
  LoadRegText(exported, text, "generation-printers.reg");
  const auto hive = HiveOf(test::AsSavedHive(text));

  for (const char* printer :
       {"Laser Two", "Laser Three", "Both Versions", "Orphan", "\\\\srv\\laser", "Lost Monitor",
        "Dword Driver", "Orphan With Files", "Unsafe", "Nobody"}) {
    EXPECT_EQ(Outcome(*hive, printer), Outcome(exported, printer)) << printer;
  }
  // The comparison is between real findings, not two failures alike.
  EXPECT_NE(Outcome(*hive, "\\\\srv\\laser").find("|,,srv,laser|1|Three Driver|3|"),
            std::string::npos);
  EXPECT_EQ(Outcome(*hive, "Dword Driver"), "error: Invalid data type for 'Driver'");
}

TEST_F(HiveTest, UnusualValuesReadAsFromAnExport) {
  const std::string text = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Unterminated]
"Printer Driver"="Open List"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Number]
"Printer Driver"=dword:00000002

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Plain List]
"Printer Driver"="Plain List"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Empty List]
"Printer Driver"="Empty List"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-3\Open List]
"Driver"="open.dll"
"Dependent Files"=hex(7):61,2e,64,6c,6c,00,62,2e,64,6c,6c

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-3\Plain List]
"Driver"=hex(2):
"Dependent Files"="x.dll"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-3\Empty List]
"Dependent Files"=hex(7):
)";
  MemoryRegistry exported(TextEncoding::Utf8);
  LoadRegText(exported, text, "unusual.reg");
  const auto hive = HiveOf(test::AsSavedHive(text));
  for (const char* printer : {"Unterminated", "Number", "Plain List", "Empty List"}) {
    EXPECT_EQ(Outcome(*hive, printer), Outcome(exported, printer)) << printer;
  }
  EXPECT_TRUE(Outcome(*hive, "Unterminated").ends_with("|a.dll|b.dll"));
  EXPECT_EQ(Outcome(*hive, "Number"), "error: Invalid data type for 'Printer Driver'");
  EXPECT_EQ(Outcome(*hive, "Plain List"), "error: String list expected");
}

constexpr char kTwoControlSets[] = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\SYSTEM\Select]
"Current"=dword:00000002
"Default"=dword:00000001

[HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Control\Print\Printers\Stale]
"Printer Driver"="Old Driver"

[HKEY_LOCAL_MACHINE\SYSTEM\ControlSet002\Control\Print\Printers\Fresh]
"Printer Driver"="New Driver"

[HKEY_LOCAL_MACHINE\SYSTEM\ControlSet002\Control\Print\Environments\Windows NT x86\Drivers\Version-3\New Driver]
"Driver"="new.dll"
"Dependent Files"=hex(7):6e,65,77,2e,64,6c,6c,00,00
)";

TEST_F(HiveTest, SelectCurrentNamesTheControlSetAndStaleOnesStayHidden) {
  const auto hive = HiveOf(kTwoControlSets);
  EXPECT_EQ(hive->CurrentControlSet(), "ControlSet002");
  EXPECT_EQ(hive->ControlSetNote(), std::nullopt);
  EXPECT_EQ(SubKeys(*hive, root::LocalMachine, "system"),
            (Strings{"ControlSet001", "ControlSet002", "CurrentControlSet", "Select"}));
  EXPECT_EQ(
      SubKeys(*hive, root::LocalMachine, "SYSTEM\\currentcontrolset\\Control\\Print\\Printers"),
      Strings{"Fresh"});
  const auto fresh = generation::LookupDriver(*hive, "Fresh");
  EXPECT_EQ(fresh.driverVersion, 3);
  EXPECT_EQ(fresh.dependentFiles, Strings{"new.dll"});
  MemoryRegistry exported(TextEncoding::Utf8);  // the same keys, exported from the hive
  LoadRegText(exported, kTwoControlSets, "two.reg");
  ASSERT_TRUE(LinkExportControlSet(exported));
  EXPECT_EQ(Outcome(*hive, "Stale"), Outcome(exported, "Stale"));
  EXPECT_EQ(Outcome(*hive, "Fresh"), Outcome(exported, "Fresh"));
  // The stale set itself is still there under its own name.
  EXPECT_EQ(SubKeys(*hive, root::LocalMachine, "SYSTEM\\ControlSet001\\Control\\Print\\Printers"),
            Strings{"Stale"});
}

TEST_F(HiveTest, WithoutSelectTheChoiceIsNoted) {
  struct Case {
    const char* keys;  // below HKEY_LOCAL_MACHINE\SYSTEM
    const char* chosen;
  };
  for (const Case& c : {
           Case{"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet003\\Control]\n", "ControlSet003"},
           Case{"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control]\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control]\n",
                "ControlSet001"},
           Case{"[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n\"Current\"=dword:00000005\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control]\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control]\n",
                "ControlSet001"},
           Case{"[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n\"Current\"=\"2\"\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control]\n",
                "ControlSet002"},
           // Select\Current counts only as a REG_DWORD of four bytes.
           Case{"[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n\"Current\"=hex(b):02,00,00,00\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control]\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control]\n",
                "ControlSet001"},
           Case{"[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n\"Current\"=hex(4):02,00,00,00,00\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control]\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control]\n",
                "ControlSet001"},
           Case{"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet004\\Control]\n"
                "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet003\\Control]\n",
                "ControlSet003"},
       }) {
    const auto hive = HiveOf(std::string("REGEDIT4\n\n") + c.keys);
    EXPECT_EQ(hive->CurrentControlSet(), c.chosen) << c.keys;
    ASSERT_TRUE(hive->ControlSetNote()) << c.keys;
    EXPECT_NE(hive->ControlSetNote()->find(c.chosen), std::string::npos) << *hive->ControlSetNote();
    KeyHandle key = 0;
    EXPECT_EQ(
        hive->OpenKey(root::LocalMachine, "SYSTEM\\CurrentControlSet\\Control", access::Read, key),
        error::Success);
    hive->CloseKey(key);
  }
}

TEST_F(HiveTest, WithoutControlSetsThereIsNoCurrentOne) {
  const auto hive = HiveOf("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]\n\"x\"=\"y\"\n");
  EXPECT_EQ(hive->CurrentControlSet(), std::nullopt);
  EXPECT_TRUE(hive->ControlSetNote());
  KeyHandle key = 0;
  EXPECT_EQ(hive->OpenKey(root::LocalMachine, "SYSTEM\\CurrentControlSet", access::Read, key),
            error::FileNotFound);
  EXPECT_EQ(SubKeys(*hive, root::LocalMachine, "SYSTEM"), Strings{"Setup"});
}

TEST_F(HiveTest, OnlyTheMountedKeyAndThePathToItExist) {
  const auto hive = HiveOf(kTwoControlSets);
  Strings names;
  EXPECT_EQ(hive->EnumSubKeys(root::LocalMachine, names), error::Success);
  EXPECT_EQ(names, Strings{"SYSTEM"});
  EXPECT_EQ(hive->EnumSubKeys(root::CurrentUser, names), error::Success);
  EXPECT_EQ(names, Strings{});
  KeyHandle key = 0;
  EXPECT_EQ(hive->OpenKey(root::LocalMachine, "SOFTWARE", access::Read, key), error::FileNotFound);
  EXPECT_EQ(hive->OpenKey(root::CurrentUser, "SYSTEM", access::Read, key), error::FileNotFound);
  EXPECT_EQ(hive->OpenKey(0x80000004u, "SYSTEM", access::Read, key), error::InvalidHandle);
  std::uint32_t size = 0;
  EXPECT_EQ(hive->QueryValue(root::LocalMachine, "", nullptr, nullptr, &size), error::FileNotFound);
}

TEST_F(HiveTest, UnicodeNamesAndTextComeOutInUtf8) {
  MemoryRegistry source(TextEncoding::Utf8);
  const std::string text = "\u20AC caf\u00E9 \u0416 \u4E2D";
  source.SetString(root::LocalMachine, "SYSTEM\\\u041A\u043B\u044E\u0447", "\u0418\u043C\u044F",
                   text);
  source.SetMultiString(root::LocalMachine, "SYSTEM\\\u041A\u043B\u044E\u0447", "List",
                        {"\u0416", "\u4E2D"});
  source.SetValue(root::LocalMachine, "SYSTEM\\\u041A\u043B\u044E\u0447", "Raw", value_type::Binary,
                  std::string("\xFF\x00\x01", 3));
  const auto file = dir_.Path() / "unicode.hive";
  test::WriteHive(file, source, root::LocalMachine, "SYSTEM");
  HiveRegistry hive(file.string());

  EXPECT_EQ(SubKeys(hive, root::LocalMachine, "SYSTEM"), Strings{"\u041A\u043B\u044E\u0447"});
  TExRegistry reg(hive);
  reg.SetRoot(root::LocalMachine);
  ASSERT_TRUE(reg.OpenPathForReading("\\system\\\u041A\u041B\u042E\u0427"));  // upper case
  EXPECT_EQ(reg.ReadText("\u0418\u041C\u042F"), text);
  Strings list;
  reg.ReadMultiSz("list", list);
  EXPECT_EQ(list, (Strings{"\u0416", "\u4E2D"}));
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(hive.QueryValue(reg.CurrentKey(), "List", &type, nullptr, &size), error::Success);
  EXPECT_EQ(size, 8u);  // UTF-8 bytes with the NULs: 2+1 + 3+1 + 1
  std::uint8_t raw[8] = {};
  size = sizeof raw;
  EXPECT_EQ(hive.QueryValue(reg.CurrentKey(), "Raw", &type, raw, &size), error::Success);
  EXPECT_EQ(type, value_type::Binary);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(raw), size), std::string("\xFF\x00\x01", 3));
}

// A hive's key with 30000 subkeys and 30000 values: every name is read from
// the file once, however many lookups follow.
TEST(HiveScale, BigKeysAreIndexedOnce) {
  constexpr std::size_t kCount = 30000;
  test::TempDir dir;
  const auto file = dir.Path() / "big.hive";
  Strings keys;
  std::vector<RegistryValue> values;
  for (std::size_t i = 0; i < kCount; ++i) {
    keys.push_back("Key" + std::to_string(i));
    std::string data(4, '\0');
    data[0] = static_cast<char>(i & 0xFF);
    data[1] = static_cast<char>(i >> 8);
    values.push_back({"Value" + std::to_string(i), value_type::Dword, data});
  }
  test::WriteMinimalHive(file, keys);
  {
    test::HiveWriter writer(file);
    writer.SetValues(writer.Root(), values);
    writer.Commit();
  }

  HiveRegistry hive(file.string());
  KeyHandle system = 0;
  ASSERT_EQ(hive.OpenKey(root::LocalMachine, "SYSTEM", access::Read, system), error::Success);
  for (std::size_t i = 0; i < kCount; ++i) {
    KeyHandle key = 0;
    ASSERT_EQ(hive.OpenKey(system, "KEY" + std::to_string(i), access::Read, key), error::Success);
    hive.CloseKey(key);
    std::uint32_t data = 0, size = sizeof data;
    ASSERT_EQ(hive.QueryValue(system, "value" + std::to_string(i), nullptr,
                              reinterpret_cast<std::uint8_t*>(&data), &size),
              error::Success);
    ASSERT_EQ(data, i);
  }
  EXPECT_EQ(hive.NamesRead(), 2 * kCount);
  Strings names;
  EXPECT_EQ(hive.EnumSubKeys(system, names), error::Success);
  EXPECT_EQ(names.size(), kCount);
}

}  // namespace
}  // namespace vormlan::registry
