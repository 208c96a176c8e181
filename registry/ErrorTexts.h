#pragma once
// Windows' English message texts for the error codes that the registries
// without a system behind them (in-memory, hive) answer with, as
// FormatMessage gives them, each ending in "\r\n".

#include <optional>
#include <string>

namespace vormlan::registry {

// The text for code, or nothing for a code these registries never return.
std::optional<std::string> EnglishErrorText(long code);

}  // namespace vormlan::registry
