#pragma once
// The page control of the main window as a model: a fixed row of pages, each
// with a tab that can be shown or hidden, and one active page. The window
// draws only the visible tabs; stepping with Next and Back ignores tab
// visibility, while clicking and Ctrl+Tab reach visible tabs only.

#include <cstddef>
#include <vector>

namespace vormlan::ui {

class PageControl {
 public:
  using PageIndex = std::size_t;

  // pageCount pages (at least one), every tab visible, `active` the active
  // page. Throws std::out_of_range when active is not a page.
  PageControl(std::size_t pageCount, PageIndex active);

  std::size_t PageCount() const { return tabVisible_.size(); }
  PageIndex ActivePage() const { return active_; }

  // Throws std::out_of_range for a page that does not exist.
  bool IsTabVisible(PageIndex page) const;

  // The pages whose tab is visible, in page order: the tabs as drawn.
  std::vector<PageIndex> VisibleTabs() const;

  // Position of page among the visible tabs, or -1 when its tab is hidden.
  int TabIndexOf(PageIndex page) const;

  // The operations below return true when they changed the active page.
  // They throw std::out_of_range for a page that does not exist and leave
  // the model unchanged then.

  // Shows or hides a page's tab. Hiding the active page's tab activates the
  // next page with a visible tab, wrapping round to the first; when no other
  // tab is visible the active page stays.
  bool SetTabVisible(PageIndex page, bool visible);

  // Next (forward) or previous page in page order, wrapping round, whether
  // or not its tab is visible.
  bool SelectNextPage(bool forward);

  // A click on the tab at position tabIndex among the visible tabs; a
  // position without a tab is ignored.
  bool ClickTab(std::size_t tabIndex);

  // Ctrl+Tab (forward) or Ctrl+Shift+Tab: the next page with a visible tab,
  // wrapping round; nothing when no other tab is visible.
  bool CycleVisibleTabs(bool forward);

 private:
  void Check(PageIndex page) const;
  // The nearest page from `from` in the given direction (wrapping, `from`
  // itself excluded) that satisfies the visibility filter, or `from`.
  PageIndex Step(PageIndex from, bool forward, bool visibleOnly) const;
  bool Activate(PageIndex page);

  std::vector<bool> tabVisible_;
  PageIndex active_;
};

}  // namespace vormlan::ui
