#pragma once
// Guards against registry values that would make the package unsafe: file
// names that reach outside the driver store or the chosen directory, and
// values whose control characters would break the INF file's structure.

#include <string>
#include <string_view>

#include "print/DriverLookup.h"
#include "inf/InfComposer.h"

namespace vormlan::generation {

// Why name cannot stand as a file name in an INF: "" when it can, otherwise
// a clause that follows the name ("which is not a bare file name", "whose
// ',' would change the INF's structure", ...): empty, "." or "..", a control
// character, a path, INF syntax, a character Windows refuses in file names,
// a blank at either end or a final period, a device name.
std::string NotAPlainFileName(std::string_view name);

// Throws vormlan::Exception naming the offending registry value when a file
// value (or a "Dependent Files" entry) is not a plain file name — it holds
// "\", "/" or ":", or is "." or ".."; it holds a character that would change
// the INF where the name is written as it stands ("[", "]", ",", ";", "=",
// '"', "%"), or one Windows refuses in file names ("*?<>|"); it begins or
// ends with a blank or ends with a period; it is a device name such as NUL
// or COM1 — or when any value written into the INF holds a line break or
// another control character. The empty file name is allowed (it names no
// file). Returns normally for a safe description.
void CheckDescription(const DriverDescription& description);

// CheckDescription, and for a description in UTF-8 that is to be written in
// the INF code page, also that the code page holds every character of every
// value written into the INF; otherwise throws naming the value, with a hint
// at the UTF-16 INF.
void CheckDescription(const DriverDescription& description, InfEncoding infEncoding);

// Whether the INF code page holds every value written into the INF (always
// so for an ANSI description): whether the INF can be 8-bit text.
bool FitsInfCodePage(const DriverDescription& description);

}  // namespace vormlan::generation
