// WordSearch: the plain evaluator of one word, a simultaneous walk over the posting
// lists of its characters with one CPostingCursor each.
#pragma once

#include <cstdint>
#include <vector>

#include "index/greedy.h"
#include "index/postingcursor.h"

namespace vyn {

// The walk of one word over its characters' posting lists.
class WordSearch {
public:
    WordSearch(std::vector<CPostingCursor>& cursors, const std::vector<std::uint32_t>& queryPos,
               const std::vector<Segment>& segments, std::uint32_t n, bool countHits)
        : m_cursors(cursors), m_queryPos(queryPos), m_countHits(countHits), m_n(n) {
        for (const Segment& segment : segments) {
            if (segment.length > 0) m_segments.push_back(segment);
        }
    }

    void Run(std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts) {
        for (CPostingCursor& cursor : m_cursors) {
            if (!cursor.ReadEntryHead()) return;
        }
        for (;;) {
            std::uint32_t cur = 0;
            for (const CPostingCursor& cursor : m_cursors) cur = std::max(cur, cursor.Document());
            const bool allOnCur = std::all_of(m_cursors.begin(), m_cursors.end(),
                                              [&](const auto& c) { return c.Document() == cur; });
            if (allOnCur) {
                EvaluatePage(cur, pages, counts);
                if (cur == std::numeric_limits<std::uint32_t>::max()) return;  // no later page
                ++cur;
            }
            for (CPostingCursor& cursor : m_cursors) {
                while (cursor.Document() < cur) {
                    if (cursor.AtLastEntry() || !cursor.SkipEntry() || !cursor.ReadEntryHead()) {
                        return;
                    }
                }
            }
        }
    }

private:
    void EvaluatePage(std::uint32_t cur, std::vector<std::uint32_t>& pages,
                      std::vector<std::uint32_t>& counts) {
        for (std::size_t k = 0; k < m_cursors.size(); ++k) {
            m_cursors[k].SetPosition(m_n - 1 - m_queryPos[k]);
            if (!m_cursors[k].ReadPosition()) return;
        }
        EvaluateGreedy(
            m_segments, m_cursors.size(), m_countHits, cur,
            [&](std::size_t k) { return m_cursors[k].Position(); },
            [&](std::size_t k) { return m_cursors[k].ReadPosition(); }, pages, counts);
    }

    std::vector<CPostingCursor>& m_cursors;
    const std::vector<std::uint32_t>& m_queryPos;
    std::vector<Segment> m_segments;  // the non-empty ones
    bool m_countHits;
    std::uint32_t m_n;
};

}  // namespace vyn
