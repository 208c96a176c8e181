#pragma once
// The system's message text for a Win32 error code (Windows builds only).

#include <windows.h>

#include <optional>
#include <string>

namespace vormlan {

// FormatMessageA for code in language neutral / default sublanguage (0x400),
// inserts ignored, from the system's message table and, when module is not
// null, from that module too. The text as the system returns it (trailing
// line break included), or nothing when neither source has one.
std::optional<std::string> SystemMessageText(DWORD code, HMODULE module = nullptr);

// The same text through FormatMessageW, in UTF-8.
std::optional<std::string> SystemMessageTextUtf8(DWORD code, HMODULE module = nullptr);

}  // namespace vormlan
