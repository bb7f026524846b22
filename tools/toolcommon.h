// Shared pieces of the vyn-tool commands.
#pragma once

#include <cstdint>
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
