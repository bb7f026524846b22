// A library: a folder whose subfolders are data folders, read and searched as one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vyn {

// The title of a data folder in a library: the first line of this UTF-8 file beside
// its data. A folder without one is titled by its folder name.
constexpr std::string_view kFolderTitleFile = "vyn-title.txt";
// The longest title kept, in UTF-16 units (a catalog name's length).
constexpr std::size_t kMaxFolderTitleUnits = 99;

// True when folder holds a catalog file ("vyn.dir"): a data folder.
bool IsDataFolder(const std::filesystem::path& folder);

// The data folders of the library folder: its subfolders that are data folders, in
// the byte order of their names. Empty when folder is a data folder itself (a
// library of one), or cannot be read, or holds none.
std::vector<std::filesystem::path> LibraryMembers(const std::filesystem::path& folder);

// The title of a data folder: the first line of its title file, a byte order mark,
// a CR and surrounding blanks dropped, cut to kMaxFolderTitleUnits units (never
// inside a surrogate pair); the folder's name when the file is missing, not UTF-8 or
// gives an empty title.
std::u16string FolderTitle(const std::filesystem::path& folder);

// Writes title (UTF-8, one line) to folder's title file; false when it cannot.
bool WriteFolderTitle(const std::filesystem::path& folder, std::string_view title);

}  // namespace vyn
