#pragma once
// Test doubles for the main window's services and dialogs. Every call is
// appended to a shared event log, so that tests can check the order of
// actions.

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/Dialogs.h"
#include "ui/FormServices.h"

namespace vormlan::ui::test {

using EventLog = std::vector<std::string>;

class FakeServices : public FormServices {
 public:
  explicit FakeServices(EventLog& log) : log_(log) {}

  std::string osName = "Windows NT";
  std::vector<std::string> printers;
  // Replaces the generation run when set.
  std::function<void(const std::vector<std::string>&, const std::function<bool(std::size_t)>&)>
      generate;
  int printerRequests = 0;
  int endRequests = 0;
  std::vector<std::string> mailLinks;
  // The entries and selected lines of each generation run.
  std::vector<std::vector<std::string>> generatedEntries;
  std::vector<std::vector<std::size_t>> generatedSelection;
  // The architectures each printer's driver is registered for, and the
  // architecture each run was asked for ("" for the one Windows runs on).
  std::map<std::string, ArchitectureChoice> architectures;
  std::vector<std::string> generatedArchitectures;

  std::string GetOSName() override {
    log_.push_back("os");
    return osName;
  }
  std::vector<std::string> InstalledPrinterNames() override {
    log_.push_back("printers");
    ++printerRequests;
    return printers;
  }
  void Generate(const std::vector<std::string>& entries,
                const std::function<bool(std::size_t)>& isSelected) override {
    log_.push_back("generate");
    generatedEntries.push_back(entries);
    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (isSelected(i)) selected.push_back(i);
    }
    generatedSelection.push_back(selected);
    generatedArchitectures.push_back(architecture_);
    if (generate) generate(entries, isSelected);
  }
  void Generate(const std::vector<std::string>& entries,
                const std::function<bool(std::size_t)>& isSelected,
                const std::string& architecture) override {
    architecture_ = architecture;
    Generate(entries, isSelected);
    architecture_.clear();
  }
  ArchitectureChoice ArchitecturesOf(const std::string& printer) override {
    log_.push_back("architectures " + printer);
    const auto found = architectures.find(printer);
    return found != architectures.end() ? found->second : ArchitectureChoice{};
  }
  void OpenMailLink(const std::string& url) override {
    log_.push_back("mail " + url);
    mailLinks.push_back(url);
  }
  void RequestApplicationEnd() override {
    log_.push_back("end");
    ++endRequests;
  }

 private:
  EventLog& log_;
  std::string architecture_;
};

class FakeDialogs : public Dialogs {
 public:
  explicit FakeDialogs(EventLog& log) : log_(log) {}

  std::vector<std::string> plainMessages;
  std::vector<std::string> errorBoxes;
  std::vector<std::string> chooserStarts;
  // The chooser's answer: a directory, or nothing for Cancel.
  std::optional<std::string> chosenDirectory;

  void ShowPlainMessage(const std::string& text) override {
    log_.push_back("message " + text);
    plainMessages.push_back(text);
  }
  void ShowErrorBox(const std::string& text) override {
    log_.push_back("error " + text);
    errorBoxes.push_back(text);
  }
  std::optional<std::string> ChooseDirectory(const std::string& start) override {
    log_.push_back("choose");
    chooserStarts.push_back(start);
    return chosenDirectory;
  }

 private:
  EventLog& log_;
};

}  // namespace vormlan::ui::test
