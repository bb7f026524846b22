#include "bench/peers/peerquery.h"

#include <algorithm>
#include <iterator>

#include "encoding/charslot.h"

namespace vyn::peers {

namespace {

bool IsSeparator(char32_t c) { return c == U' ' || c == 0x3000; }
bool IsWildcard(char32_t c) { return c == U'?' || c == 0xFF1F; }

PeerWord MakeWord(std::u32string_view word, bool useVariants, const CIndex& index) {
    // Each searched character with its query position (wildcards counted, "*" not)
    // and the segment it belongs to.
    struct Searched {
        char32_t codePoint;
        std::uint32_t queryPosition;
        std::uint32_t segment;
    };
    std::vector<Searched> searched;
    std::uint32_t n = 0;
    std::uint32_t segment = 0;
    for (char32_t c : word) {
        if (c == U'*') {
            ++segment;
        } else if (IsWildcard(c)) {
            ++n;
        } else if (CharSlot(c) != kNotIndexed) {
            searched.push_back({c, n++, segment});
        }
    }
    PeerWord result;
    for (std::size_t k = 0; k < searched.size(); ++k) {
        Unit unit;
        std::int32_t slot = 0;
        if (useVariants && index.VariantSlot(searched[k].codePoint, slot)) {
            for (std::uint32_t member : index.GetVariantGroups()[slot - kFirstVariantSlot]) {
                if (std::find(unit.alternatives.begin(), unit.alternatives.end(), member) ==
                    unit.alternatives.end()) {
                    unit.alternatives.push_back(member);
                }
            }
        } else {
            unit.alternatives.push_back(searched[k].codePoint);
        }
        if (k == 0 || searched[k].segment != searched[k - 1].segment) {
            if (k > 0) {
                const std::uint32_t wildcards =
                    searched[k].queryPosition - searched[k - 1].queryPosition - 1;
                result.minGap.push_back(wildcards);
                result.maxGap.push_back(wildcards + CIndex::kMaxSegmentGap);
            }
            result.parts.emplace_back();
        } else {
            const std::uint32_t wildcards =
                searched[k].queryPosition - searched[k - 1].queryPosition - 1;
            result.parts.back().insert(result.parts.back().end(), wildcards, Unit{});
        }
        result.parts.back().push_back(std::move(unit));
    }
    return result;
}

}  // namespace

PeerQuery MakePeerQuery(std::u32string_view query, bool any, bool useVariants,
                        const CIndex& index) {
    PeerQuery result;
    result.any = any;
    std::size_t start = 0;
    while (start < query.size()) {
        std::size_t end = start;
        while (end < query.size() && !IsSeparator(query[end])) ++end;
        if (end > start) {
            result.words.push_back(MakeWord(query.substr(start, end - start), useVariants, index));
        }
        start = end + 1;
    }
    return result;
}

bool HasChain(const PeerWord& word, const std::vector<std::vector<std::uint32_t>>& starts) {
    if (word.parts.empty() || starts.size() != word.parts.size()) return false;
    std::vector<std::uint32_t> reached = starts[0];
    for (std::size_t k = 1; k < word.parts.size() && !reached.empty(); ++k) {
        const std::uint32_t length = static_cast<std::uint32_t>(word.parts[k - 1].size());
        std::vector<std::uint32_t> next;
        std::size_t from = 0;
        for (std::uint32_t start : starts[k]) {
            // Some reached start s must satisfy start - (s + length) in [min, max].
            while (from < reached.size() &&
                   std::uint64_t{reached[from]} + length + word.maxGap[k - 1] < start) {
                ++from;
            }
            if (from < reached.size() &&
                std::uint64_t{reached[from]} + length + word.minGap[k - 1] <= start) {
                next.push_back(start);
            }
        }
        reached = std::move(next);
    }
    return !reached.empty();
}

void CombinePages(std::vector<std::uint32_t>& result, const std::vector<std::uint32_t>& pages,
                  bool any, bool first) {
    if (first) {
        result = pages;
        return;
    }
    std::vector<std::uint32_t> joined;
    if (any) {
        std::set_union(result.begin(), result.end(), pages.begin(), pages.end(),
                       std::back_inserter(joined));
    } else {
        std::set_intersection(result.begin(), result.end(), pages.begin(), pages.end(),
                              std::back_inserter(joined));
    }
    result = std::move(joined);
}

std::vector<std::uint32_t> VynPages(CIndex& index, const std::u16string& query, bool any,
                                    bool variants) {
    std::u16string searched = query;
    if (any) {
        index.SearchAnyWord(searched, true, variants);
    } else {
        index.SearchAllWords(searched, true, variants);
    }
    std::vector<std::uint32_t> pages(index.GetHitPages().begin(),
                                     index.GetHitPages().begin() + index.GetHitTotal());
    std::sort(pages.begin(), pages.end());
    return pages;
}

}  // namespace vyn::peers
