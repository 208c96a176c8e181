#pragma once
// What the command line needs from the console or terminal it runs in.
// Implementations: Terminal_posix.cpp and Terminal_win32.cpp.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vormlan::cli {

// Whether stream (stdout or stderr) is an interactive terminal or console.
bool IsTerminal(std::FILE* stream);

// Puts stream into binary mode, so that bytes go out exactly as written.
void UseBinaryMode(std::FILE* stream);

// Writes UTF-8 text to stream when it is a Windows console, through the
// console's Unicode interface: whether that worked. Nothing (and nothing
// written) for anything else, which then gets the UTF-8 bytes.
std::optional<bool> WriteToConsole(std::FILE* stream, std::string_view utf8);

// The line end of the platform's text files: "\r\n" on Windows, "\n" elsewhere.
std::string_view LineEnd();

// The program's arguments in UTF-8 (on Windows read from the Unicode command
// line, so that no name turns into "?").
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace vormlan::cli
