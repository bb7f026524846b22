// CPanelLogic: the search and catalog panel without its widgets. Owns the engine,
// the catalog, the search command, the result list paging and the navigator, and
// runs the search command across them.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/index.h"
#include "textstore/messagesink.h"
#include "textstore/catalog.h"
#include "panel/navigation.h"
#include "panel/resultlist.h"
#include "panel/searchcommand.h"
#include "panel/searchhits.h"

namespace vyn {

// Messages go to the sink given at construction, which must outlive the object.
// Not thread-safe.
class CPanelLogic {
public:
    explicit CPanelLogic(CMessageSink* sink = nullptr)
        : m_index(sink), m_catalog(sink), m_search(sink), m_navigator(m_catalog, sink) {}

    // Opens the index in folder for the whole text (sending "データを開けませんでした。"
    // on failure) and reads folder/"vyn.dir", writing the listing to listingFile.
    // The scope path then names slot 1. True when both opened.
    bool Open(const std::filesystem::path& folder, const std::filesystem::path& listingFile);
    // The two halves of Open: the index for the current text part, then the catalog
    // with the scope path of slot 1. The panel opens the index when it is made and
    // reads the catalog at its initial update.
    bool OpenIndex(const std::filesystem::path& folder);
    bool LoadCatalog(const std::filesystem::path& folder, const std::filesystem::path& listingFile);

    // The search command: the current hit goes back to 0; on kSearched the entries,
    // the count line and the list pages are replaced, list page 1 (if any) current.
    CSearchCommand::Outcome OnSearch(std::u16string_view hiddenEditText,
                                     std::span<const std::optional<std::u16string>> fieldValues);
    // The rows of the current list page (empty when there is none).
    std::vector<ResultRow> CurrentRows() const;

    // Result to result. The entry whose page was opened last, nullopt before one is
    // opened after the search.
    std::optional<std::size_t> CurrentEntry() const { return m_currentEntry; }
    // Makes the entry of store record pageIndex the current one (nullopt when no entry
    // has that page).
    void SetCurrentEntry(std::uint32_t pageIndex);
    // The entry the next (direction 1) or previous (-1) result command opens: the one
    // after or before the current entry, the first when none is current (next only);
    // nullopt at either end of the entries.
    std::optional<std::size_t> ResultStepTarget(int direction) const;

    // The hits of the last search, read on the data folder of the last OpenIndex for
    // the text part selected (no entries before a search).
    CSearchHits HitsOfSearch() const;

    CIndex& Index() { return m_index; }
    const CCatalog& Catalog() const { return m_catalog; }
    CSearchCommand& Search() { return m_search; }
    const CSearchCommand& Search() const { return m_search; }
    CResultList& List() { return m_list; }
    const CResultList& List() const { return m_list; }
    CNavigator& Navigator() { return m_navigator; }
    const CNavigator& Navigator() const { return m_navigator; }

private:
    CIndex m_index;
    CCatalog m_catalog;
    CSearchCommand m_search;
    CResultList m_list;
    CNavigator m_navigator;
    std::optional<std::size_t> m_currentEntry;
    std::filesystem::path m_folder;  // of the last OpenIndex
};

}  // namespace vyn
