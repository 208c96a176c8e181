#include "cli/Console.h"

#include "common/Ansi.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#endif

namespace vormlan::cli {

std::string ArgToAnsi(const std::string& arg) {
#ifdef _WIN32
  return arg;
#else
  return ansi::IsValidUtf8(arg) ? ansi::FromUtf8(arg) : arg;
#endif
}

std::string ForTerminal(const std::string& ansiText) {
#ifdef _WIN32
  return ansiText;
#else
  return ansi::ToUtf8(ansiText);
#endif
}

void UseBinaryStdout() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

}  // namespace vormlan::cli
