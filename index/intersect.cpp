#include "index/intersect.h"

#include <algorithm>
#include <bit>

namespace vyn {

namespace {

// Pages below this may be intersected through a bitmap.
constexpr std::uint32_t kMarkedPages = std::uint32_t{1} << 26;

}  // namespace

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

}  // namespace vyn
