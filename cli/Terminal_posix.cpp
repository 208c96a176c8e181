#include <unistd.h>

#include "cli/Terminal.h"

namespace vormlan::cli {

bool IsTerminal(std::FILE* stream) {
  return ::isatty(::fileno(stream)) == 1;
}

void UseBinaryMode(std::FILE*) {}

std::optional<bool> WriteToConsole(std::FILE*, std::string_view) {
  return std::nullopt;
}

std::string_view LineEnd() {
  return "\n";
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace vormlan::cli
