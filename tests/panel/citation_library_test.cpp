// Citations and go-to texts over a library: the data folder's title where a name
// alone would not tell the page.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "encoding/utf.h"
#include "panel/citation.h"
#include "panel/fixture.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using test::U16;
using test::U8;

//   slot  folder "詩" (records 0..5)   folder "文" (6..9)     folder "詩・補" (10..13)
//    1    ライブラリ全体
//    2    詩
//    3      詩
//    4        全唐詩
//    5          卷一    pages 1..3
//    6          卷二    page 1
//    7        李太白集
//    8          卷一    pages 1..2
//    9    文
//   10      文
//   11        序        page 1 (no book)
//   12        文選
//   13          卷一    pages 1..3
//   14    詩・補
//   15      詩
//   16        全唐詩
//   17          卷一    pages 1..2
//   18          卷二    page 7
//   19      補
//   20        補遺
//   21          序      page 1
class CitationLibraryTest : public testing::Test {
protected:
    void SetUp() override {
        using test::CatalogRecordBytes;
        const std::array<std::string, 3> catalogs = {
            CatalogRecordBytes(u"詩", 1, 1, 6, 1) + CatalogRecordBytes(u"全唐詩", 2, 1, 4, 1) +
                CatalogRecordBytes(u"卷一", 3, 1, 3, 1) + CatalogRecordBytes(u"卷二", 3, 4, 1, 1) +
                CatalogRecordBytes(u"李太白集", 2, 5, 2, 1) + CatalogRecordBytes(u"卷一", 3, 5, 2, 1),
            CatalogRecordBytes(u"文", 1, 1, 4, 1) + CatalogRecordBytes(u"序", 3, 1, 1, 1) +
                CatalogRecordBytes(u"文選", 2, 2, 3, 1) + CatalogRecordBytes(u"卷一", 3, 2, 3, 1),
            CatalogRecordBytes(u"詩", 1, 1, 3, 1) + CatalogRecordBytes(u"全唐詩", 2, 1, 3, 1) +
                CatalogRecordBytes(u"卷一", 3, 1, 2, 1) + CatalogRecordBytes(u"卷二", 3, 3, 1, 7) +
                CatalogRecordBytes(u"補", 1, 4, 1, 1) + CatalogRecordBytes(u"補遺", 2, 4, 1, 1) +
                CatalogRecordBytes(u"序", 3, 4, 1, 1),
        };
        const std::u16string titles[] = {u"詩", u"文", u"詩・補"};
        const std::uint32_t first[] = {0, 6, 10}, records[] = {6, 4, 4};
        std::vector<LibraryCatalogPart> parts;
        for (std::size_t f = 0; f < catalogs.size(); ++f) {
            const auto path = m_dir / ("vyn" + std::to_string(f) + ".dir");
            test::WriteFile(path, catalogs[f]);
            ASSERT_TRUE(m_files[f].Open(path.string()));
            parts.push_back({&m_files[f], titles[f], first[f], records[f]});
        }
        ASSERT_TRUE(m_catalog.LoadLibrary(parts, {}));
        ASSERT_EQ(m_catalog.NodeItemCount(), 22);
    }

    test::TempDir m_dir;
    std::array<CLockedFile, 3> m_files;
    CCatalog m_catalog;
};

TEST_F(CitationLibraryTest, CitationNamesTheFolderOnlyForANameOfSeveralFolders) {
    const struct {
        PagePlace place;
        const char* text;
    } cases[] = {
        {{5, 1}, "（詩・全唐詩・卷一・第1頁）"},
        {{6, 1}, "（詩・全唐詩・卷二・第1頁）"},
        {{17, 2}, "（詩・補・全唐詩・卷一・第2頁）"},
        {{18, 7}, "（詩・補・全唐詩・卷二・第7頁）"},
        {{8, 2}, "（李太白集・卷一・第2頁）"},
        {{13, 3}, "（文選・卷一・第3頁）"},
        // Without a book the volume's name counts: 序 is a volume of 補遺 too.
        {{11, 1}, "（文・序・第1頁）"},
        {{21, 1}, "（補遺・序・第1頁）"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(U8(CitationText(m_catalog, c.place)), c.text) << c.place.volumeSlot;
    }
    for (int item : {1, 2, 3, 4, 9}) EXPECT_EQ(CitationText(m_catalog, {item, 1}), u"") << item;
}

TEST_F(CitationLibraryTest, GoToTakesTheFolderTitleFirst) {
    const struct {
        const char* text;
        int current;  // the volume shown
        PagePlace place;
        const char* error;  // "" when found
    } cases[] = {
        // A book of two folders: the shown volume's folder, else the first.
        {"全唐詩 卷一 2", 0, {5, 2}, ""},
        {"全唐詩 卷一 2", 21, {17, 2}, ""},
        {"全唐詩 卷一 2", 8, {5, 2}, ""},
        {"全唐詩 卷一 2", 13, {5, 2}, ""},
        // The folder's title decides, the longest title that opens the text.
        {"詩 全唐詩 卷一 2", 21, {5, 2}, ""},
        {"詩・補・全唐詩・卷一・第2頁", 0, {17, 2}, ""},
        {"（詩・補・全唐詩・卷二・第7頁）", 0, {18, 7}, ""},
        {"詩 補 卷二", 0, {18, 7}, ""},
        {"文 卷一", 0, {13, 1}, ""},
        {"文 序", 0, {11, 1}, ""},
        // A volume of one book's name in two folders, as that book's.
        {"卷二", 0, {6, 1}, ""},
        {"卷二", 21, {18, 7}, ""},
        {"卷二 7", 0, {}, "卷二には第7頁がありません（第1頁～第1頁）。"},
        {"卷一 2", 18, {17, 2}, ""},
        // Names of different books stay ambiguous.
        {"卷一", 0, {}, "「卷一」という巻はいくつかの書にあります。書名も入れて下さい。"},
        {"序", 0, {}, "「序」という巻はいくつかの書にあります。書名も入れて下さい。"},
        {"補遺 序", 0, {21, 1}, ""},
        // Nothing in the folder named.
        {"詩 全唐詩 卷九", 0, {}, "「全唐詩」に「卷九」という巻はありません。"},
        {"文 全唐詩 卷一", 0, {}, "「文」に「全唐詩 卷一」という巻はありません。"},
        {"詩 補遺 序", 0, {}, "「詩」に「補遺 序」という巻はありません。"},
        {"卷九", 0, {}, "「卷九」という巻は見つかりませんでした。"},
        {"3", 13, {13, 3}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " from " + std::to_string(c.current));
        const CitationTarget target = ResolveCitation(m_catalog, U16(c.text), c.current);
        EXPECT_EQ(target.error, c.error);
        if (target.Found()) {
            EXPECT_EQ(target.place, c.place);
        }
    }
}

// Every citation leads back to its page, whatever volume is shown.
TEST_F(CitationLibraryTest, EveryCitationLeadsBackToItsPage) {
    const int volumes[] = {5, 6, 8, 11, 13, 17, 18, 21};
    for (int slot : volumes) {
        const auto [first, last] = VolumePageRange(m_catalog, slot);
        for (int page : {first, last}) {
            const std::u16string text = CitationText(m_catalog, {slot, page});
            for (int current : {0, 5, 11, 17, 21}) {
                const CitationTarget target = ResolveCitation(m_catalog, text, current);
                EXPECT_EQ(target.place, (PagePlace{slot, page})) << U8(text) << " from " << current << ": " << target.error;
            }
        }
    }
}

// Any text reads safely over a library too.
TEST_F(CitationLibraryTest, GoToSurvivesAnyText) {
    const std::u16string alphabet = u"詩文補遺序全唐李太白集選卷一二七第頁 ・（）123";
    test::ExpectGoToSurvives(m_catalog, alphabet, 54321, 16, 24);
}

}  // namespace
}  // namespace vyn
