// Query evaluation: one simultaneous walk over the posting lists of a word's
// characters. A character k of a word with N characters and "?" in all, standing at
// query position q(k) ("*" not counted), has the aligned value position + N - 1 - q(k)
// on the current page; characters that stand in the text as in the word have equal
// aligned values. Which pages and counts a word yields is defined by the greedy test
// and advance procedure below, not by the set of all matching combinations.
//
// Two evaluators follow that procedure. The plain one (WordSearch) walks every list
// with a CPostingCursor. The fast one (TableWordSearch) takes the lists' entry
// tables: it visits only the documents that every list holds (and, for a later
// "and" word, that the result already holds), and decodes positions from in-block
// spans. Pages outside every list are never evaluated by either, so the two agree;
// a list without a table (a damaged one) sends its word to the plain walk.
#include <algorithm>
#include <bit>
#include <limits>
#include <new>
#include <tuple>
#include <utility>

#include "encoding/charslot.h"
#include "index/entrytable.h"
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

// The greedy test and advance procedure on one page, over the aligned values of the
// word's lists: value(k) is list k's current one, advance(k) reads its next one and
// is false when list k has none left, which ends the page. Every list must hold its
// first value. Appends page to pages once a test pass succeeds, and with countHits
// counts every success in counts.back().
template <typename Value, typename Advance>
void EvaluateGreedy(const std::vector<Segment>& segments, std::size_t lists, bool countHits,
                    std::uint32_t page, Value value, Advance advance,
                    std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts) {
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
            if (!countHits) {
                pages.push_back(page);
                return;
            }
            if (!found) {
                pages.push_back(page);
                counts.push_back(1);
                found = true;
            } else {
                ++counts.back();
            }
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

// First index at or after `at` whose document is not below target; size when none.
// Looks at the next few documents before galloping, as the next match is often near.
std::size_t Seek(std::span<const std::uint32_t> docs, std::size_t at, std::uint32_t target) {
    const std::size_t size = docs.size();
    for (int i = 0; i < 4; ++i, ++at) {
        if (at >= size || docs[at] >= target) return at;
    }
    std::size_t low = at - 1;  // docs[low] < target
    std::size_t step = 1;
    while (low + step < size && docs[low + step] < target) {
        low += step;
        step *= 2;
    }
    const std::size_t high = std::min(size, low + step + 1);
    return static_cast<std::size_t>(
        std::lower_bound(docs.begin() + static_cast<std::ptrdiff_t>(low + 1),
                         docs.begin() + static_cast<std::ptrdiff_t>(high), target) -
        docs.begin());
}

// Pages below this may be intersected through a bitmap.
constexpr std::uint32_t kMarkedPages = std::uint32_t{1} << 26;

// x86-64 has counted bits in one instruction since 2008, but not in its baseline.
#if defined(__x86_64__)
#define VYN_WITH_POPCNT __attribute__((target_clones("popcnt", "default")))
#else
#define VYN_WITH_POPCNT
#endif

// The indexes in a and in b of the documents both hold, ascending. A much longer b
// is searched by galloping. Lists of like size that are dense enough meet in a
// bitmap of a's pages, where the index of a page in a is its rank: 50 KB for 400,000
// pages, which stays in cache where an array of indexes by page would not. Others
// are merged without branches.
VYN_WITH_POPCNT
void Intersect(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b,
               std::vector<std::uint32_t>& inA, std::vector<std::uint32_t>& inB,
               CPageBits& scratch) {
    inA.resize(std::min(a.size(), b.size()) + 1);
    inB.resize(inA.size());
    std::size_t found = 0;
    if (a.size() * 16 < b.size()) {
        std::size_t j = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            j = Seek(b, j, a[i]);
            if (j == b.size()) break;
            if (b[j] == a[i]) {
                inA[found] = static_cast<std::uint32_t>(i);
                inB[found] = static_cast<std::uint32_t>(j);
                ++found;
            }
        }
    } else if (!a.empty() && !b.empty() && a.back() < kMarkedPages &&
               (a.size() + b.size()) * 64 >= a.back()) {
        // Both lists ascend without repeats: a's last page is its largest, and b
        // stops there.
        const std::uint32_t last = a.back();
        const std::size_t words = last / 64 + 1;
        if (scratch.bits.size() < words) scratch.bits.resize(words, 0);
        if (scratch.ranks.size() < words) scratch.ranks.resize(words);
        std::uint64_t* const bits = scratch.bits.data();
        std::uint32_t* const ranks = scratch.ranks.data();
        // Each word's bits are gathered in a register: consecutive pages share words.
        std::size_t at = a[0] / 64;
        std::uint64_t gathered = 0;
        for (std::uint32_t page : a) {
            if (page / 64 != at) {
                bits[at] = gathered;
                gathered = 0;
                at = page / 64;
            }
            gathered |= std::uint64_t{1} << (page % 64);
        }
        bits[at] = gathered;
        std::uint32_t before = 0;
        for (std::size_t w = 0; w < words; ++w) {
            ranks[w] = before;
            before += static_cast<std::uint32_t>(std::popcount(bits[w]));
        }
        for (std::size_t j = 0; j < b.size() && b[j] <= last; ++j) {
            const std::uint64_t word = bits[b[j] / 64];
            const std::uint64_t bit = std::uint64_t{1} << (b[j] % 64);
            inA[found] = ranks[b[j] / 64] + static_cast<std::uint32_t>(std::popcount(word & (bit - 1)));
            inB[found] = static_cast<std::uint32_t>(j);
            found += (word & bit) != 0 ? 1 : 0;
        }
        for (std::uint32_t page : a) bits[page / 64] = 0;
    } else {
        std::size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            const std::uint32_t x = a[i], y = b[j];
            inA[found] = static_cast<std::uint32_t>(i);
            inB[found] = static_cast<std::uint32_t>(j);
            found += x == y ? 1 : 0;
            i += x <= y ? 1 : 0;
            j += y <= x ? 1 : 0;
        }
    }
    inA.resize(found);
    inB.resize(found);
}

// CPostingCursor::ReadPosition on an in-memory span [p, end): adds the next packed
// number to value; false, nothing changed, when none is left or it would run past end.
[[gnu::always_inline]] inline bool AddNextPosition(const std::uint8_t*& p, const std::uint8_t* end, std::uint32_t& value) {
    const std::ptrdiff_t left = end - p;
    if (left <= 0) return false;
    const std::uint32_t b0 = p[0];
    if (b0 < 0x80) {
        value += b0;
        p += 1;
    } else if (b0 < 0xC0) {
        if (left < 2) return false;
        value += (b0 & 0x3F) << 8 | p[1];
        p += 2;
    } else {
        if (left < 3) return false;
        value += (b0 & 0x3F) << 16 | std::uint32_t{p[1]} << 8 | p[2];
        p += 3;
    }
    return true;
}

// The walk of one word over its characters' entry tables: the procedure of
// WordSearch on the documents all tables hold, and within restriction when given.
class TableWordSearch {
public:
    TableWordSearch(const PostingView& view, std::span<const CEntryTable* const> tables,
                    const std::vector<std::uint32_t>& queryPos,
                    const std::vector<Segment>& segments, std::uint32_t n, bool countHits,
                    const std::vector<std::uint32_t>* restriction,
                    std::vector<std::vector<std::uint8_t>>& gather,
                    CPageBits& marks)
        : m_view(view),
          m_tables(tables),
          m_countHits(countHits),
          m_gather(gather),
          m_marks(marks) {
        const std::size_t k = tables.size();
        m_entry.assign(k, 0);
        m_base.resize(k);
        m_next.assign(k, nullptr);
        m_end.assign(k, nullptr);
        m_value.assign(k, 0);
        for (std::size_t i = 0; i < k; ++i) m_base[i] = n - 1 - queryPos[i];
        for (const Segment& segment : segments) {
            if (segment.length > 0) m_segments.push_back(segment);
        }
        if (m_gather.size() < k) m_gather.resize(k);
        if (restriction) m_restriction = std::span<const std::uint32_t>(*restriction);
        m_restricted = restriction != nullptr;
    }

    void Run(std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts) {
        const std::size_t k = m_tables.size();
        if (k == 1 && !m_restricted) {
            if (m_countHits) {
                CountAll(pages, counts);
                return;
            }
            // Every entry is a page of the word.
            const std::size_t size = m_tables[0]->Size();
            pages.reserve(size);
            for (std::size_t e = 0; e < size; ++e) {
                m_entry[0] = e;
                EvaluateOne(m_tables[0]->Documents()[e], pages, counts);
            }
            return;
        }
        // The documents all lists hold (list k is the restriction), smallest list
        // first, with each list's entry for each of them.
        std::vector<std::size_t> order(k + (m_restricted ? 1 : 0));
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return Docs(a).size() < Docs(b).size(); });
        std::vector<std::vector<std::uint32_t>> entries(order.size());
        std::vector<std::uint32_t> meet;
        std::vector<std::uint32_t> kept;
        Intersect(Docs(order[0]), Docs(order[1]), entries[0], entries[1], m_marks);
        meet.resize(entries[0].size());
        for (std::size_t m = 0; m < meet.size(); ++m) meet[m] = Docs(order[0])[entries[0][m]];
        for (std::size_t i = 2; i < order.size() && !meet.empty(); ++i) {
            Intersect(meet, Docs(order[i]), kept, entries[i], m_marks);
            for (std::size_t m = 0; m < kept.size(); ++m) {
                meet[m] = meet[kept[m]];
                for (std::size_t j = 0; j < i; ++j) entries[j][m] = entries[j][kept[m]];
            }
            meet.resize(kept.size());
            for (std::size_t j = 0; j < i; ++j) entries[j].resize(kept.size());
        }
        std::vector<const std::uint32_t*> entryOf(k);
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (order[i] < k) entryOf[order[i]] = entries[i].data();
        }
        // Pages lie apart in the tables and the posting bytes: fetch the locations
        // of later pages, and the position data of nearer ones, while evaluating.
        const std::size_t near = 8, far = 16;
        if (k == 2) {
            RunPairs(meet, entryOf[0], entryOf[1], pages, counts);
            return;
        }
        for (std::size_t m = 0; m < meet.size(); ++m) {
            for (std::size_t i = 0; i < k; ++i) {
                if (m + far < meet.size())
                    __builtin_prefetch(&m_tables[i]->At(entryOf[i][m + far]));
                if (m + near < meet.size()) Prefetch(i, entryOf[i][m + near]);
            }
            for (std::size_t i = 0; i < k; ++i) m_entry[i] = entryOf[i][m];
            if (k == 1) {
                EvaluateOne(meet[m], pages, counts);
            } else {
                EvaluatePage(meet[m], pages, counts);
            }
        }
    }

    // For a one-character word whose every entry starts with a whole packed number:
    // adds the hits on entries[m] of its list to counts[m]. An entry of one byte
    // holds one position, so its data need not be read.
    void AddCounts(std::span<const std::uint32_t> entries, std::vector<std::uint32_t>& counts) {
        const CEntryTable& table = *m_tables[0];
        const std::size_t near = 8, far = 16;
        for (std::size_t m = 0; m < entries.size(); ++m) {
            if (m + far < entries.size()) __builtin_prefetch(&table.At(entries[m + far]));
            if (m + near < entries.size() && table.At(entries[m + near]).bytes > 1) {
                Prefetch(0, entries[m + near]);
            }
            const CEntryTable::Location& at = table.At(entries[m]);
            if (at.bytes == 1) {
                counts[m] += 1;
            } else if (std::uint32_t{at.offset} + at.bytes <= kPostingBlockSize &&
                       at.bytes < SafeBytes()) {
                counts[m] += CountPacked(m_view.bytes.data() +
                                             std::size_t{at.block} * kPostingBlockSize + at.offset,
                                         at.bytes);
            } else {
                m_entry[0] = entries[m];
                counts[m] += HitsOne();
            }
        }
    }

private:
    std::span<const std::uint32_t> Docs(std::size_t list) const {
        return list < m_tables.size() ? m_tables[list]->Documents()
                                      : m_restriction;
    }

    void Prefetch(std::size_t k, std::size_t entry) const {
        const CEntryTable::Location& at = m_tables[k]->At(entry);
        __builtin_prefetch(m_view.bytes.data() + std::size_t{at.block} * kPostingBlockSize +
                           std::min<std::uint32_t>(at.offset, kPostingBlockSize - 1));
    }

    // The position data of entry of list k: in place when it lies in one block, else
    // gathered into list k's buffer (valid until the list's next gather).
    std::pair<const std::uint8_t*, const std::uint8_t*> PositionData(std::size_t k,
                                                                     std::size_t entry) {
        const CEntryTable& table = *m_tables[k];
        const CEntryTable::Location& at = table.At(entry);
        if (std::uint32_t{at.offset} + at.bytes <= kPostingBlockSize) {
            const std::uint8_t* const data =
                m_view.bytes.data() + std::size_t{at.block} * kPostingBlockSize + at.offset;
            return {data, data + at.bytes};
        }
        table.Gather(m_view, entry, m_gather[k]);
        return {m_gather[k].data(), m_gather[k].data() + m_gather[k].size()};
    }

    // Points the position reader of list k at its current entry's data.
    void StartPositions(std::size_t k) {
        std::tie(m_next[k], m_end[k]) = PositionData(k, m_entry[k]);
        m_value[k] = m_base[k];
    }

    bool ReadPosition(std::size_t k) { return AddNextPosition(m_next[k], m_end[k], m_value[k]); }

    // With fewer position bytes than this no value of list 0 can reach the largest
    // one, which would end the count: its hits are its packed numbers.
    std::uint64_t SafeBytes() const {
        return (std::uint64_t{std::numeric_limits<std::uint32_t>::max()} - m_base[0]) / 1398102;
    }

    // The whole packed numbers in [p, p + bytes).
    static std::uint32_t CountPacked(const std::uint8_t* p, std::uint32_t bytes) {
        const std::uint8_t* const end = p + bytes;
        std::uint32_t numbers = 0;
        while (p < end) {
            const std::uint32_t b0 = *p;
            const std::uint32_t length = 1 + (b0 >= 0x80) + (b0 >= 0xC0);
            if (length > static_cast<std::uint32_t>(end - p)) break;
            p += length;
            ++numbers;
        }
        return numbers;
    }

    // The hits of a one-character word on every page of its list, as EvaluateOne
    // counts them.
    void CountAll(std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts) {
        const CEntryTable& table = *m_tables[0];
        const std::size_t size = table.Size();
        const std::size_t start = pages.size();
        pages.resize(start + size);
        counts.resize(start + size);
        std::uint32_t* outPage = pages.data() + start;
        std::uint32_t* outCount = counts.data() + start;
        const std::uint32_t* docs = table.Documents().data();
        const std::uint8_t* const bytes = m_view.bytes.data();
        const std::uint64_t safeBytes = SafeBytes();
        for (std::size_t e = 0; e < size; ++e) {
            const CEntryTable::Location& at = table.At(e);
            std::uint32_t hits = 0;
            if (std::uint32_t{at.offset} + at.bytes <= kPostingBlockSize && at.bytes < safeBytes) {
                hits = CountPacked(bytes + std::size_t{at.block} * kPostingBlockSize + at.offset,
                                   at.bytes);
            } else {
                m_entry[0] = e;
                hits = HitsOne();
            }
            *outPage = docs[e];
            *outCount = hits;
            const std::size_t keep = hits > 0 ? 1 : 0;
            outPage += keep;
            outCount += keep;
        }
        pages.resize(static_cast<std::size_t>(outPage - pages.data()));
        counts.resize(static_cast<std::size_t>(outCount - counts.data()));
    }

    // A word of one searched character: the test always passes, so every position
    // read is a hit, up to one whose value is the largest. The hits on the current
    // entry of list 0; without counting, 1 when it has any.
    std::uint32_t HitsOne() {
        StartPositions(0);
        if (!m_countHits) return ReadPosition(0) ? 1 : 0;
        const std::uint8_t* p = m_next[0];
        const std::uint8_t* const end = m_end[0];
        std::uint32_t value = m_value[0];
        std::uint32_t hits = 0;
        while (p < end) {
            const std::uint32_t b0 = p[0];
            if (b0 < 0x80) {
                value += b0;
                ++p;
            } else if (b0 < 0xC0) {
                if (end - p < 2) break;
                value += (b0 & 0x3F) << 8 | p[1];
                p += 2;
            } else {
                if (end - p < 3) break;
                value += (b0 & 0x3F) << 16 | std::uint32_t{p[1]} << 8 | p[2];
                p += 3;
            }
            ++hits;
            if (value == std::numeric_limits<std::uint32_t>::max()) break;
        }
        return hits;
    }

    void EvaluateOne(std::uint32_t page, std::vector<std::uint32_t>& pages,
                     std::vector<std::uint32_t>& counts) {
        const std::uint32_t hits = HitsOne();
        if (hits == 0) return;
        pages.push_back(page);
        if (m_countHits) counts.push_back(hits);
    }

    // A word of two characters on every page of meet, list 0 at entries e0 and list
    // 1 at e1: locations and position data are fetched ahead, and each page's data
    // is read from locals.
    void RunPairs(const std::vector<std::uint32_t>& meet, const std::uint32_t* e0,
                  const std::uint32_t* e1, std::vector<std::uint32_t>& pages,
                  std::vector<std::uint32_t>& counts) {
        const CEntryTable& t0 = *m_tables[0];
        const CEntryTable& t1 = *m_tables[1];
        const std::size_t size = meet.size();
        const std::size_t near = 8, far = 16;
        const bool together = m_segments.size() == 1;
        for (std::size_t m = 0; m < size; ++m) {
            if (m + far < size) {
                __builtin_prefetch(&t0.At(e0[m + far]));
                __builtin_prefetch(&t1.At(e1[m + far]));
            }
            if (m + near < size) {
                Prefetch(0, e0[m + near]);
                Prefetch(1, e1[m + near]);
            }
            const auto [p0, end0] = PositionData(0, e0[m]);
            const auto [p1, end1] = PositionData(1, e1[m]);
            PairOn(meet[m], p0, end0, p1, end1, together, pages, counts);
        }
    }

    // EvaluatePage for two characters on one page, with what its tests and advances
    // come to: side by side (one segment) or around "*" (two segments).
    void PairOn(std::uint32_t page, const std::uint8_t* p0, const std::uint8_t* const end0,
                const std::uint8_t* p1, const std::uint8_t* const end1, const bool together,
                std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts) {
        std::uint32_t v0 = m_base[0], v1 = m_base[1];
        if (!AddNextPosition(p0, end0, v0) || !AddNextPosition(p1, end1, v1)) return;
        bool found = false;
        for (;;) {
            if (together) {
                // The same-position test fails: the lower one moves to the higher.
                if (v0 != v1) {
                    if (!(v0 < v1 ? AddNextPosition(p0, end0, v0)
                                  : AddNextPosition(p1, end1, v1))) {
                        return;
                    }
                    continue;
                }
            } else if (v1 < v0) {
                // The order test fails: the target is v0, which only the second is below.
                if (!AddNextPosition(p1, end1, v1)) return;
                continue;
            } else if (v1 - v0 > CIndex::kMaxSegmentGap) {
                // The distance test fails: the target is v1, which only the first is below.
                if (!AddNextPosition(p0, end0, v0)) return;
                continue;
            }
            if (!m_countHits) {
                pages.push_back(page);
                return;
            }
            if (!found) {
                pages.push_back(page);
                counts.push_back(1);
                found = true;
            } else {
                ++counts.back();
            }
            if (v0 == std::numeric_limits<std::uint32_t>::max()) return;
            const std::uint32_t target = v0 + 1;
            if (!AddNextPosition(p0, end0, v0)) return;
            if (v1 < target && !AddNextPosition(p1, end1, v1)) return;
        }
    }

    // WordSearch::EvaluatePage on the values.
    void EvaluatePage(std::uint32_t page, std::vector<std::uint32_t>& pages,
                      std::vector<std::uint32_t>& counts) {
        const std::size_t k = m_tables.size();
        for (std::size_t i = 0; i < k; ++i) {
            StartPositions(i);
            if (!ReadPosition(i)) return;
        }
        EvaluateGreedy(
            m_segments, k, m_countHits, page, [&](std::size_t i) { return m_value[i]; },
            [&](std::size_t i) { return ReadPosition(i); }, pages, counts);
    }

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

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// For each page of probes (ascending), its index in pages (which lists a page at most
// once), or kNotFound. pages is merged run by run of ascending pages, as a union
// leaves it; with many runs a sorted copy is searched instead.
std::vector<std::size_t> FindPages(const std::vector<std::uint32_t>& pages,
                                   const std::vector<std::uint32_t>& probes) {
    std::vector<std::size_t> found(probes.size(), kNotFound);
    std::size_t runs = pages.empty() ? 0 : 1;
    for (std::size_t i = 1; i < pages.size(); ++i) runs += pages[i] <= pages[i - 1] ? 1 : 0;
    if (runs <= 16) {
        for (std::size_t start = 0; start < pages.size();) {
            std::size_t end = start + 1;
            while (end < pages.size() && pages[end] > pages[end - 1]) ++end;
            std::size_t j = start;
            for (std::size_t i = 0; i < probes.size() && j < end; ++i) {
                while (j < end && pages[j] < probes[i]) ++j;
                if (j < end && pages[j] == probes[i]) found[i] = j;
            }
            start = end;
        }
        return found;
    }
    std::vector<std::pair<std::uint32_t, std::size_t>> sorted(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) sorted[i] = {pages[i], i};
    std::sort(sorted.begin(), sorted.end());
    std::size_t j = 0;
    for (std::size_t i = 0; i < probes.size() && j < sorted.size(); ++i) {
        while (j < sorted.size() && sorted[j].first < probes[i]) ++j;
        if (j < sorted.size() && sorted[j].first == probes[i]) found[i] = sorted[j].second;
    }
    return found;
}

}  // namespace

struct CIndex::WordPlan {
    std::vector<std::int32_t> slots;  // per searched character, in word order
    std::vector<std::uint32_t> queryPos;
    std::vector<Segment> segments;
    std::uint32_t n = 0;       // characters and "?" of the word
    bool searchable = false;  // a searched character, and a list for each
};

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
    std::vector<std::u16string_view> words;
    std::size_t wordStart = 0;
    for (std::size_t i = 0; i <= query.size(); ++i) {
        if (i < query.size() && query[i] != kSpace) continue;
        if (i < query.size()) query[i] = kIdeographicSpace;
        if (i > wordStart) {
            words.push_back(std::u16string_view(query).substr(wordStart, i - wordStart));
        }
        wordStart = i + 1;
    }
    std::int64_t sum = 0;
    if (!(all && words.size() > 1 && SearchAllByTables(words, countHits, useVariants, sum))) {
        sum = 0;
        ClearResult();
        for (std::size_t w = 0; w < words.size(); ++w) {
            const CombineMode mode = !all ? CombineUnion : w == 0 ? CombineReplace : CombineIntersect;
            sum += SearchWord(words[w], mode, countHits, useVariants);
        }
    }
    return static_cast<int>(std::min<std::int64_t>(sum, std::numeric_limits<int>::max()));
}

// "And" of several words on the entry tables, with the results of searching them one
// after the other (Replace, then Intersect): each word is evaluated only on the pages
// the earlier ones left, without counting; a word of one character whose every entry
// holds a position is its list's documents and needs no evaluation. Hits are counted
// once, on the final pages.
bool CIndex::SearchAllByTables(const std::vector<std::u16string_view>& words, bool countHits,
                               bool useVariants, std::int64_t& sum) {
    if (m_plainEvaluation) return false;
    try {
        std::vector<WordPlan> plans(words.size());
        for (std::size_t w = 0; w < words.size(); ++w) {
            if (!PlanWord(words[w], useVariants, plans[w])) return false;
        }
        DropTablesOverBudget();
        std::vector<std::vector<const CEntryTable*>> tables(words.size());
        for (std::size_t w = 0; w < words.size() && plans[w].searchable; ++w) {
            if (!TablesOf(plans[w].slots, tables[w])) return false;
        }
        // Lists with tables are regular: no cycle on their walks.
        const PostingView view{m_postings, m_blockChain, {}};
        // Kept from search to search, so that large arrays are not mapped afresh.
        CSearchScratch& scratch = m_scratch;
        std::vector<std::uint32_t>& found = scratch.found;
        std::vector<std::uint32_t>& pages = scratch.pages;
        std::vector<std::uint32_t>& counts = scratch.counts;
        std::vector<std::uint32_t>& kept = scratch.kept;
        std::vector<std::uint32_t>& inDocs = scratch.inDocs;
        std::vector<std::uint32_t>& foundCounts = scratch.foundCounts;
        found.clear();
        foundCounts.clear();
        // Per word of one character: its entry for each page of found.
        std::vector<std::vector<std::uint32_t>>& entriesOf = scratch.entriesOf;
        if (entriesOf.size() < words.size()) entriesOf.resize(words.size());
        for (std::vector<std::uint32_t>& entries : entriesOf) entries.clear();
        const auto keepOnly = [&](const std::vector<std::uint32_t>& keep) {
            for (std::size_t m = 0; m < keep.size(); ++m) found[m] = found[keep[m]];
            found.resize(keep.size());
            for (std::vector<std::uint32_t>& entries : entriesOf) {
                if (entries.empty()) continue;
                for (std::size_t m = 0; m < keep.size(); ++m) entries[m] = entries[keep[m]];
                entries.resize(keep.size());
            }
        };
        // A first word of one character leaves its list's documents in place as the
        // pages found (entry e is page e of them) until a later word narrows them.
        std::span<const std::uint32_t> firstDocs;
        bool firstInPlace = false;
        const auto materialise = [&] {
            if (!firstInPlace) return;
            found.assign(firstDocs.begin(), firstDocs.end());
            entriesOf[0].resize(firstDocs.size());
            for (std::size_t e = 0; e < firstDocs.size(); ++e) {
                entriesOf[0][e] = static_cast<std::uint32_t>(e);
            }
            firstInPlace = false;
        };
        std::int64_t total = 0;
        std::size_t evaluated = 0;  // words that left the pages found
        for (; evaluated < words.size() && plans[evaluated].searchable; ++evaluated) {
            const WordPlan& plan = plans[evaluated];
            const std::vector<const CEntryTable*>& lists = tables[evaluated];
            if (evaluated > 0 && !firstInPlace && found.empty()) break;
            if (lists.size() == 1 && lists[0]->EveryEntryHasPosition()) {
                const std::span<const std::uint32_t> docs = lists[0]->Documents();
                std::vector<std::uint32_t>& entries = entriesOf[evaluated];
                if (evaluated == 0) {
                    firstDocs = docs;
                    firstInPlace = true;
                    total += static_cast<std::int64_t>(docs.size());
                    continue;
                }
                if (firstInPlace) {
                    Intersect(firstDocs, docs, entriesOf[0], entries, m_pageMarks);
                    found.resize(entriesOf[0].size());
                    for (std::size_t m = 0; m < found.size(); ++m) {
                        found[m] = firstDocs[entriesOf[0][m]];
                    }
                    firstInPlace = false;
                } else {
                    Intersect(found, docs, kept, inDocs, m_pageMarks);
                    keepOnly(kept);
                    entries = inDocs;
                }
            } else {
                materialise();
                pages.clear();
                counts.clear();
                TableWordSearch(view, lists, plan.queryPos, plan.segments, plan.n, false,
                                evaluated == 0 ? nullptr : &found, m_gatherBuffers, m_pageMarks)
                    .Run(pages, counts);
                if (evaluated == 0) {
                    found.swap(pages);
                } else {
                    // pages is the part of found where the word stands, ascending.
                    kept.clear();
                    std::size_t at = 0;
                    for (std::uint32_t page : pages) {
                        while (at < found.size() && found[at] < page) ++at;
                        if (at < found.size()) kept.push_back(static_cast<std::uint32_t>(at));
                    }
                    keepOnly(kept);
                }
            }
            total += static_cast<std::int64_t>(found.size());
        }
        if (evaluated < words.size()) {
            // A word without a list empties the result.
            firstInPlace = false;
            found.clear();
        }
        materialise();
        if (countHits) {
            foundCounts.assign(found.size(), 0);
            for (std::size_t w = 0; w < words.size() && !found.empty(); ++w) {
                const WordPlan& plan = plans[w];
                TableWordSearch search(view, tables[w], plan.queryPos, plan.segments, plan.n, true,
                                       &found, m_gatherBuffers, m_pageMarks);
                if (entriesOf[w].size() == found.size()) {
                    search.AddCounts(entriesOf[w], foundCounts);
                    continue;
                }
                pages.clear();
                counts.clear();
                search.Run(pages, counts);
                // pages is found again: each of them holds every word.
                std::size_t at = 0;
                for (std::size_t i = 0; i < pages.size(); ++i) {
                    while (at < found.size() && found[at] < pages[i]) ++at;
                    if (at < found.size() && found[at] == pages[i]) foundCounts[at] += counts[i];
                }
            }
        }
        // The earlier result's arrays become scratch.
        m_hitPages.swap(found);
        m_hitCounts.swap(foundCounts);
        m_hitTotal = static_cast<std::uint32_t>(m_hitPages.size());
        sum = total;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void CIndex::ClearResult() {
    m_hitPages.clear();
    m_hitCounts.clear();
    m_hitTotal = 0;
}

bool CIndex::PlanWord(std::u16string_view word, bool useVariants, WordPlan& plan) const {
    std::u16string units = NormaliseStars(word);
    if (units.size() + 1 > kWordCapacity) return false;
    DropUnindexed(units);
    std::size_t open = 0;
    for (std::size_t i = 0; i < units.size();) {
        const char16_t unit = units[i];
        if (unit == u'*') {
            plan.segments.push_back(Segment{open, plan.slots.size()});
            open = 0;
            ++i;
            continue;
        }
        if (IsOneCharWildcard(unit)) {
            ++plan.n;
            ++i;
            continue;
        }
        std::size_t length = 1;
        const std::uint32_t codePoint = CodePointAt(units, i, length);
        i += length;
        std::int32_t slot = CharSlot(codePoint);
        if (useVariants) VariantSlot(codePoint, slot);
        if (!HasList(slot)) return true;  // not searchable
        plan.slots.push_back(slot);
        plan.queryPos.push_back(plan.n);
        ++plan.n;
        ++open;
    }
    plan.searchable = !plan.slots.empty();
    return true;
}

std::uint32_t CIndex::SearchWord(std::u16string_view word, CombineMode mode, bool countHits,
                                 bool useVariants) {
    if (countHits && m_hitCounts.size() != m_hitPages.size() && mode != CombineUnion) {
        ClearResult();
        return 0;
    }
    try {
        WordPlan plan;
        if (!PlanWord(word, useVariants, plan)) return 0;
        if (!plan.searchable) {
            if (mode != CombineUnion) ClearResult();
            return 0;
        }

        std::vector<std::uint32_t> pages, counts;
        std::vector<const CEntryTable*> tables;
        DropTablesOverBudget();
        if (!m_plainEvaluation && TablesOf(plan.slots, tables)) {
            // An "and" word only matters on the pages found so far.
            std::vector<std::uint32_t> sorted;
            const std::vector<std::uint32_t>* restriction = nullptr;
            if (mode == CombineIntersect) {
                restriction = &m_hitPages;
                if (!std::is_sorted(m_hitPages.begin(), m_hitPages.end())) {
                    sorted = m_hitPages;
                    std::sort(sorted.begin(), sorted.end());
                    restriction = &sorted;
                }
            }
            TableWordSearch(PostingView{m_postings, m_blockChain, {}}, tables,
                            plan.queryPos, plan.segments, plan.n, countHits, restriction,
                            m_gatherBuffers, m_pageMarks)
                .Run(pages, counts);
            return CombineSorted(mode, countHits, pages, counts);
        }
        std::vector<CPostingCursor> cursors;
        cursors.reserve(plan.slots.size());
        for (std::int32_t slot : plan.slots) cursors.push_back(StartCursor(slot));
        WordSearch(cursors, plan.queryPos, plan.segments, plan.n, countHits).Run(pages, counts);
        return m_plainEvaluation ? Combine(mode, countHits, pages, counts)
                                 : CombineSorted(mode, countHits, pages, counts);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

const CEntryTable* CIndex::EntryTable(std::int32_t slot) {
    auto it = m_entryTables.find(slot);
    if (it == m_entryTables.end()) {
        const auto at = static_cast<std::size_t>(slot);
        CEntryTable table;
        const bool regular = table.Build(ListView(m_firstBlock[at]), m_firstBlock[at], m_lastDoc[at]);
        m_entryTableBytes += table.MemoryBytes();
        it = m_entryTables.emplace(slot, CachedTable{std::move(table), regular}).first;
    }
    return it->second.regular ? &it->second.table : nullptr;
}

void CIndex::DropTablesOverBudget() {
    // Tables of earlier searches stay until they pass the budget; the check comes
    // before a search takes its tables, so their pointers stay valid through it.
    if (m_entryTableBytes > kEntryTableBudget) {
        m_entryTables.clear();
        m_entryTableBytes = 0;
    }
}

bool CIndex::TablesOf(const std::vector<std::int32_t>& slots,
                      std::vector<const CEntryTable*>& tables) {
    std::vector<const CEntryTable*> found;
    found.reserve(slots.size());
    for (std::int32_t slot : slots) {
        const CEntryTable* table = EntryTable(slot);
        if (!table) return false;
        found.push_back(table);
    }
    tables = std::move(found);
    return true;
}

std::uint32_t CIndex::CombineSorted(CombineMode mode, bool countHits,
                                    std::vector<std::uint32_t>& pages,
                                    std::vector<std::uint32_t>& counts) {
    if (mode == CombineReplace) return Combine(mode, countHits, pages, counts);
    const std::vector<std::size_t> found = FindPages(m_hitPages, pages);
    std::vector<std::uint32_t> resultPages, resultCounts;
    if (mode == CombineUnion) {
        resultPages.reserve(m_hitPages.size() + pages.size());
        resultPages = m_hitPages;
        if (countHits) {
            resultCounts.reserve(resultPages.capacity());
            resultCounts = m_hitCounts;
            // Counts missing after an uncounted search start from 0.
            resultCounts.resize(resultPages.size(), 0);
        }
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (found[i] != kNotFound) {
                if (countHits) resultCounts[found[i]] += counts[i];
            } else {
                resultPages.push_back(pages[i]);
                if (countHits) resultCounts.push_back(counts[i]);
            }
        }
    } else {
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (found[i] == kNotFound) continue;
            resultPages.push_back(pages[i]);
            if (countHits) resultCounts.push_back(counts[i] + m_hitCounts[found[i]]);
        }
    }
    m_hitPages = std::move(resultPages);
    m_hitCounts = std::move(resultCounts);
    m_hitTotal = static_cast<std::uint32_t>(m_hitPages.size());
    return m_hitTotal;
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
