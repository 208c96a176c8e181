#pragma once
// Unicode text as the command line and the file-based registries carry it:
// UTF-8 in std::string. Conversion from and to UTF-16LE and Windows-1252,
// and case folding as Windows compares key and file names.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vormlan::unicode {

// Decodes the code point at utf8[pos] and moves pos past it. Malformed or
// overlong sequences and encoded surrogates give false, with pos moved by
// one byte. pos must be below utf8.size().
bool Decode(std::string_view utf8, std::size_t& pos, char32_t& cp);

// Appends cp (at most 0x10FFFF, not a surrogate) in UTF-8.
void Append(std::string& out, char32_t cp);

// Whether the bytes are well-formed UTF-8 (ASCII included).
bool IsValid(std::string_view bytes);

// The upper case of a code point by the simple (one to one) mappings of the
// Basic Multilingual Plane; ASCII and the letters of Windows-1252 fold as
// ANSI names do. Everything else is returned unchanged.
char32_t ToUpper(char32_t cp);

// Text with every code point upper-cased; malformed bytes stay as they are.
// Two names are equal without regard to case when their folds are equal.
std::string Fold(std::string_view utf8);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// UTF-16LE bytes (no BOM) to UTF-8, NULs included. An unpaired surrogate
// becomes U+FFFD; an odd trailing byte is ignored.
std::string FromUtf16Le(std::string_view bytes);

// UTF-8 to UTF-16LE bytes (no BOM). Malformed bytes become U+FFFD.
std::string ToUtf16Le(std::string_view utf8);

// Windows-1252 text to UTF-8.
std::string FromAnsi(std::string_view ansiText);

// UTF-8 text in Windows-1252, or nothing when it holds a character the code
// page lacks (or malformed bytes).
std::optional<std::string> ToAnsi(std::string_view utf8);

}  // namespace vormlan::unicode
