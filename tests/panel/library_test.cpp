// A library of three data folders read by the panel as one: its tree, searches over
// the library, a folder and a node inside one against the folders searched alone,
// result steps, hits in context, export and bookmarks across folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "builder/databuilder.h"
#include "encoding/utf.h"
#include "index/library.h"
#include "panel/bookmarks.h"
#include "panel/export.h"
#include "panel/fixture.h"
#include "panel/panellogic.h"
#include "panel/searchhits.h"
#include "support/corpustext.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::Para;
using test::U8;

CorpusVolume Volume(std::string name, std::vector<std::string> pages) {
    CorpusVolume volume{std::move(name), 1, {}};
    for (std::string& text : pages) volume.pages.push_back({"頁", {Para(std::move(text), "注人")}});
    return volume;
}

// Folder "a" (titled 詩歌) and folder "b" (untitled) both hold a book 全唐詩 with a
// volume 卷一; folder "c" (titled 經史) has two categories.
struct Library {
    test::TempDir dir;
    std::vector<fs::path> folders;
    std::vector<std::u16string> titles{u"詩歌", u"b", u"經史"};

    Library() {
        Corpus a;
        a.categories.push_back({"詩", {{"全唐詩", {Volume("卷一", {"明月光人", "人人"}), Volume("卷二", {"山人"})}}}});
        a.categories.push_back({"詞", {{"花間集", {Volume("卷一", {"人月"})}}}});
        a.variantGroups = {{0x660E, 0x6719}};
        Corpus b;
        b.categories.push_back({"文", {{"文選", {Volume("卷一", {"人文", "朙月"})}}, {"全唐詩", {Volume("卷一", {"白人"})}}}});
        Corpus c;
        c.categories.push_back({"經", {{"論語", {Volume("學而", {"人不知"})}}}});
        c.categories.push_back({"史", {{"史記", {Volume("卷一", {"明月", "人"})}}}});
        const Corpus* corpora[] = {&a, &b, &c};
        for (int f = 0; f < 3; ++f) {
            const fs::path folder = dir / std::string(1, static_cast<char>('a' + f));
            fs::create_directory(folder);
            CDataBuilder builder;
            BuildStats stats;
            EXPECT_TRUE(builder.Build(*corpora[f], folder, stats)) << builder.GetReason();
            folders.push_back(folder);
        }
        EXPECT_TRUE(WriteFolderTitle(folders[0], "詩歌"));
        EXPECT_TRUE(WriteFolderTitle(folders[2], "  經史 \r"));
    }
};

// An entry as text, its record given.
std::string EntryText(const SearchNodeTag& e, std::uint32_t record) {
    return U8(e.folder) + "|" + U8(e.category) + "|" + U8(e.book) + "|" + U8(e.volume) + "|" +
           std::to_string(e.pageNo) + "|" + std::to_string(e.hits) + "|" + std::to_string(record);
}

std::optional<std::u16string> Searched(CPanelLogic& panel, int slot, std::u16string query, int andOr = 0) {
    EXPECT_TRUE(panel.Session().Navigator().SetScopeItem(slot));
    panel.Search().SetAndOr(andOr);
    std::optional<std::u16string> field = std::move(query);
    EXPECT_EQ(panel.OnSearch(u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
    return field;
}

// The entries of folder f searched alone over the slots given (its own catalog's),
// named as the library names them, records moved to the library's.
void AppendAlone(const Library& library, std::size_t f, std::uint32_t base, const std::vector<int>& slots,
                 const std::u16string& query, int andOr, std::vector<std::string>& entries,
                 std::uint64_t& total) {
    CPanelLogic alone;
    ASSERT_TRUE(alone.Open(library.folders[f], {}));
    for (int slot : slots) {
        Searched(alone, slot, query, andOr);
        total += alone.Search().Total();
        for (SearchNodeTag e : alone.Search().Results()) {
            e.folder = library.titles[f];
            entries.push_back(EntryText(e, e.pageIndex + base));
        }
    }
}

// The categories of a catalog, in slot order.
std::vector<int> Categories(const fs::path& folder) {
    CCatalog catalog;
    EXPECT_TRUE(catalog.LoadCatalog(folder / std::string(kCatalogFile), {}));
    std::vector<int> slots;
    for (int slot = 1; slot < catalog.NodeItemCount(); ++slot) {
        if (catalog.Record(slot).level == kLevelCategory) slots.push_back(slot);
    }
    return slots;
}

TEST(Library, TreeHasTheWholeLibraryAndEachFolderAboveItsCatalog) {
    Library library;
    CPanelLogic panel;
    ASSERT_TRUE(panel.Open(library.dir.path(), {}));
    const CCatalog& catalog = panel.Catalog();
    ASSERT_TRUE(catalog.IsLibrary());
    EXPECT_EQ(catalog.Record(1).Name(), CCatalog::kLibraryItemName);
    EXPECT_EQ(catalog.TreeParent(1), 0);
    ASSERT_EQ(catalog.FolderSlots().size(), 3u);
    for (std::size_t f = 0; f < 3; ++f) {
        SCOPED_TRACE(f);
        const int folderSlot = catalog.FolderSlots()[f];
        EXPECT_EQ(catalog.Record(folderSlot).Name(), library.titles[f]);
        EXPECT_EQ(catalog.TreeParent(folderSlot), 0);
        // Every record of the folder's own catalog, in its order, below the folder's item.
        CCatalog alone;
        ASSERT_TRUE(alone.LoadCatalog(library.folders[f] / std::string(kCatalogFile), {}));
        const std::uint32_t base = panel.Data()->MemberBase(f);
        for (int local = 1; local < alone.NodeItemCount(); ++local) {
            const int slot = catalog.LibrarySlot(f, local);
            ASSERT_NE(slot, 0);
            EXPECT_EQ(catalog.LocalSlot(slot), local);
            EXPECT_EQ(catalog.FolderOf(slot), static_cast<int>(f));
            EXPECT_EQ(catalog.Record(slot).Name(), alone.Record(local).Name());
            EXPECT_EQ(catalog.Record(slot).docID, alone.Record(local).docID + static_cast<std::int32_t>(base));
            EXPECT_EQ(catalog.ScopePath(slot), library.titles[f] + u"\\" + alone.ScopePath(local));
            if (alone.TreeParent(local) == 0) {
                EXPECT_EQ(catalog.TreeParent(slot), folderSlot);
            }
        }
        EXPECT_EQ(catalog.LibrarySlot(f, alone.NodeItemCount()), 0);
    }
    EXPECT_EQ(panel.Index().GetHeaderNumber(), panel.Data()->Records());
}

TEST(Library, SearchesEqualTheFoldersSearchedAloneInLibraryOrder) {
    Library library;
    CPanelLogic panel;
    ASSERT_TRUE(panel.Open(library.dir.path(), {}));
    const CCatalog& catalog = panel.Catalog();
    std::vector<std::uint32_t> bases;
    for (std::size_t f = 0; f < 3; ++f) bases.push_back(panel.Data()->MemberBase(f));

    struct Case {
        const char* name;
        std::u16string query;
        int andOr;
    };
    const Case cases[] = {
        {"OneCharacter", u"人", 0},
        {"Variants", u"明月", 0},
        {"And", u"人 月", 0},
        {"Or", u"文 知", 1},
        {"Wildcard", u"明?", 0},
        {"Nothing", u"龍", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The whole library: every folder's categories in order.
        std::vector<std::string> expected;
        std::uint64_t total = 0;
        for (std::size_t f = 0; f < 3; ++f) {
            AppendAlone(library, f, bases[f], Categories(library.folders[f]), c.query, c.andOr, expected, total);
        }
        Searched(panel, 1, c.query, c.andOr);
        std::vector<std::string> got;
        for (const SearchNodeTag& e : panel.Search().Results()) got.push_back(EntryText(e, e.pageIndex));
        EXPECT_EQ(got, expected);
        EXPECT_EQ(panel.Search().Total(), total);
        EXPECT_EQ(panel.Search().LastCountLine(), CSearchCommand::CountLine(expected.size(), total));

        // One folder, and a node inside one (folder b's book 全唐詩, its slot 4).
        for (const auto& [f, localSlot] : {std::pair<std::size_t, int>{1, 0}, {1, 4}, {2, 0}, {0, 2}}) {
            SCOPED_TRACE(testing::Message() << "folder " << f << " slot " << localSlot);
            std::vector<std::string> alone;
            std::uint64_t aloneTotal = 0;
            const std::vector<int> slots = localSlot ? std::vector<int>{localSlot} : Categories(library.folders[f]);
            AppendAlone(library, f, bases[f], slots, c.query, c.andOr, alone, aloneTotal);
            Searched(panel, localSlot ? catalog.LibrarySlot(f, localSlot) : catalog.FolderSlots()[f], c.query,
                     c.andOr);
            got.clear();
            for (const SearchNodeTag& e : panel.Search().Results()) got.push_back(EntryText(e, e.pageIndex));
            EXPECT_EQ(got, alone);
            EXPECT_EQ(panel.Search().Total(), aloneTotal);
        }
    }
}

TEST(Library, ResultStepsHitsInContextAndExportCrossFolders) {
    Library library;
    CPanelLogic panel;
    ASSERT_TRUE(panel.Open(library.dir.path(), {}));
    Searched(panel, 1, u"人");
    const std::vector<SearchNodeTag> entries = panel.Search().Results();
    ASSERT_GT(entries.size(), 5u);
    ASSERT_NE(entries.front().folder, entries.back().folder);

    // Next result from the first entry to the last, each page with its hits marked.
    CReadingSession& session = panel.Session();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        const std::optional<std::size_t> target = session.ResultStepTarget(1);
        ASSERT_EQ(target, i);
        const ResultPage page = session.PrepareResultPage(entries[i].pageIndex);
        EXPECT_EQ(page.hitCount, static_cast<int>(entries[i].hits));
        session.CommitResultPage(page);
        EXPECT_EQ(session.CurrentEntry(), i);
    }
    EXPECT_FALSE(session.ResultStepTarget(1).has_value());

    // Hits in context on a worker's engine name each row's folder; exported, the
    // records are the folders' own, as each folder's export gives them.
    CSearchHits hits = panel.HitsOfSearch();
    ASSERT_TRUE(hits.Open());
    std::vector<KwicRow> rows;
    hits.AppendRows(0, entries.size(), kDefaultKwicContext, rows);
    std::string expectedKwic, expectedResults;
    std::size_t row = 0;
    for (std::size_t f = 0; f < 3; ++f) {
        CPanelLogic alone;
        ASSERT_TRUE(alone.Open(library.folders[f], {}));
        for (int slot : Categories(library.folders[f])) {
            Searched(alone, slot, u"人");
            CSearchHits aloneHits = alone.HitsOfSearch();
            ASSERT_TRUE(aloneHits.Open());
            std::vector<KwicRow> aloneRows;
            aloneHits.AppendRows(0, aloneHits.Entries().size(), kDefaultKwicContext, aloneRows);
            for (const KwicRow& r : aloneRows) {
                ASSERT_LT(row, rows.size());
                EXPECT_EQ(rows[row].folder, library.titles[f]);
                EXPECT_EQ(rows[row].hit + rows[row].left + rows[row].right, r.hit + r.left + r.right);
                ++row;
                expectedKwic += U8(library.titles[f]) + "\t" + ExportKwic({r}, ExportFormat::kTsv);
            }
            for (const SearchNodeTag& e : alone.Search().Results()) {
                const std::string line = ExportResults({e}, 0, ExportFormat::kTsv);
                expectedResults += U8(library.titles[f]) + "\t" + line.substr(0, line.find('\n') + 1);
            }
        }
    }
    EXPECT_EQ(row, rows.size());
    const std::vector<std::uint32_t> bases = hits.FolderBases();
    EXPECT_EQ(ExportKwic(rows, ExportFormat::kTsv, bases), expectedKwic);
    expectedResults += CSearchCommand::CountLine(entries.size(), panel.Search().Total()) + "\n";
    EXPECT_EQ(ExportResults(entries, panel.Search().Total(), ExportFormat::kTsv, bases), expectedResults);
    const std::string json = ExportResults(entries, panel.Search().Total(), ExportFormat::kJson, bases);
    EXPECT_NE(json.find("{\"folder\": \"詩歌\", \"category\": "), std::string::npos);
    const std::string csv = ExportKwic(rows, ExportFormat::kCsv, bases);
    EXPECT_EQ(csv.rfind(std::string(kUtf8ByteOrderMark) + "フォルダ,レコード,", 0), 0u);
}

TEST(Library, BookmarksNameTheirFolder) {
    Library library;
    CPanelLogic panel;
    ASSERT_TRUE(panel.Open(library.dir.path(), {}));
    const CCatalog& catalog = panel.Catalog();
    // 全唐詩・卷一 is in folders a (local slot 3) and b (local slot 5).
    const int inA = catalog.LibrarySlot(0, 3), inB = catalog.LibrarySlot(1, 5);
    ASSERT_EQ(catalog.Record(inA).Name(), u"卷一");
    ASSERT_EQ(catalog.Record(inB).Name(), u"卷一");
    const std::optional<Bookmark> mark = CBookmarks::Make(catalog, {inB, 1}, "2026-12-11 10:00", u"白");
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->folder, u"b");
    EXPECT_EQ(BookmarkTitle(*mark), u"b・全唐詩・卷一・第1頁");

    CBookmarks stored;
    stored.Add(*mark);
    const std::string text = stored.Serialize();
    EXPECT_EQ(text, std::to_string(inB) + "\t1\t2026-12-11 10:00\t全唐詩\t卷一\t白\tfolder=b\n");
    CBookmarks read;
    read.Load(text);
    ASSERT_EQ(read.Items().size(), 1u);
    EXPECT_EQ(read.Items()[0], *mark);

    // Found in its folder when the slots move, not in the first folder with the names.
    Bookmark moved = read.Items()[0];
    moved.place.volumeSlot = inA;
    EXPECT_EQ(LocateBookmark(catalog, moved), inB);
    moved.folder.clear();  // a bookmark of a single data folder: the first with its names
    EXPECT_EQ(LocateBookmark(catalog, moved), inA);

    // The folder alone finds it by its names, and keeps its folder.
    CPanelLogic alone;
    ASSERT_TRUE(alone.Open(library.folders[1], {}));
    CBookmarks single;
    single.Load(text);
    ASSERT_EQ(single.Items().size(), 1u);
    EXPECT_EQ(LocateBookmark(alone.Catalog(), single.Items()[0]), 5);
    EXPECT_EQ(single.Serialize(), text);
}

}  // namespace
}  // namespace vyn
