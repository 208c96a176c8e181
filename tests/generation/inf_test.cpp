#include <gtest/gtest.h>

#include "generation/InfComposer.h"

namespace vormlan::generation {
namespace {

TEST(InfSmoke, EndsWithDestinationDirs) {
  const auto inf = ComposeInf(DriverDescription{});
  ASSERT_FALSE(inf.lines.empty());
  EXPECT_EQ(inf.lines.back(), "DefaultDestDir=66000");
}

}  // namespace
}  // namespace vormlan::generation
