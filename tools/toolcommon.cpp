#include "tools/toolcommon.h"

#include <charconv>
#include <cstdio>

#include "encoding/utf.h"
#include "index/library.h"
#include "tools/usage.h"

namespace vyn::tool {

int Usage(const std::string& problem) {
    std::fprintf(stderr, "vyn-tool: %s\n%s", problem.c_str(), kUsage);
    return kExitError;
}

void Complain(const std::string& message) {
    std::fprintf(stderr, "vyn-tool: %s\n", message.c_str());
}

bool Options::Parse(int argc, char** argv, int first, const std::vector<std::string_view>& valued,
                    const std::vector<std::string_view>& flags, std::string& problem) {
    auto has = [](const std::vector<std::string_view>& list, std::string_view arg) {
        for (auto k : list) {
            if (k == arg) return true;
        }
        return false;
    };
    bool onlyPositional = false;
    for (int i = first; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (onlyPositional || !arg.starts_with("--")) {
            m_positional.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        if (has(flags, arg)) {
            if (!m_flags.emplace(std::string(arg), true).second) {
                problem = std::string(arg) + " given twice";
                return false;
            }
            continue;
        }
        if (!has(valued, arg)) {
            problem = "unknown option " + std::string(arg);
            return false;
        }
        if (i + 1 >= argc) {
            problem = std::string(arg) + " needs a value";
            return false;
        }
        if (!m_values.emplace(std::string(arg), argv[++i]).second) {
            problem = std::string(arg) + " given twice";
            return false;
        }
    }
    return true;
}

std::optional<std::string> Options::Text(const std::string& name) const {
    auto it = m_values.find(name);
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

std::optional<std::uint32_t> Options::Number(const std::string& name) const {
    auto text = Text(name);
    if (!text || text->empty()) return std::nullopt;
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
    return value;
}

bool JoinedText(const std::vector<std::string>& words, std::u16string& text) {
    std::string joined;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) joined += ' ';
        joined += words[i];
    }
    return Utf8ToUtf16(joined, text);
}

bool ParsePart(const std::optional<std::string>& name, SearchScope& part) {
    if (!name || *name == "whole") {
        part = SearchScope::kWhole;
    } else if (*name == "main") {
        part = SearchScope::kMain;
    } else if (*name == "notes") {
        part = SearchScope::kNotes;
    } else {
        return false;
    }
    return true;
}

DataArgument ReadDataArgument(const std::string& data) {
    DataArgument argument;
    argument.folder = data;
    argument.members = LibraryMembers(data);
    if (argument.members.size() == 1) argument.folder = argument.members.front().string();
    return argument;
}

std::string FolderName(const std::filesystem::path& member) { return member.filename().string(); }

std::u16string FolderNameText(const std::filesystem::path& member) {
    const std::string name = FolderName(member);
    std::u16string text;
    if (Utf8ToUtf16(name, text)) return text;
    text.clear();
    for (unsigned char c : name) text.push_back(c < 0x80 ? c : u'\uFFFD');
    return text;
}

namespace {

// "001 to 012": the first and the last of a library's data folders, in name order.
std::string FolderRange(const std::vector<std::filesystem::path>& folders) {
    if (folders.empty()) return "none";
    if (folders.size() == 1) return FolderName(folders.front());
    return FolderName(folders.front()) + " to " + FolderName(folders.back());
}

}  // namespace

std::size_t FindFolder(const std::string& data, const std::vector<std::filesystem::path>& folders,
                       const std::string& name) {
    for (std::size_t m = 0; m < folders.size(); ++m) {
        if (FolderName(folders[m]) == name) return m;
    }
    Complain("the library " + data + " has no data folder " + name + " (its data folders: " +
             FolderRange(folders) + ")");
    return folders.size();
}

bool OneDataFolder(const Options& options, std::string& folder) {
    const std::string data = options.Text("--data").value_or("");
    const auto name = options.Text("--folder");
    const DataArgument argument = ReadDataArgument(data);
    if (!name) {
        if (argument.Several()) {
            Complain(data + " is a library of " + std::to_string(argument.members.size()) +
                     " data folders: name one with --folder NAME (" + FolderRange(argument.members) + ")");
            return false;
        }
        folder = argument.folder;
        return true;
    }
    if (!argument.IsLibrary()) {
        Complain("--folder names a data folder of a library, and " + data + " is no library");
        return false;
    }
    const std::size_t m = FindFolder(data, argument.members, *name);
    if (m == argument.members.size()) return false;
    folder = argument.members[m].string();
    return true;
}

}  // namespace vyn::tool
