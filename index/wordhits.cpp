// Hits of a word located in a rendered cell: the word's plan evaluated by the greedy
// procedure of a search over lists made from the cell's characters, so that the hits
// found are the ones a search counts on that page.
#include <algorithm>
#include <unordered_set>

#include "encoding/charslot.h"
#include "index/greedy.h"
#include "index/index.h"
#include "index/wordplan.h"

namespace vyn {

std::vector<CIndex::CellHit> CIndex::WordHitsInCell(std::u16string_view word, bool useVariants,
                                                    SearchScope scope, const KwicCell& cell) const {
    if (!m_members.empty()) return m_members.front()->WordHitsInCell(word, useVariants, scope, cell);
    WordPlan plan;
    if (!PlanWord(word, useVariants, plan) || !plan.searchable) return {};
    const std::size_t lists = plan.slots.size();
    const std::vector<std::vector<std::uint32_t>>& groups = GetVariantGroups();

    // Per searched character k, the cell's characters of its slot in the searched
    // part: their aligned values (see index/greedy.h) and character indexes.
    std::vector<std::vector<std::uint32_t>> values(lists), at(lists);
    for (std::size_t k = 0; k < lists; ++k) {
        const std::int32_t slot = plan.slots[k];
        std::unordered_set<std::uint32_t> members;
        const bool group = slot >= kFirstVariantSlot;
        if (group && static_cast<std::size_t>(slot - kFirstVariantSlot) < groups.size()) {
            const auto& g = groups[static_cast<std::size_t>(slot - kFirstVariantSlot)];
            members.insert(g.begin(), g.end());
        }
        const std::uint32_t shift = plan.n - 1 - plan.queryPos[k];
        for (std::size_t i = 0; i < cell.text.size() && i < cell.positions.size(); ++i) {
            if (cell.positions[i] == kNoPosition) continue;
            const bool note = i < cell.notes.size() && cell.notes[i];
            if ((scope == SearchScope::kMain && note) || (scope == SearchScope::kNotes && !note)) continue;
            const char32_t c = cell.text[i];
            if (group ? members.count(c) == 0 : CharSlot(c) != slot) continue;
            values[k].push_back(cell.positions[i] + shift);
            at[k].push_back(i);
        }
        if (values[k].empty()) return {};
    }

    // Index of the character at a position, or npos.
    const auto charAt = [&](std::int64_t position) -> std::size_t {
        if (position < 0) return std::u32string::npos;
        const auto p = static_cast<std::uint32_t>(position);
        for (std::size_t i = 0; i < cell.positions.size(); ++i) {
            if (cell.positions[i] == p) return i;
            if (cell.positions[i] != kNoPosition && cell.positions[i] > p) break;
        }
        return std::u32string::npos;
    };

    std::vector<std::size_t> cursor(lists, 0);
    std::vector<CellHit> hits;
    std::vector<std::uint32_t> pages, counts;
    const auto value = [&](std::size_t k) { return values[k][cursor[k]]; };
    const auto advance = [&](std::size_t k) { return ++cursor[k] < values[k].size(); };
    const auto onHit = [&] {
        const std::size_t first = at.front()[cursor.front()];
        const std::size_t last = at.back()[cursor.back()];
        CellHit hit;
        hit.first = first;
        hit.begin = first;
        hit.end = last + 1;
        // The "?" before the first searched character and after the last one.
        const std::uint32_t before = plan.queryPos.front();
        const std::uint32_t after = plan.n - 1 - plan.queryPos.back();
        for (std::uint32_t j = before; j > 0; --j) {
            const std::size_t i = charAt(std::int64_t{cell.positions[first]} - j);
            if (i != std::u32string::npos) {
                hit.begin = i;
                break;
            }
        }
        for (std::uint32_t j = after; j > 0; --j) {
            const std::size_t i = charAt(std::int64_t{cell.positions[last]} + j);
            if (i != std::u32string::npos) {
                hit.end = i + 1;
                break;
            }
        }
        hits.push_back(hit);
    };
    EvaluateGreedy(plan.segments, lists, true, 0, value, advance, pages, counts, onHit);
    return hits;
}

}  // namespace vyn
