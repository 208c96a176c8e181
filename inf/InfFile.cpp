#include "inf/InfFile.h"

#include <algorithm>
#include <utility>

#include "common/Unicode.h"

namespace vormlan::generation {
namespace {

// Limits of setup's parser: a section name, and a key or field (after the
// strings are put in), in characters.
constexpr std::size_t kMaxSectionName = 255;
constexpr std::size_t kMaxField = 4096;
// Control-Z: the end of the text, as in files from old editors.
constexpr char kEndOfFile = '\x1A';

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::size_t CodePoints(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::size_t LineOf(std::string_view text, std::size_t pos) {
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + pos, '\n'));
}

std::string Decode(std::string_view bytes, const std::string& name) {
  if (bytes.starts_with("\xFF\xFE")) return unicode::FromUtf16Le(bytes.substr(2));
  if (bytes.starts_with("\xFE\xFF")) {
    throw InfParseError(name, 1, "UTF-16 big-endian text cannot be read; save it as UTF-16LE");
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    const auto text = bytes.substr(3);
    for (std::size_t pos = 0; pos < text.size();) {
      const std::size_t at = pos;
      char32_t cp = 0;
      if (!unicode::Decode(text, pos, cp)) {
        throw InfParseError(name, LineOf(text, at), "malformed UTF-8 in a file marked as UTF-8");
      }
    }
    return std::string(text);
  }
  return unicode::FromAnsi(bytes);
}

}  // namespace

InfParseError::InfParseError(const std::string& file, std::size_t line, const std::string& what)
    : Exception(file + ":" + std::to_string(line) + ": " + what), line_(line), what_(what) {}

std::string_view InfLine::Field(std::size_t index) const {
  if (index == 0) return key;
  return index <= fields.size() ? std::string_view(fields[index - 1]) : std::string_view();
}

const InfLine* InfSection::Find(std::string_view key) const {
  const auto it = keys_.find(unicode::Fold(key));
  return it == keys_.end() ? nullptr : &lines_[it->second.front()];
}

std::vector<const InfLine*> InfSection::FindAll(std::string_view key) const {
  std::vector<const InfLine*> found;
  if (const auto it = keys_.find(unicode::Fold(key)); it != keys_.end()) {
    for (const auto i : it->second) found.push_back(&lines_[i]);
  }
  return found;
}

const InfSection* InfFile::Find(std::string_view name) const {
  const auto it = index_.find(unicode::Fold(name));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string> InfFile::Value(std::string_view section, std::string_view key) const {
  const InfSection* s = Find(section);
  const InfLine* line = s != nullptr ? s->Find(key) : nullptr;
  if (line == nullptr) return std::nullopt;
  return line->fields.front();
}

// One pass over the decoded text, then one over the lines to put in the
// strings. Quotes, comments and continuations follow setup's parser: a
// quoted part is taken as it stands ("" is one quote) and joins the text
// around it; a field loses the blanks around it; a backslash with nothing
// but blanks or a comment after it joins the next line to this one.
class InfParser {
 public:
  InfParser(std::string_view text, const std::string& name) : text_(text), name_(name) {}

  void Run(InfFile& file) {
    if (const auto nul = text_.find('\0'); nul != std::string_view::npos) {
      throw InfParseError(name_, LineOf(text_, nul), "NUL character in the text");
    }
    InfSection* current = nullptr;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == kEndOfFile) break;
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (IsBlank(c)) {
        ++pos_;
      } else if (c == ';') {
        SkipToEndOfLine();
      } else if (c == '[') {
        current = &Header(file);
      } else if (current == nullptr) {
        if (strayLine_ == 0) strayLine_ = line_;
        SkipToEndOfLine();
      } else {
        if (++lineCount_ > kMaxInfLines) Fail(TooMuch("lines", kMaxInfLines));
        current->lines_.push_back(Line());
      }
    }
    // Setup passes over text before the first header only in a file that
    // has strings.
    if (strayLine_ != 0 && file.Find("Strings") == nullptr) {
      throw InfParseError(name_, strayLine_, "text before the first section header");
    }
    Substitute(file);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw InfParseError(name_, line_, what); }

  bool AtEndOfLine(std::size_t p) const {
    return p >= text_.size() || text_[p] == '\n' || text_[p] == kEndOfFile;
  }

  void SkipToEndOfLine() {
    while (!AtEndOfLine(pos_)) ++pos_;
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }

  InfSection& Header(InfFile& file) {
    std::size_t end = pos_ + 1;
    while (!AtEndOfLine(end) && text_[end] != ']') ++end;
    if (AtEndOfLine(end)) Fail("section header has no closing \"]\"");
    std::string name(text_.substr(pos_ + 1, end - pos_ - 1));
    if (CodePoints(name) > kMaxSectionName) {
      Fail("section name longer than " + std::to_string(kMaxSectionName) + " characters");
    }
    pos_ = end + 1;
    SkipToEndOfLine();  // the rest of a header line is ignored
    auto [it, added] = file.index_.emplace(unicode::Fold(name), file.sections_.size());
    if (added) {
      if (file.sections_.size() >= kMaxInfSections) {
        file.index_.erase(it);
        Fail(TooMuch("sections", kMaxInfSections));
      }
      file.sections_.emplace_back(std::move(name));
    }
    return file.sections_[it->second];
  }

  InfLine Line() {
    InfLine line;
    line.number = line_;
    std::string field;
    std::size_t kept = 0;  // length of field without its trailing blanks
    bool keyPossible = true;
    const auto endField = [&] {
      field.resize(kept);
      CheckLength(field);
      if (++fieldCount_ > kMaxInfFields) Fail(TooMuch("fields", kMaxInfFields));
      line.fields.push_back(std::move(field));
      field.clear();
      kept = 0;
    };
    while (!AtEndOfLine(pos_)) {
      const char c = text_[pos_];
      if (c == '"') {
        ++pos_;
        while (!AtEndOfLine(pos_) && !(text_[pos_] == '\r' && AtEndOfLine(pos_ + 1))) {
          if (text_[pos_] == '"') {
            if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
              field += '"';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          field += text_[pos_++];
        }
        kept = field.size();
      } else if (c == ';') {
        SkipToEndOfLine();
      } else if (c == '\\') {
        Backslash(field, kept);
      } else if (c == '=' && keyPossible) {
        field.resize(kept);
        CheckLength(field);
        line.hasKey = true;
        line.key = std::move(field);
        field.clear();
        kept = 0;
        keyPossible = false;
        ++pos_;
        SkipBlanks();
      } else if (c == ',') {
        keyPossible = false;
        endField();
        ++pos_;
        SkipBlanks();
      } else {
        field += c;
        if (!IsBlank(c)) kept = field.size();
        ++pos_;
      }
    }
    endField();
    return line;
  }

  // A run of backslashes: a continuation when only blanks or a comment
  // follow on the line, text otherwise.
  void Backslash(std::string& field, std::size_t& kept) {
    std::size_t p = pos_;
    while (p < text_.size() && text_[p] == '\\') ++p;
    while (p < text_.size() && IsBlank(text_[p])) ++p;
    if (!AtEndOfLine(p) && text_[p] != ';') {
      field.append(text_.substr(pos_, p - pos_));
      kept = field.size();
      pos_ = p;
      return;
    }
    pos_ = p;
    SkipToEndOfLine();
    field.resize(kept);
    if (pos_ < text_.size() && text_[pos_] == '\n') {
      ++pos_;
      ++line_;
      SkipBlanks();
    }
  }

  static std::string TooMuch(const std::string& what, std::size_t cap) {
    return "more than " + std::to_string(cap) + " " + what +
           " in the file; an INF this large is not read";
  }

  // Counts the bytes of a finished key or field against kMaxInfTextBytes.
  void AddText(std::size_t bytes) {
    textBytes_ += bytes;
    if (textBytes_ > kMaxInfTextBytes) TextTooLong();
  }

  [[noreturn]] void TextTooLong() const {
    Fail("the text, with the strings put in, grows past " + std::to_string(kMaxInfTextBytes) +
         " bytes; an INF this large is not read");
  }

  void CheckLength(const std::string& text) const {
    if (CodePoints(text) > kMaxField) {
      Fail("a key or value longer than " + std::to_string(kMaxField) + " characters");
    }
  }

  // %key% becomes the first field of that key's line in [Strings] (case
  // ignored), %% a percent sign. An unknown key stays as it is written.
  // The strings themselves are not substituted.
  void Substitute(InfFile& file) {
    const InfSection* strings = file.Find("Strings");
    std::unordered_map<std::string, std::string> table;
    if (strings != nullptr) {
      for (const auto& line : strings->lines_) {
        if (line.hasKey) table.emplace(unicode::Fold(line.key), line.fields.front());
      }
    }
    for (auto& section : file.sections_) {
      for (auto& line : section.lines_) {
        line_ = line.number;
        if (&section != strings) {
          if (line.hasKey) line.key = Substituted(line.key, table);
          for (auto& field : line.fields) field = Substituted(field, table);
        }
        AddText(line.key.size());
        for (const auto& field : line.fields) AddText(field.size());
      }
      IndexKeys(section);
    }
  }

  std::string Substituted(const std::string& text,
                          const std::unordered_map<std::string, std::string>& table) const {
    if (text.find('%') == std::string::npos) return text;
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      const std::size_t open = text.find('%', i);
      const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
      if (close == std::string::npos) {
        out.append(text, i);
        break;
      }
      out.append(text, i, open - i);
      if (close == open + 1) {
        out += '%';
      } else if (const auto it = table.find(unicode::Fold(text.substr(open + 1, close - open - 1)));
                 it != table.end()) {
        out += it->second;
      } else {
        out.append(text, open, close - open + 1);
      }
      i = close + 1;
      // Four bytes at most per character: stop a blow-up before it grows,
      // and the whole file's text before it passes its bound.
      if (out.size() > 4 * kMaxField) break;
      if (textBytes_ + out.size() > kMaxInfTextBytes) TextTooLong();
    }
    CheckLength(out);
    return out;
  }

  static void IndexKeys(InfSection& section) {
    for (std::size_t i = 0; i < section.lines_.size(); ++i) {
      if (section.lines_[i].hasKey) {
        section.keys_[unicode::Fold(section.lines_[i].key)].push_back(i);
      }
    }
  }

  std::string_view text_;
  const std::string& name_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::size_t strayLine_ = 0;   // the first line of text before any header
  std::size_t lineCount_ = 0;   // counted against kMaxInfLines
  std::size_t fieldCount_ = 0;  // counted against kMaxInfFields
  std::size_t textBytes_ = 0;   // counted against kMaxInfTextBytes
};

InfFile InfFile::Parse(std::string_view bytes, const std::string& sourceName) {
  InfFile file;
  file.sourceName_ = sourceName;
  const std::string text = Decode(bytes, sourceName);
  InfParser(text, sourceName).Run(file);
  return file;
}

std::string_view PlatformSuffix(Arch arch) {
  return InfoOf(arch).platform;
}

std::optional<std::string> CatalogFileOf(const InfFile& inf, Arch arch) {
  const std::string keys[] = {"CatalogFile." + std::string(PlatformSuffix(arch)), "CatalogFile.NT",
                              "CatalogFile"};
  for (const auto& key : keys) {
    if (auto value = inf.Value("Version", key)) {
      if (value->empty()) return std::nullopt;
      return value;
    }
  }
  return std::nullopt;
}

}  // namespace vormlan::generation
