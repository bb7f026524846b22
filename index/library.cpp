#include "index/library.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "encoding/utf.h"
#include "textstore/catalogformat.h"

namespace vyn {

namespace {

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\u3000'; }

std::u16string NameOf(const std::filesystem::path& folder) {
    std::u16string name;
    std::string text = folder.filename().string();
    if (text.empty()) text = folder.parent_path().filename().string();
    if (!Utf8ToUtf16(text, name)) {
        name.clear();
        for (unsigned char c : text) name.push_back(c < 0x80 ? c : u'\uFFFD');
    }
    return name;
}

}  // namespace

bool IsDataFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(folder / std::string(kCatalogFile), error);
}

std::vector<std::filesystem::path> LibraryMembers(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> members;
    if (IsDataFolder(folder)) return members;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) {
        std::error_code kind;
        if (it->is_directory(kind) && IsDataFolder(it->path())) members.push_back(it->path());
    }
    std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) {
        return a.filename().string() < b.filename().string();
    });
    return members;
}

std::u16string FolderTitle(const std::filesystem::path& folder) {
    std::ifstream in(folder / std::string(kFolderTitleFile), std::ios::binary);
    std::string line;
    std::u16string title;
    if (in && std::getline(in, line)) {
        if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        if (!Utf8ToUtf16(line, title)) title.clear();
    }
    while (!title.empty() && (IsBlank(title.back()) || title.back() == u'\r')) title.pop_back();
    const auto first = std::find_if_not(title.begin(), title.end(), IsBlank);
    title.erase(title.begin(), first);
    if (title.size() > kMaxFolderTitleUnits) {
        std::size_t cut = kMaxFolderTitleUnits;
        if (title[cut - 1] >= 0xD800 && title[cut - 1] < 0xDC00) --cut;
        title.resize(cut);
    }
    return title.empty() ? NameOf(folder) : title;
}

bool WriteFolderTitle(const std::filesystem::path& folder, std::string_view title) {
    std::ofstream out(folder / std::string(kFolderTitleFile), std::ios::binary | std::ios::trunc);
    out << title << '\n';
    return static_cast<bool>(out.flush());
}

}  // namespace vyn
