#pragma once
// 8-bit ANSI text of the Windows-1252 code page, the text that the program's
// A-functions see, and its conversion from and to Unicode.

#include <cstdint>
#include <string>
#include <string_view>

namespace vormlan::ansi {

// The Windows-1252 byte for a Unicode code point, or '?' when the code page
// has no such character (as WideCharToMultiByte does with its default char).
char FromCodePoint(char32_t cp);

// The Unicode code point of a Windows-1252 byte. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the same C1 control.
char32_t ToCodePoint(unsigned char c);

// UTF-8 text to ANSI. Bytes that do not form valid UTF-8 each become '?'.
std::string FromUtf8(std::string_view utf8);

// UTF-16LE bytes (no BOM) to ANSI; an odd trailing byte is ignored and an
// unpaired surrogate becomes '?'.
std::string FromUtf16Le(std::string_view bytes);

// ANSI text to UTF-8, for output to a terminal or a JSON document.
std::string ToUtf8(std::string_view ansiText);

// Whether the bytes are well-formed UTF-8 (ASCII included).
bool IsValidUtf8(std::string_view bytes);

// Case folding of ANSI letters as the registry compares key names: ASCII and
// the accented Latin-1 letters of the code page; everything else unchanged.
unsigned char ToUpper(unsigned char c);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace vormlan::ansi
