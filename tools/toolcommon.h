// Shared pieces of the vyn-tool commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/indexformat.h"
#include "textstore/storeformat.h"

namespace vyn::tool {

constexpr int kExitNotFound = 1;
constexpr int kExitError = 2;

// Prints "vyn-tool: problem" and the usage text to stderr; returns kExitError.
int Usage(const std::string& problem);

// Prints "vyn-tool: message" to stderr.
void Complain(const std::string& message);

// "--name value" options and "--flag" switches of one command, each given at most
// once; everything after "--", and every argument that is not an option, is
// positional.
class Options {
public:
    // valued: options that take a value; flags: switches without one.
    bool Parse(int argc, char** argv, int first, const std::vector<std::string_view>& valued,
               const std::vector<std::string_view>& flags, std::string& problem);

    std::optional<std::string> Text(const std::string& name) const;
    std::optional<std::uint32_t> Number(const std::string& name) const;
    bool Flag(const std::string& name) const { return m_flags.count(name) > 0; }
    const std::vector<std::string>& Positional() const { return m_positional; }

private:
    std::map<std::string, std::string> m_values;
    std::map<std::string, bool> m_flags;
    std::vector<std::string> m_positional;
};

// --part: "whole" (also when absent), "main" or "notes"; false, part untouched, for
// anything else.
bool ParsePart(const std::optional<std::string>& name, SearchScope& part);

// Joins words with U+0020 and converts them from UTF-8 to UTF-16; false, text
// untouched, when they are not valid UTF-8.
bool JoinedText(const std::vector<std::string>& words, std::u16string& text);

// What --data names, as the commands read it. A data folder, and anything that is no
// library, is read as one data folder, and so is a library of one data folder: the
// output is that folder's. A library of several data folders is read as one.
struct DataArgument {
    std::string folder;  // the one data folder read: --data, or the library's only one
    // A library's data folders in library order (LibraryMembers); empty for a data folder.
    std::vector<std::filesystem::path> members;

    bool IsLibrary() const { return !members.empty(); }
    bool Several() const { return members.size() > 1; }
};
DataArgument ReadDataArgument(const std::string& data);

// A library's data folder as the output, --folder and --scope name it: its folder name.
std::string FolderName(const std::filesystem::path& member);
// The same as text for the exports: UTF-8 decoded, any other byte as U+FFFD.
std::u16string FolderNameText(const std::filesystem::path& member);

// The index of the data folder named name among the library's (library data, its
// folders given by their paths); folders.size() after complaining when none is.
std::size_t FindFolder(const std::string& data, const std::vector<std::filesystem::path>& folders,
                       const std::string& name);

// The one data folder that page, find, render and catalog read: --data, or the data
// folder of the library --data that --folder names (needed when it has several).
// False after complaining when there is no such folder, or --folder is given beside
// a data folder.
bool OneDataFolder(const Options& options, std::string& folder);

// Commands: argv[1] is the command name; options start at argv[2].
int CommandPage(int argc, char** argv);
int CommandFind(int argc, char** argv);
int CommandSearch(int argc, char** argv);
int CommandRender(int argc, char** argv);
int CommandBuild(int argc, char** argv);
int CommandCatalog(int argc, char** argv);
int CommandResults(int argc, char** argv);
int CommandKwic(int argc, char** argv);
int CommandGoto(int argc, char** argv);

}  // namespace vyn::tool
