// Citations and go-to texts by folio, for pages labelled with their folio and side.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "encoding/utf.h"
#include "panel/citation.h"
#include "panel/fixture.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using test::U16;
using test::U8;

ByteString Page(std::string_view title) {
    const std::string page = "<html><head><title>" + std::string(title) + "</title></head><body></body></html>";
    return ByteString(page.begin(), page.end());
}

//   slot  record         store records   folios
//    1    經部 易類      1..8
//    2      子夏易傳     1..6
//    3        提要       1..2            1a 1b
//    4        卷一       3..6            1a 1b 2a 2b
//    5      周易         7..8
//    6        卷一       7..8            none: pages 1, 2
class CitationFolioTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string bytes = test::CatalogRecordBytes(u"經部 易類", 1, 1, 8, 1) +
                                  test::CatalogRecordBytes(u"子夏易傳", 2, 1, 6, 1) +
                                  test::CatalogRecordBytes(u"提要", 3, 1, 2, 1) +
                                  test::CatalogRecordBytes(u"卷一", 3, 3, 4, 1) +
                                  test::CatalogRecordBytes(u"周易", 2, 7, 2, 1) +
                                  test::CatalogRecordBytes(u"卷一", 3, 7, 2, 1);
        test::WriteFile(m_dir / "vyn.dir", bytes);
        ASSERT_TRUE(m_catalog.LoadCatalog(m_dir / "vyn.dir", {}));
        const char* titles[] = {"子夏易傳 提要 1a", "子夏易傳 提要 1b", "子夏易傳 卷一 1a", "子夏易傳 卷一 1b",
                                "子夏易傳 卷一 2a", "子夏易傳 卷一 2b", "周易 卷一 1",      "周易 卷一 第2頁"};
        for (std::uint32_t record = 0; record < std::size(titles); ++record) m_pages[record] = Page(titles[record]);
    }

    FolioOf Folios() const {
        return [this](std::uint32_t record) {
            const auto page = m_pages.find(record);
            return page == m_pages.end() ? std::u16string() : FolioOfPage(page->second);
        };
    }

    test::TempDir m_dir;
    CCatalog m_catalog;
    std::map<std::uint32_t, ByteString> m_pages;
};

TEST_F(CitationFolioTest, FolioOfAPageIsTheLastWordOfItsTitle) {
    const std::pair<const char*, const char*> cases[] = {
        {"子夏易傳 卷一 1b", "1b"}, {"子夏易傳 卷一 12a", "12a"}, {"周易 卷一 3", ""},
        {"御定全唐詩 卷一 第3頁", ""}, {"1b", ""}, {"子夏易傳 卷一 b", ""}, {"子夏易傳 卷一 1ab", ""},
        {"子夏易傳 卷一 1B", ""},
    };
    for (const auto& [title, folio] : cases) EXPECT_EQ(U8(FolioOfPage(Page(title))), folio) << title;
    EXPECT_EQ(FolioOfPage(ByteString{}), u"");
}

TEST_F(CitationFolioTest, CitationNamesTheFolioWhereThePageCarriesOne) {
    EXPECT_EQ(U8(CitationText(m_catalog, {4, 2}, Folios())), "（子夏易傳・卷一・1b）");
    EXPECT_EQ(U8(CitationText(m_catalog, {3, 1}, Folios())), "（子夏易傳・提要・1a）");
    EXPECT_EQ(U8(CitationText(m_catalog, {6, 2}, Folios())), "（周易・卷一・第2頁）") << "no folio";
    EXPECT_EQ(U8(CitationText(m_catalog, {4, 2})), "（子夏易傳・卷一・第2頁）") << "no folio reader";
    EXPECT_EQ(CitationText(m_catalog, {4, 9}, Folios()), u"（子夏易傳・卷一・第9頁）") << "not a page of the volume";
}

TEST_F(CitationFolioTest, GoToByFolio) {
    const struct {
        const char* text;
        int current;
        PagePlace place;
        const char* error;  // "" when found
    } cases[] = {
        {"子夏易傳 卷一 1b", 0, {4, 2}, ""},
        {"子夏易傳卷一 2b", 0, {4, 4}, ""},
        {"（子夏易傳・卷一・2a）", 0, {4, 3}, ""},
        {"子夏易傳 提要 1b", 0, {3, 2}, ""},
        {"卷一 2a", 3, {4, 3}, ""},
        {"卷一 2a", 4, {4, 3}, ""},
        {"2a", 4, {4, 3}, ""},
        {"１ｂ", 4, {4, 2}, ""},
        {"子夏易傳 卷一 3a", 0, {}, "卷一には3aの丁がありません。"},
        {"周易 卷一 1a", 0, {}, "卷一には1aの丁がありません。"},
        {"卷一 1a", 0, {}, "「卷一」という巻はいくつかの書にあります。書名も入れて下さい。"},
        {"2a", 0, {}, "どの巻の頁か分かりません。巻の名も入れて下さい（例：卷三十 第12頁）。"},
        // Page numbers work as before, in either kind of volume.
        {"子夏易傳 卷一 第3頁", 0, {4, 3}, ""},
        {"周易 卷一 2", 0, {6, 2}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const CitationTarget target = ResolveCitation(m_catalog, U16(c.text), c.current, Folios());
        EXPECT_EQ(target.error, c.error);
        if (target.Found()) {
            EXPECT_EQ(target.place, c.place);
        }
    }
}

}  // namespace
}  // namespace vyn
