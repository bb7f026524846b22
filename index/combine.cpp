// Combining a word's pages with the result list: replace, union ("or") or
// intersection ("and"), with the hit counts summed.
#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "index/index.h"

namespace vyn {

namespace {

constexpr std::size_t kNotFound = SIZE_MAX;

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

void CIndex::ClearResult() {
    m_hitPages.clear();
    m_hitCounts.clear();
    m_hitTotal = 0;
}

std::uint32_t CIndex::CombineSorted(CombineMode mode, bool countHits,
                                    std::vector<std::uint32_t>& pages,
                                    std::vector<std::uint32_t>& counts) {
    if (mode == CombineReplace) return Combine(mode, countHits, pages, counts);
    return CombineFound(mode, countHits, pages, counts, FindPages(m_hitPages, pages));
}

std::uint32_t CIndex::Combine(CombineMode mode, bool countHits, std::vector<std::uint32_t>& pages,
                              std::vector<std::uint32_t>& counts) {
    if (mode == CombineReplace) {
        m_hitPages = std::move(pages);
        m_hitCounts.clear();
        if (countHits) m_hitCounts = std::move(counts);
        m_hitTotal = static_cast<std::uint32_t>(m_hitPages.size());
        return m_hitTotal;
    }
    // Page -> its index in the result list: the first entry, as a linear search from
    // the front would find.
    std::unordered_map<std::uint32_t, std::size_t> indexOf;
    indexOf.reserve(m_hitPages.size());
    for (std::size_t i = 0; i < m_hitPages.size(); ++i) indexOf.emplace(m_hitPages[i], i);
    std::vector<std::size_t> found(pages.size(), kNotFound);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (auto it = indexOf.find(pages[i]); it != indexOf.end()) found[i] = it->second;
    }
    return CombineFound(mode, countHits, pages, counts, found);
}

std::uint32_t CIndex::CombineFound(CombineMode mode, bool countHits,
                                   const std::vector<std::uint32_t>& pages,
                                   const std::vector<std::uint32_t>& counts,
                                   const std::vector<std::size_t>& found) {
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

}  // namespace vyn
