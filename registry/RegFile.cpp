#include "registry/RegFile.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "common/Ansi.h"
#include "common/Unicode.h"

namespace vormlan::registry {
namespace {

// Limits that no real export reaches; they keep a damaged or hostile file
// from exhausting memory. Key and value name lengths are the registry's own.
constexpr std::size_t kMaxValueBytes = 16u * 1024 * 1024;
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kChunkBytes = 1024 * 1024;
constexpr std::size_t kExcerptChars = 60;

constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";

enum class Format { Regedit4, Version5 };

// How the file's bytes hold its text.
enum class Source {
  Utf16Le,     // after a BOM, or recognised without one
  Utf8Strict,  // after a UTF-8 BOM: every line must be valid
  Utf8,        // no BOM, and every byte sequence is valid UTF-8
  Ansi,        // no BOM, Windows-1252 bytes
};

struct RootName {
  std::string_view longName;
  std::string_view shortName;
  KeyHandle key;
};

constexpr std::array<RootName, 5> kRoots = {{
    {"HKEY_LOCAL_MACHINE", "HKLM", root::LocalMachine},
    {"HKEY_CURRENT_USER", "HKCU", root::CurrentUser},
    {"HKEY_CLASSES_ROOT", "HKCR", root::ClassesRoot},
    {"HKEY_USERS", "HKU", root::Users},
    {"HKEY_CURRENT_CONFIG", "HKCC", root::CurrentConfig},
}};

// The value of each hex digit, -1 for anything else.
constexpr std::array<std::int8_t, 256> kHexValue = [] {
  std::array<std::int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int c = '0'; c <= '9'; ++c)
    table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c)
    table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c)
    table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'A' + 10);
  return table;
}();

int HexDigit(char c) {
  return kHexValue[static_cast<unsigned char>(c)];
}

// One change the file asks for; all are collected before any is applied.
// Value operations belong to the key of the CreateKey before them, so a key's
// path is stored once, not with every value.
struct Operation {
  enum class Kind : std::uint8_t { CreateKey, DeleteKey, SetValue, DeleteValue };
  Kind kind = Kind::CreateKey;
  KeyHandle rootKey = 0;   // keys only
  std::uint32_t type = 0;  // SetValue only
  std::string name;        // the key's path, or the value's name
  std::string data;        // SetValue only
};

// The changes of a file, in order. A deque grows without moving what it
// holds: the changes of a large file are not copied again and again.
using Operations = std::deque<Operation>;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  return TrimLeft(TrimRight(s));
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && ansi::EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// Parses 1 to maxDigits hex digits making up all of s.
std::optional<std::uint32_t> ParseHex(std::string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return value;
}

// Input quoted in an error message: at most kExcerptChars bytes, control
// bytes and NULs written as C escapes so that the message stays one line.
std::string Excerpt(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  const bool shortened = text.size() > kExcerptChars;
  if (shortened) text = text.substr(0, kExcerptChars);
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7F) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;
    }
  }
  return shortened ? out + "..." : out;
}

// The number of characters of a name in the registry's encoding.
std::size_t CharCount(std::string_view text, TextEncoding encoding) {
  if (encoding == TextEncoding::Ansi) return text.size();
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

[[noreturn]] void Fail(const std::string& source, std::size_t line, const std::string& what) {
  throw RegFileError(source + ":" + std::to_string(line) + ": " + what);
}

// The number of UTF-16LE code units from unit i on that are ASCII, up to
// units; four at a time while they last.
std::size_t AsciiRun(const char* p, std::size_t i, std::size_t units) {
  constexpr std::uint64_t kNonAscii = 0xFF80FF80FF80FF80u;
  std::size_t run = i;
  while (run + 4 <= units) {
    std::uint64_t word;
    std::memcpy(&word, p + 2 * run, sizeof word);
    if ((word & kNonAscii) != 0) break;
    run += 4;
  }
  while (run < units && p[2 * run + 1] == 0 && static_cast<unsigned char>(p[2 * run]) < 0x80) {
    ++run;
  }
  return run;
}

// Appends UTF-16LE code units to out in the target encoding; ASCII, the bulk
// of every export, is copied without further decoding.
void AppendUtf16(std::string& out, std::string_view bytes, TextEncoding target) {
  const std::size_t units = bytes.size() / 2;
  const char* p = bytes.data();
  std::size_t i = 0;
  while (i < units) {
    const std::size_t run = AsciiRun(p, i, units);
    if (run > i) {
      const std::size_t start = out.size();
      out.resize(start + (run - i));
      char* to = out.data() + start;
      for (std::size_t k = i; k < run; ++k) *to++ = p[2 * k];
      i = run;
      continue;
    }
    // A stretch up to the next ASCII unit, through the general conversion.
    std::size_t end = i + 1;
    while (end < units &&
           !(bytes[2 * end + 1] == 0 && static_cast<unsigned char>(bytes[2 * end]) < 0x80)) {
      ++end;
    }
    const std::string_view piece = bytes.substr(2 * i, 2 * (end - i));
    out += target == TextEncoding::Utf8 ? unicode::FromUtf16Le(piece) : ansi::FromUtf16Le(piece);
    i = end;
  }
}

// The file's lines, one at a time, decoded into the registry's encoding.
// Lines end at LF; a CR before it stays (the parser trims it). The bytes are
// either all in memory or read from a stream chunk by chunk as the lines are
// taken, so that only the line at hand and one chunk are held.
class LineReader {
 public:
  LineReader(std::string_view body, Source source, TextEncoding target)
      : body_(body), source_(source), target_(target) {}

  // Reads from stream: first holds the bytes read already, from skip on;
  // no more than limit bytes in all (first included) are read, and a stream
  // that goes on is refused naming sourceName.
  LineReader(std::string first, std::size_t skip, std::FILE* stream, std::size_t limit,
             std::string sourceName, Source source, TextEncoding target)
      : buffer_(std::move(first)),
        source_(source),
        target_(target),
        stream_(stream),
        sourceName_(std::move(sourceName)),
        total_(buffer_.size()),
        limit_(limit) {
    body_ = buffer_;
    pos_ = skip;
  }

  // Whether the last line has been read.
  bool AtEnd() const { return done_; }

  // The next line into line; false past the end. The text after the last LF
  // is a line of its own (empty when the file ends in a line break).
  bool Next(std::string& line) {
    if (done_) return false;
    ++number_;
    line.clear();
    std::size_t end = FindLineEnd();
    const bool last = end == std::string_view::npos;
    if (last) end = body_.size();
    const std::string_view raw = body_.substr(pos_, end - pos_);
    switch (source_) {
      case Source::Utf16Le:
        if (stream_ != nullptr && last && raw.size() % 2 != 0) {
          Fail(sourceName_, number_, "the UTF-16 text ends in the middle of a character");
        }
        AppendUtf16(line, raw, target_);
        break;
      case Source::Utf8Strict:
      case Source::Utf8:
        if (target_ == TextEncoding::Utf8) {
          line.assign(raw);
        } else {
          line = ansi::FromUtf8(raw);
        }
        break;
      case Source::Ansi:
        if (target_ == TextEncoding::Utf8) {
          line = unicode::FromAnsi(raw);
        } else {
          line.assign(raw);
        }
        break;
    }
    if (last) {
      done_ = true;
    } else {
      pos_ = end + (source_ == Source::Utf16Le ? 2 : 1);
    }
    scanned_ = 0;
    return true;
  }

  // The number of the line Next gave last (from 1).
  std::size_t Number() const { return number_; }
  // Whether the line Next gave last was the file's final one.
  bool AtLast() const { return done_; }

 private:
  // Where the line starting at pos_ ends, reading on while the bytes at hand
  // hold no line end; npos when the line is the last one. scanned_ bytes
  // after pos_ are known to hold none (an even number for UTF-16), so that a
  // long line is searched once, not again after every chunk.
  std::size_t FindLineEnd() {
    const bool utf16 = source_ == Source::Utf16Le;
    std::size_t from = pos_ + scanned_;
    for (;;) {
      const std::size_t at = body_.find('\n', from);
      if (at != std::string_view::npos && (!utf16 || at + 1 < body_.size())) {
        if (!utf16 || ((at - pos_) % 2 == 0 && body_[at + 1] == 0)) return at;
        from = at + 1;
        continue;
      }
      scanned_ = (at == std::string_view::npos ? body_.size() : at) - pos_;
      if (utf16) scanned_ -= scanned_ % 2;
      if (!Refill()) return std::string_view::npos;
      from = pos_ + scanned_;
    }
  }

  // Drops the bytes before pos_ and appends the next chunk of the stream;
  // false at its end (or without a stream).
  bool Refill() {
    if (stream_ == nullptr || atEnd_) return false;
    buffer_.erase(0, pos_);
    pos_ = 0;
    const std::size_t start = buffer_.size();
    const std::size_t room = std::min(kChunkBytes, limit_ + 1 - total_);
    buffer_.resize(start + room);
    const std::size_t got = std::fread(buffer_.data() + start, 1, room, stream_);
    buffer_.resize(start + got);
    body_ = buffer_;
    total_ += got;
    if (std::ferror(stream_)) {
      throw RegFileError(sourceName_ + ": cannot read the file: " + std::strerror(errno));
    }
    if (total_ > limit_) {
      throw RegFileError(sourceName_ + ": larger than " + std::to_string(limit_) +
                         " bytes, the limit for export files");
    }
    if (got < room) atEnd_ = true;
    return got > 0;
  }

  std::string buffer_;  // streaming: the bytes at hand
  std::string_view body_;
  Source source_;
  TextEncoding target_;
  std::FILE* stream_ = nullptr;
  std::string sourceName_;
  std::size_t total_ = 0;  // streaming: bytes read in all
  std::size_t limit_ = 0;
  bool atEnd_ = false;
  std::size_t pos_ = 0;
  std::size_t scanned_ = 0;
  std::size_t number_ = 0;
  bool done_ = false;
};

// Applies changes in the order given; values go to the key of the
// CreateKey before them. Keys of an export come in runs below one parent
// (the printers below Printers): the parent of the last key made is kept, so
// that its path is not walked again for each of its subkeys.
class Applier {
 public:
  explicit Applier(MemoryRegistry& registry) : registry_(registry) {}

  void operator()(Operation& op) {
    switch (op.kind) {
      case Operation::Kind::CreateKey: {
        const std::size_t cut = op.name.rfind('\\');
        const std::string_view parentPath = cut == std::string::npos
                                                ? std::string_view()
                                                : std::string_view(op.name).substr(0, cut);
        const std::string_view leaf = cut == std::string::npos
                                          ? std::string_view(op.name)
                                          : std::string_view(op.name).substr(cut + 1);
        if (!parentKnown_ || op.rootKey != parentRoot_ || parentPath != parentPath_) {
          parent_ = registry_.CreateKey(op.rootKey, parentPath);
          parentRoot_ = op.rootKey;
          parentPath_ = parentPath;
          parentKnown_ = true;
        }
        if (valuesSet_) registry_.Compact(key_);
        valuesSet_ = false;
        key_ = registry_.CreateKey(parent_, leaf);
        break;
      }
      case Operation::Kind::DeleteKey:
        // The kept parent, and the key values went to, may be the key
        // deleted or below it.
        if (valuesSet_) registry_.Compact(key_);
        valuesSet_ = false;
        parentKnown_ = false;
        registry_.DeleteKey(op.rootKey, op.name);
        break;
      case Operation::Kind::SetValue:
        registry_.SetValue(key_, op.name, op.type, std::move(op.data));
        valuesSet_ = true;
        break;
      case Operation::Kind::DeleteValue:
        registry_.DeleteValue(key_, op.name);
        break;
    }
  }

 private:
  MemoryRegistry& registry_;
  MemoryRegistry::KeyRef key_;
  bool valuesSet_ = false;  // values went to key_
  bool parentKnown_ = false;
  KeyHandle parentRoot_ = 0;
  std::string parentPath_;
  MemoryRegistry::KeyRef parent_;
};

class Parser {
 public:
  // With direct, each change is applied as soon as it is read instead of
  // being collected.
  Parser(LineReader& reader, std::string source, TextEncoding target, bool utf16WithoutBom,
         Applier* direct = nullptr)
      : reader_(reader),
        source_(std::move(source)),
        target_(target),
        utf16WithoutBom_(utf16WithoutBom),
        direct_(direct) {}

  Operations Parse() {
    ParseHeader();
    while (reader_.Next(line_)) {
      const std::size_t number = reader_.Number();
      const std::string_view line = Trim(line_);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        ParseKeyLine(line, number);
      } else if (line.front() == '"' || line.front() == '@') {
        ParseValueLine(line, number);
      } else {
        Fail(source_, number, "unrecognised line '" + Excerpt(line) + "'");
      }
    }
    return std::move(operations_);
  }

  // Reads the first line and refuses the file unless it is one of the two
  // headers.
  void ParseHeader() {
    reader_.Next(line_);
    if (line_.empty() && reader_.AtEnd()) {
      Fail(source_, 1,
           "empty file: a registry export starts with REGEDIT4 or \"" +
               std::string(kVersion5Header) + "\"");
    }
    const std::string_view header = TrimRight(line_);
    if (header == kRegedit4Header) {
      format_ = Format::Regedit4;
      return;
    }
    if (header == kVersion5Header) {
      format_ = Format::Version5;
      return;
    }
    std::string what = "unknown header '" + Excerpt(header) + "'";
    const std::size_t cr = header.find('\r');
    if (header.find('\0') != std::string_view::npos) {
      what += " (the text holds NUL bytes: is it an export file?)";
    } else if (cr != std::string_view::npos && (header.substr(0, cr) == kRegedit4Header ||
                                                header.substr(0, cr) == kVersion5Header)) {
      what += " (CR-only line ends: lines must end in LF or CR LF)";
    } else if (utf16WithoutBom_) {
      what += " (UTF-16 without a byte-order mark)";
    }
    Fail(source_, 1, what);
  }

 private:
  void ParseKeyLine(std::string_view line, std::size_t number) {
    if (line.back() != ']') Fail(source_, number, "key line without closing ']'");
    std::string_view body = line.substr(1, line.size() - 2);
    const bool remove = !body.empty() && body.front() == '-';
    if (remove) body.remove_prefix(1);
    if (body.empty()) Fail(source_, number, "key line without a key name");

    const std::size_t slash = body.find('\\');
    const std::string_view rootName = body.substr(0, slash);
    const std::optional<KeyHandle> rootKey = FindRoot(rootName);
    if (!rootKey) Fail(source_, number, "unknown root key '" + Excerpt(rootName) + "'");

    std::string path;
    if (slash != std::string_view::npos) {
      path = std::string(body.substr(slash + 1));
      CheckKeyPath(path, number);
    }
    if (remove && path.empty()) Fail(source_, number, "a root key cannot be deleted");
    Operation op;
    op.kind = remove ? Operation::Kind::DeleteKey : Operation::Kind::CreateKey;
    op.rootKey = *rootKey;
    op.name = std::move(path);
    Emit(op);
    inKey_ = true;
    keyDeleted_ = remove;
  }

  static std::optional<KeyHandle> FindRoot(std::string_view name) {
    for (const auto& r : kRoots) {
      if (ansi::EqualsIgnoreCase(name, r.longName) || ansi::EqualsIgnoreCase(name, r.shortName)) {
        return r.key;
      }
    }
    return std::nullopt;
  }

  void CheckKeyPath(const std::string& path, std::size_t number) const {
    std::size_t depth = 0;
    std::size_t pos = 0;
    while (pos <= path.size()) {
      std::size_t end = path.find('\\', pos);
      if (end == std::string::npos) end = path.size();
      if (end == pos) Fail(source_, number, "empty key name in '" + Excerpt(path) + "'");
      if (CharCount(std::string_view(path).substr(pos, end - pos), target_) > kMaxKeyNameChars) {
        Fail(source_, number,
             "key name longer than " + std::to_string(kMaxKeyNameChars) + " characters");
      }
      if (++depth > kMaxKeyDepth) Fail(source_, number, "key path nested too deeply");
      pos = end + 1;
    }
  }

  // Reads a quoted string starting at text[pos] == '"'; the escapes are a
  // doubled backslash and a backslash-quote. pos ends past the closing quote.
  std::string ParseQuoted(std::string_view text, std::size_t& pos, std::size_t number) const {
    std::string out;
    ++pos;
    while (pos < text.size()) {
      // Copy up to the next quote or backslash in one piece.
      const std::size_t special = text.find_first_of("\"\\", pos);
      if (special == std::string_view::npos) break;
      out.append(text.substr(pos, special - pos));
      pos = special + 1;
      if (text[special] == '"') return out;
      if (pos >= text.size()) break;
      const char escaped = text[pos++];
      if (escaped != '\\' && escaped != '"') {
        Fail(source_, number, "bad escape '\\" + Excerpt(std::string_view(&escaped, 1)) + "'");
      }
      out += escaped;
    }
    Fail(source_, number, "unterminated string");
  }

  void ParseValueLine(std::string_view line, std::size_t number) {
    if (!inKey_) Fail(source_, number, "value line before any key");
    if (keyDeleted_) Fail(source_, number, "value line below a deleted key");

    std::size_t pos = 0;
    Operation op;
    op.kind = Operation::Kind::SetValue;
    if (line.front() == '@') {
      pos = 1;
    } else {
      op.name = ParseQuoted(line, pos, number);
      if (CharCount(op.name, target_) > kMaxValueNameChars) {
        Fail(source_, number,
             "value name longer than " + std::to_string(kMaxValueNameChars) + " characters");
      }
    }
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') Fail(source_, number, "'=' expected after the name");
    rest = TrimLeft(rest.substr(1));

    if (!rest.empty() && rest.front() == '"') {
      std::size_t p = 0;
      op.type = value_type::Sz;
      op.data = ParseQuoted(rest, p, number);
      op.data += '\0';
      // Bounded as hex data is: the line alone could hold the whole file.
      if (op.data.size() > kMaxValueBytes) TooLarge(number);
      const std::string_view after = TrimLeft(rest.substr(p));
      if (!after.empty() && after.front() != ';') {
        Fail(source_, number, "unexpected text after the string");
      }
    } else if (rest == "-") {
      op.kind = Operation::Kind::DeleteValue;
    } else if (StartsWithIgnoreCase(rest, "dword:")) {
      const auto value = ParseHex(rest.substr(6), 8);
      if (!value) Fail(source_, number, "bad dword value '" + Excerpt(rest.substr(6)) + "'");
      op.type = value_type::Dword;
      for (int i = 0; i < 4; ++i) op.data += static_cast<char>((*value >> (8 * i)) & 0xFF);
    } else if (StartsWithIgnoreCase(rest, "hex:")) {
      op.type = value_type::Binary;
      op.data = ParseHexData(std::string(rest.substr(4)), number);
      op.data.shrink_to_fit();  // its room grew line by line
    } else if (StartsWithIgnoreCase(rest, "hex(")) {
      const std::size_t close = rest.find("):");
      const auto type =
          close == std::string_view::npos ? std::nullopt : ParseHex(rest.substr(4, close - 4), 8);
      if (!type) Fail(source_, number, "bad value type in '" + Excerpt(rest) + "'");
      op.type = *type;
      op.data = StoredText(op.type, ParseHexData(std::string(rest.substr(close + 2)), number));
    } else {
      Fail(source_, number, "unrecognised value data '" + Excerpt(rest) + "'");
    }
    Emit(op);
  }

  // Hex bytes "xx,xx,..." that may go on over further lines, each line but
  // the last ending in "\"; the continuation lines' leading blanks are
  // ignored. first is a copy: reading a continuation reuses the line buffer.
  std::string ParseHexData(std::string first, std::size_t number) {
    std::string bytes;
    std::string_view piece = first;
    std::size_t pieceNumber = number;
    for (;;) {
      piece = TrimRight(piece);
      const bool continues = !piece.empty() && piece.back() == '\\';
      if (continues) piece = TrimRight(piece.substr(0, piece.size() - 1));
      if (piece.empty() && pieceNumber != number) {
        Fail(source_, pieceNumber, "hex data expected on the continuation line");
      }
      AppendHexBytes(piece, continues, pieceNumber, bytes);
      if (!continues) return bytes;
      // A final line break leaves one empty line behind the last one.
      const bool atEnd =
          reader_.AtLast() || !reader_.Next(line_) || (reader_.AtLast() && Trim(line_).empty());
      if (atEnd) Fail(source_, pieceNumber, "hex data continues past the end of the file");
      pieceNumber = reader_.Number();
      piece = TrimLeft(line_);
    }
  }

  // Appends the bytes of one line's hex data. The bytes are written into
  // room made for as many as the line can hold (a digit and a comma each).
  void AppendHexBytes(std::string_view piece, bool continues, std::size_t number,
                      std::string& bytes) const {
    if (piece.empty()) return;
    std::size_t n = bytes.size();
    bytes.resize(n + (piece.size() + 1) / 2);
    char* const out = bytes.data();
    std::size_t pos = 0;
    while (pos <= piece.size()) {
      // The usual form, two digits and a comma or the end, without trimming.
      if (pos + 2 <= piece.size() && (pos + 2 == piece.size() || piece[pos + 2] == ',')) {
        const int hi = HexDigit(piece[pos]);
        const int lo = HexDigit(piece[pos + 1]);
        if (hi >= 0 && lo >= 0) {
          if (n >= kMaxValueBytes) TooLarge(number);
          out[n++] = static_cast<char>(hi << 4 | lo);
          pos += 3;
          continue;
        }
      }
      std::size_t end = piece.find(',', pos);
      const bool last = end == std::string_view::npos;
      if (last) end = piece.size();
      const std::string_view token = Trim(piece.substr(pos, end - pos));
      // A trailing comma is only allowed before a continuation.
      if (token.empty() && last && continues && pos > 0) break;
      const auto byte = ParseHex(token, 2);
      if (!byte) Fail(source_, number, "bad hex byte '" + Excerpt(token) + "'");
      if (n >= kMaxValueBytes) TooLarge(number);
      out[n++] = static_cast<char>(*byte);
      pos = end + 1;
    }
    bytes.resize(n);
  }

  [[noreturn]] void TooLarge(std::size_t number) const {
    Fail(source_, number, "value data larger than " + std::to_string(kMaxValueBytes) + " bytes");
  }

  // String-typed hex data as the registry stores strings: version 5 files
  // hold UTF-16LE text, REGEDIT4 files ANSI text; both are converted to the
  // registry's encoding with the NUL terminators kept. Other types stay raw.
  std::string StoredText(std::uint32_t type, std::string bytes) const {
    const bool text =
        type == value_type::Sz || type == value_type::ExpandSz || type == value_type::MultiSz;
    if (!text) return bytes;
    if (format_ == Format::Version5) {
      return target_ == TextEncoding::Utf8 ? unicode::FromUtf16Le(bytes) : ansi::FromUtf16Le(bytes);
    }
    return target_ == TextEncoding::Utf8 ? unicode::FromAnsi(bytes) : bytes;
  }

  // Counts what the registry will hold against the caps of RegFile.h before
  // it is applied or collected.
  void Count(const Operation& op) {
    // Deletions count too: into a registry that is not empty, every line is
    // held as a change until the file has been read.
    const bool key = op.kind == Operation::Kind::CreateKey || op.kind == Operation::Kind::DeleteKey;
    if (key && ++keys_ > kMaxExportKeys) {
      Fail(source_, reader_.Number(), TooMuch(std::to_string(kMaxExportKeys) + " keys"));
    }
    if (key) return;
    if (++values_ > kMaxExportValues) {
      Fail(source_, reader_.Number(), TooMuch(std::to_string(kMaxExportValues) + " values"));
    }
    valueBytes_ += op.name.size() + op.data.size();
    if (valueBytes_ > kMaxExportValueBytes) {
      Fail(source_, reader_.Number(),
           TooMuch(std::to_string(kMaxExportValueBytes) + " bytes of value names and data"));
    }
  }

  static std::string TooMuch(const std::string& what) {
    return "more than " + what + " in the file, the limit for export files";
  }

  void Emit(Operation& op) {
    Count(op);
    if (direct_ != nullptr) {
      (*direct_)(op);
    } else {
      operations_.push_back(std::move(op));
    }
  }

  LineReader& reader_;
  std::string source_;
  TextEncoding target_;
  std::size_t keys_ = 0;        // key lines, counted against kMaxExportKeys
  std::size_t values_ = 0;      // value lines, against kMaxExportValues
  std::size_t valueBytes_ = 0;  // their names and data, against kMaxExportValueBytes
  bool utf16WithoutBom_;
  Applier* direct_;
  std::string line_;
  Format format_ = Format::Regedit4;
  bool inKey_ = false;
  bool keyDeleted_ = false;
  Operations operations_;
};

void Apply(MemoryRegistry& registry, Operations& operations) {
  Applier applier(registry);
  for (auto& op : operations) applier(op);
}

// The first line of text (in bytes) that is not valid UTF-8, from 1.
std::size_t FirstInvalidUtf8Line(std::string_view text) {
  std::size_t number = 1;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    if (!unicode::IsValid(text.substr(pos, end - pos))) return number;
    ++number;
    pos = end + 1;
  }
  return number;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// How the bytes hold their text, and where the text starts. Refuses what is
// plainly not an export before anything else is looked at.
std::pair<Source, std::size_t> DetectSource(std::string_view bytes, const std::string& name) {
  if (StartsWith(bytes, "regf")) {
    throw RegFileError(name + ": this is a binary hive: use --hive");
  }
  if (StartsWith(bytes, "\xFF\xFE")) return {Source::Utf16Le, 2};
  if (StartsWith(bytes, "\xFE\xFF")) {
    throw RegFileError(name +
                       ": UTF-16 big-endian text is not supported: save the export as "
                       "UTF-16LE (as Windows writes it) or UTF-8");
  }
  if (StartsWith(bytes, "\xEF\xBB\xBF")) return {Source::Utf8Strict, 3};
  // UTF-16LE without a byte-order mark: ASCII characters with a NUL after each.
  if (bytes.size() >= 4 && bytes[0] != 0 && bytes[1] == 0 && bytes[2] != 0 && bytes[3] == 0) {
    return {Source::Utf16Le, 0};
  }
  return {unicode::IsValid(bytes) ? Source::Utf8 : Source::Ansi, 0};
}

// Refuses, from the start of a file alone, what can be told there already:
// a hive, big-endian UTF-16, a wrong header.
void CheckStart(std::string_view start, const std::string& name) {
  const auto [source, skip] = DetectSource(start, name);
  LineReader reader(start.substr(skip), source, TextEncoding::Ansi);
  Parser(reader, name, TextEncoding::Ansi, source == Source::Utf16Le && skip == 0).ParseHeader();
}

bool IsEmpty(const MemoryRegistry& registry) {
  for (const auto& r : kRoots) {
    if (!registry.SubKeyNames(r.key, "").empty() || !registry.Values(r.key, "").empty()) {
      return false;
    }
  }
  return true;
}

void Clear(MemoryRegistry& registry) {
  for (const auto& r : kRoots) {
    for (const auto& name : registry.SubKeyNames(r.key, "")) registry.DeleteKey(r.key, name);
    for (const auto& value : registry.Values(r.key, ""))
      registry.DeleteValue(r.key, "", value.name);
  }
}

// Parses the lines of reader into registry, all or nothing. An empty
// registry (the usual case: a new one for the file) is filled as the lines
// are read and emptied again when the file is refused, so that the changes
// are never held besides the registry; into any other registry they are
// collected and applied once the whole file has been read.
void ParseInto(MemoryRegistry& registry, LineReader& reader, const std::string& sourceName,
               bool utf16WithoutBom) {
  const TextEncoding target = registry.Encoding();
  if (!IsEmpty(registry)) {
    Operations operations = Parser(reader, sourceName, target, utf16WithoutBom).Parse();
    Apply(registry, operations);
    return;
  }
  Applier applier(registry);
  try {
    Parser(reader, sourceName, target, utf16WithoutBom, &applier).Parse();
  } catch (...) {
    Clear(registry);
    throw;
  }
}

// Loads the file's bytes, held in memory, into registry: no more than limit.
void LoadText(MemoryRegistry& registry, std::string_view bytes, const std::string& sourceName,
              std::size_t limit = kMaxExportBytes) {
  if (bytes.size() > limit) {
    throw RegFileError(sourceName + ": file larger than " + std::to_string(limit) +
                       " bytes, the limit for export files");
  }
  const auto [source, skip] = DetectSource(bytes, sourceName);
  const std::string_view body = bytes.substr(skip);
  if (source == Source::Utf16Le && body.size() % 2 != 0) {
    // Counted in whole lines, as the parser would number them.
    std::size_t lines = 1;
    for (std::size_t i = 0; i + 1 < body.size(); i += 2)
      lines += body[i] == '\n' && body[i + 1] == 0;
    Fail(sourceName, lines, "the UTF-16 text ends in the middle of a character");
  }
  if (source == Source::Utf8Strict && !unicode::IsValid(body)) {
    Fail(sourceName, FirstInvalidUtf8Line(body), "invalid UTF-8 text");
  }
  LineReader reader(body, source, registry.Encoding());
  ParseInto(registry, reader, sourceName, source == Source::Utf16Le && skip == 0);
}

// Owns a stream opened by LoadRegFile.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads stream on after bytes (what was read of it already), refusing it
// once it passes limit; with maxBytes, only until that many bytes are held.
// expected: the size of a regular file, whose rest is read in one go; 0 when
// unknown. The first chunk is checked on its own, so that a device or a file
// that is plainly no export (a hive, zeros) is refused before more
// of it is read.
std::string ReadAll(std::FILE* stream, const std::string& name, std::uintmax_t expected,
                    std::size_t maxBytes = 0, std::string bytes = {},
                    std::size_t limit = kMaxExportBytes) {
  const std::size_t cap = maxBytes > 0 ? maxBytes : limit + 1;
  const bool exact = expected > 0 && expected <= limit;
  bool checked = !bytes.empty();
  while (bytes.size() < cap) {
    const std::size_t want = exact && bytes.size() <= expected
                                 ? static_cast<std::size_t>(expected) + 1 - bytes.size()
                                 : std::max(kChunkBytes, bytes.size() / 2);
    const std::size_t room = std::min(want, cap - bytes.size());
    const std::size_t start = bytes.size();
    bytes.resize(start + room);
    const std::size_t got = std::fread(bytes.data() + start, 1, room, stream);
    bytes.resize(start + got);
    if (std::ferror(stream)) {
      throw RegFileError(name + ": cannot read the file: " + std::strerror(errno));
    }
    if (!checked && !bytes.empty()) {
      CheckStart(std::string_view(bytes).substr(0, kChunkBytes), name);
      checked = true;
    }
    if (bytes.size() > limit) {
      throw RegFileError(name + ": larger than " + std::to_string(limit) +
                         " bytes, the limit for export files");
    }
    if (got < room || std::feof(stream)) break;
  }
  return bytes;
}

}  // namespace

void LoadRegText(MemoryRegistry& registry, std::string_view bytes, const std::string& sourceName,
                 std::size_t maxBytes) {
  LoadText(registry, bytes, sourceName, maxBytes);
}

void LoadRegStream(MemoryRegistry& registry, std::FILE* stream, const std::string& sourceName,
                   std::size_t maxBytes) {
  LoadText(registry, ReadAll(stream, sourceName, 0, 0, {}, maxBytes), sourceName, maxBytes);
}

void LoadRegFile(MemoryRegistry& registry, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file(std::u8string(path.begin(), path.end()));
  const fs::file_status status = fs::status(file, ec);
  if (fs::is_directory(status)) {
    throw RegFileError(path + ": is a directory, not a registry export file");
  }
  const std::unique_ptr<std::FILE, FileCloser> stream(
#ifdef _WIN32
      _wfopen(file.c_str(), L"rb")
#else
      std::fopen(file.c_str(), "rb")
#endif
  );
  if (!stream) throw RegFileError(path + ": cannot open the file");
  std::uintmax_t expected = 0;
  if (fs::is_regular_file(status)) {
    expected = fs::file_size(file, ec);
    if (ec) expected = 0;
    if (expected > kMaxExportBytes) {
      throw RegFileError(path + ": file larger than " + std::to_string(kMaxExportBytes) +
                         " bytes, the limit for export files");
    }
  }
  // UTF-16 text, as Windows writes exports, is parsed as it is read: its
  // lines can be told apart from the start, and the size of a regular file
  // says already whether it ends in the middle of a character. Other text is
  // read whole first, as whether it is UTF-8 depends on all of it.
  std::string first = ReadAll(stream.get(), path, 0, kChunkBytes);
  const auto [source, skip] = DetectSource(first, path);
  if (source == Source::Utf16Le && fs::is_regular_file(status) && expected % 2 == 0) {
    LineReader reader(std::move(first), skip, stream.get(), kMaxExportBytes, path, source,
                      registry.Encoding());
    ParseInto(registry, reader, path, skip == 0);
    return;
  }
  LoadText(registry, ReadAll(stream.get(), path, expected, 0, std::move(first)), path);
}

}  // namespace vormlan::registry
