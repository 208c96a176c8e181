#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include "cli/Terminal.h"
#include "common/UniqueHandle_win32.h"
#include "common/WideText_win32.h"

namespace vormlan::cli {
namespace {

HANDLE HandleOf(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

// The argument vector of CommandLineToArgvW, released with LocalFree.
class WideArguments {
 public:
  WideArguments() : argv_(CommandLineToArgvW(GetCommandLineW(), &argc_)) {}
  int Count() const { return argv_ ? argc_ : 0; }
  const wchar_t* At(int i) const { return argv_.Get()[i]; }

 private:
  int argc_ = 0;
  LocalBuffer<wchar_t*> argv_;
};

}  // namespace

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(HandleOf(stream), &mode) != FALSE;
}

void UseBinaryMode(std::FILE* stream) {
  _setmode(_fileno(stream), _O_BINARY);
}

std::optional<bool> WriteToConsole(std::FILE* stream, std::string_view utf8) {
  if (!IsTerminal(stream)) return std::nullopt;
  std::fflush(stream);
  const std::wstring wide = WideFromUtf8(utf8);
  std::size_t done = 0;
  while (done < wide.size()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
    if (WriteConsoleW(HandleOf(stream), wide.data() + done, chunk, &written, nullptr) == FALSE ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

std::string_view LineEnd() {
  return "\r\n";
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  const WideArguments wide;
  if (wide.Count() != argc) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < wide.Count(); ++i) arguments.push_back(Utf8FromWide(wide.At(i)));
  return arguments;
}

}  // namespace vormlan::cli
