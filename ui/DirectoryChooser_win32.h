#pragma once
// The "Select Directory" dialog on Windows: the edit box with the directory
// text, the folder list (FolderList.h), the greyed file list, the drive list,
// OK and Cancel.

#include <windows.h>

#include <optional>
#include <string>

#include "registry/RegistryApi.h"

namespace vormlan::ui {

inline constexpr char kChooserCaption[] = "Select Directory";
inline constexpr char kCreateDirectoryQuestion[] =
    "The specified directory does not exist. Create it?";
inline constexpr char kConfirmCaption[] = "Confirm";
inline constexpr int kChooserClientWidth = 424;
inline constexpr int kChooserClientHeight = 255;

// Control ids of the dialog, for the suites that drive it.
namespace chooser_id {
inline constexpr int NameLabel = 201;
inline constexpr int NameEdit = 202;
inline constexpr int FoldersLabel = 203;
inline constexpr int FolderList = 204;
inline constexpr int FilesLabel = 205;
inline constexpr int FileList = 206;
inline constexpr int DrivesLabel = 207;
inline constexpr int DriveList = 208;
}  // namespace chooser_id

// Runs the dialog modally over owner (may be null). Opens in the folder of
// start when start begins with a drive letter and ":", else in the current
// directory; browsing changes the process's current directory. On OK with a
// directory that does not exist it asks kCreateDirectoryQuestion in a
// "Confirm" box ("&Yes" default, "&No" on Esc) and stays open unless the
// answer is Yes. Returns the edit box text exactly on OK, nothing on Cancel,
// Esc, the close button or when the dialog cannot be shown. Creates nothing.
// An error inside the dialog (out of memory) closes it and is rethrown.
// Paths in and out are in the given encoding: in UTF-8 the dialog lists,
// takes and gives folder names in any script.
std::optional<std::string> RunDirectoryChooser(
    HWND owner, const std::string& start,
    registry::TextEncoding encoding = registry::TextEncoding::Ansi);

}  // namespace vormlan::ui
