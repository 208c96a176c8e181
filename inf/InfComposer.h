#pragma once
// Turns a driver description into the lines of a printer-class INF file and
// the sorted, duplicate-free list of the files the package must contain.

#include <string>
#include <vector>

#include "print/DriverFiles.h"
#include "print/DriverLookup.h"

namespace vormlan::generation {

using InfLines = std::vector<std::string>;

struct ComposedInf {
  InfLines lines;
  DriverFiles files;
};

// How the INF file is written: 8-bit text in the INF code page (CodePage.h),
// or UTF-16LE with a byte-order mark, which Windows' INF parser also reads
// and which holds any name.
enum class InfEncoding { CodePage, Utf16 };

// Pure: reads nothing but the description. Empty values give empty text
// after the "="; an empty file value becomes one empty entry of files. For
// x64 and arm64 the manufacturer line names, and the models section carries,
// the architecture's decoration ("KEL"=KEL,NTamd64 and [KEL.NTamd64]), as
// 64-bit Windows ignores an undecorated models section. Texts are in the
// description's encoding, and so are the file names' order and equality.
ComposedInf ComposeInf(const DriverDescription& description);

// The file's bytes as the window writes them: every line, the last one
// included, followed by CR LF, bytes as they stand.
std::string InfText(const InfLines& lines);

// The file's bytes for lines in the given text encoding: as InfText, in the
// INF code page, or in UTF-16LE after a byte-order mark. Throws
// vormlan::Exception when a line holds a character the code page lacks
// (CheckDescription refuses such descriptions first).
std::string InfBytes(const InfLines& lines, registry::TextEncoding textEncoding,
                     InfEncoding infEncoding);

}  // namespace vormlan::generation
