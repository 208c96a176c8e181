#include "registry/RegFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "common/Ansi.h"

namespace vormlan::registry {
namespace {

// Limits that no real export reaches; they keep a damaged or hostile file
// from exhausting memory. Key and value name lengths are the registry's own.
constexpr std::size_t kMaxFileBytes = 64u * 1024 * 1024;
constexpr std::size_t kMaxValueBytes = 16u * 1024 * 1024;
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr std::size_t kMaxKeyDepth = 512;

constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";

enum class Format { Regedit4, Version5 };

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

// One change the file asks for; all are collected before any is applied.
struct Operation {
  enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
  Kind kind = Kind::CreateKey;
  KeyHandle rootKey = 0;
  std::string path;
  std::string name;
  std::uint32_t type = value_type::None;
  std::string data;
};

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

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
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

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

// Input quoted in an error message, shortened so a damaged file with
// enormous lines still gives a readable message.
std::string Excerpt(std::string_view text) {
  constexpr std::size_t kMax = 60;
  if (text.size() <= kMax) return std::string(text);
  return std::string(text.substr(0, kMax)) + "...";
}

[[noreturn]] void Fail(const std::string& source, std::size_t line, const std::string& what) {
  throw RegFileError(source + ":" + std::to_string(line) + ": " + what);
}

// The file's text in ANSI (Windows-1252), whatever encoding it came in:
// UTF-16LE after its BOM, UTF-8 after its BOM, otherwise UTF-8 when the bytes
// are valid UTF-8 and Windows-1252 bytes as they stand when they are not.
std::string DecodeText(std::string_view bytes, const std::string& source) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    const std::string_view body = bytes.substr(2);
    std::string text = ansi::FromUtf16Le(body);
    if (body.size() % 2 != 0) {
      Fail(source, SplitLines(text).size(), "the UTF-16 text ends in the middle of a character");
    }
    return text;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    const std::string_view body = bytes.substr(3);
    if (!ansi::IsValidUtf8(body)) {
      const auto lines = SplitLines(body);
      for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!ansi::IsValidUtf8(lines[i])) Fail(source, i + 1, "invalid UTF-8 text");
      }
    }
    return ansi::FromUtf8(body);
  }
  if (ansi::IsValidUtf8(bytes)) return ansi::FromUtf8(bytes);
  return std::string(bytes);
}

class Parser {
 public:
  Parser(std::string_view text, std::string source)
      : lines_(SplitLines(text)), source_(std::move(source)) {}

  std::vector<Operation> Parse() {
    ParseHeader();
    while (next_ < lines_.size()) {
      const std::size_t number = next_ + 1;
      const std::string_view line = Trim(lines_[next_++]);
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

 private:
  struct Section {
    KeyHandle rootKey = 0;
    std::string path;
    bool deleted = false;
  };

  void ParseHeader() {
    if (lines_.empty()) Fail(source_, 1, "empty file");
    const std::string_view header = TrimRight(lines_[0]);
    if (header == kRegedit4Header) {
      format_ = Format::Regedit4;
    } else if (header == kVersion5Header) {
      format_ = Format::Version5;
    } else {
      Fail(source_, 1, "unknown header '" + Excerpt(header) + "'");
    }
    next_ = 1;
  }

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
    if (remove) {
      if (path.empty()) Fail(source_, number, "a root key cannot be deleted");
      operations_.push_back({Operation::Kind::DeleteKey, *rootKey, path, {}, 0, {}});
    } else {
      operations_.push_back({Operation::Kind::CreateKey, *rootKey, path, {}, 0, {}});
    }
    section_ = Section{*rootKey, std::move(path), remove};
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
      if (end - pos > kMaxKeyNameChars) {
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
      const char c = text[pos++];
      if (c == '"') return out;
      if (c == '\\') {
        if (pos >= text.size()) break;
        const char escaped = text[pos++];
        if (escaped != '\\' && escaped != '"') {
          Fail(source_, number, std::string("bad escape '\\") + escaped + "'");
        }
        out += escaped;
      } else {
        out += c;
      }
    }
    Fail(source_, number, "unterminated string");
  }

  void ParseValueLine(std::string_view line, std::size_t number) {
    if (section_.rootKey == 0) Fail(source_, number, "value line before any key");
    if (section_.deleted) Fail(source_, number, "value line below a deleted key");

    std::size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else {
      name = ParseQuoted(line, pos, number);
      if (name.size() > kMaxValueNameChars) {
        Fail(source_, number,
             "value name longer than " + std::to_string(kMaxValueNameChars) + " characters");
      }
    }
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') Fail(source_, number, "'=' expected after the name");
    rest = TrimLeft(rest.substr(1));

    Operation op{Operation::Kind::SetValue, section_.rootKey, section_.path, name, 0, {}};
    if (!rest.empty() && rest.front() == '"') {
      std::size_t p = 0;
      op.type = value_type::Sz;
      op.data = ParseQuoted(rest, p, number);
      op.data += '\0';
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
      op.data = ParseHexData(rest.substr(4), number);
    } else if (StartsWithIgnoreCase(rest, "hex(")) {
      const std::size_t close = rest.find("):");
      const auto type =
          close == std::string_view::npos ? std::nullopt : ParseHex(rest.substr(4, close - 4), 8);
      if (!type) Fail(source_, number, "bad value type in '" + Excerpt(rest) + "'");
      op.type = *type;
      op.data = StoredText(op.type, ParseHexData(rest.substr(close + 2), number));
    } else {
      Fail(source_, number, "unrecognised value data '" + Excerpt(rest) + "'");
    }
    operations_.push_back(std::move(op));
  }

  // Hex bytes "xx,xx,..." that may go on over further lines, each line but
  // the last ending in "\"; the continuation lines' leading blanks are ignored.
  std::string ParseHexData(std::string_view first, std::size_t number) {
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
          next_ >= lines_.size() || (next_ + 1 == lines_.size() && Trim(lines_[next_]).empty());
      if (atEnd) Fail(source_, pieceNumber, "hex data continues past the end of the file");
      pieceNumber = next_ + 1;
      piece = TrimLeft(lines_[next_++]);
    }
  }

  void AppendHexBytes(std::string_view piece, bool continues, std::size_t number,
                      std::string& bytes) const {
    if (piece.empty()) return;
    std::size_t pos = 0;
    while (pos <= piece.size()) {
      std::size_t end = piece.find(',', pos);
      const bool last = end == std::string_view::npos;
      if (last) end = piece.size();
      const std::string_view token = Trim(piece.substr(pos, end - pos));
      // A trailing comma is only allowed before a continuation.
      if (token.empty() && last && continues && pos > 0) return;
      const auto byte = ParseHex(token, 2);
      if (!byte) Fail(source_, number, "bad hex byte '" + Excerpt(token) + "'");
      if (bytes.size() >= kMaxValueBytes) {
        Fail(source_, number,
             "value data larger than " + std::to_string(kMaxValueBytes) + " bytes");
      }
      bytes += static_cast<char>(*byte);
      pos = end + 1;
    }
  }

  // String-typed hex data as the A-functions return it: version 5 files hold
  // UTF-16LE text, converted to ANSI with the NUL terminators kept; REGEDIT4
  // files hold the ANSI bytes already. Other types are stored raw.
  std::string StoredText(std::uint32_t type, std::string bytes) const {
    const bool text =
        type == value_type::Sz || type == value_type::ExpandSz || type == value_type::MultiSz;
    if (!text || format_ != Format::Version5) return bytes;
    return ansi::FromUtf16Le(bytes);
  }

  std::vector<std::string_view> lines_;
  std::string source_;
  std::size_t next_ = 0;
  Format format_ = Format::Regedit4;
  Section section_;
  std::vector<Operation> operations_;
};

void Apply(MemoryRegistry& registry, std::vector<Operation>& operations) {
  for (auto& op : operations) {
    switch (op.kind) {
      case Operation::Kind::CreateKey:
        registry.CreateKey(op.rootKey, op.path);
        break;
      case Operation::Kind::DeleteKey:
        registry.DeleteKey(op.rootKey, op.path);
        break;
      case Operation::Kind::SetValue:
        registry.SetValue(op.rootKey, op.path, op.name, op.type, std::move(op.data));
        break;
      case Operation::Kind::DeleteValue:
        registry.DeleteValue(op.rootKey, op.path, op.name);
        break;
    }
  }
}

}  // namespace

void LoadRegText(MemoryRegistry& registry, std::string_view bytes, const std::string& sourceName) {
  if (bytes.size() > kMaxFileBytes) {
    throw RegFileError(sourceName + ": file larger than " + std::to_string(kMaxFileBytes) +
                       " bytes");
  }
  const std::string text = DecodeText(bytes, sourceName);
  std::vector<Operation> operations = Parser(text, sourceName).Parse();
  Apply(registry, operations);
}

void LoadRegFile(MemoryRegistry& registry, const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw RegFileError(path + ": is a directory, not a registry export file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RegFileError(path + ": cannot open the file");
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0) throw RegFileError(path + ": cannot read the file");
  if (static_cast<std::uint64_t>(length) > kMaxFileBytes) {
    throw RegFileError(path + ": file larger than " + std::to_string(kMaxFileBytes) + " bytes");
  }
  in.seekg(0, std::ios::beg);
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw RegFileError(path + ": cannot read the file");
  LoadRegText(registry, content.str(), path);
}

}  // namespace vormlan::registry
