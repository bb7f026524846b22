#include "panel/panellogic.h"

#include <new>

namespace vyn {

bool CPanelLogic::Open(const std::filesystem::path& folder, const std::filesystem::path& listingFile) {
    const bool indexOpen = OpenIndex(folder);
    const bool catalogRead = LoadCatalog(folder, listingFile);
    return indexOpen && catalogRead;
}

bool CPanelLogic::OpenIndex(const std::filesystem::path& folder) {
    auto data = std::make_shared<CDataGeneration>();
    // A closed generation fails the index's open, which says so.
    data->Open(folder);
    m_data = std::move(data);
    return m_index.Open(*m_data, IndexScopeFor(m_search.Part()));
}

bool CPanelLogic::LoadCatalog(const std::filesystem::path& folder,
                              const std::filesystem::path& listingFile) {
    if (!m_data->IsOpen() || m_data->Folder() != folder) {
        auto data = std::make_shared<CDataGeneration>();
        data->Open(folder);
        m_data = std::move(data);
    }
    const bool read = LoadCatalogOf(*m_data, m_catalog, listingFile);
    m_session.Navigator().ResetScopePath();
    return read;
}

bool CPanelLogic::SelectTextPart(TextPart part) {
    return m_search.SelectTextPart(m_index, *m_data, part);
}

bool CPanelLogic::Reopen(const std::filesystem::path& listingFile) {
    auto data = std::make_shared<CDataGeneration>();
    if (!data->Open(m_data->Folder())) {
        if (m_sink) m_sink->Warning(CIndex::kOpenFailedMessage);
        return false;
    }
    // Names, not slots: the new catalog may number its volumes otherwise.
    const std::optional<Bookmark> shown = m_session.ShownPlaceByName();
    m_data = std::move(data);
    m_index.Open(*m_data, IndexScopeFor(m_search.Part()));
    LoadCatalogOf(*m_data, m_catalog, listingFile);
    m_search.ClearResults();
    m_list.Reset(0);
    m_session.OnDataReopened(shown);
    return true;
}

CSearchCommand::Outcome CPanelLogic::OnSearch(
    std::u16string_view hiddenEditText, std::span<const std::optional<std::u16string>> fieldValues) {
    m_session.OnSearchStarted();
    const auto outcome = m_search.OnSearch(m_index, m_catalog, m_session.Navigator().ScopeItem(),
                                           hiddenEditText, fieldValues);
    if (outcome == CSearchCommand::Outcome::kSearched) {
        m_list.Reset(m_search.Results().size());
        m_session.OnResultsReplaced();
    }
    return outcome;
}

bool CPanelLogic::ListPageRows(std::vector<ResultRow>& rows) {
    std::vector<ResultRow> page;
    if (!m_list.ShowResultListPage(m_search.Results(), page)) return false;
    const KwicQuery query = KwicQuery::Of(m_search);
    std::vector<KwicRow> hits;
    for (ResultRow& row : page) {
        hits.clear();
        SearchNodeTag entry;
        entry.pageIndex = row.pageIndex;
        try {
            if (AppendKwicRows(m_index, query, entry, kDefaultKwicContext, hits) > 0) {
                row.firstHit = hits.front().left + u"【" + hits.front().hit + u"】" + hits.front().right;
            }
        } catch (const std::bad_alloc&) {
            row.firstHit.clear();  // a row without its tip; the list stays whole
        }
    }
    rows = std::move(page);
    return true;
}

CSearchHits CPanelLogic::HitsOfSearch() const {
    return {m_data, m_search.Part(), KwicQuery::Of(m_search), m_search.Results()};
}

std::vector<ResultRow> CPanelLogic::CurrentRows() const {
    std::vector<ResultRow> rows;
    m_list.ShowResultListPage(m_search.Results(), rows);
    return rows;
}

}  // namespace vyn
