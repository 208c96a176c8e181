#include "cli/FolderNames.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/Unicode.h"

namespace vormlan::cli {
namespace {

constexpr std::size_t kMaxBytes = 120;

bool IsDeviceName(const std::string& name) {
  // The part before the first dot decides, as it does for Windows, which
  // also ignores blanks at its end.
  std::string stem = unicode::Fold(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const std::array<const char*, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kPlain) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string SafeFolderName(const std::string& text) {
  std::string name;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    char32_t cp = 0;
    const bool valid = unicode::Decode(text, pos, cp);
    const bool forbidden = !valid || cp < 0x20 || cp == 0x7F ||
                           (cp < 0x80 && std::strchr("<>:\"/\\|?*", static_cast<char>(cp)));
    // A replaced character counts against the bound as any other.
    const std::size_t bytes = forbidden ? 1 : pos - start;
    if (name.size() + bytes > kMaxBytes) break;
    if (forbidden) {
      name += '_';
    } else {
      name.append(text, start, bytes);
    }
  }
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  if (name.empty()) return "driver";
  // The mark goes into the part before the first dot: "CON.txt_" would still
  // name the device.
  if (IsDeviceName(name)) name.insert(std::min(name.find('.'), name.size()), "_");
  return name;
}

void FolderNamer::Reserve(const std::string& name) {
  taken_.insert(unicode::Fold(name));
}

std::string FolderNamer::Next(const std::string& text) {
  const std::string base = SafeFolderName(text);
  std::string name = base;
  for (int n = 2; !taken_.insert(unicode::Fold(name)).second; ++n) {
    name = base + " (" + std::to_string(n) + ")";
  }
  return name;
}

}  // namespace vormlan::cli
