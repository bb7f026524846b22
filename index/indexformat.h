// The index files of one scope, read by CIndex and CPostingCursor and written by
// CPostingWriter (builder/postingwriter.h). Numbers are unsigned and little-endian.
//
// An index is two files, "<base><suffix>-idx.h" and "<base><suffix>-idx.m", the
// suffix naming the scope (IndexFileSuffix). The key of every table is the slot of a
// character: CharSlot (encoding/charslot.h), or kFirstVariantSlot + g for group g of
// the variant table.
//
// Header file ("-idx.h"), mapped at open and read in place:
//   0          100,000 u32  first-block table, by slot: the block where the slot's
//                           posting list begins; kNoBlock when the slot has no list
//   400,000    200,000 B    reserved, written as zeros, never read
//   600,000    400,000 B    reserved, written as zeros, never read
//   1,000,000  100,000 u32  last-document table, by slot: the document of the list's
//                           last entry
//   1,400,000  n u32        block chain, n = (file size - 1,400,000) / 4: entry b is
//                           the block that follows block b in its list; kNoBlock ends
//                           the list. The writer puts at least one entry.
//
// Posting file ("-idx.m"): blocks of 4,096 bytes numbered from 0; block b starts at
// byte b * 4,096. The writer puts at least one block. A posting list is a byte stream
// that starts at byte 0 of its first block and, whenever a block is used up,
// continues at byte 0 of the block that the chain names for it; the unused end of its
// last block is zeros. The stream is a run of document entries in ascending document
// order without a terminator; the entry whose document equals the slot's
// last-document entry ends it. Each entry:
//   packed  document delta (from the previous entry's document; the first from 0)
//   u16     position byte count, at most kMaxPositionBytes
//   bytes   position deltas, packed, ascending (the first from 0)
// A packed number is 1 to 3 bytes, most significant first; the top bits of b0 say how
// many: 0x00-0x7F b0; 0x80-0xBF (b0 & 0x3F) << 8 | b1; 0xC0-0xFF (b0 & 0x3F) << 16 |
// b1 << 8 | b2. Packed numbers and the count may straddle a block boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "encoding/charslot.h"
#include "textstore/storeformat.h"

namespace vyn {

// The base name of a data folder's index files and text store.
constexpr std::string_view kIndexBaseName = "Index";
// The variant table beside them, read by CIndex::LoadVariants (index/variants.cpp).
constexpr std::string_view kVariantFile = "yitizi.txt";

constexpr std::string_view kHeaderFileSuffix = "-idx.h";
constexpr std::string_view kPostingFileSuffix = "-idx.m";

constexpr std::uint32_t kPostingBlockSize = 4096;
// The end of a block chain, and the first block of a slot without a list.
constexpr std::uint32_t kNoBlock = 0xFFFFFFFF;
constexpr std::uint32_t kMaxPacked = 0x3FFFFF;  // largest packed number
constexpr std::uint32_t kMaxPositionBytes = 0xFFFF;

// Byte offsets and sizes of the header tables.
constexpr std::size_t kSlotTableEntries = kSlotCount;
constexpr std::size_t kFirstBlockTableOffset = 0;
constexpr std::size_t kReservedTablesOffset = 4 * kSlotTableEntries;
constexpr std::size_t kReservedTablesSize = 200000 + 400000;
constexpr std::size_t kLastDocTableOffset = kReservedTablesOffset + kReservedTablesSize;
constexpr std::uint64_t kHeaderTablesSize = kLastDocTableOffset + 4 * kSlotTableEntries;
static_assert(kHeaderTablesSize == 1400000);

// Groups 0..kMaxVariantGroups-1 of the variant table own a slot; the builder refuses
// more groups.
constexpr std::size_t kMaxVariantGroups = kSlotCount - kFirstVariantSlot;
static_assert(kMaxVariantGroups == 11935);

// Which text an index holds.
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
