#pragma once
// Where the command line writes: standard output and standard error, in
// UTF-8, each line ended as the platform ends lines (LF; CR LF on Windows,
// never CR CR LF). A Windows console gets the text through its Unicode
// interface. Raw bytes (an INF file) go out unchanged. A write that fails
// is remembered, so that the program can say so and exit 1.

#include <cstdio>
#include <string>
#include <string_view>

namespace vormlan::cli {

class Stream {
 public:
  Stream(std::FILE* file, const char* name);
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

// A message as one line: control characters written as C escapes ("\n",
// "\t", "\x01"), so that a name holding a line break cannot pass for two.
std::string EscapeControls(std::string_view text);

}  // namespace vormlan::cli
