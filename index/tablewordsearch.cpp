#include "index/tablewordsearch.h"

#include <algorithm>
#include <limits>
#include <tuple>

#include "index/intersect.h"

namespace vyn {

namespace {

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

}  // namespace

TableWordSearch::TableWordSearch(const PostingView& view, std::span<const CEntryTable* const> tables,
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

void TableWordSearch::Run(std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts) {
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
void TableWordSearch::AddCounts(std::span<const std::uint32_t> entries, std::vector<std::uint32_t>& counts) {
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

std::span<const std::uint32_t> TableWordSearch::Docs(std::size_t list) const {
    return list < m_tables.size() ? m_tables[list]->Documents()
                                  : m_restriction;
}

void TableWordSearch::Prefetch(std::size_t k, std::size_t entry) const {
    const CEntryTable::Location& at = m_tables[k]->At(entry);
    __builtin_prefetch(m_view.bytes.data() + std::size_t{at.block} * kPostingBlockSize +
                       std::min<std::uint32_t>(at.offset, kPostingBlockSize - 1));
}

// The position data of entry of list k: in place when it lies in one block, else
// gathered into list k's buffer (valid until the list's next gather).
std::pair<const std::uint8_t*, const std::uint8_t*> TableWordSearch::PositionData(std::size_t k,
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

void TableWordSearch::StartPositions(std::size_t k) {
    std::tie(m_next[k], m_end[k]) = PositionData(k, m_entry[k]);
    m_value[k] = m_base[k];
}

bool TableWordSearch::ReadPosition(std::size_t k) {
    return AddNextPosition(m_next[k], m_end[k], m_value[k]);
}

std::uint64_t TableWordSearch::SafeBytes() const {
    return (std::uint64_t{std::numeric_limits<std::uint32_t>::max()} - m_base[0]) / 1398102;
}

// The whole packed numbers in [p, p + bytes).
std::uint32_t TableWordSearch::CountPacked(const std::uint8_t* p, std::uint32_t bytes) {
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
void TableWordSearch::CountAll(std::vector<std::uint32_t>& pages, std::vector<std::uint32_t>& counts) {
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
std::uint32_t TableWordSearch::HitsOne() {
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

void TableWordSearch::EvaluateOne(std::uint32_t page, std::vector<std::uint32_t>& pages,
                 std::vector<std::uint32_t>& counts) {
    const std::uint32_t hits = HitsOne();
    if (hits == 0) return;
    pages.push_back(page);
    if (m_countHits) counts.push_back(hits);
}

// A word of two characters on every page of meet, list 0 at entries e0 and list
// 1 at e1: locations and position data are fetched ahead, and each page's data
// is read from locals.
void TableWordSearch::RunPairs(const std::vector<std::uint32_t>& meet, const std::uint32_t* e0,
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
void TableWordSearch::PairOn(std::uint32_t page, const std::uint8_t* p0, const std::uint8_t* const end0,
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
        if (!RecordHit(page, m_countHits, found, pages, counts)) return;
        if (v0 == std::numeric_limits<std::uint32_t>::max()) return;
        const std::uint32_t target = v0 + 1;
        if (!AddNextPosition(p0, end0, v0)) return;
        if (v1 < target && !AddNextPosition(p1, end1, v1)) return;
    }
}

// WordSearch::EvaluatePage on the values.
void TableWordSearch::EvaluatePage(std::uint32_t page, std::vector<std::uint32_t>& pages,
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

}  // namespace vyn
