// A data folder rebuilt with other content under an open panel: the panel's catalog,
// pages, text parts, searches and hits in context stay those of the build it opened
// until it reopens the folder, and then are all of the new build.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "builder/databuilder.h"
#include "encoding/utf.h"
#include "panel/fixture.h"
#include "panel/panellogic.h"
#include "panel/searchhits.h"
#include "support/corpustext.h"
#include "support/rebuild.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::Para;
using test::U8;

// 詩 > 全唐詩 > 卷一 (pages 1-3), 卷二 (page 4); 明 and 朙 are variants.
Corpus OldCorpus() {
    CorpusVolume one{"卷一", 1,
                     {{"一", {Para("床前明月光", "注山水")}},
                      {"二", {Para("朙月照人")}},
                      {"三", {Para("秦川雄帝宅")}}}};
    CorpusVolume two{"卷二", 4, {{"四", {Para("國破山河在")}}}};
    Corpus corpus;
    corpus.categories.push_back({"詩", {{"全唐詩", {one, two}}}});
    corpus.variantGroups = {{0x660E, 0x6719}};
    return corpus;
}

// Other pages in 卷一, no 卷二, another book, and no variants.
Corpus NewCorpus() {
    CorpusVolume one{"卷一", 1, {{"一", {Para("海上生明月", "注海潮")}}, {"二", {Para("白日依山盡")}}}};
    CorpusVolume wen{"卷一", 1, {{"一", {Para("朙月山中")}}}};
    Corpus corpus;
    corpus.categories.push_back({"詩", {{"全唐詩", {one}}, {"文選", {wen}}}});
    return corpus;
}

// The rows as text, to compare whole.
std::vector<std::string> RowsText(const std::vector<KwicRow>& rows) {
    std::vector<std::string> text;
    for (const KwicRow& row : rows) {
        text.push_back(std::to_string(row.record) + "#" + std::to_string(row.anchor) + " " +
                       U8(row.book) + "/" + U8(row.volume) + "/" + std::to_string(row.page) + " " +
                       U8(row.left) + "[" + U8(row.hit) + "]" + U8(row.right));
    }
    return text;
}

// The rows of the panel's last search, read by its hits on a thread of their own.
std::vector<std::string> HitsRead(const CPanelLogic& panel) {
    CSearchHits hits = panel.HitsOfSearch();
    std::vector<KwicRow> rows;
    bool opened = false;
    std::thread reader([&] {
        opened = hits.Open();
        hits.AppendRows(0, hits.Entries().size(), kDefaultKwicContext, rows);
    });
    reader.join();
    EXPECT_TRUE(opened);
    return RowsText(rows);
}

int SlotOf(const CCatalog& catalog, std::u16string_view path) {
    for (int slot = 1; slot < catalog.NodeItemCount(); ++slot) {
        if (catalog.ScopePath(slot) == path) return slot;
    }
    return 0;
}

// What one search shows: its entries' records, the first entry's rendered page, the
// list's first-hit texts and the hits in context.
struct SearchView {
    std::vector<std::uint32_t> records;
    ByteString firstPage;
    std::vector<std::u16string> firstHits;
    std::vector<std::string> rows;
};

struct SearchCase {
    const char* name;
    TextPart part;
    std::u16string query;
};

// Each of them finds other pages in the two builds.
const SearchCase kSearches[] = {
    {"WholeTextWithVariants", TextPart::kWhole, u"明月"},
    {"MainText", TextPart::kMain, u"山"},
    {"Notes", TextPart::kNotes, u"山"},
    {"NotesOfTheNewBuildOnly", TextPart::kNotes, u"海"},
};

SearchView Searched(CPanelLogic& panel, const SearchCase& c) {
    SearchView view;
    panel.Session().Navigator().SetScopeItem(1);  // the whole catalog
    EXPECT_TRUE(panel.SelectTextPart(c.part));
    const std::optional<std::u16string> field = c.query;
    EXPECT_EQ(panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
    for (const SearchNodeTag& entry : panel.Search().Results()) view.records.push_back(entry.pageIndex);
    if (!view.records.empty()) view.firstPage = panel.Session().PrepareResultPage(view.records[0]).bytes;
    std::vector<ResultRow> rows;
    if (panel.ListPageRows(rows)) {
        for (const ResultRow& row : rows) view.firstHits.push_back(row.firstHit);
    }
    view.rows = HitsRead(panel);
    return view;
}

void ExpectSameView(const SearchView& shown, const SearchView& expected) {
    EXPECT_EQ(shown.records, expected.records);
    EXPECT_EQ(shown.firstPage, expected.firstPage);
    EXPECT_EQ(shown.firstHits, expected.firstHits);
    EXPECT_EQ(shown.rows, expected.rows);
}

// What a reader of one build shows: the listing, the first page of 卷一 and each search.
struct BuildView {
    std::string listing;
    ByteString firstPage;
    std::vector<SearchView> searches;
};

BuildView ViewOf(const fs::path& folder) {
    BuildView view;
    CPanelLogic panel;
    EXPECT_TRUE(panel.Open(folder, {}));
    view.listing = panel.Catalog().Listing();
    EXPECT_TRUE(panel.Session().OpenPlace({SlotOf(panel.Catalog(), u"詩\\全唐詩\\卷一"), 1}));
    view.firstPage = panel.Session().PrepareCurrentPage().bytes;
    EXPECT_FALSE(view.firstPage.empty());
    for (const SearchCase& c : kSearches) view.searches.push_back(Searched(panel, c));
    return view;
}

class RebuildUnderReader : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_data);
        CDataBuilder builder;
        BuildStats stats;
        ASSERT_TRUE(builder.Build(OldCorpus(), m_data, stats)) << builder.GetReason();
        m_old = ViewOf(m_data);
    }

    void Rebuild() {
        std::string reason;
        ASSERT_TRUE(test::RebuildFolder(NewCorpus(), m_data, reason)) << reason;
        m_new = ViewOf(m_data);
        // The builds differ in everything compared.
        ASSERT_NE(m_new.listing, m_old.listing);
        ASSERT_NE(m_new.firstPage, m_old.firstPage);
        for (std::size_t i = 0; i < std::size(kSearches); ++i) {
            ASSERT_NE(m_new.searches[i].rows, m_old.searches[i].rows) << kSearches[i].name;
        }
    }

    test::TempDir m_dir;
    fs::path m_data = m_dir.path() / "data";
    BuildView m_old;
    BuildView m_new;
};

// The panel opens its index when it is made and reads the catalog later: a build in
// between does not reach the catalog either.
TEST_F(RebuildUnderReader, PanelKeepsTheBuildItOpened) {
    CPanelLogic panel;
    ASSERT_TRUE(panel.OpenIndex(m_data));
    EXPECT_FALSE(panel.NewerDataThere());
    Rebuild();
    EXPECT_TRUE(panel.NewerDataThere());

    ASSERT_TRUE(panel.LoadCatalog(m_data, {}));
    EXPECT_EQ(panel.Catalog().Listing(), m_old.listing);
    ASSERT_TRUE(panel.Session().OpenPlace({SlotOf(panel.Catalog(), u"詩\\全唐詩\\卷一"), 1}));
    EXPECT_EQ(panel.Session().PrepareCurrentPage().bytes, m_old.firstPage);
    // Each search switches the text part: the index is opened again, on the old build.
    for (std::size_t i = 0; i < std::size(kSearches); ++i) {
        SCOPED_TRACE(kSearches[i].name);
        ExpectSameView(Searched(panel, kSearches[i]), m_old.searches[i]);
    }
    EXPECT_TRUE(panel.NewerDataThere());
}

// Hits taken before the rebuild and read after it come from the build searched.
TEST_F(RebuildUnderReader, HitsTakenBeforeTheRebuildReadTheirBuild) {
    CPanelLogic panel;
    ASSERT_TRUE(panel.Open(m_data, {}));
    const std::optional<std::u16string> field = kSearches[0].query;
    ASSERT_EQ(panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
    CSearchHits hits = panel.HitsOfSearch();
    Rebuild();
    ASSERT_TRUE(hits.Open());
    std::vector<KwicRow> rows;
    hits.AppendRows(0, hits.Entries().size(), kDefaultKwicContext, rows);
    EXPECT_EQ(RowsText(rows), m_old.searches[0].rows);
}

// Reopening reads the new build whole: catalog, pages, every text part, the hits. The
// search's entries go; the page shown comes back when its volume is still there.
TEST_F(RebuildUnderReader, ReopenReadsTheNewBuild) {
    const struct {
        const char* name;
        std::u16string shownVolume;
        bool shownAgain;
    } cases[] = {
        {"VolumeStillThere", u"詩\\全唐詩\\卷一", true},
        {"VolumeGone", u"詩\\全唐詩\\卷二", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_data);
        SetUp();
        CPanelLogic panel;
        ASSERT_TRUE(panel.Open(m_data, {}));
        const int oldSlot = SlotOf(panel.Catalog(), c.shownVolume);
        ASSERT_TRUE(panel.Session().OpenPlace({oldSlot, panel.Catalog().Record(oldSlot).curFileName}));
        const CatalogPage page = panel.Session().PrepareCurrentPage();
        ASSERT_NE(page.place.volumeSlot, 0);
        panel.Session().CommitCatalogPage(page);
        panel.Session().Navigator().SetScopeItem(1);
        const std::optional<std::u16string> field = u"明月";
        ASSERT_EQ(panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
        ASSERT_FALSE(panel.Search().Results().empty());
        Rebuild();

        ASSERT_TRUE(panel.Reopen({}));
        EXPECT_FALSE(panel.NewerDataThere());
        EXPECT_EQ(panel.Catalog().Listing(), m_new.listing);
        EXPECT_TRUE(panel.Search().Results().empty());
        EXPECT_TRUE(panel.Search().LastCountLine().empty());
        EXPECT_EQ(panel.List().ListPageCount(), 0);
        EXPECT_EQ(panel.Session().ShownPlace(), PagePlace{});
        const CNavigator& navigator = panel.Session().Navigator();
        if (c.shownAgain) {
            EXPECT_EQ(navigator.CurItem(), SlotOf(panel.Catalog(), c.shownVolume));
            EXPECT_EQ(navigator.CurPage(), 1);
            EXPECT_EQ(panel.Session().PrepareCurrentPage().bytes, m_new.firstPage);
        } else {
            EXPECT_EQ(navigator.CurItem(), 0);
            EXPECT_EQ(navigator.ScopeItem(), 1);
        }
        EXPECT_EQ(navigator.ScopePath(), panel.Catalog().ScopePath(navigator.ScopeItem()));
        for (std::size_t i = 0; i < std::size(kSearches); ++i) {
            SCOPED_TRACE(kSearches[i].name);
            ExpectSameView(Searched(panel, kSearches[i]), m_new.searches[i]);
        }
    }
}

// A reader that cannot have the folder's lock keeps the build it reads, and says so.
TEST_F(RebuildUnderReader, ReopenWithoutTheLockChangesNothing) {
    test::CRecordingSink sink;
    CPanelLogic panel(&sink);
    ASSERT_TRUE(panel.Open(m_data, {}));
    Rebuild();
    CFolderLock builder;
    ASSERT_TRUE(builder.LockExclusive(m_data, std::chrono::milliseconds(0)));
    EXPECT_FALSE(panel.Reopen({}));
    EXPECT_EQ(sink.messages, std::vector<std::string>{"データを開けませんでした。"});
    builder.Unlock();
    EXPECT_EQ(panel.Catalog().Listing(), m_old.listing);
    EXPECT_TRUE(panel.NewerDataThere());
    ExpectSameView(Searched(panel, kSearches[0]), m_old.searches[0]);
}

}  // namespace
}  // namespace vyn
