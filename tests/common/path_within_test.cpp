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

}  // namespace
}  // namespace vormlan
