#pragma once
// The code page that 8-bit INF files are read in: the system's ANSI code
// page on Windows, Windows-1252 elsewhere (where the INF is made for a
// Windows that most often uses it).

#include <optional>
#include <string>
#include <string_view>

namespace vormlan {

// The UTF-8 text in the INF code page, or nothing when the code page lacks
// one of its characters (no "best fit" stand-ins).
std::optional<std::string> ToInfCodePage(std::string_view utf8);

// The code page's name for messages, e.g. "Windows-1252".
std::string InfCodePageName();

}  // namespace vormlan
