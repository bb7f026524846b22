#include "panel/kwicrows.h"

#include "index/index.h"
#include "textstore/kwic.h"

namespace vyn {

std::size_t AppendKwicRows(CIndex& index, const KwicQuery& query, const SearchNodeTag& entry,
                           std::size_t context, std::vector<KwicRow>& rows) {
    ByteString page;
    index.RenderHitPage(entry.pageIndex, page, query.keyword, query.scope, query.variants);
    std::size_t appended = 0;
    for (KwicHit& hit : ExtractKwic(page, context)) {
        KwicRow row;
        row.record = entry.pageIndex;
        row.anchor = hit.anchor;
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
