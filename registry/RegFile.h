#pragma once
// Registry export files (.reg) loaded into a MemoryRegistry.
//
// Accepted: "REGEDIT4" (ANSI text) and "Windows Registry Editor Version 5.00"
// (UTF-16LE with BOM as Windows writes it, or plain ASCII/UTF-8); [key],
// [-key], "name"="text" with \\ and \", @=, "name"=-, dword:, hex:, hex(N):
// with "\" continuation lines; hex(2) and hex(7) hold UTF-16LE text in version
// 5 files and ANSI text in REGEDIT4 files. All text is stored in Windows-1252,
// unmappable characters becoming "?".

#include <string>
#include <string_view>

#include "common/Exception.h"
#include "registry/MemoryRegistry.h"

namespace vormlan::registry {

// A malformed or unreadable export file. The message names the file and,
// for malformed content, the line: "<file>:<line>: <what is wrong>".
class RegFileError : public Exception {
 public:
  explicit RegFileError(const std::string& message) : Exception(message) {}
};

// Applies the export file's content (bytes as read from disk) to registry.
// sourceName names the file in error messages. All or nothing: on a
// RegFileError the registry is left exactly as it was.
void LoadRegText(MemoryRegistry& registry, std::string_view bytes, const std::string& sourceName);

// Reads the file at path and applies it as LoadRegText does.
void LoadRegFile(MemoryRegistry& registry, const std::string& path);

}  // namespace vormlan::registry
