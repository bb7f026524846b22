// The reading session: where the reader is, and the lists it keeps in its store.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/utf.h"
#include "panel/fixture.h"
#include "panel/panellogic.h"
#include "panel/readingsession.h"
#include "panel/sessionstore.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

// Entries in memory, with the number of writes that reached them.
class CMemoryStore : public CSessionStore {
public:
    std::string Read(std::string_view name) const override {
        const auto it = entries.find(std::string(name));
        return it == entries.end() ? std::string() : it->second;
    }
    bool Write(std::string_view name, std::string_view text) override {
        entries[std::string(name)] = std::string(text);
        ++writes;
        return true;
    }

    std::map<std::string, std::string> entries;
    int writes = 0;
};

std::string Titles(const CBookmarks& marks) {
    std::string out;
    for (const Bookmark& b : marks.Items()) out += Utf16ToUtf8String(BookmarkTitle(b)) + "|";
    return out;
}

// On the corpus of test::BuildPanelCorpus: volumes a1v1 (slot 3, pages 1..3), a1v2
// (4, pages 5..6), a2v1 (6, pages 1..2), a2v2 (7, page 7) and b1v1 (10, pages 10..11).
class ReadingSessionTest : public testing::Test {
protected:
    void SetUp() override {
        test::BuildPanelCorpus(m_dir.path());
        ASSERT_TRUE(m_panel.Open(m_dir.path(), {}));
    }
    CReadingSession& Session() { return m_panel.Session(); }
    CNavigator& Nav() { return m_panel.Session().Navigator(); }
    // Writes the current page as the panel does: prepared, then committed.
    CatalogPage ShowCurrentPage() {
        CatalogPage page = Session().PrepareCurrentPage();
        Session().CommitCatalogPage(page);
        return page;
    }
    void ShowResult(std::uint32_t record) { Session().CommitResultPage(Session().PrepareResultPage(record)); }
    void Search(int scopeSlot, std::u16string query) {
        ASSERT_TRUE(Nav().SetScopeItem(scopeSlot));
        const std::optional<std::u16string> field = std::move(query);
        ASSERT_EQ(m_panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
    }
    ByteString Stored(std::uint32_t record) {
        ByteString page;
        EXPECT_TRUE(m_panel.Index().ReadPage(record, page));
        return page;
    }

    test::TempDir m_dir;
    test::CRecordingSink m_sink;
    CPanelLogic m_panel{&m_sink};
};

TEST_F(ReadingSessionTest, ListsLoadFromTheirStoredForm) {
    const struct {
        const char* name;
        std::string history;
        std::string bookmarks;
        std::vector<std::u16string> queries;
        std::string titles;
    } cases[] = {
        {"nothing stored", "", "", {}, ""},
        {"history most recent first, merged and trimmed", "山\n明月\n山\n　青山 \n\n", "",
         {u"山", u"明月", u"青山"}, ""},
        {"a history line that is no UTF-8 is skipped", "山\n\xff\xfe\n明月", "", {u"山", u"明月"}, ""},
        {"bookmarks in their stored order", "",
         "3\t2\t2026-01-02 10:00\tA1\ta1v1\tnote\n10\t11\t2026-01-01 09:00\tB1\tb1v1\t\n", {},
         "A1・a1v1・第2頁|B1・b1v1・第11頁|"},
        {"damaged bookmark lines are skipped", "",
         "3\t2\td\tA1\ta1v1\tn\nx\t1\td\tb\tv\tn\n3\t1\n\n4\t5\td\tA1\ta1v2\t\n3\t2\td\tA1\t\t\n", {},
         "A1・a1v1・第2頁|A1・a1v2・第5頁|"},
        {"a bookmark line that is no UTF-8 is skipped", "", "3\t2\td\tA1\t\xff\t\n", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryStore store;
        if (!c.history.empty()) store.entries[std::string(CReadingSession::kHistoryEntry)] = c.history;
        if (!c.bookmarks.empty()) store.entries[std::string(CReadingSession::kBookmarksEntry)] = c.bookmarks;
        CPanelLogic panel;
        ASSERT_TRUE(panel.LoadCatalog(m_dir.path(), {}));
        panel.Session().AttachStore(&store);
        EXPECT_EQ(panel.Session().History().Queries(), c.queries);
        EXPECT_EQ(Titles(panel.Session().Bookmarks()), c.titles);
        EXPECT_FALSE(panel.Session().Bookmarks().CanUndo());
        EXPECT_EQ(store.writes, 0) << "loading writes nothing";
    }
}

TEST_F(ReadingSessionTest, EachChangeIsWrittenInTheStoredForm) {
    CMemoryStore store;
    Session().AttachStore(&store);
    const std::string marked = "3\t2\t2026-12-11 09:00\tA1\ta1v1\t韻を 見る\n";
    const std::string second = "10\t11\t2026-12-12 10:00\tB1\tb1v1\t\n";
    const struct {
        const char* name;
        std::function<bool(CReadingSession&)> change;
        bool done;
        int writes;  // by this change
        std::string history;
        std::string bookmarks;
    } steps[] = {
        {"a query", [](CReadingSession& s) { s.AddQuery(u"明月"); return true; }, true, 1, "明月", ""},
        {"a query in its kept form goes first",
         [](CReadingSession& s) { s.AddQuery(u"　白雲 "); return true; }, true, 1, "白雲\n明月", ""},
        {"an earlier query moves first", [](CReadingSession& s) { s.AddQuery(u"明月"); return true; }, true, 1,
         "明月\n白雲", ""},
        {"the first query again changes nothing",
         [](CReadingSession& s) { s.AddQuery(u"明月"); return true; }, true, 0, "明月\n白雲", ""},
        {"a blank query is not kept", [](CReadingSession& s) { s.AddQuery(u"　"); return true; }, true, 0,
         "明月\n白雲", ""},
        {"a bookmark with its names, the note on one line",
         [](CReadingSession& s) { return s.AddBookmark({3, 2}, "2026-12-11 09:00", u"韻を\n見る"); }, true, 1,
         "明月\n白雲", marked},
        {"the newest bookmark first",
         [](CReadingSession& s) { return s.AddBookmark({10, 11}, "2026-12-12 10:00", u""); }, true, 1,
         "明月\n白雲", second + marked},
        {"a slot that holds no volume",
         [](CReadingSession& s) { return s.AddBookmark({2, 1}, "2026-12-12 10:00", u""); }, false, 0,
         "明月\n白雲", second + marked},
        {"a removal", [](CReadingSession& s) { return s.RemoveBookmark(1); }, true, 1, "明月\n白雲", second},
        {"a removal past the end", [](CReadingSession& s) { return s.RemoveBookmark(1); }, false, 0,
         "明月\n白雲", second},
        {"undo puts it back in its place", [](CReadingSession& s) { return s.UndoBookmarkRemoval(); }, true, 1,
         "明月\n白雲", second + marked},
        {"undo once", [](CReadingSession& s) { return s.UndoBookmarkRemoval(); }, false, 0, "明月\n白雲",
         second + marked},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const int before = store.writes;
        EXPECT_EQ(step.change(Session()), step.done);
        EXPECT_EQ(store.writes - before, step.writes);
        EXPECT_EQ(store.Read(CReadingSession::kHistoryEntry), step.history);
        EXPECT_EQ(store.Read(CReadingSession::kBookmarksEntry), step.bookmarks);
    }

    // The next session reads what this one wrote.
    CPanelLogic next;
    ASSERT_TRUE(next.LoadCatalog(m_dir.path(), {}));
    next.Session().AttachStore(&store);
    EXPECT_EQ(next.Session().History().Queries(), Session().History().Queries());
    EXPECT_EQ(next.Session().Bookmarks().Serialize(), Session().Bookmarks().Serialize());
    EXPECT_EQ(next.Session().Bookmarks().Items()[1].note, u"韻を 見る");
}

// Two readers on one store, each changing the lists as they stand in the store: neither
// loses what the other wrote, lines neither can read stay, and a reader takes in the
// other's changes when it reloads a list.
TEST_F(ReadingSessionTest, ReadersSharingAStoreKeepEachOthersChanges) {
    CMemoryStore store;
    // A bookmark line of a later form (one field more), and a history line that is no UTF-8.
    const std::string unread = "3\t1\td\tA1\ta1v1\tnote\tfield\n";
    store.entries[std::string(CReadingSession::kBookmarksEntry)] = unread;
    store.entries[std::string(CReadingSession::kHistoryEntry)] = "山\n\xff\xfe";
    CPanelLogic a;
    CPanelLogic b;
    ASSERT_TRUE(a.LoadCatalog(m_dir.path(), {}));
    ASSERT_TRUE(b.LoadCatalog(m_dir.path(), {}));
    a.Session().AttachStore(&store);
    b.Session().AttachStore(&store);
    CReadingSession& first = a.Session();
    CReadingSession& second = b.Session();

    const std::string ofA = "3\t2\tda\tA1\ta1v1\t\n";
    const std::string ofB = "10\t11\tdb\tB1\tb1v1\t\n";
    const std::string titleA = "A1・a1v1・第2頁|";
    const std::string titleB = "B1・b1v1・第11頁|";
    const struct {
        const char* name;
        std::function<bool()> change;
        std::string history;
        std::string bookmarks;
        std::string firstLists;  // the bookmarks each reader lists
        std::string secondLists;
    } steps[] = {
        {"a query of the first", [&] { first.AddQuery(u"明月"); return true; }, "明月\n山\n\xff\xfe", unread, "",
         ""},
        {"a query of the second, which never read the first's",
         [&] { second.AddQuery(u"白雲"); return true; }, "白雲\n明月\n山\n\xff\xfe", unread, "", ""},
        {"a bookmark of the first", [&] { return first.AddBookmark({3, 2}, "da", u""); },
         "白雲\n明月\n山\n\xff\xfe", ofA + unread, titleA, ""},
        {"a bookmark of the second keeps the first's",
         [&] { return second.AddBookmark({10, 11}, "db", u""); }, "白雲\n明月\n山\n\xff\xfe",
         ofB + ofA + unread, titleA, titleB + titleA},
        {"the first lists it once it reloads", [&] { first.ReloadBookmarks(); return true; },
         "白雲\n明月\n山\n\xff\xfe", ofB + ofA + unread, titleB + titleA, titleB + titleA},
        {"the second removes the first's", [&] { return second.RemoveBookmark(1); }, "白雲\n明月\n山\n\xff\xfe",
         ofB + unread, titleB + titleA, titleB},
        {"the first removes it too: nothing else goes", [&] { return first.RemoveBookmark(1); },
         "白雲\n明月\n山\n\xff\xfe", ofB + unread, titleB, titleB},
        {"the first's undo puts it back where it was", [&] { return first.UndoBookmarkRemoval(); },
         "白雲\n明月\n山\n\xff\xfe", ofB + ofA + unread, titleB + titleA, titleB},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_TRUE(step.change());
        EXPECT_EQ(store.Read(CReadingSession::kHistoryEntry), step.history);
        EXPECT_EQ(store.Read(CReadingSession::kBookmarksEntry), step.bookmarks);
        EXPECT_EQ(Titles(first.Bookmarks()), step.firstLists);
        EXPECT_EQ(Titles(second.Bookmarks()), step.secondLists);
    }
    EXPECT_EQ(first.History().Queries(), (std::vector<std::u16string>{u"明月", u"山"}));
    first.ReloadHistory();
    EXPECT_EQ(first.History().Queries(), (std::vector<std::u16string>{u"白雲", u"明月", u"山"}));
}

TEST_F(ReadingSessionTest, PositionFollowsWhatIsOpened) {
    const struct {
        const char* name;
        std::function<void()> open;
        int item;  // the current volume and page
        int page;
        PagePlace shown;
        std::optional<std::size_t> entry;
    } steps[] = {
        {"nothing at start", [] {}, 0, 0, {}, std::nullopt},
        {"a volume chosen in the tree, at its first page",
         [&] {
             ASSERT_EQ(Nav().SelectCatalogItem(4), CNavigator::Selection::kVolumeOpened);
             EXPECT_EQ(ShowCurrentPage().bytes, Stored(3));
         },
         4, 5, {4, 5}, std::nullopt},
        {"the next page",
         [&] {
             ASSERT_TRUE(Nav().OnNextPage());
             EXPECT_EQ(ShowCurrentPage().bytes, Stored(4));
         },
         4, 6, {4, 6}, std::nullopt},
        {"a page the volume does not hold shows a notice and no place",
         [&] {
             ASSERT_TRUE(Nav().OnPageSliderEnd(9));
             const CatalogPage page = ShowCurrentPage();
             EXPECT_NE(AsView(page.bytes).find("第9頁はこの巻のデータにありません。"), std::string_view::npos);
         },
         4, 9, {}, std::nullopt},
        {"a place", [&] { ASSERT_TRUE(Session().OpenPlace({6, 2})); ShowCurrentPage(); }, 6, 2, {6, 2},
         std::nullopt},
        {"a place that is no volume changes nothing", [&] { EXPECT_FALSE(Session().OpenPlace({2, 1})); }, 6, 2,
         {6, 2}, std::nullopt},
        {"a search keeps the page shown", [&] { Search(1, u"乙"); }, 6, 2, {6, 2}, std::nullopt},
        {"a result: its volume page, its entry", [&] { ShowResult(1); }, 6, 2, {3, 2}, 0},
        {"another result", [&] { ShowResult(6); }, 6, 2, {6, 2}, 1},
        {"a new search: no entry current", [&] { Search(2, u"乙"); }, 6, 2, {6, 2}, std::nullopt},
        {"a result page that is no entry", [&] { ShowResult(9); }, 6, 2, {10, 11}, std::nullopt},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.open();
        EXPECT_EQ(Nav().CurItem(), step.item);
        EXPECT_EQ(Nav().CurPage(), step.page);
        EXPECT_EQ(Session().ShownPlace(), step.shown);
        EXPECT_EQ(Session().CurrentEntry(), step.entry);
    }
    // The hit moved to is forgotten by the next search.
    Search(1, u"甲");
    ShowResult(5);
    ASSERT_TRUE(Nav().SetCurrentHit(2));
    Search(1, u"甲");
    EXPECT_EQ(Nav().CurHit(), 0);
}

TEST_F(ReadingSessionTest, BookmarksOpenTheirVolumeByItsNames) {
    CMemoryStore store;
    store.entries[std::string(CReadingSession::kBookmarksEntry)] =
        "7\t7\td\tA2\ta2v2\t\n"      // where it was
        "3\t6\td\tA1\ta1v2\t\n"      // its volume moved to slot 4
        "4\t1\td\tA1\ta1v9\t\n";     // its volume is gone
    Session().AttachStore(&store);
    ASSERT_TRUE(Session().OpenPlace({3, 1}));
    using Open = CReadingSession::BookmarkOpen;
    const struct {
        const char* name;
        std::size_t at;
        Open outcome;
        int item;  // the current volume and page afterwards
        int page;
    } cases[] = {
        {"in its slot", 0, Open::kOpened, 7, 7},
        {"found by its names", 1, Open::kOpened, 4, 6},
        {"gone: nothing moves", 2, Open::kGone, 4, 6},
        {"past the end", 3, Open::kNotOpened, 4, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Session().OpenBookmark(c.at), c.outcome);
        EXPECT_EQ(Nav().CurItem(), c.item);
        EXPECT_EQ(Nav().CurPage(), c.page);
        EXPECT_EQ(Nav().ScopeItem(), c.item);
    }
    EXPECT_EQ(store.writes, 0);
}

// Results without an index: entries placed by the search command over a catalog of
// one volume, store record i on page i + 1.
class ResultStepTest : public testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(m_dir / "vyn.dir", test::CatalogRecordBytes(u"C", 1, 1, 300, 1) +
                                               test::CatalogRecordBytes(u"B", 2, 1, 300, 1) +
                                               test::CatalogRecordBytes(u"V", 3, 1, 300, 1));
        ASSERT_TRUE(m_panel.LoadCatalog(m_dir.path(), {}));
    }
    // As a search with count entries does.
    void Entries(std::size_t count) {
        std::vector<std::uint32_t> pages(count);
        for (std::size_t i = 0; i < count; ++i) pages[i] = static_cast<std::uint32_t>(i);
        m_panel.Search().BuildResults(m_panel.Catalog().ScopeNode(1), pages, {});
        m_panel.List().Reset(count);
        m_panel.Session().OnResultsReplaced();
    }
    // The page of record written and shown.
    void Opened(std::uint32_t record) {
        ResultPage page;
        page.pageIndex = record;
        m_panel.Session().CommitResultPage(page);
    }

    test::TempDir m_dir;
    CPanelLogic m_panel;
};

TEST_F(ResultStepTest, NextAndPreviousAcrossListPagesAndAtTheEnds) {
    const struct {
        const char* name;
        std::size_t entries;
        std::optional<std::uint32_t> opened;  // store record of the page opened
        int direction;
        std::optional<std::size_t> target;
        int listPage;  // of the target
    } cases[] = {
        {"no results", 0, std::nullopt, 1, std::nullopt, 0},
        {"none opened: next is the first", 250, std::nullopt, 1, 0, 1},
        {"none opened: no previous", 250, std::nullopt, -1, std::nullopt, 0},
        {"inside a list page", 250, 5, 1, 6, 1},
        {"last row to next list page", 250, 99, 1, 100, 2},
        {"first row to previous list page", 250, 200, -1, 199, 2},
        {"last entry", 250, 249, 1, std::nullopt, 0},
        {"first entry", 250, 0, -1, std::nullopt, 0},
        {"one entry", 1, 0, 1, std::nullopt, 0},
        {"a page that is no entry", 250, 400, 1, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Entries(c.entries);
        if (c.opened) Opened(*c.opened);
        const auto target = m_panel.Session().ResultStepTarget(c.direction);
        EXPECT_EQ(target, c.target);
        if (target) {
            EXPECT_EQ(CResultList::ListPageOf(*target), c.listPage);
        }
    }
}

// Opening a hit from elsewhere (hits in context) turns the list to its entry.
TEST_F(ResultStepTest, TurnsTheListToTheEntryOfARecord) {
    using Turn = CReadingSession::ListTurn;
    const struct {
        const char* name;
        int listPage;  // current before
        std::uint32_t record;
        Turn turn;
        int listPageAfter;
    } cases[] = {
        {"on the current list page", 1, 99, Turn::kUnchanged, 1},
        {"on the next list page", 1, 100, Turn::kTurned, 2},
        {"on an earlier list page", 3, 0, Turn::kTurned, 1},
        {"the last entry", 1, 249, Turn::kTurned, 3},
        {"no entry: the list stays", 2, 250, Turn::kNoEntry, 2},
    };
    Entries(250);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_panel.List().SetListPage(c.listPage));
        EXPECT_EQ(m_panel.Session().TurnListTo(c.record), c.turn);
        EXPECT_EQ(m_panel.List().ListPage(), c.listPageAfter);
    }
}

}  // namespace
}  // namespace vyn
