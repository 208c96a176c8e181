#pragma once
// Turns a driver description into the lines of a printer-class INF file and
// the sorted, duplicate-free list of the files the package must contain.

#include <string>
#include <vector>

#include "generation/DriverFiles.h"
#include "generation/DriverLookup.h"

namespace vormlan::generation {

using InfLines = std::vector<std::string>;

struct ComposedInf {
  InfLines lines;
  DriverFiles files;
};

// Pure: reads nothing but the description. Empty values give empty text
// after the "="; an empty file value becomes one empty entry of files.
ComposedInf ComposeInf(const DriverDescription& description);

// The file's bytes: every line, the last one included, followed by CR LF.
std::string InfText(const InfLines& lines);

}  // namespace vormlan::generation
