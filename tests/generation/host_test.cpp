// Package writing end to end on real directory trees: the portable host
// natively, the Win32 host under Wine.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "common/Exception.h"
#include "generation/PackageWriter.h"
#include "generation/PathText.h"
#include "tests/support/TestSupport.h"
#ifdef _WIN32
#include <windows.h>

#include "generation/host_win32.h"
#else
#include "generation/host_posix.h"
#endif

namespace vormlan::generation {
namespace {

namespace fs = std::filesystem;

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

TEST_F(HostPackageTest, CreatesTheDirectoryCopiesTheFilesAndWritesTheInf) {
  const fs::path out = temp_.Path() / "out" / "deep" / "pkg";
  host_->chosen = out.string();
  const auto result = WriteDriverPackage(*host_, 3, {"[Version]", "", " "}, files_);
  EXPECT_TRUE(result.missingFiles.empty());
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
  WriteDriverPackage(*host_, 3, {"first"}, files_);
  test::WriteFile(out / "three.gpd", "edited by the user");
  WriteDriverPackage(*host_, 3, {"second"}, files_);
  EXPECT_EQ(test::ReadFile(out / "three.gpd"), "edited by the user");
  EXPECT_EQ(test::ReadFile(out / "vormlan.inf"), "second\r\n");
}

TEST_F(HostPackageTest, MissingFilesAreReported) {
  files_.Add("nowhere.dll");
  host_->chosen = (temp_.Path() / "out").string();
  const auto result = WriteDriverPackage(*host_, 2, {"x"}, files_);
  // The version 2 store does not exist: only the System32 file is found.
  EXPECT_EQ(result.missingFiles,
            (std::vector<std::string>{"nowhere.dll", "three.gpd", "UNIDRV.DLL"}));
  ASSERT_EQ(host_->messages.size(), 1u);
  EXPECT_EQ(host_->messages[0],
            "Driver has been created, but these files were not found:\n"
            "nowhere.dll\nthree.gpd\nUNIDRV.DLL");
}

TEST_F(HostPackageTest, ReadOnlyInfIsLeftIntactWithAClearError) {
  const fs::path out = temp_.Path() / "out";
  host_->chosen = out.string();
  WriteDriverPackage(*host_, 3, {"first"}, files_);
#ifdef _WIN32
  SetFileAttributesA((out / "vormlan.inf").string().c_str(), FILE_ATTRIBUTE_READONLY);
#else
  fs::permissions(out / "vormlan.inf", fs::perms::owner_read | fs::perms::group_read);
#endif
  try {
    WriteDriverPackage(*host_, 3, {"second"}, files_);
    FAIL() << "expected an error";
  } catch (const Exception& e) {
    const std::string prefix = "Cannot create file \"" + out.string() + "\\vormlan.inf\". ";
    EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
    EXPECT_GT(std::string(e.what()).size(), prefix.size());
    EXPECT_NE(std::string(e.what()).back(), '.');
  }
  EXPECT_EQ(test::ReadFile(out / "vormlan.inf"), "first\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
#ifdef _WIN32
  SetFileAttributesA((out / "vormlan.inf").string().c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

TEST_F(HostPackageTest, DirectoryThatCannotBeCreatedGivesTheCannotCreateError) {
  test::WriteFile(temp_.Path() / "plainfile", "");
  const std::string dir = (temp_.Path() / "plainfile" / "sub").string();
  host_->chosen = dir;
  try {
    WriteDriverPackage(*host_, 3, {"x"}, files_);
    FAIL() << "expected an error";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + dir + "\\vormlan.inf\". ", 0),
              0u)
        << e.what();
  }
  EXPECT_TRUE(host_->messages.empty());
}

#ifndef _WIN32
TEST(PosixHost, ResolvesEachComponentIgnoringCase) {
  test::TempDir temp;
  fs::create_directories(temp.Path() / "System32" / "Spool");
  test::WriteFile(temp.Path() / "System32" / "Spool" / "unidrv.dll", "x");
  const auto resolved =
      PosixHost::Resolve(temp.Path().string() + "\\SYSTEM32\\spool\\\\UNIDRV.DLL");
  EXPECT_EQ(resolved, temp.Path() / "System32" / "Spool" / "unidrv.dll");
  // A missing component keeps its own spelling.
  EXPECT_EQ(PosixHost::Resolve(temp.Path().string() + "\\New\\File.txt"),
            temp.Path() / "New" / "File.txt");
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
