// Hit rows: every hit of a search's result pages in context, one row per hit anchor,
// the same hits the reader highlights on those pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
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

// What hit rows are ordered by: their place in the result list (the rows' own order),
// the left context read from the hit outward, the hit, or the right context.
enum class KwicSortKey { kLocation, kLeft, kHit, kRight };

// The text a row sorts by under key (empty for kLocation).
std::u16string KwicSortText(const KwicRow& row, KwicSortKey key);

// Sets order to the indexes of keys ascending by key, equal keys in index order.
// keepGoing is asked every few thousand comparisons; when it answers false the sort
// is abandoned and false returned, order then unspecified.
bool OrderByKeys(const std::vector<std::u16string>& keys, std::vector<std::uint32_t>& order,
                 const std::function<bool()>& keepGoing);

// Each distinct hit text with its number of rows, most frequent first (equal counts
// in the order of their first row).
std::vector<std::pair<std::u16string, std::size_t>> HitForms(const std::vector<KwicRow>& rows);

}  // namespace vyn
