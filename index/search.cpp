// Query evaluation: one simultaneous walk over the posting lists of a word's
// characters. A character k of a word with N characters and "?" in all, standing at
// query position q(k) ("*" not counted), has the aligned value position + N - 1 - q(k)
// on the current page; characters that stand in the text as in the word have equal
// aligned values. Which pages and counts a word yields is defined by the greedy test
// and advance procedure below, not by the set of all matching combinations.
#include <algorithm>
#include <limits>
#include <new>

#include "encoding/charslot.h"
#include "index/index.h"

namespace vyn {

namespace {

constexpr char16_t kSpace = u' ';
constexpr char16_t kIdeographicSpace = u'\u3000';

bool IsOneCharWildcard(char16_t unit) { return unit == u'?' || unit == u'？'; }
bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Code point at word[i] and the number of units it takes (2 for a surrogate pair).
std::uint32_t CodePointAt(const std::u16string& word, std::size_t i, std::size_t& units) {
    const std::uint32_t unit = word[i];
    if (IsHighSurrogate(unit) && i + 1 < word.size() && IsLowSurrogate(word[i + 1])) {
        units = 2;
        return 0x10000 + ((unit - 0xD800) << 10) + (word[i + 1] - 0xDC00u);
    }
    units = 1;
    return unit;
}

// Leading "*" dropped, each run of "*" collapsed into one, one "*" at the end.
std::u16string NormaliseStars(std::u16string_view word) {
    std::u16string out;
    for (char16_t unit : word) {
        if (unit == u'*' && (out.empty() || out.back() == u'*')) continue;
        out += unit;
    }
    if (out.empty() || out.back() != u'*') out += u'*';
    return out;
}

bool FitsWorkingArrays(std::u16string_view word) {
    return NormaliseStars(word).size() + 1 <= CIndex::kWordCapacity;  // + terminator
}

// Removes every character without a slot; "?", "？" and "*" stay.
void DropUnindexed(std::u16string& word) {
    std::size_t i = 0;
    while (i < word.size()) {
        if (word[i] == u'*' || IsOneCharWildcard(word[i])) {
            ++i;
            continue;
        }
        std::size_t units = 1;
        const std::uint32_t codePoint = CodePointAt(word, i, units);
        if (CharSlot(codePoint) == kNotIndexed) {
            word.erase(i, units);  // the character moving up is examined next
        } else {
            i += units;
        }
    }
}

struct Segment {
    std::size_t length = 0;  // searched characters
    std::size_t end = 0;     // index of the first character after the segment
    std::size_t Begin() const { return end - length; }
};

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
    std::uint32_t Aligned(std::size_t k) const { return m_cursors[k].Position(); }

    std::uint32_t MaxAligned(std::size_t end) const {
        std::uint32_t t = 0;
        for (std::size_t k = 0; k < end; ++k) t = std::max(t, Aligned(k));
        return t;
    }

    // One test pass. False when a test fails, with the restart index and target.
    bool Test(std::size_t& restart, std::uint32_t& target) const {
        for (const Segment& segment : m_segments) {
            const std::uint32_t value = Aligned(segment.Begin());
            for (std::size_t k = segment.Begin() + 1; k < segment.end; ++k) {
                if (Aligned(k) != value) {
                    target = MaxAligned(segment.end);
                    restart = segment.Begin();
                    return false;
                }
            }
        }
        for (std::size_t s = 1; s < m_segments.size(); ++s) {
            const Segment& g = m_segments[s - 1];
            const std::uint32_t last = Aligned(g.end - 1);
            const std::uint32_t first = Aligned(m_segments[s].Begin());
            if (first < last) {
                target = MaxAligned(g.end);
                restart = g.Begin();
                return false;
            }
            if (first - last > CIndex::kMaxSegmentGap) {
                target = MaxAligned(m_cursors.size());
                restart = 0;
                return false;
            }
        }
        return true;
    }

    void EvaluatePage(std::uint32_t cur, std::vector<std::uint32_t>& pages,
                      std::vector<std::uint32_t>& counts) {
        for (std::size_t k = 0; k < m_cursors.size(); ++k) {
            m_cursors[k].SetPosition(m_n - 1 - m_queryPos[k]);
            if (!m_cursors[k].ReadPosition()) return;
        }
        bool found = false;
        for (;;) {
            std::size_t restart = 0;
            std::uint32_t target = 0;
            if (Test(restart, target)) {
                if (!m_countHits) {
                    pages.push_back(cur);
                    return;
                }
                if (!found) {
                    pages.push_back(cur);
                    counts.push_back(1);
                    found = true;
                } else {
                    ++counts.back();
                }
                const std::uint32_t common = Aligned(m_segments.front().Begin());
                // Nothing can lie beyond the largest value; without this stop the
                // target would wrap to 0 and nothing would advance.
                if (common == std::numeric_limits<std::uint32_t>::max()) return;
                target = common + 1;
                restart = 0;
            }
            for (std::size_t k = restart; k < m_cursors.size(); ++k) {
                if (Aligned(k) < target && !m_cursors[k].ReadPosition()) return;
            }
        }
    }

    std::vector<CPostingCursor>& m_cursors;
    const std::vector<std::uint32_t>& m_queryPos;
    std::vector<Segment> m_segments;  // the non-empty ones
    bool m_countHits;
    std::uint32_t m_n;
};

}  // namespace

int CIndex::CountWords(std::u16string_view query) {
    int words = 0;
    bool inWord = false;
    for (char16_t unit : query) {
        if (unit == kSpace || unit == kIdeographicSpace) {
            inWord = false;
        } else if (unit < 0x100 && unit != u'*' && unit != u'?') {
            return 0;
        } else {
            if (!inWord) ++words;
            inWord = true;
        }
    }
    return words;
}

int CIndex::SearchAllWords(std::u16string& query, bool countHits, bool useVariants) {
    return SearchWords(query, true, countHits, useVariants);
}

int CIndex::SearchAnyWord(std::u16string& query, bool countHits, bool useVariants) {
    return SearchWords(query, false, countHits, useVariants);
}

int CIndex::SearchWords(std::u16string& query, bool all, bool countHits, bool useVariants) {
    if (CountWords(query) == 0) return 0;
    try {
        // An over-long word rejects the whole query before anything changes.
        std::size_t start = 0;
        while (start <= query.size()) {
            std::size_t end = std::min(query.find(kSpace, start), query.size());
            if (end > start &&
                !FitsWorkingArrays(std::u16string_view(query).substr(start, end - start))) {
                return 0;
            }
            start = end + 1;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    ClearResult();
    std::int64_t sum = 0;
    bool first = true;
    std::size_t wordStart = 0;
    for (std::size_t i = 0; i <= query.size(); ++i) {
        if (i < query.size() && query[i] != kSpace) continue;
        if (i < query.size()) query[i] = kIdeographicSpace;
        if (i > wordStart) {
            const std::u16string_view word =
                std::u16string_view(query).substr(wordStart, i - wordStart);
            const CombineMode mode = !all    ? CombineUnion
                                     : first ? CombineReplace
                                             : CombineIntersect;
            sum += SearchWord(word, mode, countHits, useVariants);
            first = false;
        }
        wordStart = i + 1;
    }
    return static_cast<int>(std::min<std::int64_t>(sum, std::numeric_limits<int>::max()));
}

void CIndex::ClearResult() {
    m_hitPages.clear();
    m_hitCounts.clear();
    m_hitTotal = 0;
}

std::uint32_t CIndex::SearchWord(std::u16string_view word, CombineMode mode, bool countHits,
                                 bool useVariants) {
    if (countHits && m_hitCounts.size() != m_hitPages.size() && mode != CombineUnion) {
        ClearResult();
        return 0;
    }
    try {
        std::u16string units = NormaliseStars(word);
        if (units.size() + 1 > kWordCapacity) return 0;
        DropUnindexed(units);

        std::vector<CPostingCursor> cursors;
        std::vector<std::uint32_t> queryPos;
        std::vector<Segment> segments;
        std::uint32_t n = 0;
        std::size_t open = 0;
        bool noList = false;
        for (std::size_t i = 0; i < units.size() && !noList;) {
            const char16_t unit = units[i];
            if (unit == u'*') {
                segments.push_back(Segment{open, cursors.size()});
                open = 0;
                ++i;
                continue;
            }
            if (IsOneCharWildcard(unit)) {
                ++n;
                ++i;
                continue;
            }
            std::size_t length = 1;
            const std::uint32_t codePoint = CodePointAt(units, i, length);
            i += length;
            std::int32_t slot = CharSlot(codePoint);
            if (useVariants) VariantSlot(codePoint, slot);
            CPostingCursor cursor;
            if (!StartCursor(slot, cursor)) {
                noList = true;
                break;
            }
            cursors.push_back(cursor);
            queryPos.push_back(n);
            ++n;
            ++open;
        }
        if (cursors.empty() || noList) {
            if (mode != CombineUnion) ClearResult();
            return 0;
        }

        std::vector<std::uint32_t> pages, counts;
        WordSearch(cursors, queryPos, segments, n, countHits).Run(pages, counts);
        return Combine(mode, countHits, pages, counts);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::uint32_t CIndex::Combine(CombineMode mode, bool countHits, std::vector<std::uint32_t>& pages,
                              std::vector<std::uint32_t>& counts) {
    std::vector<std::uint32_t> resultPages, resultCounts;
    if (mode == CombineReplace) {
        resultPages = std::move(pages);
        if (countHits) resultCounts = std::move(counts);
    } else {
        // Page -> its index in the result list: the first entry, as a linear search
        // from the front would find.
        std::unordered_map<std::uint32_t, std::size_t> indexOf;
        indexOf.reserve(m_hitPages.size());
        for (std::size_t i = 0; i < m_hitPages.size(); ++i) indexOf.emplace(m_hitPages[i], i);
        if (mode == CombineUnion) {
            resultPages = m_hitPages;
            if (countHits) {
                resultCounts = m_hitCounts;
                // Counts missing after an uncounted search start from 0.
                resultCounts.resize(resultPages.size(), 0);
            }
            for (std::size_t i = 0; i < pages.size(); ++i) {
                auto it = indexOf.find(pages[i]);
                if (it != indexOf.end()) {
                    if (countHits) resultCounts[it->second] += counts[i];
                } else {
                    resultPages.push_back(pages[i]);
                    if (countHits) resultCounts.push_back(counts[i]);
                }
            }
        } else {
            for (std::size_t i = 0; i < pages.size(); ++i) {
                auto it = indexOf.find(pages[i]);
                if (it == indexOf.end()) continue;
                resultPages.push_back(pages[i]);
                if (countHits) resultCounts.push_back(counts[i] + m_hitCounts[it->second]);
            }
        }
    }
    m_hitPages = std::move(resultPages);
    m_hitCounts = std::move(resultCounts);
    m_hitTotal = static_cast<std::uint32_t>(m_hitPages.size());
    return m_hitTotal;
}

}  // namespace vyn
