// The text of every stored page as the index positions it, for the peer tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "textstore/filelist.h"

namespace vyn::peers {

// Positions of neighbouring characters that markup separates differ by this much.
constexpr std::uint32_t kMarkupGap = 1000;

// Separates runs of a page line where the positions jump by kMarkupGap. Page text
// never holds it: the builder turns ASCII white space into U+3000.
constexpr char kRunSeparator = '\t';

struct PositionedChar {
    char32_t codePoint = 0;
    std::uint32_t position = 0;
    bool operator==(const PositionedChar&) const = default;
};

// Reads the pages of a data folder's text store and numbers the characters of the
// text cell as the index does: the first takes 0, each further one the previous
// position + 1, or + kMarkupGap when a tag stands between them. The cell is the one
// the record name's page number picks (the first for an even number). Owns the open
// store; not thread-safe.
class CPageText {
public:
    // Opens folder's Index-fl.h and Index-fl.cnt. False when the store cannot be opened
    // or its directory cannot be read.
    bool Open(const std::filesystem::path& folder);
    std::uint32_t PageCount() const { return static_cast<std::uint32_t>(m_pageNumbers.size()); }

    // The positioned characters of record recordIndex's text cell. False, out
    // untouched, when the record cannot be read or holds malformed UTF-8.
    bool Read(std::uint32_t recordIndex, std::vector<PositionedChar>& out);

private:
    CFileList m_store;
    std::vector<std::uint64_t> m_pageNumbers;  // per record; 0 when the name has none
};

// One page as a line of UTF-8 without its line end: the characters, with
// kRunSeparator wherever the positions jump. Requires positions as CPageText gives.
std::string PageLine(const std::vector<PositionedChar>& chars);

// The inverse of PageLine. False on malformed UTF-8 or a stray separator.
bool ParsePageLine(std::string_view line, std::vector<PositionedChar>& out);

}  // namespace vyn::peers
