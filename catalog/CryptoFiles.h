#pragma once
// What both platforms' catalog cryptography needs apart from cryptography:
// signing files read whole, and the UTF-16 values of name-values.

#include <filesystem>
#include <string>

namespace vormlan::catalog {

// The path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);

// A key, certificate or PKCS #12 file, read whole; they are small, and a
// file larger than 1 MiB is refused naming it. what names the file's role
// ("the private key").
std::string ReadSmallFile(const std::filesystem::path& path, const char* what);

// A name-value's value: UTF-16LE text with its NUL character, and back
// (the NULs at its end and an odd last byte dropped).
std::string Utf16WithNul(const std::string& utf8);
std::string FromUtf16WithNul(std::string bytes);

}  // namespace vormlan::catalog
