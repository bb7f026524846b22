// How a word is tested on one page: the greedy test and advance procedure that both
// evaluators of a word (the cursor walk and the entry-table walk) follow.
//
// A character k of a word with N characters and "?" in all, standing at query
// position q(k) ("*" not counted), has the aligned value position + N - 1 - q(k) on
// the current page; characters that stand in the text as in the word have equal
// aligned values. Which pages and counts a word yields is defined by this procedure,
// not by the set of all matching combinations.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "index/index.h"

namespace vyn {

// The characters of a word between two "*": segment characters must stand side by
// side, and each segment may begin at most CIndex::kMaxSegmentGap positions after the
// previous one ends.
struct Segment {
    std::size_t length = 0;  // searched characters
    std::size_t end = 0;     // index of the first character after the segment
    std::size_t Begin() const { return end - length; }
};

// Records a passed test on page: the page once and, with countHits, one hit more on
// it (found tells whether the page was recorded already). False when the page needs
// no further test: hits are not counted.
inline bool RecordHit(std::uint32_t page, bool countHits, bool& found,
                      std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts) {
    if (!countHits) {
        pages.push_back(page);
        return false;
    }
    if (!found) {
        pages.push_back(page);
        counts.push_back(1);
        found = true;
    } else {
        ++counts.back();
    }
    return true;
}

// The greedy test and advance procedure on one page, over the aligned values of the
// word's lists: value(k) is list k's current one, advance(k) reads its next one and
// is false when list k has none left, which ends the page. Every list must hold its
// first value. Appends page to pages once a test pass succeeds, and with countHits
// counts every success in counts.back(); onHit() is called on each success counted,
// while value(k) still holds the values that passed.
struct NoHitHook {
    void operator()() const {}
};
template <typename Value, typename Advance, typename OnHit = NoHitHook>
void EvaluateGreedy(const std::vector<Segment>& segments, std::size_t lists, bool countHits,
                    std::uint32_t page, Value value, Advance advance,
                    std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts,
                    OnHit onHit = {}) {
    const auto maxValue = [&](std::size_t end) {
        std::uint32_t t = 0;
        for (std::size_t k = 0; k < end; ++k) t = std::max(t, value(k));
        return t;
    };
    // One test pass. False when a test fails, with the restart index and target.
    const auto test = [&](std::size_t& restart, std::uint32_t& target) {
        for (const Segment& segment : segments) {
            const std::uint32_t first = value(segment.Begin());
            for (std::size_t k = segment.Begin() + 1; k < segment.end; ++k) {
                if (value(k) != first) {
                    target = maxValue(segment.end);
                    restart = segment.Begin();
                    return false;
                }
            }
        }
        for (std::size_t s = 1; s < segments.size(); ++s) {
            const Segment& g = segments[s - 1];
            const std::uint32_t last = value(g.end - 1);
            const std::uint32_t first = value(segments[s].Begin());
            if (first < last) {
                target = maxValue(g.end);
                restart = g.Begin();
                return false;
            }
            if (first - last > CIndex::kMaxSegmentGap) {
                target = maxValue(lists);
                restart = 0;
                return false;
            }
        }
        return true;
    };
    bool found = false;
    for (;;) {
        std::size_t restart = 0;
        std::uint32_t target = 0;
        if (test(restart, target)) {
            if (!RecordHit(page, countHits, found, pages, counts)) return;
            onHit();
            const std::uint32_t common = value(segments.front().Begin());
            // Nothing can lie beyond the largest value; without this stop the target
            // would wrap to 0 and nothing would advance.
            if (common == std::numeric_limits<std::uint32_t>::max()) return;
            target = common + 1;
            restart = 0;
        }
        for (std::size_t k = restart; k < lists; ++k) {
            if (value(k) < target && !advance(k)) return;
        }
    }
}

}  // namespace vyn
