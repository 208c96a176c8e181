// Package writing end to end on real directory trees: the portable host
// natively, the Win32 host under Wine.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "common/Exception.h"
#include "generation/PackageWriter.h"
#include "host/PathText.h"
#include "tests/support/TestSupport.h"
#ifdef _WIN32
#include <windows.h>

#include "host/host_win32.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "host/host_posix.h"
#endif

namespace vormlan::generation {
namespace {

namespace fs = std::filesystem;

// The lines of a small INF installing driver on arch (x86: undecorated),
// with a comment that tells one run's INF from another's.
InfLines DriverInf(const std::string& driver, const std::string& note = "",
                   const std::string& decoration = "") {
  const std::string models = decoration.empty() ? "KEL" : "KEL." + decoration;
  return {"[Version]",        "Signature=\"$Windows NT$\"",
          "Class=Printer",    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}",
          "[Manufacturer]",   decoration.empty() ? "KEL=KEL" : "KEL=KEL," + decoration,
          "[" + models + "]", "\"" + driver + "\" = INST",
          "[INST]",           "; " + note};
}

// The system's host with its dialogs scripted and the Windows directory
// pointed at a test tree.
template <class Base>
class ScriptedHost : public Base {
 public:
  template <class... Args>
  explicit ScriptedHost(std::string windowsDir, Args&&... args)
      : Base(std::forward<Args>(args)...), windowsDir_(std::move(windowsDir)) {}
  std::string WindowsDir() override { return windowsDir_; }
  std::optional<std::string> ChooseDirectory(const std::string&) override { return chosen; }
  void ShowPlainMessage(const std::string& text) override { messages.push_back(text); }
  void RequestApplicationEnd() override {}

  std::optional<std::string> chosen;
  std::vector<std::string> messages;

 private:
  std::string windowsDir_;
};

#ifdef _WIN32
using SystemHost = ScriptedHost<Win32Host>;
std::unique_ptr<SystemHost> MakeHost(const fs::path& windows) {
  return std::make_unique<SystemHost>(windows.string());
}
#else
using SystemHost = ScriptedHost<PosixHost>;
std::unique_ptr<SystemHost> MakeHost(const fs::path& windows) {
  return std::make_unique<SystemHost>(windows.string(), windows.string());
}
#endif

class HostPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    windows_ = temp_.Path() / "windows";
    store3_ = windows_ / "system32" / "spool" / "drivers" / "w32x86" / "3";
    fs::create_directories(store3_);
    test::WriteFile(store3_ / "unidrv.dll", "unidrv");
    test::WriteFile(store3_ / "three.gpd", "gpd");
    test::WriteFile(windows_ / "system32" / "pjlmon.dll", "monitor");
    host_ = MakeHost(windows_);
    files_.Add("three.gpd");
    files_.Add("UNIDRV.DLL");  // registry spelling differs from the disk's
    files_.Add("pjlmon.dll");
    files_.Add("");
  }

  test::TempDir temp_;
  fs::path windows_;
  fs::path store3_;
  std::unique_ptr<SystemHost> host_;
  DriverFiles files_;
};

// A target path as the host joins it.
std::string Join(const SystemHost& host, const fs::path& dir, const std::string& name) {
  return dir.string() + host.Separator() + name;
}

TEST_F(HostPackageTest, CreatesTheDirectoryCopiesTheFilesAndWritesTheInf) {
  const fs::path out = temp_.Path() / "out" / "deep" / "pkg";
  host_->chosen = out.string();
  const auto result = WriteDriverPackage(*host_, 3, {"[Version]", "", " "}, files_);
  EXPECT_TRUE(result.missingFiles.empty());
  EXPECT_EQ(result.copiedFiles,
            (std::vector<std::string>{"pjlmon.dll", "three.gpd", "UNIDRV.DLL"}));
  EXPECT_EQ(host_->messages, std::vector<std::string>{"Driver has been created"});
  EXPECT_EQ(test::ReadFile(out / "vormlan.inf"), "[Version]\r\n\r\n \r\n");
  EXPECT_EQ(test::ReadFile(out / "pjlmon.dll"), "monitor");  // from System32
  EXPECT_EQ(test::ReadFile(out / "three.gpd"), "gpd");
  // Exactly the three files and the INF: no temporary file left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
}

TEST_F(HostPackageTest, VersionSelectsTheStoreAndZeroUsesVersion3) {
  const fs::path store2 = windows_ / "system32" / "spool" / "drivers" / "w32x86" / "2";
  fs::create_directories(store2);
  test::WriteFile(store2 / "three.gpd", "store 2");
  for (const int version : {2, 3, 0}) {
    const fs::path out = temp_.Path() / ("v" + std::to_string(version));
    host_->chosen = out.string();
    WriteDriverPackage(*host_, version, {"x"}, files_);
    EXPECT_EQ(test::ReadFile(out / "three.gpd"), version == 2 ? "store 2" : "gpd") << version;
  }
}

TEST_F(HostPackageTest, ArchitectureSelectsItsStoreFolder) {
  const fs::path x64 = windows_ / "system32" / "spool" / "drivers" / "x64" / "3";
  fs::create_directories(x64);
  test::WriteFile(x64 / "three.gpd", "64-bit");
  const fs::path out = temp_.Path() / "x64";
  host_->chosen = out.string();
  PackageOptions options;
  options.arch = Arch::X64;
  const auto result = WriteDriverPackage(*host_, 3, {"x"}, files_, options);
  EXPECT_EQ(test::ReadFile(out / "three.gpd"), "64-bit");
  EXPECT_EQ(result.missingFiles, std::vector<std::string>{"UNIDRV.DLL"});
}

TEST_F(HostPackageTest, CancelLeavesTheDiskAlone) {
  host_->chosen.reset();
  const auto before = std::distance(fs::recursive_directory_iterator(temp_.Path()),
                                    fs::recursive_directory_iterator());
  EXPECT_TRUE(WriteDriverPackage(*host_, 3, {"x"}, files_).cancelled);
  EXPECT_EQ(host_->messages, std::vector<std::string>{"Aborted"});
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(temp_.Path()),
                          fs::recursive_directory_iterator()),
            before);
}

TEST_F(HostPackageTest, SecondRunKeepsDriverFilesAndReplacesTheInf) {
  const fs::path out = temp_.Path() / "out";
  host_->chosen = out.string();
  WriteDriverPackage(*host_, 3, DriverInf("Laser", "first"), files_);
  const auto second = WriteDriverPackage(*host_, 3, DriverInf("laser", "second"), files_);
  EXPECT_NE(test::ReadFile(out / "vormlan.inf").find("; second"), std::string::npos);
  EXPECT_TRUE(second.copiedFiles.empty());
  EXPECT_EQ(second.keptFiles, (std::vector<std::string>{"pjlmon.dll", "three.gpd", "UNIDRV.DLL"}));
  EXPECT_TRUE(second.differingFiles.empty());
}

// A folder that holds another package is refused with nothing written, and
// written over with replace, which removes nothing else.
TEST_F(HostPackageTest, FolderOfAnotherPackageIsRefusedUnlessReplaced) {
  const fs::path out = temp_.Path() / "out";
  host_->chosen = out.string();
  WriteDriverPackage(*host_, 3, DriverInf("Laser"), files_);
  test::WriteFile(out / "notes.txt", "mine");
  const std::string before = test::ReadFile(out / "vormlan.inf");

  const auto refused = [&](const InfLines& inf, const std::string& named, const std::string& why,
                           Arch arch = Arch::X86) {
    try {
      PackageOptions options;
      options.arch = arch;
      WriteDriverPackage(*host_, 3, inf, files_, options);
      ADD_FAILURE() << "expected a refusal naming " << named;
    } catch (const Exception& e) {
      const std::string text = e.what();
      EXPECT_EQ(text.rfind("The folder \"" + host_->DisplayPath(out.string()) +
                               "\" holds another package; nothing was written:",
                           0),
                0u)
          << text;
      EXPECT_NE(text.find("\n" + named + ": " + why), std::string::npos) << text;
      EXPECT_FALSE(e.Hints().empty());
    }
    EXPECT_EQ(test::ReadFile(out / "vormlan.inf"), before);
  };
  refused(DriverInf("Other Laser"), "vormlan.inf", "the INF of another driver");
  refused(DriverInf("Laser", "", "NTamd64"), "vormlan.inf", "the INF of a package for x86, not x64",
          Arch::X64);

  test::WriteFile(out / "three.gpd", "edited by the user");
  refused(DriverInf("Laser", "again"), "three.gpd", "differs from the driver's file");
  test::WriteFile(out / "other.inf", "[Version]");
  refused(DriverInf("Laser", "again"), "other.inf", "the INF of another package");

  PackageOptions replace;
  replace.replace = true;
  const auto result = WriteDriverPackage(*host_, 3, DriverInf("Other Laser"), files_, replace);
  EXPECT_EQ(test::ReadFile(out / "three.gpd"), "gpd");
  EXPECT_NE(test::ReadFile(out / "vormlan.inf").find("Other Laser"), std::string::npos);
  EXPECT_EQ(test::ReadFile(out / "notes.txt"), "mine");
  EXPECT_EQ(test::ReadFile(out / "other.inf"), "[Version]");
  EXPECT_EQ(result.copiedFiles,
            (std::vector<std::string>{"pjlmon.dll", "three.gpd", "UNIDRV.DLL"}));
}

#ifndef _WIN32
// Where the file system tells letter case apart, a name the package holds
// in another spelling would leave both side by side; replace writes the
// package's file under the spelling that is there.
TEST_F(HostPackageTest, NameInAnotherCaseIsRefusedUnlessReplaced) {
  const fs::path out = temp_.Path() / "out";
  fs::create_directories(out);
  test::WriteFile(out / "unidrv.dll", "old");
  host_->chosen = out.string();
  try {
    WriteDriverPackage(*host_, 3, DriverInf("Laser"), files_);
    FAIL() << "expected a refusal";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("unidrv.dll: differs only in letter case from "
                                         "\"UNIDRV.DLL\""),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
  PackageOptions replace;
  replace.replace = true;
  WriteDriverPackage(*host_, 3, DriverInf("Laser"), files_, replace);
  EXPECT_FALSE(fs::exists(out / "UNIDRV.DLL"));
  EXPECT_EQ(test::ReadFile(out / "unidrv.dll"), "unidrv");
}
#endif

TEST_F(HostPackageTest, MissingFilesAreReportedWithTheFoldersSearched) {
  files_.Add("nowhere.dll");
  host_->chosen = (temp_.Path() / "out").string();
  const auto result = WriteDriverPackage(*host_, 2, {"x"}, files_);
  // The version 2 store does not exist: only the System32 file is found.
  EXPECT_EQ(result.missingFiles,
            (std::vector<std::string>{"nowhere.dll", "three.gpd", "UNIDRV.DLL"}));
  ASSERT_EQ(result.searchedFolders.size(), 2u);
  EXPECT_NE(result.searchedFolders[0].find("w32x86"), std::string::npos);
  ASSERT_EQ(host_->messages.size(), 1u);
  EXPECT_EQ(host_->messages[0],
            "Driver has been created, but these files were not found:\n"
            "nowhere.dll\nthree.gpd\nUNIDRV.DLL");
}

TEST_F(HostPackageTest, ReadOnlyInfIsLeftIntactWithAClearError) {
  const fs::path out = temp_.Path() / "out";
  host_->chosen = out.string();
  WriteDriverPackage(*host_, 3, DriverInf("Laser", "first"), files_);
#ifdef _WIN32
  SetFileAttributesA((out / "vormlan.inf").string().c_str(), FILE_ATTRIBUTE_READONLY);
#else
  fs::permissions(out / "vormlan.inf", fs::perms::owner_read | fs::perms::group_read);
#endif
  try {
    WriteDriverPackage(*host_, 3, DriverInf("Laser", "second"), files_);
    FAIL() << "expected an error";
  } catch (const Exception& e) {
    const std::string prefix = "Cannot create file \"" + Join(*host_, out, "vormlan.inf") + "\". ";
    EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
    EXPECT_GT(std::string(e.what()).size(), prefix.size());
    EXPECT_NE(std::string(e.what()).back(), '.');
  }
  EXPECT_NE(test::ReadFile(out / "vormlan.inf").find("; first"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
#ifdef _WIN32
  SetFileAttributesA((out / "vormlan.inf").string().c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

// The directory is named in the error, with the reason, before any copy.
TEST_F(HostPackageTest, DirectoryThatCannotBeCreatedIsNamedWithTheReason) {
  test::WriteFile(temp_.Path() / "plainfile", "");
  const std::string dir = Join(*host_, temp_.Path() / "plainfile", "sub");
  host_->chosen = dir;
  try {
    WriteDriverPackage(*host_, 3, {"x"}, files_);
    FAIL() << "expected an error";
  } catch (const Exception& e) {
    const std::string prefix = "Cannot create directory \"" + dir + "\": ";
    EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
    EXPECT_GT(std::string(e.what()).size(), prefix.size());
  }
  EXPECT_TRUE(host_->messages.empty());
}

// A killed run leaves its temporary files in its run folder; the next run
// into the folder removes them, but not those of a run still under way
// (which holds the lock of its folder), and the package holds none.
TEST_F(HostPackageTest, TemporaryFilesOfEndedRunsAreRemovedAndNeverInThePackage) {
  const fs::path out = temp_.Path() / "out";
  const fs::path temps = out / ".vormlan-tmp";
  fs::create_directories(temps / "run-killed");
  test::WriteFile(temps / "run-killed" / ".vormlan-AbCdEf", "partial");
  fs::create_directories(temps / "run-alive");
  test::WriteFile(temps / "run-alive" / ".vormlan-123456", "being written");
#ifdef _WIN32
  // A run holds its lock file open, to be deleted when closed.
  HANDLE alive = CreateFileW((temps / "run-alive.lock").wstring().c_str(), GENERIC_WRITE | DELETE,
                             0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(alive, INVALID_HANDLE_VALUE);
#else
  // A run holds a lock on its lock file; a killed run's lock is free.
  test::WriteFile(temps / "run-killed.lock", "");
  fs::create_directories(temps / "run-unlocked");
  test::WriteFile(temps / "run-unlocked" / ".vormlan-XyZ123", "partial");
  test::WriteFile(temps / "run-orphan.lock", "");  // killed before its folder was made
  test::WriteFile(temps / "run-alive.lock", "");
  const int alive = ::open((temps / "run-alive.lock").c_str(), O_RDWR);
  ASSERT_GE(alive, 0);
  ASSERT_EQ(::flock(alive, LOCK_EX), 0);
#endif

  host_->chosen = out.string();
  WriteDriverPackage(*host_, 3, {"x"}, files_);
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(temps)) {
    left.push_back(fs::relative(entry.path(), temps).generic_string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left,
            (std::vector<std::string>{"run-alive", "run-alive.lock", "run-alive/.vormlan-123456"}));

#ifdef _WIN32
  CloseHandle(alive);
#else
  ::close(alive);
#endif
  fs::remove(out / "three.gpd");
  WriteDriverPackage(*host_, 3, {"x"}, files_);
  EXPECT_FALSE(fs::exists(temps));
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
  EXPECT_EQ(test::ReadFile(out / "three.gpd"), "gpd");
}

#ifndef _WIN32
// Off Windows the target is a plain path: no case folding, no "\" splitting.
TEST_F(HostPackageTest, TargetIsAPlainPath) {
  fs::create_directories(temp_.Path() / "casetest" / "pkg");
  host_->chosen = (temp_.Path() / "casetest" / "PKG").string();
  WriteDriverPackage(*host_, 3, {"x"}, files_);
  EXPECT_TRUE(fs::exists(temp_.Path() / "casetest" / "PKG" / "vormlan.inf"));
  EXPECT_TRUE(fs::is_empty(temp_.Path() / "casetest" / "pkg"));

  host_->chosen = (temp_.Path() / "a\\b").string();
  WriteDriverPackage(*host_, 3, {"x"}, files_);
  EXPECT_TRUE(fs::exists(temp_.Path() / "a\\b" / "vormlan.inf"));
  EXPECT_FALSE(fs::exists(temp_.Path() / "a"));
}

// A copy that fails part-way (here: the file size limit stands in for a
// full disk) leaves nothing under the final name, is reported as a copy
// error naming the file and the reason, and a later run completes it.
TEST_F(HostPackageTest, FailedCopyLeavesNoPartialFile) {
  test::WriteFile(store3_ / "big.dll", std::string(64 * 1024, 'b'));
  files_.Add("big.dll");
  const fs::path out = temp_.Path() / "out";
  host_->chosen = out.string();
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 16 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string message;
  try {
    WriteDriverPackage(*host_, 3, {"x"}, files_);
  } catch (const Exception& e) {
    message = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(message, "Cannot copy file \"" + windows_.string() +
                         "/System32/Spool/Drivers/w32x86/3/big.dll\" to \"" +
                         (out / "big.dll").string() + "\". File too large");
  EXPECT_FALSE(fs::exists(out / "big.dll"));
  EXPECT_FALSE(fs::exists(out / "vormlan.inf"));
  for (const auto& entry : fs::directory_iterator(out)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".vormlan-", 0), std::string::npos)
        << "temporary file left: " << entry.path();
  }
  const auto rerun = WriteDriverPackage(*host_, 3, {"x"}, files_);
  EXPECT_EQ(test::ReadFile(out / "big.dll"), std::string(64 * 1024, 'b'));
  EXPECT_EQ(rerun.copiedFiles.front(), "big.dll");
}

// Links on another machine's disk must not reach this machine's files.
TEST_F(HostPackageTest, LinksLeavingTheWindowsDirectoryAreRefused) {
  test::WriteFile(temp_.Path() / "secret", "not a driver");
  fs::remove(store3_ / "three.gpd");
  fs::create_symlink(temp_.Path() / "secret", store3_ / "three.gpd");
  const fs::path out = temp_.Path() / "out";
  host_->chosen = out.string();
  try {
    WriteDriverPackage(*host_, 3, {"x"}, files_);
    FAIL() << "copied through a link that leads out";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("link that leads out of the Windows directory"),
              std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(fs::exists(out / "three.gpd"));

  // A link that stays inside is followed.
  fs::remove(store3_ / "three.gpd");
  fs::create_symlink("../../../../pjlmon.dll", store3_ / "three.gpd");
  WriteDriverPackage(*host_, 3, {"x"}, files_);
  EXPECT_EQ(test::ReadFile(out / "three.gpd"), "monitor");
}

// A link already in the target is neither written through nor taken for a
// kept file, even when it leads nowhere.
TEST_F(HostPackageTest, LinkInTheTargetIsAnError) {
  const fs::path out = temp_.Path() / "out";
  fs::create_directories(out);
  fs::create_symlink(temp_.Path() / "nowhere", out / "three.gpd");
  host_->chosen = out.string();
  try {
    WriteDriverPackage(*host_, 3, {"x"}, files_);
    FAIL() << "expected an error";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("three.gpd: a link"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(temp_.Path() / "nowhere"));
}

// Two runs into one folder at once: every file ends complete, each copied
// by exactly one of them, the other one keeping it.
TEST_F(HostPackageTest, ConcurrentRunsLeaveOnlyCompleteFiles) {
  const std::string content(4 * 1024 * 1024, 'c');
  DriverFiles many;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "file" + std::to_string(i) + ".dll";
    test::WriteFile(store3_ / name, content);
    many.Add(name);
  }
  const fs::path out = temp_.Path() / "out";
  auto first = MakeHost(windows_);
  auto second = MakeHost(windows_);
  first->chosen = second->chosen = out.string();
  many.Items();  // sorted once, before both runs read it
  PackageResult a;
  PackageResult b;
  std::thread other([&] { b = WriteDriverPackage(*second, 3, {"x"}, many); });
  a = WriteDriverPackage(*first, 3, {"x"}, many);
  other.join();
  EXPECT_EQ(a.copiedFiles.size() + b.copiedFiles.size(), 40u);
  EXPECT_EQ(a.keptFiles.size() + b.keptFiles.size(), 40u);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(fs::file_size(out / ("file" + std::to_string(i) + ".dll")), content.size());
  }
}

// A FIFO named like a driver file would block a plain open() forever: it is
// counted as missing, with what it is, and the run ends.
TEST_F(HostPackageTest, FifoOrFolderNamedLikeADriverFileIsMissingNotOpened) {
  const fs::path fifo = store3_ / "pipe.dll";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directories(store3_ / "folder.dll");
  files_.Add("pipe.dll");
  files_.Add("Folder.DLL");
  host_->chosen = (temp_.Path() / "out").string();
  std::promise<PackageResult> promise;
  auto future = promise.get_future();
  std::thread run([&] { promise.set_value(WriteDriverPackage(*host_, 3, {"x"}, files_)); });
  if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Let the blocked open go so that the test can end.
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    run.join();
    FAIL() << "the run blocked on a FIFO";
  }
  run.join();
  const auto result = future.get();
  EXPECT_EQ(result.missingFiles, (std::vector<std::string>{"Folder.DLL", "pipe.dll"}));
  ASSERT_EQ(result.missingReasons.size(), 2u);
  EXPECT_EQ(result.missingReasons[0].first, "Folder.DLL");
  EXPECT_TRUE(result.missingReasons[0].second.ends_with("/Folder.DLL is a folder, not a file"))
      << result.missingReasons[0].second;
  EXPECT_TRUE(result.missingReasons[1].second.ends_with("/pipe.dll is not a regular file"))
      << result.missingReasons[1].second;
  EXPECT_EQ(result.copiedFiles,
            (std::vector<std::string>{"pjlmon.dll", "three.gpd", "UNIDRV.DLL"}));
}

// A folder that differs from the file only in case does not hide the file,
// and a folder on the way is still found when a file shares its name.
TEST_F(HostPackageTest, CaseMatchingPrefersTheRegularFile) {
  fs::create_directories(store3_ / "A.DLL");
  test::WriteFile(store3_ / "a.dll", "the file");
  files_.Add("A.dll");
  const fs::path out = temp_.Path() / "out";
  host_->chosen = out.string();
  const auto result = WriteDriverPackage(*host_, 3, {"x"}, files_);
  EXPECT_TRUE(result.missingFiles.empty());
  EXPECT_EQ(test::ReadFile(out / "A.dll"), "the file");

  test::WriteFile(windows_ / "SYSTEM32", "a file beside the folder system32");
  const auto found = host_->ResolveSource(windows_.string() + "\\System32\\pjlmon.dll");
  EXPECT_EQ(found.state, PosixHost::Resolution::State::Found);
}

TEST(PosixHost, ResolvesSourcesIgnoringCaseAndRefusesClimbingOut) {
  test::TempDir temp;
  fs::create_directories(temp.Path() / "System32" / "Spool");
  test::WriteFile(temp.Path() / "System32" / "Spool" / "unidrv.dll", "x");
  test::WriteFile(temp.Path() / "System32" / "Spool" / "ÉCRAN.GPD", "x");
  SystemHost host(temp.Path().string(), temp.Path().string());
  const std::string root = temp.Path().string();
  auto found = host.ResolveSource(root + "\\SYSTEM32\\spool\\\\UNIDRV.DLL");
  EXPECT_EQ(found.state, PosixHost::Resolution::State::Found);
  EXPECT_EQ(found.path, temp.Path() / "System32" / "Spool" / "unidrv.dll");
  found = host.ResolveSource(root + "/system32/spool/écran.gpd");
  EXPECT_EQ(found.path, temp.Path() / "System32" / "Spool" / "ÉCRAN.GPD");
  EXPECT_EQ(host.ResolveSource(root + "\\New\\File.txt").state,
            PosixHost::Resolution::State::Missing);
  EXPECT_EQ(host.ResolveSource(root + "\\System32\\..\\..\\etc").state,
            PosixHost::Resolution::State::Refused);
  EXPECT_EQ(host.ResolveSource("/etc/passwd").state, PosixHost::Resolution::State::Refused);
  EXPECT_EQ(host.DisplayPath(root + "\\System32\\Spool"), root + "/System32/Spool");
}
#endif

TEST(PathText, DirectoryChainIsOutermostFirstAndSkipsRoots) {
  EXPECT_EQ(DirectoryChain("C:\\a\\b\\c"),
            (std::vector<std::string>{"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"}));
  EXPECT_EQ(DirectoryChain("C:\\a\\b\\"), (std::vector<std::string>{"C:\\a", "C:\\a\\b"}));
  EXPECT_EQ(DirectoryChain("C:\\"), std::vector<std::string>{});
  EXPECT_EQ(DirectoryChain("\\\\srv\\share\\x\\y"),
            (std::vector<std::string>{"\\\\srv\\share\\x", "\\\\srv\\share\\x\\y"}));
  EXPECT_EQ(DirectoryChain("/tmp/x"), (std::vector<std::string>{"/tmp", "/tmp/x"}));
  EXPECT_EQ(DirectoryChain("rel\\dir"), (std::vector<std::string>{"rel", "rel\\dir"}));
  EXPECT_TRUE(DirectoryChain("").empty());
}

TEST(PathText, CannotCreateMessageTrimsTheSystemText) {
  EXPECT_EQ(CannotCreateFileMessage("C:\\x\\vormlan.inf", "Access is denied. \r\n"),
            "Cannot create file \"C:\\x\\vormlan.inf\". Access is denied");
}

}  // namespace
}  // namespace vormlan::generation
