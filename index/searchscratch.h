// Scratch arrays that the index keeps between searches, so that large arrays are not
// allocated afresh for each one.
#pragma once

#include <cstdint>
#include <vector>

namespace vyn {

// Scratch of the page intersections of a search: a bitmap of pages, all zero
// between searches, and the number of set bits before each of its words.
struct CPageBits {
    std::vector<std::uint64_t> bits;
    std::vector<std::uint32_t> ranks;
};

// Arrays of an "and" search (see CIndex::SearchAllByTables).
struct CSearchScratch {
    std::vector<std::uint32_t> found, pages, counts, kept, inDocs, foundCounts;
    std::vector<std::vector<std::uint32_t>> entriesOf;
};

}  // namespace vyn
