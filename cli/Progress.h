#pragma once
// Progress of long runs on standard error, on one line that is rewritten:
// only when standard error is a terminal, and never with --quiet, so that
// logs and pipes get nothing but messages.

#include <cstdint>
#include <string>

namespace vormlan::cli {

class Progress {
 public:
  explicit Progress(bool quiet);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress();

  bool Shown() const { return shown_; }
  // "[3/17] <what>": the step under way.
  void Step(std::size_t index, std::size_t count, const std::string& what);
  // The bytes of the file under way, after the step's text.
  void Bytes(std::uint64_t done, std::uint64_t total);
  // Clears the line, before a message is printed or at the end.
  void Clear();

 private:
  void Show(const std::string& text);

  bool shown_;
  std::string step_;
  std::size_t width_ = 0;
  int lastPercent_ = -1;
};

}  // namespace vormlan::cli
