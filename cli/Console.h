#pragma once
// Text crossing the command line's edges. The core works in ANSI
// (Windows-1252); on Windows the console and argv already use it, elsewhere
// arguments and messages are UTF-8.

#include <string>

namespace vormlan::cli {

// A command-line argument as ANSI text.
std::string ArgToAnsi(const std::string& arg);

// ANSI text for the terminal (messages, printer names).
std::string ForTerminal(const std::string& ansiText);

// Standard output without newline translation, so file bytes come out exact.
void UseBinaryStdout();

}  // namespace vormlan::cli
