#pragma once
// Where the command line writes: standard output and standard error, in
// UTF-8, each line ended as the platform ends lines (LF; CR LF on Windows,
// never CR CR LF). A Windows console gets the text through its Unicode
// interface. Raw bytes (an INF file) go out unchanged. A write that fails
// is remembered, so that the program can say so and exit 1.

#include <cstdio>
#include <string>
#include <string_view>

#include "common/Escape.h"

namespace vormlan::cli {

class Stream {
 public:
  // With escapeControls, Line and Text write the control characters of the
  // text other than line breaks and tabs as C escapes ("\x1b"), so that no
  // text quoted in a message can drive the terminal: standard error's
  // errors, warnings and notes quote names from other machines' disks.
  Stream(std::FILE* file, const char* name, bool escapeControls = false);
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // text and a line end; the line breaks inside text (LF, CR LF or CR) come
  // out as the platform's line end too.
  void Line(std::string_view text);
  // text with its line breaks made the platform's, and no line end added.
  void Text(std::string_view text);
  // Bytes exactly as given.
  void Raw(std::string_view bytes);
  void Flush();

  bool IsTerminal() const { return terminal_; }
  bool Failed() const { return failed_; }
  const char* Name() const { return name_; }
  int Error() const { return error_; }

 private:
  void Write(std::string_view text);

  std::FILE* file_;
  const char* name_;
  bool terminal_;
  bool escapeControls_;
  bool failed_ = false;
  int error_ = 0;
};

Stream& Out();
Stream& Err();

// What the program's exit status is once all output is out: status, or 1
// when a write to standard output or standard error failed (which is said
// on standard error, while it still works).
int Finish(int status);

// --quiet: from then on Note and Warning print nothing; errors still go out.
void SetQuiet(bool quiet);
bool IsQuiet();
// "note: text" and "warning: text" on standard error, unless quiet.
void Note(std::string_view text);
void Warning(std::string_view text);

using vormlan::EscapeControls;  // common/Escape.h

// An error message as standard error shows it: control characters escaped as
// EscapeControls does, but for the line breaks the message is built with,
// which stay: the CR LF of the system's error text in a registry error
// ("Error <code> : <system text>\r\n:<what>"), and those that end the
// message. Whatever the names quoted in it hold, they cannot move the
// cursor, colour the terminal or pass for a line of their own.
std::string EscapeMessage(std::string_view message);

}  // namespace vormlan::cli
