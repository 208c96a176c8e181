#include "ui/PageControl.h"

#include <stdexcept>

namespace vormlan::ui {

PageControl::PageControl(std::size_t pageCount, PageIndex active)
    : tabVisible_(pageCount, true), active_(active) {
  if (pageCount == 0) throw std::out_of_range("page control without pages");
  Check(active);
}

void PageControl::Check(PageIndex page) const {
  if (page >= tabVisible_.size()) throw std::out_of_range("no such page");
}

bool PageControl::IsTabVisible(PageIndex page) const {
  Check(page);
  return tabVisible_[page];
}

std::vector<PageControl::PageIndex> PageControl::VisibleTabs() const {
  std::vector<PageIndex> tabs;
  for (PageIndex page = 0; page < tabVisible_.size(); ++page) {
    if (tabVisible_[page]) tabs.push_back(page);
  }
  return tabs;
}

int PageControl::TabIndexOf(PageIndex page) const {
  Check(page);
  if (!tabVisible_[page]) return -1;
  int index = 0;
  for (PageIndex p = 0; p < page; ++p) {
    if (tabVisible_[p]) ++index;
  }
  return index;
}

PageControl::PageIndex PageControl::Step(PageIndex from, bool forward, bool visibleOnly) const {
  const std::size_t count = tabVisible_.size();
  PageIndex page = from;
  for (std::size_t i = 1; i < count; ++i) {
    page = forward ? (page + 1) % count : (page + count - 1) % count;
    if (!visibleOnly || tabVisible_[page]) return page;
  }
  return from;
}

bool PageControl::Activate(PageIndex page) {
  if (page == active_) return false;
  active_ = page;
  return true;
}

bool PageControl::SetTabVisible(PageIndex page, bool visible) {
  Check(page);
  tabVisible_[page] = visible;
  if (!visible && page == active_) return Activate(Step(page, true, true));
  return false;
}

bool PageControl::SelectNextPage(bool forward) {
  return Activate(Step(active_, forward, false));
}

bool PageControl::ClickTab(std::size_t tabIndex) {
  const std::vector<PageIndex> tabs = VisibleTabs();
  if (tabIndex >= tabs.size()) return false;
  return Activate(tabs[tabIndex]);
}

bool PageControl::CycleVisibleTabs(bool forward) {
  return Activate(Step(active_, forward, true));
}

}  // namespace vormlan::ui
