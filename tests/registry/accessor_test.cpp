#include <gtest/gtest.h>

#include "registry/MemoryRegistry.h"
#include "registry/unitEXRegistry.h"

namespace vormlan::registry {
namespace {

TEST(AccessorSmoke, ReadsAStringFromAnOpenedKey) {
  MemoryRegistry reg;
  reg.SetString(root::LocalMachine, "SOFTWARE\\Test", "Name", "value");
  TRegistry a(reg);
  a.SetRoot(root::LocalMachine);
  ASSERT_TRUE(a.OpenPath("\\SOFTWARE\\Test"));
  EXPECT_EQ(a.ReadText("Name"), "value");
  EXPECT_EQ(a.CurrentPath(), "SOFTWARE\\Test");
}

}  // namespace
}  // namespace vormlan::registry
