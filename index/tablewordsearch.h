// TableWordSearch: the fast evaluator of one word, over the entry tables of its
// characters' posting lists. It follows the procedure of WordSearch (index/greedy.h)
// on the documents that every list holds (and, for a later "and" word, that the
// result already holds), and decodes positions from in-block spans. Pages outside
// every list are never evaluated by either evaluator, so the two agree; a list
// without a table (a damaged one) sends its word to the plain walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "index/entrytable.h"
#include "index/greedy.h"
#include "index/searchscratch.h"

namespace vyn {

// The walk of one word over its characters' entry tables: the procedure of
// WordSearch on the documents all tables hold, and within restriction when given.
class TableWordSearch {
public:
    TableWordSearch(const PostingView& view, std::span<const CEntryTable* const> tables,
                    const std::vector<std::uint32_t>& queryPos,
                    const std::vector<Segment>& segments, std::uint32_t n, bool countHits,
                    const std::vector<std::uint32_t>* restriction,
                    std::vector<std::vector<std::uint8_t>>& gather,
                    CPageBits& marks);
    void Run(std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts);

    // For a one-character word whose every entry starts with a whole packed number:
    // adds the hits on entries[m] of its list to counts[m]. An entry of one byte
    // holds one position, so its data need not be read.
    void AddCounts(std::span<const std::uint32_t> entries, std::vector<std::uint32_t>& counts);

private:
    // List k's documents; the restriction after the last list.
    std::span<const std::uint32_t> Docs(std::size_t list) const;
    void Prefetch(std::size_t k, std::size_t entry) const;
    // The position data of entry of list k: in place when it lies in one block, else
    // gathered into list k's buffer (valid until the list's next gather).
    std::pair<const std::uint8_t*, const std::uint8_t*> PositionData(std::size_t k,
                                                                     std::size_t entry);
    // Points the position reader of list k at its current entry's data.
    void StartPositions(std::size_t k);
    bool ReadPosition(std::size_t k);

    // With fewer position bytes than this no value of list 0 can reach the largest
    // one, which would end the count: its hits are its packed numbers.
    std::uint64_t SafeBytes() const;
    // The whole packed numbers in [p, p + bytes).
    static std::uint32_t CountPacked(const std::uint8_t* p, std::uint32_t bytes);
    // The hits of a one-character word on every page of its list, as EvaluateOne
    // counts them.
    void CountAll(std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts);
    // A word of one searched character: the test always passes, so every position
    // read is a hit, up to one whose value is the largest. The hits on the current
    // entry of list 0; without counting, 1 when it has any.
    std::uint32_t HitsOne();
    void EvaluateOne(std::uint32_t page, std::vector<std::uint32_t>& pages,
                     std::vector<std::uint32_t>& counts);
    // A word of two characters on every page of meet, list 0 at entries e0 and list
    // 1 at e1: locations and position data are fetched ahead, and each page's data
    // is read from locals.
    void RunPairs(const std::vector<std::uint32_t>& meet, const std::uint32_t* e0,
                  const std::uint32_t* e1, std::vector<std::uint32_t>& pages,
                  std::vector<std::uint32_t>& counts);
    // EvaluatePage for two characters on one page, with what its tests and advances
    // come to: side by side (one segment) or around "*" (two segments).
    void PairOn(std::uint32_t page, const std::uint8_t* p0, const std::uint8_t* const end0,
                const std::uint8_t* p1, const std::uint8_t* const end1, const bool together,
                std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts);
    // WordSearch::EvaluatePage on the values.
    void EvaluatePage(std::uint32_t page, std::vector<std::uint32_t>& pages,
                      std::vector<std::uint32_t>& counts);

    const PostingView& m_view;
    std::span<const CEntryTable* const> m_tables;
    std::vector<Segment> m_segments;  // the non-empty ones
    std::span<const std::uint32_t> m_restriction;  // valid while Run runs
    bool m_restricted = false;
    bool m_countHits;
    std::vector<std::vector<std::uint8_t>>& m_gather;  // per list, for spans across blocks
    CPageBits& m_marks;                                // see Intersect
    std::vector<std::size_t> m_entry;                  // per list: its entry on the page
    std::vector<std::uint32_t> m_base;                 // per list: N - 1 - q(k)
    std::vector<const std::uint8_t*> m_next;           // per list: next position byte
    std::vector<const std::uint8_t*> m_end;            // per list: end of its position data
    std::vector<std::uint32_t> m_value;                // per list: aligned value
};

}  // namespace vyn
