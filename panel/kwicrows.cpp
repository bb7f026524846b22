#include "panel/kwicrows.h"

#include <algorithm>

#include "index/index.h"
#include "index/wordtext.h"
#include "textstore/kwic.h"

namespace vyn {

namespace {

bool IsWordBreak(char16_t unit) { return unit == u' ' || unit == u'\u3000'; }

bool HasWildcard(std::u16string_view keyword) {
    return std::any_of(keyword.begin(), keyword.end(),
                       [](char16_t unit) { return unit == u'*' || IsOneCharWildcard(unit); });
}

// The anchor a hit opens at: the last one at or before its first searched
// character (the page marks that character, or a match around it), else the first
// one after it; 0 in a cell without anchors.
int AnchorOf(const KwicCell& cell, std::size_t first) {
    const KwicCell::Anchor* best = nullptr;
    for (const KwicCell::Anchor& anchor : cell.anchors) {
        if (anchor.at <= first) {
            if (!best || anchor.at > best->at || (anchor.at == best->at && anchor.number < best->number)) {
                best = &anchor;
            }
        }
    }
    if (best) return best->number;
    for (const KwicCell::Anchor& anchor : cell.anchors) {
        if (!best || anchor.at < best->at) best = &anchor;
    }
    return best ? best->number : 0;
}

// One hit per match of each word, as the search counts them: the whole matched text,
// under the match's first anchor.
std::vector<KwicHit> MatchHits(CIndex& index, const KwicQuery& query, std::uint32_t record,
                               const ByteString& page, std::size_t context) {
    std::vector<KwicHit> hits;
    std::uint64_t pageNumber = 0;
    std::vector<KwicCell> cells = ReadKwicCells(page);
    if (!index.GetPageNumber(record, pageNumber) || cells.empty()) return hits;
    // In a library, the words are matched as the page's own data folder matches them.
    std::uint32_t local = record;
    const CIndex* engine = index.EngineFor(local);
    if (!engine) return hits;
    const KwicCell& cell = cells[std::min<std::size_t>(pageNumber % 2, cells.size() - 1)];
    const std::u16string_view keyword = query.keyword;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= keyword.size(); ++i) {
        if (i < keyword.size() && !IsWordBreak(keyword[i])) continue;
        const std::u16string_view word = keyword.substr(start, i - start);
        start = i + 1;
        if (word.empty()) continue;
        for (const CIndex::CellHit& hit : engine->WordHitsInCell(word, query.variants, query.scope, cell)) {
            hits.push_back(KwicHitIn(cell, AnchorOf(cell, hit.first), hit.begin, hit.end, context));
        }
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const KwicHit& a, const KwicHit& b) { return a.anchor < b.anchor; });
    return hits;
}

}  // namespace

std::size_t AppendKwicRows(CIndex& index, const KwicQuery& query, const SearchNodeTag& entry,
                           std::size_t context, std::vector<KwicRow>& rows) {
    ByteString page;
    index.RenderHitPage(entry.pageIndex, page, query.keyword, query.scope, query.variants);
    std::size_t appended = 0;
    // A word without wildcards is marked as one piece per hit; a wildcard word is
    // marked piece by piece, so its rows come from its matches instead.
    std::vector<KwicHit> hits = HasWildcard(query.keyword)
                                    ? MatchHits(index, query, entry.pageIndex, page, context)
                                    : ExtractKwic(page, context);
    for (KwicHit& hit : hits) {
        KwicRow row;
        row.record = entry.pageIndex;
        row.anchor = hit.anchor;
        row.folder = entry.folder;
        row.category = entry.category;
        row.book = entry.book;
        row.volume = entry.volume;
        row.page = entry.pageNo;
        row.left = std::move(hit.left);
        row.hit = std::move(hit.hit);
        row.right = std::move(hit.right);
        rows.push_back(std::move(row));
        ++appended;
    }
    return appended;
}

std::vector<KwicRow> KwicRows(CIndex& index, const CSearchCommand& command, std::size_t context) {
    std::vector<KwicRow> rows;
    const KwicQuery query = KwicQuery::Of(command);
    for (const SearchNodeTag& entry : command.Results()) AppendKwicRows(index, query, entry, context, rows);
    return rows;
}

}  // namespace vyn
