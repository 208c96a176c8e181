#include "registry/ControlSet.h"

#include <gtest/gtest.h>

#include "registry/RegFile.h"

namespace vormlan::registry {
namespace {

const std::string kV5 = "Windows Registry Editor Version 5.00\n\n";

TEST(ChooseControlSet, SelectCurrentNamesTheSet) {
  const auto choice = ChooseControlSet(2, {"ControlSet001", "controlset002", "Select", "Setup"});
  ASSERT_TRUE(choice);
  EXPECT_EQ(choice->name, "controlset002");
  EXPECT_TRUE(choice->fromSelect);
}

TEST(ChooseControlSet, WithoutSelectTheOnlyOrTheFirstSetIsTaken) {
  const auto only = ChooseControlSet(std::nullopt, {"Select", "ControlSet003"});
  ASSERT_TRUE(only);
  EXPECT_EQ(only->name, "ControlSet003");
  EXPECT_FALSE(only->fromSelect);
  EXPECT_EQ(only->note, "no Select\\Current value: using the only control set, ControlSet003");

  const auto several = ChooseControlSet(7, {"ControlSet002", "ControlSet001", "ControlSet003"});
  ASSERT_TRUE(several);
  EXPECT_EQ(several->name, "ControlSet001");
  EXPECT_EQ(several->note,
            "Select\\Current names ControlSet007, which is missing: using ControlSet001 of 3 "
            "control sets");

  EXPECT_EQ(ChooseControlSet(1, {"ControlSet", "ControlSet1", "ControlSetABC", "Setup"}),
            std::nullopt);
}

TEST(LinkExportControlSet, ExportOfASystemKeyGetsItsCurrentControlSet) {
  MemoryRegistry reg(TextEncoding::Utf8);
  LoadRegText(reg,
              kV5 +
                  "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n\"Current\"=dword:00000002\n"
                  "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Print\\Printers\\Old]\n"
                  "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\Print\\Printers\\New]\n",
              "t.reg");
  const auto message = LinkExportControlSet(reg);
  ASSERT_TRUE(message);
  EXPECT_EQ(*message,
            "the export holds no CurrentControlSet; CurrentControlSet is ControlSet002 "
            "(Select\\Current)");
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine,
                            "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\New"));
  EXPECT_FALSE(reg.KeyExists(root::LocalMachine,
                             "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Old"));
  // A second call finds nothing to do.
  EXPECT_EQ(LinkExportControlSet(reg), std::nullopt);
}

TEST(LinkExportControlSet, OfflineHiveLoadedUnderAnotherName) {
  MemoryRegistry reg(TextEncoding::Utf8);
  LoadRegText(reg,
              kV5 +
                  "[HKEY_LOCAL_MACHINE\\OFFLINE\\ControlSet001\\Control\\Print\\Printers\\P]\n"
                  "\"Name\"=\"P\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n",
              "t.reg");
  const auto message = LinkExportControlSet(reg);
  ASSERT_TRUE(message);
  EXPECT_EQ(*message,
            "the export holds no CurrentControlSet; HKEY_LOCAL_MACHINE\\OFFLINE stands for "
            "SYSTEM; CurrentControlSet is ControlSet001 (no Select\\Current value: using the "
            "only control set, ControlSet001)");
  EXPECT_TRUE(
      reg.KeyExists(root::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P"));
}

TEST(LinkExportControlSet, LiveExportsAndAmbiguousOnesAreLeftAlone) {
  MemoryRegistry live(TextEncoding::Utf8);
  LoadRegText(live,
              kV5 + "[HKLM\\SYSTEM\\CurrentControlSet\\Control]\n[HKLM\\SYSTEM\\ControlSet001]\n",
              "t.reg");
  EXPECT_EQ(LinkExportControlSet(live), std::nullopt);

  MemoryRegistry two(TextEncoding::Utf8);
  LoadRegText(two, kV5 + "[HKLM\\A\\ControlSet001]\n[HKLM\\B\\ControlSet001]\n", "t.reg");
  EXPECT_EQ(LinkExportControlSet(two), std::nullopt);
  EXPECT_FALSE(two.KeyExists(root::LocalMachine, "SYSTEM"));
}

}  // namespace
}  // namespace vormlan::registry
