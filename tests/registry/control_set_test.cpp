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

// Without a usable Select\Current: the only set, else ControlSet001, else the
// lowest-numbered one, whatever order the keys are listed in.
TEST(ChooseControlSet, FallbackOrderAndItsNote) {
  struct Case {
    std::optional<std::uint32_t> select;
    std::vector<std::string> keys;
    const char* chosen;
    const char* note;
  };
  for (const Case& c : {
           Case{std::nullopt,
                {"ControlSet003", "ControlSet002"},
                "ControlSet002",
                "no Select\\Current value: using ControlSet002 of 2 control sets"},
           Case{std::nullopt,
                {"ControlSet004", "ControlSet000", "ControlSet001"},
                "ControlSet001",
                "no Select\\Current value: using ControlSet001 of 3 control sets"},
           Case{std::nullopt,
                {"ControlSet009", "ControlSet000"},
                "ControlSet000",
                "no Select\\Current value: using ControlSet000 of 2 control sets"},
           Case{3,
                {"ControlSet002"},
                "ControlSet002",
                "Select\\Current names ControlSet003, which is missing: using the only control "
                "set, ControlSet002"},
           Case{0xFFFFFFFF,
                {"ControlSet002", "ControlSet001"},
                "ControlSet001",
                "Select\\Current names ControlSet4294967295, which is missing: using "
                "ControlSet001 of 2 control sets"},
           // Only three digits make a control set.
           Case{1,
                {"ControlSet0001", "ControlSet01", "ControlSet 01", "ControlSet005"},
                "ControlSet005",
                "Select\\Current names ControlSet001, which is missing: using the only control "
                "set, ControlSet005"},
       }) {
    const auto choice = ChooseControlSet(c.select, c.keys);
    ASSERT_TRUE(choice) << c.chosen;
    EXPECT_EQ(choice->name, c.chosen);
    EXPECT_FALSE(choice->fromSelect) << c.chosen;
    EXPECT_EQ(choice->note, c.note);
  }
  // Select\Current 0 names ControlSet000, not "nothing".
  const auto zero = ChooseControlSet(0, {"ControlSet001", "ControlSet000"});
  ASSERT_TRUE(zero);
  EXPECT_EQ(zero->name, "ControlSet000");
  EXPECT_TRUE(zero->fromSelect);
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

// Select\Current counts only as a REG_DWORD of four bytes (read little-endian);
// any other value is as good as none, and the fallback is taken.
TEST(LinkExportControlSet, SelectCurrentOfAnotherTypeOrSizeIsIgnored) {
  const auto chosen = [](const std::string& current, const std::string& sets) {
    MemoryRegistry reg(TextEncoding::Utf8);
    LoadRegText(reg, kV5 + "[HKLM\\SYSTEM\\Select]\n" + current + "\n" + sets, "t.reg");
    const auto message = LinkExportControlSet(reg);
    return message ? *message : std::string("nothing");
  };
  const std::string sets = "[HKLM\\SYSTEM\\ControlSet001]\n[HKLM\\SYSTEM\\ControlSet002]\n";
  const std::string fallback =
      "the export holds no CurrentControlSet; CurrentControlSet is ControlSet001 (no "
      "Select\\Current value: using ControlSet001 of 2 control sets)";
  for (const char* current : {
           "\"Current\"=\"2\"",                  // text
           "\"Current\"=hex(b):02,00,00,00",     // REG_QWORD of four bytes
           "\"Current\"=hex:02,00,00,00",        // binary
           "\"Current\"=hex(5):02,00,00,00",     // big-endian dword
           "\"Current\"=hex(4):02,00,00,00,00",  // a dword too long
           "\"Current\"=hex(4):02,00",           // and too short
           "\"Current\"=hex(4):",
           "\"Currently\"=dword:00000002",  // another value
       }) {
    EXPECT_EQ(chosen(current, sets), fallback) << current;
  }
  EXPECT_EQ(chosen("\"Current\"=hex(4):02,00,00,00", sets),
            "the export holds no CurrentControlSet; CurrentControlSet is ControlSet002 "
            "(Select\\Current)");
  EXPECT_EQ(chosen("\"current\"=dword:00000102", sets + "[HKLM\\SYSTEM\\ControlSet258]\n"),
            "the export holds no CurrentControlSet; CurrentControlSet is ControlSet258 "
            "(Select\\Current)");
}

TEST(LinkExportControlSet, MissingOrAbsentSelectFallsBack) {
  MemoryRegistry missing(TextEncoding::Utf8);
  LoadRegText(missing,
              kV5 +
                  "[HKLM\\SYSTEM\\Select]\n\"Current\"=dword:00000003\n"
                  "[HKLM\\SYSTEM\\ControlSet002\\Control\\Two]\n"
                  "[HKLM\\SYSTEM\\ControlSet001\\Control\\One]\n",
              "t.reg");
  EXPECT_EQ(LinkExportControlSet(missing),
            "the export holds no CurrentControlSet; CurrentControlSet is ControlSet001 "
            "(Select\\Current names ControlSet003, which is missing: using ControlSet001 of 2 "
            "control sets)");
  EXPECT_TRUE(missing.KeyExists(root::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\One"));

  MemoryRegistry several(TextEncoding::Utf8);
  LoadRegText(several,
              kV5 +
                  "[HKLM\\SYSTEM\\ControlSet005\\Control\\Five]\n"
                  "[HKLM\\SYSTEM\\ControlSet003\\Control\\Three]\n",
              "t.reg");
  EXPECT_EQ(LinkExportControlSet(several),
            "the export holds no CurrentControlSet; CurrentControlSet is ControlSet003 (no "
            "Select\\Current value: using ControlSet003 of 2 control sets)");
  EXPECT_TRUE(several.KeyExists(root::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Three"));
}

// An offline hive's Select key is read where the hive is, not below SYSTEM.
TEST(LinkExportControlSet, OfflineHiveSelectIsItsOwn) {
  MemoryRegistry reg(TextEncoding::Utf8);
  LoadRegText(reg,
              kV5 +
                  "[HKLM\\OFFLINE\\Select]\n\"Current\"=dword:00000002\n"
                  "[HKLM\\OFFLINE\\ControlSet001\\Control\\Old]\n"
                  "[HKLM\\OFFLINE\\ControlSet002\\Control\\New]\n",
              "t.reg");
  EXPECT_EQ(LinkExportControlSet(reg),
            "the export holds no CurrentControlSet; HKEY_LOCAL_MACHINE\\OFFLINE stands for "
            "SYSTEM; CurrentControlSet is ControlSet002 (Select\\Current)");
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\New"));
}

}  // namespace
}  // namespace vormlan::registry
