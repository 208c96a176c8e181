// Files that are no sound hive. Each gives a HiveError whose message starts
// with the file's name and says what is wrong, or opens and then answers
// reads with registry error codes: never a crash, a hang or a runaway
// allocation. (Run these under AddressSanitizer and UBSan too.)

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/Unicode.h"
#include "print/DriverLookup.h"
#include "print/DriverRegistration.h"
#include "print/PrintQueues.h"
#include "probes/Printers.h"
#include "registry/HiveRegistry.h"
#include "tests/support/HiveFixture.h"
#include "tests/support/TestSupport.h"

namespace vormlan::registry {
namespace {

using Strings = std::vector<std::string>;

const std::vector<std::string> kPrinters = {"Laser Two",      "Laser Three",  "Both Versions",
                                            "\\\\srv\\laser", "Lost Monitor", "Dword Driver"};
const std::vector<std::string> kValueNames = {"Printer Driver", "Driver",  "Dependent Files",
                                              "Data File",      "Monitor", "Current"};

std::uint32_t Get32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The cell of the key whose (ASCII) name occurs once in the hive.
std::size_t KeyCell(const std::string& hive, const std::string& name) {
  const std::size_t at = hive.find(name) - 0x50;
  EXPECT_EQ(hive.substr(at + 4, 2), "nk") << name;
  return at;
}

bool IsRegistryAnswer(long rc) {
  return rc == error::Success || rc == error::FileNotFound || rc == error::InvalidData;
}

// Reads all that can be reached (a bounded number of keys: a damaged hive
// may loop) and looks the printers up. Every answer must be one a registry
// gives; the lookup may fail with the accessor's exceptions only.
void ReadEverything(HiveRegistry& hive) {
  Strings pending{"SYSTEM"};
  for (std::size_t i = 0; i < pending.size() && i < 300; ++i) {
    KeyHandle key = 0;
    const long opened = hive.OpenKey(root::LocalMachine, pending[i], access::Read, key);
    ASSERT_TRUE(IsRegistryAnswer(opened)) << opened;
    if (opened != error::Success) continue;
    RegKey owned(hive, key);
    Strings names;
    const long listed = hive.EnumSubKeys(key, names);
    ASSERT_TRUE(IsRegistryAnswer(listed)) << listed;
    for (const std::string& name : names) pending.push_back(pending[i] + "\\" + name);
    for (const std::string& value : kValueNames) {
      std::uint32_t size = 0;
      const long queried = hive.QueryValue(key, value, nullptr, nullptr, &size);
      ASSERT_TRUE(IsRegistryAnswer(queried)) << queried;
      if (queried != error::Success) continue;
      ASSERT_LE(size, HiveRegistry::kMaxValueSize * 2);
      std::vector<std::uint8_t> data(size + 1);
      ASSERT_EQ(hive.QueryValue(key, value, nullptr, data.data(), &size), error::Success);
    }
  }
  for (const std::string& printer : kPrinters) {
    try {
      generation::LookupDriver(hive, printer);
    } catch (const Exception&) {
      // A failed lookup is a clean answer.
    }
  }
}

class HiveDamage : public ::testing::Test {
 protected:
  // A sound hive of the lookup's printers, written once.
  static const std::string& Sound() {
    static const std::string bytes = [] {
      const test::TempDir dir;
      const auto file = dir.Path() / "sound.hive";
      test::WriteHiveFromRegText(
          file, test::AsSavedHive(
                    test::ReadFile(std::string(VORMLAN_FIXTURE_DIR) + "/generation-printers.reg")));
      return test::ReadFile(file);
    }();
    return bytes;
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const auto file = dir_.Path() / name;
    test::WriteFile(file, bytes);
    return file.string();
  }

  // The message of the HiveError for file; "" when the file opens.
  static std::string Refusal(const std::string& file) {
    try {
      HiveRegistry hive(file);
    } catch (const HiveError& e) {
      return e.what();
    }
    return "";
  }

  test::TempDir dir_;
};

TEST_F(HiveDamage, WhatIsNoHiveIsRefusedByName) {
  std::string log = Sound();
  log[0x1C] = 1;
  std::string badSum = Sound();
  badSum[0x40] ^= 0x20;
  const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    const char* says;
  };
  for (const Case& c : {
           Case{"empty", "", "empty file"},
           Case{"text", "hello, world\n", "not a registry hive (no regf signature)"},
           Case{"regedit4", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n",
                "this is a registry export (text): use --registry"},
           Case{"v5-utf16", "\xFF\xFE" + unicode::ToUtf16Le(v5),
                "this is a registry export (text): use --registry"},
           Case{"v5-no-bom", unicode::ToUtf16Le(v5),
                "this is a registry export (text): use --registry"},
           Case{"v5-utf8", "\xEF\xBB\xBF" + v5, "this is a registry export (text): use --registry"},
           Case{"header-only", Sound().substr(0, 4096), "the hive is truncated (4096 bytes"},
           Case{"log", log, "this is a hive's transaction log, not the hive itself"},
           Case{"checksum", badSum, "the hive is damaged: wrong checksum in its header"},
       }) {
    const std::string file = Write(c.name, c.bytes);
    EXPECT_TRUE(Refusal(file).starts_with(file + ": " + c.says)) << Refusal(file);
  }

  const std::string missing = (dir_.Path() / "missing").string();
  EXPECT_TRUE(Refusal(missing).starts_with(missing + ": cannot read the file: ")) << missing;
  const std::string folder = dir_.Path().string();
  EXPECT_EQ(Refusal(folder), folder + ": is a directory, not a registry hive");
  const std::string fifo = (dir_.Path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // opening it would block
  EXPECT_TRUE(Refusal(fifo).starts_with(fifo + ": not a regular file")) << Refusal(fifo);
  const std::string huge = Write("huge", Sound());
  std::filesystem::resize_file(huge, HiveRegistry::kMaxFileSize + 1);  // sparse
  EXPECT_TRUE(Refusal(huge).starts_with(huge + ": too large for a registry hive")) << huge;
}

// Up to the size cap a hive is read: here the same hive with zeros after
// its last bin (sparse, nothing is written).
TEST_F(HiveDamage, FilesUpToTheSizeCapAreRead) {
  const std::string full = Write("full", Sound());
  std::filesystem::resize_file(full, HiveRegistry::kMaxFileSize);
  EXPECT_EQ(Refusal(full), "");
}

// The logs of a hive that was not closed cleanly are the files beside it
// named after it in any letter case; no other file is named.
TEST_F(HiveDamage, DirtyNoteNamesTheLogsOfTheHiveInAnyCase) {
  for (const char* name :
       {"system", "SYSTEM.LOG1", "System.log2", "system.LOG3", "software.LOG1", "systemx.LOG1"}) {
    Write(name, "");
  }
  const std::string folder = dir_.Path().string();
  EXPECT_EQ(DirtyNote(folder + "/system"),
            folder +
                "/system was not closed cleanly (its header's sequence numbers differ): it is read "
                "as it is, without the changes its transaction logs may hold (" +
                folder + "/SYSTEM.LOG1 and " + folder + "/System.log2, not replayed)");
}

TEST_F(HiveDamage, TruncatedHivesAreRefused) {
  const std::size_t size = Sound().size();
  for (const std::size_t length :
       {std::size_t{2}, std::size_t{4}, std::size_t{511}, std::size_t{4097}, std::size_t{8191},
        std::size_t{8192}, size / 2, size - 4096, size - 1}) {
    const std::string file = Write("cut", Sound().substr(0, length));
    const std::string says = length < 4 ? "not a registry hive" : "the hive is truncated";
    EXPECT_TRUE(Refusal(file).starts_with(file + ": " + says)) << length << ": " << Refusal(file);
  }
}

TEST_F(HiveDamage, FlippedBytesAreRefusedOrReadCleanly) {
  const std::uint8_t masks[] = {0x01, 0x80, 0xFF};
  std::size_t refused = 0, opened = 0, variant = 0;
  for (std::size_t at = 0; at < Sound().size(); at += 29, ++variant) {
    std::string bytes = Sound();
    bytes[at] = static_cast<char>(bytes[at] ^ masks[variant % 3]);
    const std::string file = Write("flipped", bytes);
    try {
      HiveRegistry hive(file);
      ++opened;
      ReadEverything(hive);
    } catch (const HiveError& e) {
      ++refused;
      EXPECT_TRUE(std::string(e.what()).starts_with(file + ": ")) << e.what();
    }
    if (HasFatalFailure()) FAIL() << "at byte " << at;
  }
  EXPECT_GT(refused, 0u);
  EXPECT_GT(opened, 0u);
}

constexpr char kOnePrinter[] = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\P]
"Printer Driver"="Some Driver Name"
)";

TEST_F(HiveDamage, DamagedCellsAnswerInvalidData) {
  const auto sound = dir_.Path() / "one.hive";
  test::WriteHiveFromRegText(sound, test::AsSavedHive(kOnePrinter));
  const std::string bytes = test::ReadFile(sound);
  const std::size_t vk = bytes.find("Printer Driver") - 0x18;
  ASSERT_EQ(bytes.substr(vk + 4, 2), "vk");
  const std::string printer = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P";

  // Declared data lengths beyond the cap, and beyond a cell that is no
  // big-data cell.
  for (const std::uint32_t length : {0x7FFFFF00u, HiveRegistry::kMaxValueSize + 1, 100u}) {
    std::string damaged = bytes;
    Put32(damaged, vk + 8, length);
    HiveRegistry hive(Write("value.hive", damaged));
    KeyHandle key = 0;
    ASSERT_EQ(hive.OpenKey(root::LocalMachine, printer, access::Read, key), error::Success);
    std::uint32_t size = 0;
    EXPECT_EQ(hive.QueryValue(key, "Printer Driver", nullptr, nullptr, &size), error::InvalidData)
        << length;
    hive.CloseKey(key);
  }

  // A subkey count that the subkey list does not hold.
  std::string damaged = bytes;
  Put32(damaged, KeyCell(bytes, "Printers") + 0x18, 2);
  HiveRegistry hive(Write("list.hive", damaged));
  KeyHandle key = 0;
  EXPECT_EQ(hive.OpenKey(root::LocalMachine, printer, access::Read, key), error::InvalidData);
  ASSERT_EQ(
      hive.OpenKey(root::LocalMachine, printer.substr(0, printer.size() - 2), access::Read, key),
      error::Success);
  Strings names{"stale"};
  EXPECT_EQ(hive.EnumSubKeys(key, names), error::InvalidData);
  EXPECT_EQ(names, Strings{"stale"});
  // The text says what is damaged, where.
  EXPECT_EQ(hive.ErrorText(error::InvalidData),
            "The data is invalid: the hive " + (dir_.Path() / "list.hive").string() +
                " is damaged: HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\"
                "Printers: subkey list unreadable.\r\n");
  // A lookup that goes on with the key it could not open says why.
  try {
    generation::LookupDriver(hive, "P");
    ADD_FAILURE() << "a damaged Printers key gave a driver";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("list.hive is damaged: "), std::string::npos) << e.what();
  }
  // The printer listing reports it rather than listing no printers.
  const auto listing = probes::ListPrintersFromRegistry(hive);
  EXPECT_TRUE(listing.names.empty());
  ASSERT_EQ(listing.problems.size(), 1u);
  EXPECT_NE(listing.problems[0].find("Printers: subkey list unreadable"), std::string::npos)
      << listing.problems[0];
  EXPECT_NE(listing.problems[0].find("list.hive is damaged"), std::string::npos)
      << listing.problems[0];
  // So does the listing of queues that list and generate --all read.
  const auto queues = generation::ListQueues(hive);
  EXPECT_TRUE(queues.queues.empty());
  ASSERT_EQ(queues.problems.size(), 1u);
  EXPECT_NE(queues.problems[0].find("Printers: subkey list unreadable"), std::string::npos)
      << queues.problems[0];

  // A count below what the list holds: libhivex would list fewer keys (here
  // none) without a word.
  damaged = bytes;
  Put32(damaged, KeyCell(bytes, "Printers") + 0x18, 0);
  HiveRegistry fewer(Write("fewer.hive", damaged));
  const auto fewerListing = probes::ListPrintersFromRegistry(fewer);
  EXPECT_TRUE(fewerListing.names.empty());
  ASSERT_EQ(fewerListing.problems.size(), 1u);
  EXPECT_NE(fewerListing.problems[0].find("its key counts 0 subkeys, its list holds 1"),
            std::string::npos)
      << fewerListing.problems[0];

  // The root key's own list: nothing of the hive can be read.
  damaged = bytes;
  Put32(damaged, 0x1000 + Get32(bytes, 0x24) + 0x18, 7);
  const std::string file = Write("root.hive", damaged);
  EXPECT_TRUE(Refusal(file).starts_with(file + ": the hive is damaged: the subkeys of its root"))
      << Refusal(file);
}

// A key name with an unpaired surrogate cannot be converted by libhivex:
// it is listed with U+FFFD in the surrogate's place, not left out, and the
// key opens under that name.
TEST_F(HiveDamage, KeyNamesWithALoneSurrogateAreListedWithAReplacement) {
  const auto sound = dir_.Path() / "names.hive";
  test::WriteHiveFromRegText(
      sound, test::AsSavedHive("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n"
                               "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\"
                               "Print\\Printers\\\xCE\xA9mega]\n"
                               "\"Printer Driver\"=\"D\"\n"
                               "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\"
                               "Print\\Printers\\Plain]\n"));
  std::string bytes = test::ReadFile(sound);
  const std::string omega("\xA9\x03m\0e\0g\0a\0", 10);
  const std::size_t at = bytes.find(omega);
  ASSERT_NE(at, std::string::npos);
  bytes[at] = '\x00';
  bytes[at + 1] = '\xD8';  // a high surrogate with no low one after it
  HiveRegistry hive(Write("surrogate.hive", bytes));
  const std::string replaced = "\xEF\xBF\xBDmega";
  EXPECT_EQ(probes::PrinterNamesFromRegistry(hive), (Strings{"Plain", replaced}));
  KeyHandle key = 0;
  ASSERT_EQ(hive.OpenKey(root::LocalMachine,
                         "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + replaced,
                         access::Read, key),
            error::Success);
  hive.CloseKey(key);
}

// The names read into the index have a budget: past it a list answers 13,
// and the message names the hive, the key and the budget, not damage.
TEST_F(HiveDamage, NamesPastTheIndexBudgetAreAnErrorNamingTheKey) {
  const std::string file = Write("sound.hive", Sound());
  HiveRegistry roomy(file, HiveMount{}, 64 * 1024);
  HiveRegistry unbounded(file);
  EXPECT_EQ(probes::PrinterNamesFromRegistry(roomy), probes::PrinterNamesFromRegistry(unbounded));

  HiveRegistry tight(file, HiveMount{}, 1000);
  KeyHandle key = 0;
  long rc = tight.OpenKey(root::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers",
                          access::Read, key);
  if (rc == error::Success) {
    Strings names;
    rc = tight.EnumSubKeys(key, names);
    tight.CloseKey(key);
  }
  ASSERT_EQ(rc, error::InvalidData);
  const auto text = tight.ErrorText(rc);
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find("the hive " + file + " holds more than can be read: "), std::string::npos)
      << *text;
  EXPECT_NE(text->find("more names than the index of one hive holds (1000 bytes)"),
            std::string::npos)
      << *text;
}

// The budget is what the names take, each counted twice (as read and
// folded) with its entries' cost: exactly that much is read, a byte less is
// not. The root's subkeys are read as the hive is opened.
TEST_F(HiveDamage, TheIndexBudgetIsReachedNotCrossed) {
  const auto file = dir_.Path() / "two.hive";
  test::WriteMinimalHive(file, {"A", "BB"});
  const std::size_t needed = 2 * (1 + 2) + 2 * HiveRegistry::kIndexEntryCost;
  EXPECT_NO_THROW(HiveRegistry(file.string(), HiveMount{}, needed));
  EXPECT_THROW(HiveRegistry(file.string(), HiveMount{}, needed - 1), HiveError);
}

// A key name holding a separator (damage: Windows allows none) names no
// driver: taken as a path, it would open another key.
TEST_F(HiveDamage, DriverNamesWithASeparatorAreSkipped) {
  const std::string drivers =
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\"
      "Windows NT x86\\Drivers\\Version-3\\";
  const auto sound = dir_.Path() / "names.hive";
  test::WriteHiveFromRegText(
      sound, test::AsSavedHive("REGEDIT4\n\n" + drivers + "Sub\\Inner]\n\"Driver\"=\"in.dll\"\n\n" +
                               drivers + "SubXInner]\n\"Driver\"=\"x.dll\"\n"));
  std::string bytes = test::ReadFile(sound);
  bytes[bytes.find("SubXInner") + 3] = '\\';
  HiveRegistry hive(Write("separator.hive", bytes));
  Strings names;
  for (const auto& d : generation::ListDrivers(hive)) names.push_back(d.name);
  EXPECT_EQ(names, Strings{"Sub"});
}

TEST_F(HiveDamage, LoopingKeysEndAtWindowsDepth) {
  const auto sound = dir_.Path() / "loop.hive";
  test::WriteHiveFromRegText(sound, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\LoopA\\LoopB]\n");
  std::string bytes = test::ReadFile(sound);
  // LoopB's subkey list becomes the root's, which holds LoopA.
  const std::size_t root = 0x1000 + Get32(bytes, 0x24);
  const std::size_t b = KeyCell(bytes, "LoopB");
  Put32(bytes, b + 0x18, 1);
  Put32(bytes, b + 0x20, Get32(bytes, root + 0x20));
  HiveRegistry hive(Write("looping.hive", bytes));

  std::string path = "SYSTEM";
  for (std::size_t depth = 0; depth < HiveRegistry::kMaxDepth; depth += 2) path += "\\LoopA\\LoopB";
  KeyHandle key = 0;
  ASSERT_EQ(hive.OpenKey(root::LocalMachine, path, access::Read, key), error::Success);
  EXPECT_EQ(hive.OpenKey(key, "LoopA", access::Read, key), error::InvalidData);
  ReadEverything(hive);
}

}  // namespace
}  // namespace vormlan::registry
