#include "panel/panellogic.h"

#include <algorithm>

namespace vyn {

bool CPanelLogic::Open(const std::filesystem::path& folder, const std::filesystem::path& listingFile) {
    const bool indexOpen = OpenIndex(folder);
    const bool catalogRead = LoadCatalog(folder, listingFile);
    return indexOpen && catalogRead;
}

bool CPanelLogic::OpenIndex(const std::filesystem::path& folder) {
    m_folder = folder;
    return m_index.Open(folder, kIndexBaseName, IndexScopeFor(m_search.Part()));
}

bool CPanelLogic::LoadCatalog(const std::filesystem::path& folder,
                              const std::filesystem::path& listingFile) {
    const bool read = m_catalog.LoadCatalog(folder / kCatalogFile, listingFile);
    m_navigator.ResetScopePath();
    return read;
}

CSearchCommand::Outcome CPanelLogic::OnSearch(
    std::u16string_view hiddenEditText, std::span<const std::optional<std::u16string>> fieldValues) {
    m_navigator.OnSearchStarted();
    const auto outcome = m_search.OnSearch(m_index, m_catalog, m_navigator.ScopeItem(),
                                           hiddenEditText, fieldValues);
    if (outcome == CSearchCommand::Outcome::kSearched) {
        m_list.Reset(m_search.Results().size());
        m_currentEntry.reset();
    }
    return outcome;
}

void CPanelLogic::SetCurrentEntry(std::uint32_t pageIndex) {
    const std::vector<SearchNodeTag>& entries = m_search.Results();
    // The row chosen is usually on the current list page: look there first.
    const std::size_t pageStart =
        std::min(entries.size(), static_cast<std::size_t>(std::max(m_list.ListPage() - 1, 0)) *
                                     CResultList::kRowsPerPage);
    const auto matches = [pageIndex](const SearchNodeTag& e) { return e.pageIndex == pageIndex; };
    auto it = std::find_if(entries.begin() + static_cast<std::ptrdiff_t>(pageStart), entries.end(), matches);
    if (it == entries.end()) it = std::find_if(entries.begin(), entries.end(), matches);
    m_currentEntry = it == entries.end() ? std::nullopt
                                         : std::optional<std::size_t>(static_cast<std::size_t>(it - entries.begin()));
}

std::optional<std::size_t> CPanelLogic::ResultStepTarget(int direction) const {
    const std::size_t count = m_search.Results().size();
    if (count == 0) return std::nullopt;
    if (!m_currentEntry) {
        return direction > 0 ? std::optional<std::size_t>(0) : std::nullopt;
    }
    const std::size_t at = *m_currentEntry;
    if (direction > 0) return at + 1 < count ? std::optional<std::size_t>(at + 1) : std::nullopt;
    return at > 0 && at <= count ? std::optional<std::size_t>(at - 1) : std::nullopt;
}

CSearchHits CPanelLogic::HitsOfSearch() const {
    return {m_folder, m_search.Part(), KwicQuery::Of(m_search), m_search.Results()};
}

std::vector<ResultRow> CPanelLogic::CurrentRows() const {
    std::vector<ResultRow> rows;
    m_list.ShowResultListPage(m_search.Results(), rows);
    return rows;
}

}  // namespace vyn
