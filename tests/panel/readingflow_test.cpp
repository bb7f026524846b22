// Slider marks, query history, bookmarks and citations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoding/utf.h"
#include "panel/bookmarks.h"
#include "panel/citation.h"
#include "panel/fixture.h"
#include "panel/history.h"
#include "panel/hitmarks.h"
#include "panel/searchcommand.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using test::U16;
using test::U8;

// Two books with a volume "卷一" each; volume numbers written two ways.
//
//   slot  record           store records   pages
//    1    唐詩             1..403
//    2      御定全唐詩     1..300
//    3        卷一         1..250          1..250
//    4        卷一十       251..300        1..50
//    5      全宋詩         301..403
//    6        卷一         301..360        5..64
//    7        卷三十       361..400        1..40
//    8        卷一百零一   401..403        1..3
class ReadingFlowTest : public testing::Test {
protected:
    void SetUp() override {
        std::string bytes = test::CatalogRecordBytes(u"唐詩", 1, 1, 403, 1) +
                            test::CatalogRecordBytes(u"御定全唐詩", 2, 1, 300, 1) +
                            test::CatalogRecordBytes(u"卷一", 3, 1, 250, 1) +
                            test::CatalogRecordBytes(u"卷一十", 3, 251, 50, 1) +
                            test::CatalogRecordBytes(u"全宋詩", 2, 301, 103, 5) +
                            test::CatalogRecordBytes(u"卷一", 3, 301, 60, 5) +
                            test::CatalogRecordBytes(u"卷三十", 3, 361, 40, 1) +
                            test::CatalogRecordBytes(u"卷一百零一", 3, 401, 3, 1);
        test::WriteFile(m_dir / "vyn.dir", bytes);
        ASSERT_TRUE(m_catalog.LoadCatalog(m_dir / "vyn.dir", {}));
    }

    test::TempDir m_dir;
    CCatalog m_catalog;
};

TEST_F(ReadingFlowTest, CitationNamesBookVolumeAndPage) {
    EXPECT_EQ(U8(CitationText(m_catalog, {3, 1})), "（御定全唐詩・卷一・第1頁）");
    EXPECT_EQ(U8(CitationText(m_catalog, {7, 12})), "（全宋詩・卷三十・第12頁）");
    EXPECT_EQ(CitationText(m_catalog, {2, 1}), u"") << "a book is no volume";
    EXPECT_EQ(CitationText(m_catalog, {0, 1}), u"");
    EXPECT_EQ(CitationText(m_catalog, {99, 1}), u"");

    // Store records back to their volumes.
    const struct {
        std::uint32_t record;
        int slot;
    } records[] = {{0, 3}, {249, 3}, {250, 4}, {299, 4}, {300, 6}, {402, 8}, {403, 0}};
    for (const auto& r : records) EXPECT_EQ(VolumeSlotOf(m_catalog, r.record), r.slot) << r.record;
}

TEST_F(ReadingFlowTest, GoToReadsWhatScholarsType) {
    const struct {
        const char* text;
        int current;  // the volume shown
        PagePlace place;
        const char* error;  // "" when found; "*" for any message
    } cases[] = {
        {"卷三十 12", 0, {7, 12}, ""},
        {"卷三十 第12頁", 0, {7, 12}, ""},
        {"卷三十第12頁", 0, {7, 12}, ""},
        {"全宋詩 卷三十 第12頁", 0, {7, 12}, ""},
        {"卷三十　第１２頁", 0, {7, 12}, ""},
        {"  卷三十 , 12頁 ", 0, {7, 12}, ""},
        {"（全宋詩・卷三十・第12頁）", 0, {7, 12}, ""},
        {"卷30 12", 0, {7, 12}, ""},
        {"卷十 2", 0, {4, 2}, ""},
        {"卷101 第3頁", 0, {8, 3}, ""},
        {"卷三十", 0, {7, 1}, ""},
        {"卷30", 0, {7, 1}, ""},
        {"12", 7, {7, 12}, ""},
        {"第7頁", 3, {3, 7}, ""},
        // Pages in numerals, read as volume numbers are.
        {"卷三十 第十二頁", 0, {7, 12}, ""},
        {"卷三十 十二頁", 0, {7, 12}, ""},
        {"卷三十 第十二", 0, {7, 12}, ""},
        {"卷三十・第一十頁", 0, {7, 10}, ""},
        {"卷三十 第四十一頁", 0, {}, "卷三十には第41頁がありません（第1頁～第40頁）。"},
        // The current book decides between volumes of one name.
        {"卷一 3", 4, {3, 3}, ""},
        {"卷一 5", 7, {6, 5}, ""},
        {"御定全唐詩 卷一 5", 7, {3, 5}, ""},
        {"卷一 3", 0, {}, "「卷一」という巻はいくつかの書にあります。書名も入れて下さい。"},
        {"卷一 3", 7, {}, "卷一には第3頁がありません（第5頁～第64頁）。"},
        {"卷三十 41", 0, {}, "卷三十には第41頁がありません（第1頁～第40頁）。"},
        {"卷三十 0", 0, {}, "*"},
        {"卷三十 第99999999999999頁", 0, {}, "卷三十には第…頁がありません（第1頁～第40頁）。"},
        {"御定全唐詩 卷三十 第12頁", 0, {}, "「御定全唐詩」に「卷三十」という巻はありません。"},
        {"卷三十一 2", 0, {}, "「卷三十一」という巻は見つかりませんでした。"},
        {"12", 0, {}, "どの巻の頁か分かりません。巻の名も入れて下さい（例：卷三十 第12頁）。"},
        {"", 3, {}, "移動先を入力して下さい（例：卷三十 第12頁）。"},
        {" ・ ", 3, {}, "*"},
    };
    for (const auto& c : cases) {
        const CitationTarget target = ResolveCitation(m_catalog, U16(c.text), c.current);
        if (std::string(c.error).empty()) {
            EXPECT_TRUE(target.Found()) << c.text << ": " << target.error;
            EXPECT_EQ(target.place, c.place) << c.text;
        } else {
            EXPECT_FALSE(target.Found()) << c.text;
            if (std::string(c.error) != "*") {
                EXPECT_EQ(target.error, c.error) << c.text;
            }
        }
    }
    // Every citation the reader writes leads back to its page.
    for (int slot : {3, 4, 6, 7, 8}) {
        const auto [first, last] = VolumePageRange(m_catalog, slot);
        for (int page : {first, last}) {
            const CitationTarget target = ResolveCitation(m_catalog, CitationText(m_catalog, {slot, page}), 0);
            EXPECT_EQ(target.place, (PagePlace{slot, page})) << slot << " " << page << " " << target.error;
        }
    }
}

// Any text reads safely: it leads to a page of a volume or says why not.
TEST_F(ReadingFlowTest, GoToSurvivesAnyText) {
    // Surrogate halves too, paired or not.
    std::u16string alphabet = u"卷一二三十百千零〇0123456789０１９第頁页 　・,，、/（）()御定全唐詩宋";
    alphabet += {char16_t(0xD840), char16_t(0xDC00)};
    test::ExpectGoToSurvives(m_catalog, alphabet, 12345, 24, 10);
}

TEST_F(ReadingFlowTest, HitMarksArePagesOfTheOpenVolume) {
    auto entry = [](std::uint32_t record, std::uint32_t hits) {
        SearchNodeTag e;
        e.pageIndex = record;
        e.hits = hits;
        return e;
    };
    // In list order (by page number across volumes), not store order.
    const std::vector<SearchNodeTag> entries = {entry(300, 2), entry(0, 1), entry(359, 4), entry(9, 3),
                                                entry(360, 1), entry(249, 7)};
    EXPECT_EQ(HitMarks(m_catalog, 3, entries), (std::vector<PageMark>{{1, 1}, {10, 3}, {250, 7}}));
    EXPECT_EQ(HitMarks(m_catalog, 6, entries), (std::vector<PageMark>{{5, 2}, {64, 4}}));
    EXPECT_EQ(HitMarks(m_catalog, 7, entries), (std::vector<PageMark>{{1, 1}}));
    EXPECT_TRUE(HitMarks(m_catalog, 4, entries).empty());
    EXPECT_TRUE(HitMarks(m_catalog, 2, entries).empty()) << "a book is no volume";
    EXPECT_TRUE(HitMarks(m_catalog, 0, entries).empty());
    EXPECT_TRUE(HitMarks(m_catalog, 3, {}).empty());
    EXPECT_EQ(U8(HitMarkToolTip({12, 3})), "第12頁（3箇所）");
}

TEST_F(ReadingFlowTest, BookmarksAddRemoveAndUndoOnce) {
    auto make = [&](int slot, int page, const char* note = "") {
        auto b = CBookmarks::Make(m_catalog, {slot, page}, "2026-12-11 09:00", U16(note));
        EXPECT_TRUE(b.has_value());
        return *b;
    };
    auto titles = [](const CBookmarks& marks) {
        std::string out;
        for (const Bookmark& b : marks.Items()) out += U8(BookmarkTitle(b)) + "|";
        return out;
    };
    EXPECT_FALSE(CBookmarks::Make(m_catalog, {2, 1}, "", u"").has_value());
    EXPECT_EQ(U8(make(7, 3, "韻\tを\n見る").note), "韻 を 見る");

    CBookmarks marks;
    marks.Add(make(3, 1));
    marks.Add(make(7, 12));
    marks.Add(make(6, 5));
    EXPECT_EQ(titles(marks), "全宋詩・卷一・第5頁|全宋詩・卷三十・第12頁|御定全唐詩・卷一・第1頁|");
    marks.Add(make(3, 1, "again"));
    EXPECT_EQ(titles(marks), "御定全唐詩・卷一・第1頁|全宋詩・卷一・第5頁|全宋詩・卷三十・第12頁|");
    EXPECT_EQ(U8(marks.Items()[0].note), "again");

    EXPECT_FALSE(marks.CanUndo());
    EXPECT_FALSE(marks.Remove(3));
    ASSERT_TRUE(marks.Remove(1));
    EXPECT_EQ(titles(marks), "御定全唐詩・卷一・第1頁|全宋詩・卷三十・第12頁|");
    ASSERT_TRUE(marks.CanUndo());
    ASSERT_TRUE(marks.Undo());
    EXPECT_EQ(titles(marks), "御定全唐詩・卷一・第1頁|全宋詩・卷一・第5頁|全宋詩・卷三十・第12頁|");
    EXPECT_FALSE(marks.Undo()) << "once";

    // Only the last removal comes back; one of the same page added since gives way.
    marks.Remove(0);
    marks.Remove(0);
    marks.Add(make(6, 5, "new"));
    ASSERT_TRUE(marks.Undo());
    EXPECT_EQ(titles(marks), "全宋詩・卷一・第5頁|全宋詩・卷三十・第12頁|");
    EXPECT_EQ(marks.Items()[0].note, u"");

    // The stored form reads back; damaged lines are skipped.
    CBookmarks loaded;
    loaded.Load(marks.Serialize() + "x\t1\td\tb\tv\tn\n\n7\t1\n3\t2\td\t\t\t\n");
    ASSERT_EQ(loaded.Items().size(), 2u);
    EXPECT_EQ(titles(loaded), titles(marks));
    EXPECT_EQ(loaded.Items()[1].place, (PagePlace{7, 12}));
    EXPECT_EQ(loaded.Items()[1].added, "2026-12-11 09:00");
    EXPECT_FALSE(loaded.CanUndo());

    // A bookmark follows its names when the catalog changed around it.
    Bookmark moved = make(7, 12);
    moved.place.volumeSlot = 3;
    EXPECT_EQ(LocateBookmark(m_catalog, moved), 7);
    moved.volume = u"卷四十";
    EXPECT_EQ(LocateBookmark(m_catalog, moved), 0);
}

TEST(QueryHistoryTest, RecentFirstMergedAndCapped) {
    CQueryHistory history;
    for (const char16_t* q : {u"明月", u"白雲", u" 明月　", u"", u"  ", u"黃河 遠上"}) history.Add(q);
    EXPECT_EQ(history.Queries(), (std::vector<std::u16string>{u"黃河 遠上", u"明月", u"白雲"}));
    EXPECT_EQ(history.Matching(u"明"), (std::vector<std::u16string>{u"明月"}));
    EXPECT_EQ(history.Matching(u"上"), (std::vector<std::u16string>{u"黃河 遠上"}));
    EXPECT_EQ(history.Matching(u""), history.Queries());
    EXPECT_TRUE(history.Matching(u"秋").empty());

    for (int i = 0; i < 60; ++i) history.Add(u"q" + std::u16string(1, static_cast<char16_t>(u'A' + i)));
    ASSERT_EQ(history.Queries().size(), CQueryHistory::kMaxQueries);
    EXPECT_EQ(history.Queries().front(), u"q" + std::u16string(1, static_cast<char16_t>(u'A' + 59)));
    EXPECT_EQ(history.Queries().back(), u"q" + std::u16string(1, static_cast<char16_t>(u'A' + 10)));

    // Read back from the profile: most recent first, duplicates merged.
    const std::vector<std::u16string> stored = {u"a", u"b", u"a", u"c"};
    history.Assign(stored);
    EXPECT_EQ(history.Queries(), (std::vector<std::u16string>{u"a", u"b", u"c"}));
}

}  // namespace
}  // namespace vyn
