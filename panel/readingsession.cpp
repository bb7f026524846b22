#include "panel/readingsession.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vyn {

namespace {

// list with change applied: to the list as stored under entry now (read, then readied
// by prepare), which is written back; to list itself without a store, or when the
// store cannot be locked or read.
template <typename List, typename Prepare>
List Changed(CSessionStore* store, std::string_view entry, const List& list, const Prepare& prepare,
             const std::function<void(List&)>& change) {
    std::optional<List> merged;
    if (store) {
        store->Update(entry, [&](const std::string& stored) {
            merged.emplace();
            merged->Load(stored);
            prepare(*merged);
            change(*merged);
            return merged->Serialize();
        });
    }
    if (!merged) {
        merged = list;
        change(*merged);
    }
    return std::move(*merged);
}

ByteString MissingPageNotice(int pageNumber) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "<html><head><meta charset=\"UTF-8\"><title></title></head>"
                  "<body><p>第%d頁はこの巻のデータにありません。</p></body></html>",
                  pageNumber);
    return ToBytes(text);
}

}  // namespace

bool CReadingSession::OpenPlace(PagePlace place) {
    if (VolumePageRange(m_catalog, place.volumeSlot).second < 0) return false;
    return m_navigator.OpenVolumePage(place.volumeSlot, place.pageNumber);
}

bool CReadingSession::CanReadOn() const {
    return m_shownPlace.volumeSlot != 0 &&
           (m_shownPlace.volumeSlot != m_navigator.CurItem() || m_shownPlace.pageNumber != m_navigator.CurPage());
}

bool CReadingSession::ReadOn() { return CanReadOn() && OpenPlace(m_shownPlace); }

CatalogPage CReadingSession::PrepareCurrentPage() const {
    CatalogPage page;
    const int slot = m_navigator.CurItem();
    const int number = m_navigator.CurPage();
    if (!m_navigator.ReadCurrentPage(m_index, page.bytes)) {
        page.bytes = MissingPageNotice(number);
        return page;
    }
    if (m_catalog.Record(slot).level == kLevelVolume) page.place = {slot, number};
    return page;
}

ResultPage CReadingSession::PrepareResultPage(std::uint32_t pageIndex) const {
    return m_navigator.PrepareResultPage(m_index, pageIndex, m_search.Keyword(), m_search.ScopeKind(),
                                         m_search.Variants());
}

void CReadingSession::CommitResultPage(const ResultPage& page) {
    m_navigator.CommitResultPage(page);
    SetCurrentEntry(page.pageIndex);
    m_shownPlace = PlaceOfRecord(m_catalog, page.pageIndex);
}

void CReadingSession::SetCurrentEntry(std::uint32_t pageIndex) {
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

std::optional<std::size_t> CReadingSession::ResultStepTarget(int direction) const {
    const std::size_t count = m_search.Results().size();
    if (count == 0) return std::nullopt;
    if (!m_currentEntry) {
        return direction > 0 ? std::optional<std::size_t>(0) : std::nullopt;
    }
    const std::size_t at = *m_currentEntry;
    if (direction > 0) return at + 1 < count ? std::optional<std::size_t>(at + 1) : std::nullopt;
    return at > 0 && at <= count ? std::optional<std::size_t>(at - 1) : std::nullopt;
}

CReadingSession::ListTurn CReadingSession::TurnListTo(std::uint32_t record) {
    const std::vector<SearchNodeTag>& entries = m_search.Results();
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [record](const SearchNodeTag& e) { return e.pageIndex == record; });
    if (it == entries.end()) return ListTurn::kNoEntry;
    const int listPage = CResultList::ListPageOf(static_cast<std::size_t>(it - entries.begin()));
    if (listPage == m_list.ListPage() || !m_list.SetListPage(listPage)) return ListTurn::kUnchanged;
    return ListTurn::kTurned;
}

void CReadingSession::AttachStore(CSessionStore* store) {
    m_store = store;
    if (!m_store) return;
    m_history.Load(m_store->Read(kHistoryEntry));
    m_bookmarks.Load(m_store->Read(kBookmarksEntry));
}

void CReadingSession::ReloadHistory() {
    if (m_store) m_history.Load(m_store->Read(kHistoryEntry));
}

void CReadingSession::ReloadBookmarks() {
    if (!m_store) return;
    CBookmarks stored;
    stored.Load(m_store->Read(kBookmarksEntry));
    stored.SetLastRemoval(m_bookmarks.LastRemoval());
    m_bookmarks = std::move(stored);
}

void CReadingSession::AddQuery(std::u16string_view query) {
    ChangeHistory([query](CQueryHistory& history) { history.Add(query); });
}

bool CReadingSession::AddBookmark(PagePlace place, std::string added, std::u16string_view note) {
    std::optional<Bookmark> bookmark = CBookmarks::Make(m_catalog, place, std::move(added), note);
    if (!bookmark) return false;
    ChangeBookmarks([&bookmark](CBookmarks& list) { list.Add(*bookmark); });
    return true;
}

bool CReadingSession::RemoveBookmark(std::size_t at) {
    if (at >= m_bookmarks.Items().size()) return false;
    const Bookmark removed = m_bookmarks.Items()[at];
    ChangeBookmarks([&removed, at](CBookmarks& list) {
        if (const std::optional<std::size_t> found = list.Find(removed)) {
            list.Remove(*found);
        } else {
            // Gone already; undo still brings back what this reader removed.
            list.SetLastRemoval(CBookmarks::Removal{removed, at});
        }
    });
    return true;
}

bool CReadingSession::UndoBookmarkRemoval() {
    if (!m_bookmarks.CanUndo()) return false;
    ChangeBookmarks([](CBookmarks& list) { list.Undo(); });
    return true;
}

CReadingSession::BookmarkOpen CReadingSession::OpenBookmark(std::size_t at) {
    if (at >= m_bookmarks.Items().size()) return BookmarkOpen::kNotOpened;
    const Bookmark& bookmark = m_bookmarks.Items()[at];
    const int slot = LocateBookmark(m_catalog, bookmark);
    if (slot == 0) return BookmarkOpen::kGone;
    return OpenPlace({slot, bookmark.place.pageNumber}) ? BookmarkOpen::kOpened : BookmarkOpen::kNotOpened;
}

std::optional<Bookmark> CReadingSession::ShownPlaceByName() const {
    return CBookmarks::Make(m_catalog, m_shownPlace, std::string(), std::u16string_view());
}

bool CReadingSession::OnDataReopened(const std::optional<Bookmark>& shown) {
    m_navigator.Reset();
    m_shownPlace = {};
    m_currentEntry.reset();
    if (!shown) return false;
    const int slot = LocateBookmark(m_catalog, *shown);
    return slot != 0 && OpenPlace({slot, shown->place.pageNumber});
}

void CReadingSession::ChangeHistory(const std::function<void(CQueryHistory&)>& change) {
    m_history = Changed(m_store, kHistoryEntry, m_history, [](CQueryHistory&) {}, change);
}

void CReadingSession::ChangeBookmarks(const std::function<void(CBookmarks&)>& change) {
    // What this reader removed stays undoable on the list read again.
    const auto keepRemoval = [this](CBookmarks& read) { read.SetLastRemoval(m_bookmarks.LastRemoval()); };
    m_bookmarks = Changed(m_store, kBookmarksEntry, m_bookmarks, keepRemoval, change);
}

}  // namespace vyn
