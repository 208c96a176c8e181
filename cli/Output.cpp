#include "cli/Output.h"

#include <cerrno>
#include <cstring>

#include "cli/Terminal.h"

namespace vormlan::cli {

Stream::Stream(std::FILE* file, const char* name, bool escapeControls)
    : file_(file), name_(name), terminal_(cli::IsTerminal(file)), escapeControls_(escapeControls) {
  UseBinaryMode(file_);
}

void Stream::Write(std::string_view text) {
  if (text.empty()) return;
  if (const auto console = WriteToConsole(file_, text)) {
    if (!*console) failed_ = true;
    return;
  }
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
    if (!failed_) error_ = errno;
    failed_ = true;
  }
}

void Stream::Text(std::string_view text) {
  const std::string_view end = LineEnd();
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += end;
    } else if (c == '\n') {
      out += end;
    } else if (escapeControls_ && c != '\t' &&
               (static_cast<unsigned char>(c) < 0x20 || c == '\x7F')) {
      out += EscapeControls(std::string_view(&c, 1));
    } else {
      out += c;
    }
  }
  Write(out);
}

void Stream::Line(std::string_view text) {
  Text(text);
  Write(LineEnd());
}

void Stream::Raw(std::string_view bytes) {
  Write(bytes);
}

void Stream::Flush() {
  if (std::fflush(file_) != 0) {
    if (!failed_) error_ = errno;
    failed_ = true;
  }
}

Stream& Out() {
  static Stream stream(stdout, "standard output");
  return stream;
}

Stream& Err() {
  static Stream stream(stderr, "standard error", true);
  return stream;
}

int Finish(int status) {
  Out().Flush();
  Err().Flush();
  for (Stream* s : {&Out(), &Err()}) {
    if (!s->Failed()) continue;
    if (s != &Err()) {
      std::string message = std::string("vormlan-cli: cannot write to ") + s->Name();
      if (s->Error() != 0) message += std::string(": ") + std::strerror(s->Error());
      Err().Line(message);
      Err().Flush();
    }
    return 1;
  }
  return status;
}

namespace {
bool quietMode = false;
}  // namespace

void SetQuiet(bool quiet) {
  quietMode = quiet;
}

bool IsQuiet() {
  return quietMode;
}

void Note(std::string_view text) {
  if (!quietMode) Err().Line("note: " + EscapeControls(text));
}

void Warning(std::string_view text) {
  if (!quietMode) Err().Line("warning: " + EscapeControls(text));
}

std::string EscapeMessage(std::string_view message) {
  // The system's text of a registry error, up to and with its last CR LF.
  std::size_t trusted = 0;
  if (message.starts_with("Error ")) {
    std::size_t p = 6;
    while (p < message.size() && message[p] >= '0' && message[p] <= '9') ++p;
    if (p > 6 && message.substr(p).starts_with(" : ")) {
      if (const auto end = message.find("\r\n:", p); end != std::string_view::npos) {
        trusted = end + 2;
      }
    }
  }
  // The line breaks that end the message.
  std::size_t tail = message.size();
  while (tail > trusted && (message[tail - 1] == '\r' || message[tail - 1] == '\n')) --tail;

  std::string out;
  out.reserve(message.size());
  std::size_t from = 0;
  for (std::size_t i = 0; i < trusted; ++i) {
    if (message[i] == '\r' || message[i] == '\n') {
      out += EscapeControls(message.substr(from, i - from));
      out += message[i];
      from = i + 1;
    }
  }
  out += EscapeControls(message.substr(from, tail - from));
  out.append(message.substr(tail));
  return out;
}

}  // namespace vormlan::cli
