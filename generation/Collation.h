#pragma once
// How driver file names are ordered and told apart: the user locale's string
// comparison with case ignored, as Windows' CompareStringA(LOCALE_USER_DEFAULT,
// NORM_IGNORECASE) does for ANSI (Windows-1252) text.

#include <string_view>

namespace vormlan::generation {

// The comparison the program uses: CompareStringA on Windows, the portable
// word sort below elsewhere. Negative, zero or positive like strcmp.
int CompareNames(std::string_view a, std::string_view b);

// A portable rendering of Windows' default "word sort" for Windows-1252 text,
// case ignored: hyphen and apostrophe only break ties; punctuation before
// digits before letters; accents count after the letters; ligatures expand.
int WordSortCompare(std::string_view a, std::string_view b);

}  // namespace vormlan::generation
