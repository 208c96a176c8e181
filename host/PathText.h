#pragma once
// Small helpers for path texts as the package writer composes them ("\" as
// separator; "/" accepted too).

#include <string>
#include <vector>

namespace vormlan::generation {

// The directories to create, outermost first, for dir to exist: every prefix
// of dir that ends before a separator, then dir itself (without trailing
// separators). A drive ("C:"), a root ("\" or "/") and the server and share
// of a UNC path ("\\srv\share") are never listed. Empty for an empty text.
std::vector<std::string> DirectoryChain(const std::string& dir);

// The folder part of a file path: everything before the last separator
// ("C:\out\vormlan.inf" -> "C:\out"); "." when there is none.
std::string ParentOf(const std::string& path);

// The message for a file that cannot be created:
//   Cannot create file "<path>". <systemText>
// with trailing blanks, line breaks and periods removed from systemText.
std::string CannotCreateFileMessage(const std::string& path, const std::string& systemText);

}  // namespace vormlan::generation
