#include "host/PathText.h"

namespace vormlan::generation {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::vector<std::string> DirectoryChain(const std::string& dir) {
  std::string text = dir;
  while (text.size() > 1 && IsSeparator(text.back())) text.pop_back();
  std::vector<std::string> chain;
  if (text.empty()) return chain;

  // Skip what cannot be created: "C:", a leading root, a UNC server and share.
  std::size_t pos = 0;
  if (text.size() >= 2 && text[1] == ':') pos = 2;
  if (pos == 0 && text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    pos = 2;
    for (int part = 0; part < 2 && pos < text.size(); ++part) {
      while (pos < text.size() && !IsSeparator(text[pos])) ++pos;
      if (part == 0) ++pos;
    }
  }
  while (pos < text.size() && IsSeparator(text[pos])) ++pos;

  const std::size_t first = pos;
  for (; pos <= text.size(); ++pos) {
    if (pos == text.size() || IsSeparator(text[pos])) {
      if (pos > first && !IsSeparator(text[pos - 1])) chain.push_back(text.substr(0, pos));
    }
  }
  return chain;
}

std::string ParentOf(const std::string& path) {
  const auto sep = path.find_last_of("\\/");
  if (sep == std::string::npos) return ".";
  if (sep == 0) return path.substr(0, 1);
  if (sep == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, sep);
}

std::string CannotCreateFileMessage(const std::string& path, const std::string& systemText) {
  std::string text = systemText;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' ||
                           text.back() == '.' || text.back() == '\t')) {
    text.pop_back();
  }
  return "Cannot create file \"" + path + "\". " + text;
}

}  // namespace vormlan::generation
