// An "and" of several words on the entry tables, with the results of searching them
// one after the other (Replace, then Intersect): each word is evaluated only on the
// pages the earlier ones left, without counting; a word of one character whose every
// entry holds a position is its list's documents and needs no evaluation. Hits are
// counted once, on the final pages.
#include <new>
#include <span>

#include "index/index.h"
#include "index/intersect.h"
#include "index/tablewordsearch.h"
#include "index/wordplan.h"

namespace vyn {

namespace {

// The pages found so far, narrowed word by word, and for each word of one character
// its entry on each of them. A first word of one character leaves its list's
// documents in place as the pages found (entry e is page e) until a later word
// narrows them. The arrays are the index's scratch.
class CAndNarrowing {
public:
    CAndNarrowing(CSearchScratch& scratch, CPageBits& marks, std::size_t words)
        : m_found(scratch.found), m_entriesOf(scratch.entriesOf), m_kept(scratch.kept),
          m_inDocs(scratch.inDocs), m_marks(marks) {
        m_found.clear();
        if (m_entriesOf.size() < words) m_entriesOf.resize(words);
        for (std::vector<std::uint32_t>& entries : m_entriesOf) entries.clear();
    }

    std::size_t Size() const { return m_firstInPlace ? m_firstDocs.size() : m_found.size(); }
    std::vector<std::uint32_t>& Found() { return m_found; }
    // For each word of one character, its entry on each page found; empty for others.
    const std::vector<std::vector<std::uint32_t>>& Entries() const { return m_entriesOf; }

    // Word `word`, of one character, holds exactly the pages of docs.
    void NarrowByDocuments(std::size_t word, std::span<const std::uint32_t> docs) {
        if (word == 0) {
            m_firstDocs = docs;
            m_firstInPlace = true;
            return;
        }
        std::vector<std::uint32_t>& entries = m_entriesOf[word];
        if (m_firstInPlace) {
            Intersect(m_firstDocs, docs, m_entriesOf[0], entries, m_marks);
            m_found.resize(m_entriesOf[0].size());
            for (std::size_t m = 0; m < m_found.size(); ++m) m_found[m] = m_firstDocs[m_entriesOf[0][m]];
            m_firstInPlace = false;
        } else {
            Intersect(m_found, docs, m_kept, m_inDocs, m_marks);
            KeepOnly(m_kept);
            entries = m_inDocs;
        }
    }

    // Word `word` stands on pages, ascending: the first word's pages, or the part of
    // the pages found where a later word stands.
    void NarrowByPages(std::size_t word, std::vector<std::uint32_t>& pages) {
        if (word == 0) {
            m_found.swap(pages);
            return;
        }
        m_kept.clear();
        std::size_t at = 0;
        for (std::uint32_t page : pages) {
            while (at < m_found.size() && m_found[at] < page) ++at;
            if (at < m_found.size()) m_kept.push_back(static_cast<std::uint32_t>(at));
        }
        KeepOnly(m_kept);
    }

    // Turns documents left in place into the pages found.
    void Materialise() {
        if (!m_firstInPlace) return;
        m_found.assign(m_firstDocs.begin(), m_firstDocs.end());
        m_entriesOf[0].resize(m_firstDocs.size());
        for (std::size_t e = 0; e < m_firstDocs.size(); ++e) m_entriesOf[0][e] = static_cast<std::uint32_t>(e);
        m_firstInPlace = false;
    }

    void Clear() {
        m_firstInPlace = false;
        m_found.clear();
    }

private:
    void KeepOnly(const std::vector<std::uint32_t>& keep) {
        for (std::size_t m = 0; m < keep.size(); ++m) m_found[m] = m_found[keep[m]];
        m_found.resize(keep.size());
        for (std::vector<std::uint32_t>& entries : m_entriesOf) {
            if (entries.empty()) continue;
            for (std::size_t m = 0; m < keep.size(); ++m) entries[m] = entries[keep[m]];
            entries.resize(keep.size());
        }
    }

    std::vector<std::uint32_t>& m_found;
    std::vector<std::vector<std::uint32_t>>& m_entriesOf;
    std::vector<std::uint32_t>& m_kept;
    std::vector<std::uint32_t>& m_inDocs;
    CPageBits& m_marks;
    std::span<const std::uint32_t> m_firstDocs;
    bool m_firstInPlace = false;
};

}  // namespace

bool CIndex::PlanAllWords(const std::vector<std::u16string_view>& words, bool useVariants,
                          std::vector<WordPlan>& plans,
                          std::vector<std::vector<const CEntryTable*>>& tables) {
    plans.resize(words.size());
    for (std::size_t w = 0; w < words.size(); ++w) {
        if (!PlanWord(words[w], useVariants, plans[w])) return false;
    }
    DropTablesOverBudget();
    tables.resize(words.size());
    for (std::size_t w = 0; w < words.size() && plans[w].searchable; ++w) {
        if (!TablesOf(plans[w].slots, tables[w])) return false;
    }
    return true;
}

void CIndex::CountHitsOnFound(const PostingView& view, const std::vector<WordPlan>& plans,
                              const std::vector<std::vector<const CEntryTable*>>& tables,
                              const std::vector<std::uint32_t>& found,
                              const std::vector<std::vector<std::uint32_t>>& entriesOf,
                              std::vector<std::uint32_t>& counts) {
    std::vector<std::uint32_t>& wordPages = m_scratch.pages;
    std::vector<std::uint32_t>& wordCounts = m_scratch.counts;
    counts.assign(found.size(), 0);
    for (std::size_t w = 0; w < plans.size() && !found.empty(); ++w) {
        const WordPlan& plan = plans[w];
        TableWordSearch search(view, tables[w], plan.queryPos, plan.segments, plan.n, true, &found,
                               m_gatherBuffers, m_pageMarks);
        if (entriesOf[w].size() == found.size()) {
            search.AddCounts(entriesOf[w], counts);
            continue;
        }
        wordPages.clear();
        wordCounts.clear();
        search.Run(wordPages, wordCounts);
        // wordPages is found again: each of them holds every word.
        std::size_t at = 0;
        for (std::size_t i = 0; i < wordPages.size(); ++i) {
            while (at < found.size() && found[at] < wordPages[i]) ++at;
            if (at < found.size() && found[at] == wordPages[i]) counts[at] += wordCounts[i];
        }
    }
}

bool CIndex::SearchAllByTables(const std::vector<std::u16string_view>& words, bool countHits,
                               bool useVariants, std::int64_t& sum) {
    if (m_plainEvaluation) return false;
    try {
        std::vector<WordPlan> plans;
        std::vector<std::vector<const CEntryTable*>> tables;
        if (!PlanAllWords(words, useVariants, plans, tables)) return false;
        // Lists with tables are regular: no cycle on their walks.
        const PostingView view{m_postings, m_blockChain, {}};
        CAndNarrowing narrowing(m_scratch, m_pageMarks, words.size());
        std::vector<std::uint32_t>& pages = m_scratch.pages;
        std::vector<std::uint32_t>& counts = m_scratch.counts;

        std::int64_t total = 0;
        std::size_t evaluated = 0;  // words that left the pages found
        for (; evaluated < words.size() && plans[evaluated].searchable; ++evaluated) {
            const WordPlan& plan = plans[evaluated];
            const std::vector<const CEntryTable*>& lists = tables[evaluated];
            if (evaluated > 0 && narrowing.Size() == 0) break;
            if (lists.size() == 1 && lists[0]->EveryEntryHasPosition()) {
                narrowing.NarrowByDocuments(evaluated, lists[0]->Documents());
            } else {
                narrowing.Materialise();
                pages.clear();
                counts.clear();
                TableWordSearch(view, lists, plan.queryPos, plan.segments, plan.n, false,
                                evaluated == 0 ? nullptr : &narrowing.Found(), m_gatherBuffers,
                                m_pageMarks)
                    .Run(pages, counts);
                narrowing.NarrowByPages(evaluated, pages);
            }
            total += static_cast<std::int64_t>(narrowing.Size());
        }
        // A word without a list empties the result.
        if (evaluated < words.size()) narrowing.Clear();
        narrowing.Materialise();

        std::vector<std::uint32_t>& found = narrowing.Found();
        std::vector<std::uint32_t>& foundCounts = m_scratch.foundCounts;
        foundCounts.clear();
        if (countHits) {
            CountHitsOnFound(view, plans, tables, found, narrowing.Entries(), foundCounts);
        }
        // The earlier result's arrays become scratch.
        m_hitPages.swap(found);
        m_hitCounts.swap(foundCounts);
        m_hitTotal = static_cast<std::uint32_t>(m_hitPages.size());
        sum = total;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace vyn
