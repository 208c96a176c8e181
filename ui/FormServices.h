#pragma once
// What the main window asks of the system, injected so that tests can use
// fakes. The program's own implementation is SystemServices (SystemServices_win32.h).

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vormlan::ui {

// The architectures a queue's driver is registered for, by name ("x86",
// "x64", "arm64"), and the one packaged unless another is chosen.
struct ArchitectureChoice {
  std::vector<std::string> names;
  std::size_t preferred = 0;
};

class FormServices {
 public:
  virtual ~FormServices() = default;

  // The OS family: "Windows 31", "Windows 95", "Windows NT", "Windows 2000" or "".
  virtual std::string GetOSName() = 0;

  // The installed printers, one line each, in the order the system gives.
  virtual std::vector<std::string> InstalledPrinterNames() = 0;

  // One generation run over the printer list's lines and their selection.
  // Every error passes to the caller.
  virtual void Generate(const std::vector<std::string>& entries,
                        const std::function<bool(std::size_t)>& isSelected) = 0;

  // The same run for the named architecture's driver; an empty name is the
  // run above.
  virtual void Generate(const std::vector<std::string>& entries,
                        const std::function<bool(std::size_t)>& isSelected,
                        const std::string& architecture) {
    (void)architecture;
    Generate(entries, isSelected);
  }

  // The architectures the printer's driver is registered for; none where
  // its registration cannot be read (the generation run reports why) and
  // on 32-bit Windows, whose window packages x86 drivers only.
  virtual ArchitectureChoice ArchitecturesOf(const std::string& printer) {
    (void)printer;
    return {};
  }

  // Opens the default mail program on url ("mailto:..."); the outcome is ignored.
  virtual void OpenMailLink(const std::string& url) = 0;

  // Asks the program to end with exit code 0 once control is back in the
  // message loop; returns at once.
  virtual void RequestApplicationEnd() = 0;
};

}  // namespace vormlan::ui
