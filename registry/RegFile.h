#pragma once
// Registry export files (.reg) loaded into a MemoryRegistry.
//
// Accepted: "REGEDIT4" (ANSI text) and "Windows Registry Editor Version 5.00"
// (UTF-16LE with or without a byte-order mark, as Windows writes it, or
// ASCII/UTF-8); [key], [-key], "name"="text" with \\ and \", @=, "name"=-,
// dword:, hex:, hex(N): with "\" continuation lines; hex(1), hex(2) and
// hex(7) hold UTF-16LE text in version 5 files and ANSI text in REGEDIT4
// files. Text without a byte-order mark is UTF-8 when all of it is valid
// UTF-8, Windows-1252 otherwise. Names and strings are stored in the
// registry's encoding: Windows-1252 (characters it lacks become "?") or
// UTF-8 (nothing lost).
//
// Limits, so that a damaged or hostile file cannot exhaust memory: the file
// holds at most kMaxExportBytes; a value's data at most 16 MiB; key names 255
// characters, value names 16383, keys nest at most 512 deep. Loading takes
// time linear in the file. A UTF-16 file (what Windows writes) is parsed as
// it is read, so its bytes are never all held (other text is held whole
// while it is parsed), and a registry that is empty, as a new one for the
// file is, is filled as the lines are read.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/Exception.h"
#include "registry/MemoryRegistry.h"

namespace vormlan::registry {

inline constexpr std::size_t kMaxExportBytes = std::size_t{256} * 1024 * 1024;

// What one export may put into the registry. The file's bound alone does not
// bound the registry built from it: a key or a value costs some hundred bytes
// in memory, and 256 MiB of short lines would make tens of millions of them.
// With these a file of any shape loads in under 1.5 GiB (README: measured); a whole
// SYSTEM hive exported holds a few hundred thousand keys and values. Each key
// line and value line counts, a key or value written twice twice; value
// bytes are the names and data as stored (UTF-8 text may be longer than the
// file's 8-bit text). Past one, the file is refused with a RegFileError
// naming it and the line.
inline constexpr std::size_t kMaxExportKeys = 1'000'000;
inline constexpr std::size_t kMaxExportValues = 3'000'000;
inline constexpr std::size_t kMaxExportValueBytes = std::size_t{256} * 1024 * 1024;

// A malformed or unreadable export file. The message names the file and,
// for malformed content, the line: "<file>:<line>: <what is wrong>". Input
// quoted in it is shortened, with control bytes and NULs escaped.
class RegFileError : public Exception {
 public:
  explicit RegFileError(const std::string& message) : Exception(message) {}
};

// Applies the export file's content (bytes as read from disk) to registry.
// sourceName names the file in error messages. All or nothing: on a
// RegFileError the registry is left exactly as it was (an empty registry is
// emptied again). More than maxBytes is refused (a smaller bound than
// kMaxExportBytes lets a test reach it).
void LoadRegText(MemoryRegistry& registry, std::string_view bytes, const std::string& sourceName,
                 std::size_t maxBytes = kMaxExportBytes);

// Reads the file at path and applies it as LoadRegText does: a regular file
// of UTF-16 text a chunk at a time as its lines are parsed, other regular
// files in one read of their size, anything else (a pipe, a FIFO, a device)
// in chunks; either way no more than kMaxExportBytes + 1 bytes are read
// before a too-large input is refused. A directory, a binary hive or an unreadable
// file is refused with a message naming it.
void LoadRegFile(MemoryRegistry& registry, const std::string& path);

// As LoadRegFile for an already open stream (standard input: "-" on the
// command line); sourceName names it in messages. The stream must be in
// binary mode. No more than maxBytes + 1 bytes are read before a stream
// longer than maxBytes is refused.
void LoadRegStream(MemoryRegistry& registry, std::FILE* stream, const std::string& sourceName,
                   std::size_t maxBytes = kMaxExportBytes);

}  // namespace vormlan::registry
