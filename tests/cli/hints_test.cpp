// CloseNames: which registered names a mistyped one is taken for.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Hints.h"

namespace {

using vormlan::cli::CloseNames;
using Names = std::vector<std::string>;

TEST(CloseNames, TakesTyposForTheNameWithoutRegardToCaseOrBlanks) {
  const Names printers = {"Vormlan Demo Laser", "Office Laser", "Kitchen Inkjet"};
  EXPECT_EQ(CloseNames(printers, "Vormlan Demo Lazer"), Names{"Vormlan Demo Laser"});
  EXPECT_EQ(CloseNames(printers, "Ofice Laser"), Names{"Office Laser"});     // deletion
  EXPECT_EQ(CloseNames(printers, "Offfice Laser"), Names{"Office Laser"});   // insertion
  EXPECT_EQ(CloseNames(printers, "Offcie Laser"), Names{"Office Laser"});    // swap
  EXPECT_EQ(CloseNames(printers, "OFFICE  laser "), Names{"Office Laser"});  // case, blanks
  EXPECT_EQ(CloseNames(printers, "Garage Plotter"), Names{});
  // The name itself is no suggestion.
  EXPECT_EQ(CloseNames(printers, "Office Laser"), Names{});
}

TEST(CloseNames, AllowsMoreEditsForLongerNamesAndNoneForShortOnes) {
  EXPECT_EQ(CloseNames({"Evil"}, "Evl"), Names{});
  EXPECT_EQ(CloseNames({"EVIL"}, "evil"), Names{"EVIL"});
  EXPECT_EQ(CloseNames({"Evil"}, "Evli"), Names{"Evil"});
  EXPECT_EQ(CloseNames({"Evil"}, "Ebal"), Names{});  // two edits in four letters
  EXPECT_EQ(CloseNames({"Accounting Floor Two"}, "Acounting Flor Twoo"),
            Names{"Accounting Floor Two"});  // three edits in twenty letters
  EXPECT_EQ(CloseNames({"Accounting Floor Two"}, "Acountin Flor Twoo"), Names{});
}

TEST(CloseNames, OffersTheClosestFirstAndAtMostThree) {
  const Names printers = {"Laser 12", "Laser 1", "Laser 3", "Laser 4", "Laser 5"};
  const Names close = CloseNames(printers, "Laser 2");
  ASSERT_EQ(close.size(), 3u);
  // "Laser 12" is one insertion away, as the others are one substitution:
  // ties keep the candidates' order.
  EXPECT_EQ(close, (Names{"Laser 12", "Laser 1", "Laser 3"}));
  // A name that differs only in case or blanks leaves no room for guesses.
  EXPECT_EQ(CloseNames({"Laser 22", "Laser 2x", "Laser 2"}, "laser2"), Names{"Laser 2"});
}

TEST(CloseNames, CountsLettersNotBytes) {
  // One accented letter is one edit, though UTF-8 spends two bytes on it.
  EXPECT_EQ(CloseNames({"Café Ωmega"}, "Cafe Ωmega"), Names{"Café Ωmega"});
  EXPECT_EQ(CloseNames({"プリンタ"}, "プリンダ"), Names{"プリンタ"});
  // Bytes that are no UTF-8 stand for themselves.
  EXPECT_EQ(CloseNames({std::string("Bad\xff Name")}, "Bad Name"),
            Names{std::string("Bad\xff Name")});
}

TEST(CloseNames, ManyCandidatesOfAnyLengthStayCheap) {
  Names printers;
  for (int i = 0; i < 20000; ++i) printers.push_back("Printer " + std::to_string(i));
  printers.push_back(std::string(100000, 'x'));
  const Names close = CloseNames(printers, "Printer 1234x");
  ASSERT_FALSE(close.empty());
  EXPECT_EQ(close.front(), "Printer 1234");
}

}  // namespace
