// Query evaluation: a query's words, and each word's plan and evaluation. A word is
// evaluated by one of two walks that follow the same procedure (index/greedy.h): the
// plain one over posting cursors (index/wordsearch.h) and the fast one over entry
// tables (index/tablewordsearch.h). An "and" of several words runs on the tables at
// once (index/searchall.cpp); results combine in index/combine.cpp.
#include <algorithm>
#include <limits>
#include <new>

#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/index.h"
#include "index/tablewordsearch.h"
#include "index/wordplan.h"
#include "index/wordsearch.h"
#include "index/wordtext.h"

namespace vyn {

namespace {

constexpr char16_t kSpace = u' ';
constexpr char16_t kIdeographicSpace = u'\u3000';

}  // namespace

int CIndex::CountWords(std::u16string_view query) {
    int words = 0;
    bool inWord = false;
    for (char16_t unit : query) {
        if (unit == kSpace || unit == kIdeographicSpace) {
            inWord = false;
        } else if (unit < 0x100 && unit != u'*' && unit != u'?') {
            return 0;
        } else {
            if (!inWord) ++words;
            inWord = true;
        }
    }
    return words;
}

int CIndex::SearchAllWords(std::u16string& query, bool countHits, bool useVariants) {
    return SearchWords(query, true, countHits, useVariants);
}

int CIndex::SearchAnyWord(std::u16string& query, bool countHits, bool useVariants) {
    return SearchWords(query, false, countHits, useVariants);
}

int CIndex::SearchWords(std::u16string& query, bool all, bool countHits, bool useVariants) {
    if (CountWords(query) == 0) return 0;
    try {
        // An over-long word rejects the whole query before anything changes.
        std::size_t start = 0;
        while (start <= query.size()) {
            std::size_t end = std::min(query.find(kSpace, start), query.size());
            if (end > start &&
                !FitsWorkingArrays(std::u16string_view(query).substr(start, end - start))) {
                return 0;
            }
            start = end + 1;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!m_members.empty()) {
        std::u16string asSearched = query;
        int sum = 0;
        try {
            sum = SearchMembers([&](CIndex& member) {
                std::u16string copy = query;
                return member.SearchWords(copy, all, countHits, useVariants);
            });
        } catch (const std::bad_alloc&) {
            ClearResult();
            return 0;
        }
        std::replace(asSearched.begin(), asSearched.end(), kSpace, kIdeographicSpace);
        query = std::move(asSearched);
        return sum;
    }
    ClearResult();
    std::vector<std::u16string_view> words;
    std::size_t wordStart = 0;
    for (std::size_t i = 0; i <= query.size(); ++i) {
        if (i < query.size() && query[i] != kSpace) continue;
        if (i < query.size()) query[i] = kIdeographicSpace;
        if (i > wordStart) {
            words.push_back(std::u16string_view(query).substr(wordStart, i - wordStart));
        }
        wordStart = i + 1;
    }
    std::int64_t sum = 0;
    if (!(all && words.size() > 1 && SearchAllByTables(words, countHits, useVariants, sum))) {
        sum = 0;
        ClearResult();
        for (std::size_t w = 0; w < words.size(); ++w) {
            const CombineMode mode = !all ? CombineUnion : w == 0 ? CombineReplace : CombineIntersect;
            sum += SearchWord(words[w], mode, countHits, useVariants);
        }
    }
    return static_cast<int>(std::min<std::int64_t>(sum, std::numeric_limits<int>::max()));
}

bool CIndex::PlanWord(std::u16string_view word, bool useVariants, WordPlan& plan) const {
    std::u16string units = NormaliseStars(word);
    if (units.size() + 1 > kWordCapacity) return false;
    DropUnindexed(units);
    std::size_t open = 0;
    for (std::size_t i = 0; i < units.size();) {
        const char16_t unit = units[i];
        if (unit == u'*') {
            plan.segments.push_back(Segment{open, plan.slots.size()});
            open = 0;
            ++i;
            continue;
        }
        if (IsOneCharWildcard(unit)) {
            ++plan.n;
            ++i;
            continue;
        }
        const char32_t codePoint = NextCodePoint(units, i);
        std::int32_t slot = CharSlot(codePoint);
        if (useVariants) VariantSlot(codePoint, slot);
        if (!HasList(slot)) return true;  // not searchable
        plan.slots.push_back(slot);
        plan.queryPos.push_back(plan.n);
        ++plan.n;
        ++open;
    }
    plan.searchable = !plan.slots.empty();
    return true;
}

std::uint32_t CIndex::SearchWord(std::u16string_view word, CombineMode mode, bool countHits,
                                 bool useVariants) {
    if (!m_members.empty()) {
        try {
            return static_cast<std::uint32_t>(SearchMembers([&](CIndex& member) {
                return static_cast<int>(std::min<std::uint32_t>(
                    member.SearchWord(word, mode, countHits, useVariants),
                    std::numeric_limits<int>::max()));
            }));
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    if (countHits && m_hitCounts.size() != m_hitPages.size() && mode != CombineUnion) {
        ClearResult();
        return 0;
    }
    try {
        WordPlan plan;
        if (!PlanWord(word, useVariants, plan)) return 0;
        if (!plan.searchable) {
            if (mode != CombineUnion) ClearResult();
            return 0;
        }

        std::vector<std::uint32_t> pages, counts;
        std::vector<const CEntryTable*> tables;
        DropTablesOverBudget();
        if (!m_plainEvaluation && TablesOf(plan.slots, tables)) {
            // An "and" word only matters on the pages found so far.
            std::vector<std::uint32_t> sorted;
            const std::vector<std::uint32_t>* restriction = nullptr;
            if (mode == CombineIntersect) {
                restriction = &m_hitPages;
                if (!std::is_sorted(m_hitPages.begin(), m_hitPages.end())) {
                    sorted = m_hitPages;
                    std::sort(sorted.begin(), sorted.end());
                    restriction = &sorted;
                }
            }
            TableWordSearch(PostingView{m_postings, m_blockChain, {}}, tables,
                            plan.queryPos, plan.segments, plan.n, countHits, restriction,
                            m_gatherBuffers, m_pageMarks)
                .Run(pages, counts);
            return CombineSorted(mode, countHits, pages, counts);
        }
        std::vector<CPostingCursor> cursors;
        cursors.reserve(plan.slots.size());
        for (std::int32_t slot : plan.slots) cursors.push_back(StartCursor(slot));
        WordSearch(cursors, plan.queryPos, plan.segments, plan.n, countHits).Run(pages, counts);
        return m_plainEvaluation ? Combine(mode, countHits, pages, counts)
                                 : CombineSorted(mode, countHits, pages, counts);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

const CEntryTable* CIndex::EntryTable(std::int32_t slot) {
    auto it = m_entryTables.find(slot);
    if (it == m_entryTables.end()) {
        const auto at = static_cast<std::size_t>(slot);
        CEntryTable table;
        const bool regular = table.Build(ListView(m_firstBlock[at]), m_firstBlock[at], m_lastDoc[at]);
        m_entryTableBytes += table.MemoryBytes();
        it = m_entryTables.emplace(slot, CachedTable{std::move(table), regular}).first;
    }
    return it->second.regular ? &it->second.table : nullptr;
}

void CIndex::DropTablesOverBudget() {
    // Tables of earlier searches stay until they pass the budget; the check comes
    // before a search takes its tables, so their pointers stay valid through it.
    if (m_entryTableBytes > m_entryTableBudget) {
        m_entryTables.clear();
        m_entryTableBytes = 0;
    }
}

bool CIndex::TablesOf(const std::vector<std::int32_t>& slots,
                      std::vector<const CEntryTable*>& tables) {
    std::vector<const CEntryTable*> found;
    found.reserve(slots.size());
    for (std::int32_t slot : slots) {
        const CEntryTable* table = EntryTable(slot);
        if (!table) return false;
        found.push_back(table);
    }
    tables = std::move(found);
    return true;
}

}  // namespace vyn
