#include "panel/kwicrows.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

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

std::u16string KwicSortText(const KwicRow& row, KwicSortKey key) {
    switch (key) {
        case KwicSortKey::kLeft:
            return {row.left.rbegin(), row.left.rend()};
        case KwicSortKey::kHit:
            return row.hit;
        case KwicSortKey::kRight:
            return row.right;
        case KwicSortKey::kLocation:
            break;
    }
    return {};
}

bool OrderByKeys(const std::vector<std::u16string>& keys, std::vector<std::uint32_t>& order,
                 const std::function<bool()>& keepGoing) {
    struct Abandoned {};
    order.resize(keys.size());
    std::iota(order.begin(), order.end(), 0u);
    std::size_t calls = 0;
    try {
        std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            if ((++calls & 0xFFF) == 0 && keepGoing && !keepGoing()) throw Abandoned{};
            return keys[a] < keys[b];
        });
    } catch (const Abandoned&) {
        return false;
    }
    return true;
}

std::vector<std::pair<std::u16string, std::size_t>> HitForms(const std::vector<KwicRow>& rows) {
    std::vector<std::pair<std::u16string, std::size_t>> forms;
    std::unordered_map<std::u16string, std::size_t> at;
    for (const KwicRow& row : rows) {
        auto [it, added] = at.try_emplace(row.hit, forms.size());
        if (added) forms.emplace_back(row.hit, 0);
        ++forms[it->second].second;
    }
    std::stable_sort(forms.begin(), forms.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return forms;
}

}  // namespace vyn
