#include "ui/PageControl.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vormlan::ui {
namespace {

using Pages = std::vector<PageControl::PageIndex>;

TEST(PageControlTest, StartsWithEveryTabVisibleAndTheGivenPageActive) {
  PageControl pages(3, 2);
  EXPECT_EQ(pages.ActivePage(), 2u);
  EXPECT_EQ(pages.VisibleTabs(), (Pages{0, 1, 2}));
  EXPECT_THROW(PageControl(2, 2), std::out_of_range);
  EXPECT_THROW(PageControl(0, 0), std::out_of_range);
  EXPECT_THROW(pages.SetTabVisible(3, false), std::out_of_range);
  EXPECT_EQ(pages.VisibleTabs(), (Pages{0, 1, 2}));
}

TEST(PageControlTest, NextAndPreviousStepThroughAllPagesWrappingAndIgnoringHiddenTabs) {
  PageControl pages(3, 0);
  pages.SetTabVisible(1, false);
  EXPECT_TRUE(pages.SelectNextPage(true));
  EXPECT_EQ(pages.ActivePage(), 1u);  // hidden tab, reached anyway
  pages.SelectNextPage(true);
  EXPECT_EQ(pages.ActivePage(), 2u);
  pages.SelectNextPage(true);
  EXPECT_EQ(pages.ActivePage(), 0u);
  pages.SelectNextPage(false);
  EXPECT_EQ(pages.ActivePage(), 2u);
  pages.SelectNextPage(false);
  EXPECT_EQ(pages.ActivePage(), 1u);

  PageControl two(2, 0);
  EXPECT_TRUE(two.SelectNextPage(false));
  EXPECT_EQ(two.ActivePage(), 1u);
  EXPECT_TRUE(two.SelectNextPage(false));
  EXPECT_EQ(two.ActivePage(), 0u);

  PageControl one(1, 0);
  EXPECT_FALSE(one.SelectNextPage(true));
}

TEST(PageControlTest, HidingTheActiveTabActivatesTheNextVisibleTabWrappingRound) {
  PageControl pages(4, 1);
  pages.SetTabVisible(2, false);
  EXPECT_TRUE(pages.SetTabVisible(1, false));
  EXPECT_EQ(pages.ActivePage(), 3u);  // 2 is hidden too
  EXPECT_TRUE(pages.SetTabVisible(3, false));
  EXPECT_EQ(pages.ActivePage(), 0u);  // wrapped round
  EXPECT_FALSE(pages.SetTabVisible(0, false));
  EXPECT_EQ(pages.ActivePage(), 0u);  // no visible tab left: stays
  EXPECT_TRUE(pages.VisibleTabs().empty());

  PageControl other(2, 0);
  EXPECT_FALSE(other.SetTabVisible(1, false));  // not the active page
  EXPECT_EQ(other.ActivePage(), 0u);
  EXPECT_FALSE(other.SetTabVisible(1, true));
}

TEST(PageControlTest, TabsAreNumberedAmongTheVisibleOnes) {
  PageControl pages(3, 0);
  pages.SetTabVisible(1, false);
  EXPECT_EQ(pages.VisibleTabs(), (Pages{0, 2}));
  EXPECT_EQ(pages.TabIndexOf(0), 0);
  EXPECT_EQ(pages.TabIndexOf(1), -1);
  EXPECT_EQ(pages.TabIndexOf(2), 1);

  EXPECT_TRUE(pages.ClickTab(1));
  EXPECT_EQ(pages.ActivePage(), 2u);
  EXPECT_FALSE(pages.ClickTab(1));  // already active
  EXPECT_FALSE(pages.ClickTab(2));  // no such tab
  EXPECT_EQ(pages.ActivePage(), 2u);
}

TEST(PageControlTest, CtrlTabMovesAmongVisibleTabsOnly) {
  PageControl pages(3, 0);
  pages.SetTabVisible(1, false);
  EXPECT_TRUE(pages.CycleVisibleTabs(true));
  EXPECT_EQ(pages.ActivePage(), 2u);
  EXPECT_TRUE(pages.CycleVisibleTabs(true));
  EXPECT_EQ(pages.ActivePage(), 0u);
  EXPECT_TRUE(pages.CycleVisibleTabs(false));
  EXPECT_EQ(pages.ActivePage(), 2u);

  pages.SetTabVisible(0, false);
  EXPECT_FALSE(pages.CycleVisibleTabs(true));  // the only visible tab
  EXPECT_EQ(pages.ActivePage(), 2u);
}

}  // namespace
}  // namespace vormlan::ui
