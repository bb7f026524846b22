#include "panel/history.h"

#include <algorithm>

namespace vyn {

std::u16string CQueryHistory::Normalize(std::u16string_view query) {
    std::u16string out(query);
    std::replace(out.begin(), out.end(), u'\u3000', u' ');
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    const auto first = std::find_if_not(out.begin(), out.end(), blank);
    const auto last = std::find_if_not(out.rbegin(), out.rend(), blank).base();
    return first < last ? std::u16string(first, last) : std::u16string();
}

void CQueryHistory::Add(std::u16string_view query) {
    std::u16string kept = Normalize(query);
    if (kept.empty()) return;
    std::erase(m_queries, kept);
    m_queries.insert(m_queries.begin(), std::move(kept));
    if (m_queries.size() > kMaxQueries) m_queries.resize(kMaxQueries);
}

void CQueryHistory::Assign(std::span<const std::u16string> queries) {
    m_queries.clear();
    // Oldest first, so that the most recent ends in front.
    for (auto it = queries.rbegin(); it != queries.rend(); ++it) Add(*it);
}

std::vector<std::u16string> CQueryHistory::Matching(std::u16string_view typed) const {
    const std::u16string wanted = Normalize(typed);
    std::vector<std::u16string> found;
    for (const std::u16string& query : m_queries) {
        if (query.find(wanted) != std::u16string::npos) found.push_back(query);
    }
    return found;
}

}  // namespace vyn
