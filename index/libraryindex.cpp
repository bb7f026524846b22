// The index over a library: one engine per data folder, their records numbered one
// after another.
#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <thread>
#include <utility>

#include "index/datageneration.h"
#include "index/index.h"

namespace vyn {

bool CIndex::OpenLibrary(const CDataGeneration& data, IndexScope scope) {
    const auto& members = data.Members();
    LoadVariants(members.front()->FileOf(CDataGeneration::File::kVariants));
    m_hitTotal = 0;
    m_hitPages.clear();
    m_hitCounts.clear();
    std::vector<std::unique_ptr<CIndex>> engines;
    std::vector<std::uint32_t> bases;
    engines.reserve(members.size());
    for (std::size_t m = 0; m < members.size(); ++m) {
        auto engine = std::make_unique<CIndex>();
        engine->SetPlainEvaluation(m_plainEvaluation);
        engine->m_entryTableBudget = kEntryTableBudget / members.size();
        // The generation numbers the records; a store that says otherwise is not its.
        if (!engine->Open(*members[m], scope) || engine->GetHeaderNumber() != members[m]->Records()) {
            return FailOpen();
        }
        bases.push_back(data.MemberBase(m));
        engines.push_back(std::move(engine));
    }
    m_members = std::move(engines);
    m_memberBase = std::move(bases);
    m_memberRecords = data.Records();
    return true;
}

std::uint32_t CIndex::MemberRecords(std::size_t m) const {
    const std::uint32_t end = m + 1 < m_members.size() ? m_memberBase[m + 1] : m_memberRecords;
    return end - m_memberBase[m];
}

std::size_t CIndex::MemberOf(std::uint32_t record) const {
    if (m_members.empty() || record >= m_memberRecords) return m_members.size();
    const auto after = std::upper_bound(m_memberBase.begin(), m_memberBase.end(), record);
    return static_cast<std::size_t>(after - m_memberBase.begin()) - 1;
}

const CIndex* CIndex::EngineFor(std::uint32_t& record) const {
    if (m_members.empty()) return this;
    const std::size_t m = MemberOf(record);
    if (m >= m_members.size()) return nullptr;
    record -= m_memberBase[m];
    return m_members[m].get();
}

CIndex* CIndex::MemberEngine(std::uint32_t& record) {
    return const_cast<CIndex*>(std::as_const(*this).EngineFor(record));
}

bool CIndex::FindPage(std::uint32_t startIndex, std::uint32_t pageNumber, std::int64_t& recordIndex) {
    if (m_members.empty()) return m_textStore.FindPage(startIndex, pageNumber, recordIndex);
    // As in one store: the records from startIndex on, across the folders that follow.
    recordIndex = std::int64_t{startIndex} - 1;
    const std::size_t first = MemberOf(startIndex);
    for (std::size_t m = first; m < m_members.size(); ++m) {
        const std::uint32_t local = m == first ? startIndex - m_memberBase[m] : 0;
        std::int64_t found = -1;
        const bool hit = m_members[m]->FindPage(local, pageNumber, found);
        recordIndex = found + m_memberBase[m];
        if (hit) return true;
    }
    return false;
}

void CIndex::SetPlainEvaluation(bool plain) {
    m_plainEvaluation = plain;
    for (auto& member : m_members) member->SetPlainEvaluation(plain);
}

int CIndex::SearchMembers(const std::function<int(CIndex&)>& search) {
    // The members holding records of the limit search; the others find nothing.
    std::vector<std::size_t> searched;
    for (std::size_t m = 0; m < m_members.size(); ++m) {
        const std::uint64_t first = m_memberBase[m], end = first + MemberRecords(m);
        if (end <= m_limitFirst || first >= m_limitEnd) {
            m_members[m]->ClearResult();
        } else {
            searched.push_back(m);
        }
    }
    std::vector<std::int64_t> sums(m_members.size(), 0);
    std::vector<std::exception_ptr> failures(m_members.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < searched.size(); i = next++) {
            const std::size_t m = searched[i];
            try {
                sums[m] = search(*m_members[m]);
            } catch (...) {
                failures[m] = std::current_exception();
            }
        }
    };
    // One worker per core; the calling thread is one of them.
    const std::size_t workers =
        std::min<std::size_t>(searched.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    try {
        for (std::size_t w = 1; w < workers; ++w) threads.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads: the calling one takes what is left.
    }
    work();
    for (std::thread& thread : threads) thread.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
    GatherMemberResults();
    std::int64_t sum = 0;
    for (std::int64_t s : sums) sum += s;
    return static_cast<int>(std::min<std::int64_t>(sum, std::numeric_limits<int>::max()));
}

void CIndex::GatherMemberResults() {
    std::size_t pages = 0;
    bool counted = true;
    std::uint64_t total = 0;
    for (const auto& member : m_members) {
        pages += member->m_hitPages.size();
        counted = counted && member->m_hitCounts.size() == member->m_hitPages.size();
        total += member->m_hitTotal;
    }
    ClearResult();
    m_hitPages.reserve(pages);
    if (counted) m_hitCounts.reserve(pages);
    for (std::size_t m = 0; m < m_members.size(); ++m) {
        const CIndex& member = *m_members[m];
        for (std::uint32_t page : member.m_hitPages) m_hitPages.push_back(page + m_memberBase[m]);
        if (counted) m_hitCounts.insert(m_hitCounts.end(), member.m_hitCounts.begin(), member.m_hitCounts.end());
    }
    m_hitTotal = static_cast<std::uint32_t>(std::min<std::uint64_t>(total, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace vyn
