#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "probes/Printers.h"
#include "registry/MemoryRegistry.h"

namespace vormlan::probes {
namespace {

using Lines = std::vector<std::string>;

struct Call {
  std::uint32_t flags;
  std::uint32_t level;
  std::uint32_t bufferSize;
};

// A spooler that answers like EnumPrintersA: the size a level needs is the
// records' fixed part plus their strings; a buffer too small is refused with
// 122 and the size needed. beforeCall runs at the start of every call, so a
// test can change the printers between the size and the data request.
class FakeSpooler : public PrinterEnumerator {
 public:
  std::vector<PrinterRecord> printers;
  std::vector<Call> calls;
  std::function<void(FakeSpooler&, std::size_t callIndex)> beforeCall;
  std::uint32_t failDataWith = 0;  // a data request fails with this code when set

  EnumerationResult Enumerate(std::uint32_t flags, std::uint32_t level,
                              std::uint32_t bufferSize) override {
    if (beforeCall) beforeCall(*this, calls.size());
    calls.push_back({flags, level, bufferSize});
    EnumerationResult result;
    result.needed = Needed(level);
    if (bufferSize != 0 && failDataWith != 0) {
      result.error = failDataWith;
      return result;
    }
    if (bufferSize < result.needed) {
      result.error = kErrorInsufficientBuffer;
      return result;
    }
    result.ok = true;
    if (bufferSize != 0) result.records = printers;
    return result;
  }

  std::uint32_t Needed(std::uint32_t level) const {
    std::uint32_t size = 0;
    for (const auto& p : printers) {
      size += level == 4 ? 12 : 20;
      size += static_cast<std::uint32_t>(p.name.size() + 1);
      if (level == 5) size += static_cast<std::uint32_t>(p.ports.size() + 1);
    }
    return size;
  }
};

// --- Platform choice and line forms.

TEST(ListPrinters, NtAsksLevelFourOfLocalAndConnections) {
  FakeSpooler spooler;
  spooler.printers = {{"Office Laser", "LPT1:"}, {"\\\\srv\\laser", ""}};
  EXPECT_EQ(ListPrinters(spooler, true), (Lines{"Office Laser", "\\\\srv\\laser"}));
  ASSERT_EQ(spooler.calls.size(), 2u);
  for (const auto& call : spooler.calls) {
    EXPECT_EQ(call.flags, 6u);
    EXPECT_EQ(call.level, 4u);
  }
  EXPECT_EQ(spooler.calls[0].bufferSize, 0u);
  EXPECT_EQ(spooler.calls[1].bufferSize, spooler.Needed(4));
}

TEST(ListPrinters, NtKeepsSpoolerOrderAndDuplicates) {
  FakeSpooler spooler;
  spooler.printers = {{"Zeta", ""}, {"alpha", ""}, {"Zeta", ""}, {"", ""}};
  EXPECT_EQ(ListPrinters(spooler, true), (Lines{"Zeta", "alpha", "Zeta", ""}));
}

TEST(ListPrinters, OtherPlatformsAskLevelFiveOfLocalOnly) {
  FakeSpooler spooler;
  spooler.printers = {{"Laser", "LPT1:"}};
  EXPECT_EQ(ListPrinters(spooler, false), Lines{"Laser on LPT1:"});
  ASSERT_EQ(spooler.calls.size(), 2u);
  for (const auto& call : spooler.calls) {
    EXPECT_EQ(call.flags, 2u);
    EXPECT_EQ(call.level, 5u);
  }
}

TEST(ListPrinters, LevelFiveGivesOneLinePerPortAndNoneWithoutPorts) {
  FakeSpooler spooler;
  spooler.printers = {{"Laser", "LPT1:, COM1:"}, {"Idle", ""}, {"Ink", "  FILE:"}};
  EXPECT_EQ(ListPrinters(spooler, false),
            (Lines{"Laser on LPT1:", "Laser on COM1:", "Ink on FILE:"}));
}

// --- Port lists.

TEST(SplitPorts, SplitsAtCommasSkippingLeadingBlanks) {
  EXPECT_EQ(SplitPorts("LPT1:, COM1:"), (Lines{"LPT1:", "COM1:"}));
  EXPECT_EQ(SplitPorts("LPT1:,COM1:,   FILE:"), (Lines{"LPT1:", "COM1:", "FILE:"}));
  EXPECT_EQ(SplitPorts("  LPT1:"), Lines{"LPT1:"});
  EXPECT_EQ(SplitPorts("LPT1: ,COM1:"), (Lines{"LPT1: ", "COM1:"}));  // trailing blanks stay
  EXPECT_EQ(SplitPorts("\\\\srv\\share"), Lines{"\\\\srv\\share"});
}

TEST(SplitPorts, StopsAtTheFirstEmptyItem) {
  EXPECT_EQ(SplitPorts("LPT1:,,COM1:"), Lines{"LPT1:"});
  EXPECT_EQ(SplitPorts("LPT1:,  ,COM1:"), Lines{"LPT1:"});
  EXPECT_EQ(SplitPorts("LPT1:,"), Lines{"LPT1:"});
  EXPECT_EQ(SplitPorts(",LPT1:"), Lines{});
  EXPECT_EQ(SplitPorts(""), Lines{});
  EXPECT_EQ(SplitPorts("   "), Lines{});
}

// --- Size protocol and failures.

TEST(ListPrinters, SizeZeroGivesEmptyListWithoutDataRequest) {
  FakeSpooler spooler;
  EXPECT_TRUE(ListPrinters(spooler, true).empty());
  EXPECT_EQ(spooler.calls.size(), 1u);
}

TEST(ListPrinters, FailedDataRequestGivesEmptyList) {
  FakeSpooler spooler;
  spooler.printers = {{"Laser", "LPT1:"}};
  spooler.failDataWith = 5;  // access denied
  EXPECT_TRUE(ListPrinters(spooler, true).empty());
  EXPECT_EQ(spooler.calls.size(), 2u);
}

TEST(ListPrinters, PrinterAddedBetweenRequestsIsListedWithTheNewSize) {
  FakeSpooler spooler;
  spooler.printers = {{"Laser", "LPT1:"}};
  spooler.beforeCall = [](FakeSpooler& s, std::size_t call) {
    if (call == 1) s.printers.push_back({"Added Meanwhile", "COM1:"});
  };
  EXPECT_EQ(ListPrinters(spooler, true), (Lines{"Laser", "Added Meanwhile"}));
  ASSERT_EQ(spooler.calls.size(), 3u);
  EXPECT_EQ(spooler.calls[2].bufferSize, spooler.Needed(4));
}

TEST(ListPrinters, PrintersAddedBeforeEveryRequestGiveUpAfterAFewTries) {
  FakeSpooler spooler;
  spooler.printers = {{"Laser", "LPT1:"}};
  spooler.beforeCall = [](FakeSpooler& s, std::size_t call) {
    if (call > 0) s.printers.push_back({"Printer " + std::to_string(call), "LPT1:"});
  };
  EXPECT_TRUE(ListPrinters(spooler, false).empty());
  EXPECT_EQ(spooler.calls.size(), 1u + kMaxDataRequests);
}

// --- The remembered list.

TEST(PrinterService, BuildsOnFirstRequestAndRemembers) {
  auto spooler = std::make_unique<FakeSpooler>();
  FakeSpooler& fake = *spooler;
  fake.printers = {{"Laser", ""}};
  PrinterService service(std::move(spooler), true);
  EXPECT_FALSE(service.Built());
  EXPECT_TRUE(fake.calls.empty());

  EXPECT_EQ(service.Names(), Lines{"Laser"});
  fake.printers = {{"Laser", ""}, {"Ink", ""}};
  EXPECT_EQ(service.Names(), Lines{"Laser"});
  fake.printers.clear();
  EXPECT_EQ(service.Names(), Lines{"Laser"});
  EXPECT_EQ(fake.calls.size(), 2u);
}

TEST(PrinterService, RemembersAnEmptyList) {
  int asked = 0;
  std::vector<Lines> answers = {{}, {"Late Printer"}};
  PrinterService service([&] { return answers.at(asked++); });
  EXPECT_TRUE(service.Names().empty());
  EXPECT_TRUE(service.Built());
  EXPECT_TRUE(service.Names().empty());
  EXPECT_EQ(asked, 1);
}

TEST(PrinterService, FailingSourceIsAskedAgain) {
  int asked = 0;
  PrinterService service([&]() -> Lines {
    if (asked++ == 0) throw std::runtime_error("spooler gone");
    return {"Laser"};
  });
  EXPECT_THROW(service.Names(), std::runtime_error);
  EXPECT_FALSE(service.Built());
  EXPECT_EQ(service.Names(), Lines{"Laser"});
}

TEST(SystemPrinterService, GivenSourceReplacesTheRememberedList) {
  SetSystemPrinterSource([] { return Lines{"First"}; });
  EXPECT_EQ(InstalledPrinterNames(), Lines{"First"});
  SetSystemPrinterSource([] { return Lines{"Second"}; });
  EXPECT_EQ(InstalledPrinterNames(), Lines{"Second"});
  EXPECT_EQ(&SystemPrinterService(), &SystemPrinterService());
  SetSystemPrinterSource(SystemPrinterSource());
}

#ifndef _WIN32
TEST(SystemPrinterService, NoSpoolerMeansNoPrinters) {
  SetSystemPrinterSource(SystemPrinterSource());
  EXPECT_TRUE(InstalledPrinterNames().empty());
}
#endif

// --- Printer names of a registry.

const char kPrinters[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

std::string PrinterKey(const std::string& name) {
  return std::string(kPrinters) + "\\" + name;
}

TEST(PrinterNamesFromRegistry, NameValueOrElseKeyNameWithBackslashes) {
  registry::MemoryRegistry reg;
  reg.SetString(registry::root::LocalMachine, PrinterKey("Office Laser 5"), "Name",
                "Office Laser 5");
  reg.CreateKey(registry::root::LocalMachine, PrinterKey(",,srv,laser"));
  reg.SetString(registry::root::LocalMachine, PrinterKey("Renamed Key"), "Name", "Shown Name");
  reg.SetString(registry::root::LocalMachine, PrinterKey("Blank Name"), "Name", "");
  EXPECT_EQ(PrinterNamesFromRegistry(reg),
            (Lines{"\\\\srv\\laser", "Blank Name", "Office Laser 5", "Shown Name"}));
}

TEST(PrinterNamesFromRegistry, NonStringNameFallsBackToKeyName) {
  registry::MemoryRegistry reg;
  reg.SetDword(registry::root::LocalMachine, PrinterKey("Dword Name"), "Name", 7);
  reg.SetValue(registry::root::LocalMachine, PrinterKey("Expand"), "Name",
               registry::value_type::ExpandSz, std::string("Expanded\0", 9));
  EXPECT_EQ(PrinterNamesFromRegistry(reg), (Lines{"Dword Name", "Expanded"}));
}

TEST(PrinterNamesFromRegistry, NoPrintersKeyGivesEmptyList) {
  registry::MemoryRegistry reg;
  EXPECT_TRUE(PrinterNamesFromRegistry(reg).empty());
  reg.CreateKey(registry::root::LocalMachine, kPrinters);
  EXPECT_TRUE(PrinterNamesFromRegistry(reg).empty());
}

}  // namespace
}  // namespace vormlan::probes
