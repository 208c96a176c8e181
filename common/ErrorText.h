#pragma once
// The text the error box shows for an exception's message: the message with
// "." appended when it is not empty and its last character's code is above
// that of "." (0x2E). So "String list expected" gains a period, while
// "Invalid data type for 'Driver'" (ending in an apostrophe) does not.

#include <cstddef>
#include <string>
#include <string_view>

namespace vormlan {

inline std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > 0x2E) text += '.';
  return text;
}

// text with each of its line breaks (CR LF, LF or a lone CR) written as
// lineEnd: messages from the system end their lines in CR LF wherever they
// are read, while what is printed ends them as the platform does.
inline std::string WithLineEnds(std::string_view text, std::string_view lineEnd) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += lineEnd;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace vormlan
