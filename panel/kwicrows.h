// Hit rows: every hit of a search's result pages in context, one row per hit anchor,
// the same hits the reader highlights on those pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "panel/searchcommand.h"

namespace vyn {

class CIndex;

struct KwicRow {
    std::uint32_t record = 0;  // 0-based store index of the page
    int anchor = 0;            // the NNNN of the hit's <a name="NNNN">
    std::u16string category;
    std::u16string book;
    std::u16string volume;
    std::uint32_t page = 0;  // page number within the volume
    std::u16string left;
    std::u16string hit;
    std::u16string right;
    std::u16string folder{};  // the data folder's title in a library; empty outside one
};

inline constexpr std::size_t kDefaultKwicContext = 10;

// What a result page is rendered with: the keyword of the search as the engine left
// it, the rendering scope and the variant option.
struct KwicQuery {
    std::u16string keyword;
    SearchScope scope = SearchScope::kWhole;
    bool variants = true;

    static KwicQuery Of(const CSearchCommand& command) {
        return {command.Keyword(), command.ScopeKind(), command.Variants()};
    }
};

// Appends the rows of one result entry: the entry's page rendered as the reader
// renders it for query, one row per hit anchor in anchor order, with up to context
// characters on either side (see ExtractKwic). Returns the number of rows appended;
// 0 when the page cannot be read.
std::size_t AppendKwicRows(CIndex& index, const KwicQuery& query, const SearchNodeTag& entry,
                           std::size_t context, std::vector<KwicRow>& rows);

// The rows of every result entry of command's last search, in list order, rendered
// for KwicQuery::Of(command).
std::vector<KwicRow> KwicRows(CIndex& index, const CSearchCommand& command, std::size_t context);

}  // namespace vyn
