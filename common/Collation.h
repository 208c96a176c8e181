#pragma once
// How driver file names are ordered and told apart: the user locale's string
// comparison with case ignored, as Windows' CompareStringA(LOCALE_USER_DEFAULT,
// NORM_IGNORECASE) does for ANSI (Windows-1252) text.

#include <string>
#include <string_view>

namespace vormlan::generation {

// The comparison the program uses: CompareStringA on Windows, the portable
// word sort below elsewhere. Negative, zero or positive like strcmp.
int CompareNames(std::string_view a, std::string_view b);

// A portable rendering of Windows' default "word sort" for Windows-1252 text,
// case ignored: hyphen and apostrophe only break ties; punctuation before
// digits before letters; accents count after the letters; ligatures expand.
int WordSortCompare(std::string_view a, std::string_view b);

// A byte string whose byte order (memcmp, shorter prefix first) is the order
// of WordSortCompare: two names compare equal exactly when their keys are
// equal. Sorting by keys built once costs far less than comparing level by
// level at every step.
std::string WordSortKey(std::string_view ansiText);

// The same for UTF-8 text. A name that Windows-1252 can hold gets the key of
// its ANSI spelling, so it sorts exactly as it does in ANSI. Characters the
// code page lacks sort after all letters, by their upper-case code point.
std::string WordSortKeyUtf8(std::string_view utf8);

// The comparison for UTF-8 names: CompareStringW on Windows, the keys of
// WordSortKeyUtf8 elsewhere.
int CompareNamesUtf8(std::string_view a, std::string_view b);

}  // namespace vormlan::generation
