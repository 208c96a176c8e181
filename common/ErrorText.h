#pragma once
// The text the error box shows for an exception's message: the message with
// "." appended when it is not empty and its last character's code is above
// that of "." (0x2E). So "String list expected" gains a period, while
// "Invalid data type for 'Driver'" (ending in an apostrophe) does not.

#include <string>
#include <string_view>

namespace vormlan {

inline std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > 0x2E) text += '.';
  return text;
}

}  // namespace vormlan
