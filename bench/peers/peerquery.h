// A vyn query restated for tools that know only characters at positions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/index.h"

namespace vyn::peers {

// One position of a part: one of the listed code points, or any character when
// the list is empty (a "?").
struct Unit {
    std::vector<char32_t> alternatives;
    bool IsAny() const { return alternatives.empty(); }
};

// A word as runs of exactly placed units ("parts", each beginning and ending with a
// character) in order: part k+1 starts after part k ends, with between minGap[k]
// and maxGap[k] characters between them. A word without a searchable character has
// no parts and matches nothing.
struct PeerWord {
    std::vector<std::vector<Unit>> parts;
    std::vector<std::uint32_t> minGap;
    std::vector<std::uint32_t> maxGap;
};

struct PeerQuery {
    std::vector<PeerWord> words;
    bool any = false;  // "or" of the words, else "and"
};

// Restates query (words separated by U+0020 or U+3000) as the engine evaluates it:
// unindexed characters are dropped, leading and trailing "?" of a word impose
// nothing, "?" and "？" take one position, "*" allows up to 300 positions between
// the parts beside it (the "?" next to it counted as placed). With useVariants each
// character becomes the members of its variant group as index.VariantSlot picks it.
PeerQuery MakePeerQuery(std::u32string_view query, bool any, bool useVariants, const CIndex& index);

// Whether starts of each part, ascending per part, hold one chain that keeps the
// word's gaps.
bool HasChain(const PeerWord& word, const std::vector<std::vector<std::uint32_t>>& starts);

// Folds one word's ascending pages into result, the pages of the words before it:
// the first word's pages, then their union ("or") or intersection ("and").
void CombinePages(std::vector<std::uint32_t>& result, const std::vector<std::uint32_t>& pages,
                  bool any, bool first);

// vyn's pages for query, ascending, searched as the reader searches (hits counted).
std::vector<std::uint32_t> VynPages(CIndex& index, const std::u16string& query, bool any,
                                    bool variants);

}  // namespace vyn::peers
