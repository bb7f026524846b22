// CReadingSession: where the reader is and what the reader keeps. The one owner of the
// reader's position, and of the query history and the bookmarks with their stored
// form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "encoding/bytestring.h"
#include "index/index.h"
#include "textstore/catalog.h"
#include "textstore/messagesink.h"
#include "panel/bookmarks.h"
#include "panel/citation.h"
#include "panel/history.h"
#include "panel/navigation.h"
#include "panel/resultlist.h"
#include "panel/searchcommand.h"
#include "panel/sessionstore.h"

namespace vyn {

// A volume's page ready to be written to CNavigator::kCatalogPageFile.
struct CatalogPage {
    ByteString bytes;  // the stored page, or a notice that the volume does not hold it
    PagePlace place;   // the page shown; volumeSlot 0 for the notice or a node that is no volume
};

// Owns the position: the search scope, the current volume and page and the shown
// result page with its current hit (held by its CNavigator, the engine that steps
// them and that callers use for the steps), the place of the page shown and the
// current entry of the result list. Owns the reader's lists, loaded from and written
// to the store it is attached to. Reads the index, catalog, search command and result
// list it was given (CPanelLogic's), which must outlive it, and turns that list's
// pages. Writing page files and showing them is the caller's. Not thread-safe.
class CReadingSession {
public:
    // The store's entries: the history in CQueryHistory's stored form, the bookmarks in
    // CBookmarks'.
    static constexpr std::string_view kHistoryEntry = "Search/History";
    static constexpr std::string_view kBookmarksEntry = "Bookmarks/Items";

    enum class ListTurn {
        kNoEntry,    // the record is no entry of the last search: nothing changed
        kUnchanged,  // the list page stays: its entry is on it, or the list has no such page
        kTurned,     // its entry's list page became the current one: show it
    };

    enum class BookmarkOpen {
        kNotOpened,  // no bookmark at that place in the list, or its volume has no pages
        kGone,       // the catalog no longer holds its volume
        kOpened,     // its page is the current one: show it
    };

    CReadingSession(CIndex& index, const CCatalog& catalog, const CSearchCommand& search, CResultList& list,
                    CMessageSink* sink = nullptr)
        : m_index(index), m_catalog(catalog), m_search(search), m_list(list), m_navigator(catalog, sink) {}

    // --- Position.

    CNavigator& Navigator() { return m_navigator; }
    const CNavigator& Navigator() const { return m_navigator; }

    // The page shown: a volume's page or a result page; volumeSlot 0 while there is
    // none, or while a node that is no volume or the notice of a missing page is shown.
    PagePlace ShownPlace() const { return m_shownPlace; }
    // "（御定全唐詩・卷一・第1頁）" for the page shown, "（子夏易傳・卷一・1b）" for a page
    // labelled with its folio; empty when there is none.
    std::u16string ShownCitation() const { return CitationText(m_catalog, m_shownPlace, Folios()); }
    // What a go-to text names (see ResolveCitation), the shown volume's book first;
    // folios as the pages' labels give them. Changes nothing.
    CitationTarget ResolveGoTo(std::u16string_view text) const {
        return ResolveCitation(m_catalog, text, m_shownPlace.volumeSlot, Folios());
    }
    // The folios of the store's pages, read from their labels.
    FolioOf Folios() const {
        return [&index = m_index](std::uint32_t record) {
            ByteString page;
            return index.ReadPage(record, page) ? FolioOfPage(page) : std::u16string();
        };
    }

    // Makes place's volume the scope and the current volume at its page (then show the
    // current page). False, nothing changed, when the slot holds no volume with pages.
    bool OpenPlace(PagePlace place);
    // True when the shown page (a result page, a bookmark's) lies elsewhere than the
    // current volume's current page, so that reading on from it moves the reader.
    bool CanReadOn() const;
    // Makes the shown page's volume the current one at that page (OpenPlace) without
    // showing anything new: the page commands then read on from there.
    bool ReadOn();

    // The current volume's current page; when the volume does not hold that page or it
    // cannot be read, a notice saying so, so that no other page passes for it.
    // Changes nothing; call CommitCatalogPage once the bytes are written.
    CatalogPage PrepareCurrentPage() const;
    // The written page is the one shown.
    void CommitCatalogPage(const CatalogPage& page) { m_shownPlace = page.place; }

    // Store record pageIndex rendered with the last search's hits marked (see
    // CNavigator::PrepareResultPage). Changes nothing; call CommitResultPage once the
    // bytes are written.
    ResultPage PrepareResultPage(std::uint32_t pageIndex) const;
    // The written page is the shown result page, at hit 0; its volume page is the page
    // shown and its entry (the first with that record, looked for on the current list
    // page first) the current entry, none when no entry has that record.
    void CommitResultPage(const ResultPage& page);

    // A search starts at the first hit again.
    void OnSearchStarted() { m_navigator.OnSearchStarted(); }
    // The search replaced the entries: none is current.
    void OnResultsReplaced() { m_currentEntry.reset(); }

    // The entry whose page was shown last; nullopt before one is shown after a search.
    std::optional<std::size_t> CurrentEntry() const { return m_currentEntry; }
    // The entry the next (direction 1) or previous (-1) result command opens: the one
    // after or before the current entry, the first when none is current (next only);
    // nullopt at either end of the entries.
    std::optional<std::size_t> ResultStepTarget(int direction) const;
    // Makes the list page that shows the first entry of store record the current one.
    ListTurn TurnListTo(std::uint32_t record);

    // --- Another build of the data.

    // The page shown with the catalog's names (see CBookmarks::Make), to be found again
    // once the catalog is loaded anew; nullopt when no volume's page is shown.
    std::optional<Bookmark> ShownPlaceByName() const;
    // After the catalog and the index were opened anew: the navigator starts again
    // (CNavigator::Reset), no page is shown and no entry is current. Then, when the
    // catalog holds shown's volume (found as LocateBookmark finds it), that volume
    // becomes the scope and the current volume at shown's page, and true is returned:
    // show the current page.
    bool OnDataReopened(const std::optional<Bookmark>& shown);

    // --- Lists.

    // Loads both lists from store, replacing them (nothing to undo then), and writes
    // every later change to it in their stored form. store must outlive the session
    // or be replaced first; nullptr keeps the lists in memory only.
    //
    // Other readers may share the store. Each change is made to the list as stored at
    // that moment (CSessionStore::Update), so that what they added or removed stays,
    // and the session's list becomes the result. A store that cannot be locked or
    // read takes nothing: the change is made to the session's list alone.
    void AttachStore(CSessionStore* store);
    // Read the list from the store again, with what other readers wrote since; what
    // this reader could undo stays. Nothing changes without a store. Call them when
    // the user opens a list, never while positions in it are in use.
    void ReloadHistory();
    void ReloadBookmarks();

    const CQueryHistory& History() const { return m_history; }
    // Puts query first in the history (see CQueryHistory::Add); the store is written
    // when its history changed.
    void AddQuery(std::u16string_view query);

    const CBookmarks& Bookmarks() const { return m_bookmarks; }
    // Bookmarks place with the catalog's names, the date added (UTF-8, as the caller
    // wrote it) and note. False, nothing changed, when the slot holds no volume.
    bool AddBookmark(PagePlace place, std::string added, std::u16string_view note);
    // Removes bookmark at of Bookmarks(): the equal one in the store (none when another
    // reader removed it already); it can be undone. False when at is out of range.
    bool RemoveBookmark(std::size_t at);
    // See CBookmarks::Undo, applied to the stored list.
    bool UndoBookmarkRemoval();
    // Opens the page of bookmark at, in the volume LocateBookmark finds for it; nothing
    // changed unless kOpened.
    BookmarkOpen OpenBookmark(std::size_t at);

private:
    void SetCurrentEntry(std::uint32_t pageIndex);
    // Apply change to the list as stored now and write it (see AttachStore).
    void ChangeHistory(const std::function<void(CQueryHistory&)>& change);
    void ChangeBookmarks(const std::function<void(CBookmarks&)>& change);

    CIndex& m_index;
    const CCatalog& m_catalog;
    const CSearchCommand& m_search;
    CResultList& m_list;
    CNavigator m_navigator;
    PagePlace m_shownPlace;
    std::optional<std::size_t> m_currentEntry;

    CSessionStore* m_store = nullptr;
    CQueryHistory m_history;
    CBookmarks m_bookmarks;
};

}  // namespace vyn
