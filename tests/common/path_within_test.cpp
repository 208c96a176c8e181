// Containment of paths, part by part.

#include <gtest/gtest.h>

#include "common/PathWithin.h"

namespace vormlan {
namespace {

using std::filesystem::path;

TEST(PathWithin, ComparesWholePartsNotPrefixes) {
  EXPECT_TRUE(PathWithin(path("/mnt/win/Windows"), path("/mnt/win/Windows")));
  EXPECT_TRUE(PathWithin(path("/mnt/win/Windows/System32/x"), path("/mnt/win/Windows")));
  EXPECT_TRUE(PathWithin(path("/mnt/win/Windows/x"), path("/mnt/win/Windows/")));
  // A sibling that starts like the folder is outside it.
  EXPECT_FALSE(PathWithin(path("/mnt/win/Windows.old/x"), path("/mnt/win/Windows")));
  EXPECT_FALSE(PathWithin(path("/mnt/win/Window"), path("/mnt/win/Windows")));
  EXPECT_FALSE(PathWithin(path("/mnt/win"), path("/mnt/win/Windows")));
  EXPECT_TRUE(PathWithin(path("/anything"), path("/")));
}

// Names that only start like the folder, and separators at either end.
TEST(PathWithin, SiblingsAndTrailingSeparators) {
  for (const char* sibling :
       {"/x/Windows2", "/x/Windows.old", "/x/Windows.old/", "/x/Windows_/a", "/x/Windows /a"}) {
    EXPECT_FALSE(PathWithin(path(sibling), path("/x/Windows"))) << sibling;
    EXPECT_FALSE(PathWithin(path(sibling), path("/x/Windows/"))) << sibling;
  }
  EXPECT_TRUE(PathWithin(path("/x/Windows/"), path("/x/Windows")));
  EXPECT_TRUE(PathWithin(path("/x/Windows/"), path("/x/Windows/")));
  EXPECT_TRUE(PathWithin(path("/x/Windows"), path("/x/Windows/")));
  EXPECT_FALSE(PathWithin(path("/x/Windows"), path("/x/Windows/System32/")));
  EXPECT_FALSE(PathWithin(path("/x/Windows/"), path("/x/Windows/System32")));
  EXPECT_FALSE(PathWithin(path("/y/Windows/a"), path("/x/Windows")));
}

}  // namespace
}  // namespace vormlan
