// CQueryHistory: the queries searched before, most recent first, offered again as the
// user types.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vyn {

class CQueryHistory {
public:
    static constexpr std::size_t kMaxQueries = 50;

    // The form a query is kept in: ideographic spaces as blanks, trimmed.
    static std::u16string Normalize(std::u16string_view query);

    // Puts query first; an equal one searched before is dropped, the oldest beyond
    // kMaxQueries too. A blank query is not kept.
    void Add(std::u16string_view query);
    // Replaces the history with queries, most recent first, merged and cut as Add does;
    // no unread lines are kept.
    void Assign(std::span<const std::u16string> queries);

    const std::vector<std::u16string>& Queries() const { return m_queries; }
    // The queries holding typed (all of them for a blank one), most recent first.
    // Code units are compared as they are: no case folding.
    std::vector<std::u16string> Matching(std::u16string_view typed) const;

    // The stored form: the queries, most recent first, UTF-8, separated by '\n', then
    // the lines Load could not read, as they were.
    std::string Serialize() const;
    // Replaces the history with that of text as Assign does. Lines that are not UTF-8
    // are neither offered nor counted, but kept for Serialize: a reader never erases
    // what it cannot read.
    void Load(std::string_view text);

private:
    std::vector<std::u16string> m_queries;
    std::vector<std::string> m_unread;
};

}  // namespace vyn
