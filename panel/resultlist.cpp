#include "panel/resultlist.h"

#include <algorithm>
#include <limits>

namespace vyn {

namespace {

// Decimal value of text as C's atoi reads it, clamped to the range of long long.
long long ParseDecimal(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    long long value = 0;
    constexpr long long kLimit = std::numeric_limits<long long>::max() / 10 - 9;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (value < kLimit) value = value * 10 + (text[i] - u'0');
    }
    return negative ? -value : value;
}

long long ParseDecimal(const std::string& text) {
    return ParseDecimal(std::u16string(text.begin(), text.end()));
}

}  // namespace

void CResultList::Reset(std::size_t entryCount) {
    const std::size_t pages = (entryCount + kRowsPerPage - 1) / kRowsPerPage;
    m_listPageCount = static_cast<int>(std::min<std::size_t>(pages, std::numeric_limits<int>::max()));
    m_listPage = m_listPageCount > 0 ? 1 : 0;
}

bool CResultList::ShowResultListPage(std::span<const SearchNodeTag> entries,
                                     std::vector<ResultRow>& rows) const {
    if (m_listPage < 1 || m_listPage > m_listPageCount) return false;
    std::vector<ResultRow> result;
    const std::size_t first = static_cast<std::size_t>(m_listPage - 1) * kRowsPerPage;
    for (std::size_t i = first; i < entries.size() && i < first + kRowsPerPage; ++i) {
        const SearchNodeTag& entry = entries[i];
        result.push_back({entry.category, entry.book, entry.volume,
                          std::to_string(static_cast<std::int32_t>(entry.pageNo)), entry.pageIndex, {}});
    }
    rows = std::move(result);
    return true;
}

ListPageControls CResultList::UpdateListPageControls() const {
    ListPageControls controls;
    controls.prevEnabled = controls.nextEnabled = controls.editEnabled = true;
    controls.editReadOnly = false;
    controls.editText = std::to_string(m_listPage);
    controls.labelText = '/';
    controls.labelText += std::to_string(m_listPageCount);
    if (m_listPageCount == 1) {
        controls.prevEnabled = controls.nextEnabled = false;
        controls.editReadOnly = true;
    }
    if (m_listPage == 1) controls.prevEnabled = false;
    if (m_listPage == m_listPageCount) controls.nextEnabled = false;
    return controls;
}

bool CResultList::SetListPage(int page) {
    if (page < 1 || page > m_listPageCount) return false;
    m_listPage = page;
    return true;
}

bool CResultList::OnListPagePrev() {
    if (m_listPage <= 1) return false;
    --m_listPage;
    return true;
}

bool CResultList::OnListPageNext() {
    if (m_listPage >= m_listPageCount) return false;
    ++m_listPage;
    return true;
}

CResultList::EditResult CResultList::ApplyListPageEdit(std::u16string_view text) {
    const long long n = ParseDecimal(text);
    if (n < 1 || n > m_listPageCount) return EditResult::kRestored;
    if (n == m_listPage) return EditResult::kUnchanged;
    m_listPage = static_cast<int>(n);
    return EditResult::kChanged;
}

void CResultList::SortRowsByPageNo(std::vector<ResultRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const ResultRow& a, const ResultRow& b) {
        return ParseDecimal(a.pageNo) < ParseDecimal(b.pageNo);
    });
}

}  // namespace vyn
