// The index files of one scope, shared by their reader (index/) and their writer
// (builder/postingwriter.cpp). The header file is described field by field at the top
// of index/index.cpp, the posting file at the top of index/postingcursor.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textstore/storeformat.h"

namespace vyn {

// Posting lists are chains of blocks of this many bytes.
constexpr std::uint32_t kPostingBlockSize = 4096;
// The end of a block chain, and the first block of a slot without a list.
constexpr std::uint32_t kNoBlock = 0xFFFFFFFF;

// Header file: the first-block table, two reserved tables, the last-document table,
// then the block chain.
constexpr std::size_t kSlotTableEntries = 100000;
constexpr std::size_t kFirstBlockTableOffset = 0;
constexpr std::size_t kReservedTablesOffset = 4 * kSlotTableEntries;
constexpr std::size_t kReservedTablesSize = 200000 + 400000;
constexpr std::size_t kLastDocTableOffset = kReservedTablesOffset + kReservedTablesSize;
constexpr std::uint64_t kHeaderTablesSize = kLastDocTableOffset + 4 * kSlotTableEntries;
static_assert(kHeaderTablesSize == 1400000);

// Groups 0..kMaxVariantGroups-1 of the variant table own an index slot
// (kFirstVariantSlot + g, encoding/charslot.h); the builder refuses more groups.
constexpr std::size_t kMaxVariantGroups = 11935;

// Which text an index holds; its files are "<base><suffix>-idx.h" and "-idx.m".
enum class IndexScope : int { kWhole = 0, kNotes = 1, kMain = 2 };

// "" for the whole text, "_desc" for the annotations, "_content" for the main text.
constexpr std::string_view IndexFileSuffix(IndexScope scope) {
    switch (scope) {
        case IndexScope::kNotes:
            return "_desc";
        case IndexScope::kMain:
            return "_content";
        case IndexScope::kWhole:
            break;
    }
    return "";
}

// The index that holds the text a search scope marks: the one conversion between the
// two numberings.
constexpr IndexScope IndexScopeFor(SearchScope scope) {
    switch (scope) {
        case SearchScope::kMain:
            return IndexScope::kMain;
        case SearchScope::kNotes:
            return IndexScope::kNotes;
        case SearchScope::kWhole:
            break;
    }
    return IndexScope::kWhole;
}

}  // namespace vyn
