#include "ui/FolderList.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vormlan::ui {
namespace {

using Kind = FolderRow::Kind;

TEST(FolderPathTest, SplitsDriveAndUncPathsAndRejectsRelativeOnes) {
  auto path = SplitFolderPath("C:\\WINDOWS\\\\system32\\");
  ASSERT_TRUE(path);
  EXPECT_EQ(path->root, "C:\\");
  EXPECT_EQ(path->folders, (std::vector<std::string>{"WINDOWS", "system32"}));
  EXPECT_EQ(JoinFolderPath(*path, 0), "C:\\");
  EXPECT_EQ(JoinFolderPath(*path, 1), "C:\\WINDOWS");
  EXPECT_EQ(JoinFolderPath(*path, 9), "C:\\WINDOWS\\system32");

  auto unc = SplitFolderPath("\\\\srv\\share\\drivers");
  ASSERT_TRUE(unc);
  EXPECT_EQ(unc->root, "\\\\srv\\share\\");
  EXPECT_EQ(JoinFolderPath(*unc, 1), "\\\\srv\\share\\drivers");

  EXPECT_FALSE(SplitFolderPath("drivers\\out"));
  EXPECT_FALSE(SplitFolderPath("\\\\srv"));
  EXPECT_FALSE(SplitFolderPath(""));
}

TEST(FolderRowsTest, ShowsRootOpenFoldersCurrentThenSortedSubFolders) {
  const auto rows =
      FolderRows("C:\\Windows\\System", {"zeta", "Alpha", ".", "..", "beta", "Alpha2"});
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0].name, "C:\\");
  EXPECT_EQ(rows[0].path, "C:\\");
  EXPECT_EQ(rows[0].kind, Kind::Root);
  EXPECT_EQ(rows[1].name, "Windows");
  EXPECT_EQ(rows[1].path, "C:\\Windows");
  EXPECT_EQ(rows[1].kind, Kind::Open);
  EXPECT_EQ(rows[1].level, 1);
  EXPECT_EQ(rows[2].path, "C:\\Windows\\System");
  EXPECT_EQ(rows[2].kind, Kind::Current);
  EXPECT_EQ(CurrentFolderRow(rows), 2u);
  const std::vector<std::string> subs{rows[3].name, rows[4].name, rows[5].name, rows[6].name};
  EXPECT_EQ(subs, (std::vector<std::string>{"Alpha", "Alpha2", "beta", "zeta"}));
  EXPECT_EQ(rows[4].path, "C:\\Windows\\System\\Alpha2");
  EXPECT_EQ(rows[6].level, 3);
  EXPECT_EQ(rows[6].kind, Kind::Sub);
}

TEST(FolderRowsTest, AtTheRootTheRootIsCurrentAndSubFoldersHaveNoDoubledSeparator) {
  const auto rows = FolderRows("D:\\", {"temp"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].kind, Kind::Current);
  EXPECT_EQ(CurrentFolderRow(rows), 0u);
  EXPECT_EQ(rows[1].path, "D:\\temp");
  EXPECT_EQ(rows[1].level, 1);
  EXPECT_THROW(FolderRows("temp", {}), std::invalid_argument);
}

TEST(FolderRowsTest, EnteringARowMakesItsPathTheCurrentFolder) {
  const auto start = FolderRows("C:\\a\\b\\c", {"d"});
  // Up to an open folder: the folders below it disappear.
  const auto up = FolderRows(start[1].path, {"b", "x"});
  ASSERT_EQ(up.size(), 4u);
  EXPECT_EQ(up[1].kind, Kind::Current);
  EXPECT_EQ(up[2].path, "C:\\a\\b");
  // Down into a sub-folder: it becomes the deepest open row.
  const auto down = FolderRows(start[4].path, {});
  ASSERT_EQ(down.size(), 5u);
  EXPECT_EQ(down[4].path, "C:\\a\\b\\c\\d");
  EXPECT_EQ(down[4].kind, Kind::Current);
}

// UTF-8 names are taken apart at the separators only and ordered by letter,
// case ignored, in any script (byte order would put "Банк" before "архив").
TEST(FolderRowsTest, Utf8NamesInAnyScriptKeepTheirBytesAndSortByLetter) {
  const auto rows =
      FolderRows("C:\\Документы\\Пакеты", {"яблоко", "Банк", "архив", "Zeta", "alpha"},
                 registry::TextEncoding::Utf8);
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[1].name, "Документы");
  EXPECT_EQ(rows[2].path, "C:\\Документы\\Пакеты");
  EXPECT_EQ(rows[2].kind, Kind::Current);
  const std::vector<std::string> subs{rows[3].name, rows[4].name, rows[5].name, rows[6].name,
                                      rows[7].name};
  EXPECT_EQ(subs, (std::vector<std::string>{"alpha", "Zeta", "архив", "Банк", "яблоко"}));
  EXPECT_EQ(rows[5].path, "C:\\Документы\\Пакеты\\архив");
  EXPECT_EQ(ChooserStartFolder("C:\\Документы\\vormlan.exe", "D:\\"), "C:\\Документы");
}

TEST(ChooserStartTest, DriveStartsOpenInTheExecutablesFolderOthersInTheCurrentOne) {
  EXPECT_EQ(ChooserStartFolder("C:\\Program Files\\Vormlan\\vormlan.exe", "D:\\work"),
            "C:\\Program Files\\Vormlan");
  EXPECT_EQ(ChooserStartFolder("c:\\vormlan.exe", "D:\\work"), "c:\\");
  EXPECT_EQ(ChooserStartFolder("C:", "D:\\work"), "C:\\");
  EXPECT_EQ(ChooserStartFolder("vormlan.exe", "D:\\work"), "D:\\work");
  EXPECT_EQ(ChooserStartFolder("\\\\srv\\share\\vormlan.exe", "D:\\work"), "D:\\work");
  EXPECT_EQ(ChooserStartFolder("", "D:\\work"), "D:\\work");
  EXPECT_EQ(DriveRoot('E'), "E:\\");
}

}  // namespace
}  // namespace vormlan::ui
