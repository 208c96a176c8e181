#pragma once
// Text from outside (registry names, file names, values of another machine's
// disk) made safe to print as one line.

#include <string>
#include <string_view>

namespace vormlan {

// Control characters as C escapes ("\n", "\r", "\t", "\x01", lower-case
// hex; DEL is "\x7f"), so that a name holding a line break cannot pass for
// two lines nor a terminal escape sequence reach the terminal. Everything
// else, UTF-8 included, is kept as it is.
std::string EscapeControls(std::string_view text);

}  // namespace vormlan
