// CPanelLogic: the search and catalog panel without its widgets. Owns the engine,
// the catalog, the search command, the result list paging and the reading session
// (where the reader is, history, bookmarks), and runs the search command across them.
// Engine, catalog, variant table and the hits in context all read one generation of
// the data folder (CDataGeneration) until Reopen.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/datageneration.h"
#include "index/index.h"
#include "textstore/messagesink.h"
#include "textstore/catalog.h"
#include "panel/readingsession.h"
#include "panel/resultlist.h"
#include "panel/searchcommand.h"
#include "panel/searchhits.h"

namespace vyn {

// Messages go to the sink given at construction, which must outlive the object.
// Not thread-safe.
class CPanelLogic {
public:
    explicit CPanelLogic(CMessageSink* sink = nullptr)
        : m_sink(sink),
          m_data(std::make_shared<CDataGeneration>()),
          m_index(sink),
          m_catalog(sink),
          m_search(sink),
          m_session(m_index, m_catalog, m_search, m_list, sink) {}

    // Opens the index in folder for the whole text (sending "データを開けませんでした。"
    // on failure) and reads folder/"vyn.dir", writing the listing to listingFile.
    // The scope path then names slot 1. True when both opened. For callers without a
    // panel: bench/panel_bench.cpp and the tests.
    bool Open(const std::filesystem::path& folder, const std::filesystem::path& listingFile);
    // The two halves of Open. OpenIndex opens a generation of folder's data, which
    // becomes the one the panel reads, and the index of the current text part on it
    // (a folder whose lock is not had in time gives a closed generation: the index
    // fails to open). LoadCatalog reads the catalog of that generation (of a new one
    // when the generation held is of another folder or closed) and resets the scope
    // path of slot 1. The panel opens the index when it is made and reads the catalog
    // at its initial update.
    bool OpenIndex(const std::filesystem::path& folder);
    bool LoadCatalog(const std::filesystem::path& folder, const std::filesystem::path& listingFile);

    // Makes part the text part searched and shown, the index reopened on part's scope
    // of the generation held. Returns the result of the index's Open.
    bool SelectTextPart(TextPart part);

    // True when the data folder holds another build than the generation read (see
    // CDataGeneration::Superseded). Changes nothing.
    bool NewerDataThere() const { return m_data->Superseded(); }
    // Opens the data folder again: a new generation, the index of the current text
    // part and the catalog (listing written to listingFile) on it. The search's
    // entries, total and count line are dropped and the list has no pages; the
    // keyword, the options and the lists stay. The reading session starts again at
    // the page shown before, when the new catalog holds its volume (see
    // CReadingSession::OnDataReopened). A failure of the index or catalog is sent as
    // OpenIndex and LoadCatalog send it. False, nothing changed, after sending
    // "データを開けませんでした。", when the folder's lock is not had in time.
    bool Reopen(const std::filesystem::path& listingFile);

    // The search command: the current hit goes back to 0; on kSearched the entries,
    // the count line and the list pages are replaced, list page 1 (if any) current,
    // and no entry is current.
    CSearchCommand::Outcome OnSearch(std::u16string_view hiddenEditText,
                                     std::span<const std::optional<std::u16string>> fieldValues);
    // The rows of the current list page (empty when there is none), without their
    // tool tips: what bench/panel_bench.cpp times as the end of a search. The panel
    // fills its rows itself.
    std::vector<ResultRow> CurrentRows() const;
    // The rows of the current list page, each with its page's first hit in context
    // ("left【hit】right", as the page shows it; empty when the page cannot be read).
    // False, rows untouched, when there is no list page.
    bool ListPageRows(std::vector<ResultRow>& rows);

    // The hits of the last search, read on the generation of the data the panel reads
    // for the text part selected (no entries before a search).
    CSearchHits HitsOfSearch() const;

    // The generation read; never null (closed before OpenIndex).
    const std::shared_ptr<const CDataGeneration>& Data() const { return m_data; }
    CIndex& Index() { return m_index; }
    const CCatalog& Catalog() const { return m_catalog; }
    CSearchCommand& Search() { return m_search; }
    const CSearchCommand& Search() const { return m_search; }
    CResultList& List() { return m_list; }
    const CResultList& List() const { return m_list; }
    CReadingSession& Session() { return m_session; }
    const CReadingSession& Session() const { return m_session; }

private:
    CMessageSink* m_sink;
    std::shared_ptr<const CDataGeneration> m_data;
    CIndex m_index;
    CCatalog m_catalog;
    CSearchCommand m_search;
    CResultList m_list;
    CReadingSession m_session;
};

}  // namespace vyn
