#include "panel/history.h"

#include <algorithm>

#include "encoding/utf.h"

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
    m_unread.clear();
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

std::string CQueryHistory::Serialize() const {
    std::string text;
    for (std::size_t i = 0; i < m_queries.size(); ++i) {
        if (i > 0) text += '\n';
        text += Utf16ToUtf8String(m_queries[i]);
    }
    for (const std::string& line : m_unread) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    return text;
}

void CQueryHistory::Load(std::string_view text) {
    std::vector<std::u16string> stored;
    std::vector<std::string> unread;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        std::u16string query;
        if (Utf8ToUtf16(line, query)) {
            stored.push_back(std::move(query));
        } else {
            unread.emplace_back(line);
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    Assign(stored);
    m_unread = std::move(unread);
}

}  // namespace vyn
