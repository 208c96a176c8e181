#include "cli/Progress.h"

#include "cli/Output.h"

namespace vormlan::cli {
namespace {

// Long names are cut so that the line never wraps on a usual terminal.
constexpr std::size_t kMaxWidth = 76;

}  // namespace

Progress::Progress(bool quiet) : shown_(!quiet && Err().IsTerminal()) {}

Progress::~Progress() {
  Clear();
}

void Progress::Show(const std::string& text) {
  if (!shown_) return;
  // A name's line break would end the line that is rewritten; a cut inside a
  // UTF-8 character would show a broken one.
  std::string line = EscapeControls(text);
  if (line.size() > kMaxWidth) {
    std::size_t cut = kMaxWidth - 3;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    line = line.substr(0, cut) + "...";
  }
  const std::size_t width = line.size();
  if (width < width_) line.append(width_ - width, ' ');
  width_ = width;
  Err().Raw("\r" + line);
  Err().Flush();
}

void Progress::Step(std::size_t index, std::size_t count, const std::string& what) {
  step_ = "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "] " + what;
  lastPercent_ = -1;
  Show(step_);
}

void Progress::Bytes(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return;
  const int percent = static_cast<int>(done * 100 / total);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  Show(step_ + " " + std::to_string(percent) + "%");
}

void Progress::Clear() {
  if (!shown_ || width_ == 0) return;
  Err().Raw("\r" + std::string(width_, ' ') + "\r");
  Err().Flush();
  width_ = 0;
}

}  // namespace vormlan::cli
