#include "panel/searchhits.h"

#include <algorithm>
#include <new>

#include "index/datageneration.h"
#include "index/index.h"

namespace vyn {

CSearchHits::CSearchHits() = default;

CSearchHits::CSearchHits(std::shared_ptr<const CDataGeneration> data, TextPart part, KwicQuery query,
                         std::vector<SearchNodeTag> entries)
    : m_data(std::move(data)),
      m_part(part),
      m_query(std::move(query)),
      m_entries(std::move(entries)) {}

CSearchHits::CSearchHits(CSearchHits&&) noexcept = default;
CSearchHits& CSearchHits::operator=(CSearchHits&&) noexcept = default;
CSearchHits::~CSearchHits() = default;

std::vector<std::uint32_t> CSearchHits::FolderBases() const {
    return m_data ? m_data->MemberBases() : std::vector<std::uint32_t>();
}

bool CSearchHits::Open() {
    m_engine.reset();
    if (!m_data) return false;
    try {
        auto engine = std::make_unique<CIndex>();
        if (!engine->Open(*m_data, IndexScopeFor(m_part))) return false;
        m_engine = std::move(engine);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::size_t CSearchHits::AppendRows(std::size_t first, std::size_t last, std::size_t context,
                                    std::vector<KwicRow>& rows) {
    if (!m_engine) return 0;
    std::size_t appended = 0;
    for (std::size_t i = first; i < std::min(last, m_entries.size()); ++i) {
        appended += AppendKwicRows(*m_engine, m_query, m_entries[i], context, rows);
    }
    return appended;
}

}  // namespace vyn
