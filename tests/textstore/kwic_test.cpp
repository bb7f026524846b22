#include "textstore/kwic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/storefixture.h"
#include "support/tempdir.h"
#include "textstore/filelist.h"
#include "textstore/storeformat.h"

namespace vyn {
namespace {

struct Row {
    std::u16string left, hit, right;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    auto utf8 = [](const std::u16string& s) {
        std::string bytes;
        for (char16_t c : s) bytes += c < 0x80 ? std::string(1, char(c)) : "\\u" + std::to_string(int(c));
        return bytes;
    };
    return out << "[" << utf8(row.left) << "|" << utf8(row.hit) << "|" << utf8(row.right) << "]";
}

std::size_t Characters(const std::u16string& text) {
    std::size_t count = 0;
    for (char16_t unit : text) count += (unit & 0xFC00) == 0xDC00 ? 0 : 1;
    return count;
}

// The hits of a one-page store whose marked cell is `cell`, rendered for keywords.
TEST(Kwic, HitsOfARenderedPageInContext) {
    const std::string note = "<font size=-1 color=\"#993366\">";
    struct Case {
        const char* name;
        std::string cell;
        std::u16string keywords;
        SearchScope scope;
        std::size_t context;
        std::vector<Row> rows;
    } const cases[] = {
        {"PlainWordAcrossAParagraphBreak", "<p>函谷壯皇居。</p><p>明月照高樓</p>", u"明月",
         SearchScope::kWhole, 3, {{u"居。／", u"明月", u"照高樓"}}},
        {"ContextCutAtN", "<p>函谷壯皇居。</p><p>明月照高樓</p>", u"明月", SearchScope::kWhole, 2,
         {{u"。／", u"明月", u"照高"}}},
        {"HitAtTheStartOfTheCell", "<p>明月照高樓</p>", u"明月", SearchScope::kWhole, 5,
         {{u"", u"明月", u"照高樓"}}},
        {"ShortCellGivesShortContext", "<p>明月</p>", u"明月", SearchScope::kWhole, 10, {{u"", u"明月", u""}}},
        {"TwoHitsOfOneWordInOrder", "<p>明月明月在</p>", u"明月", SearchScope::kWhole, 2,
         {{u"", u"明月", u"明月"}, {u"明月", u"明月", u"在"}}},
        {"TwoWordsInAnchorOrder", "<p>秦川明月</p>", u"明月 秦川", SearchScope::kWhole, 2,
         {{u"秦川", u"明月", u""}, {u"", u"秦川", u"明月"}}},
        {"AnnotationTextIsVisible", "<p>李世民" + note + "帝姓李</font>明月</p>", u"明月",
         SearchScope::kWhole, 4, {{u"民帝姓李", u"明月", u""}}},
        {"NotesScopeMarksOnlyNotes", "<p>明月" + note + "明月注</font></p>", u"明月", SearchScope::kNotes,
         2, {{u"明月", u"明月", u"注"}}},
        // The page marks the literal pieces of a wildcard word, each with its anchor.
        {"QuestionMark", "<p>照明月</p>", u"明?", SearchScope::kWhole, 1, {{u"照", u"明", u"月"}}},
        {"Star", "<p>明日月</p>", u"明*月", SearchScope::kWhole, 1,
         {{u"", u"明", u"日"}, {u"日", u"月", u""}}},
        {"NoTrailingParagraphMark", "<p>明月</p><p></p>", u"明月", SearchScope::kWhole, 3,
         {{u"", u"明月", u""}}},
        {"SurrogatePairIsOneCharacter", "<p>\xF0\xA0\x80\x81\xF0\xA0\x80\x82明月</p>", u"明月",
         SearchScope::kWhole, 1, {{u"\U00020002", u"明月", u""}}},
        {"ReferencesDecoded", "<p>A&amp;B&#x4E00;明月</p>", u"明月", SearchScope::kWhole, 3,
         {{u"&B一", u"明月", u""}}},
        {"NoMatch", "<p>明月</p>", u"秦川", SearchScope::kWhole, 3, {}},
        // Printed line ends read on, in the hit and around it.
        {"PhraseOverALineEnd", "<p>天雲行雨\n\u3000施品物</p>", u"雨施", SearchScope::kWhole, 3,
         {{u"天雲行", u"雨施", u"品物"}}},
        {"ContextOverLineEnds", "<p>乾下\n乾上\n\u3000\u3000乾元亨</p>", u"元", SearchScope::kWhole, 4,
         {{u"下乾上乾", u"元", u"亨"}}},
        {"NoteAtALineEnd", "<p>大理寺" + note + "評事</font>\n有素履</p>", u"有素", SearchScope::kMain, 4,
         {{u"理寺評事", u"有素", u"履"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        // Page 1: odd page numbers mark the second cell.
        test::WriteStore(dir.path(), {{"b\\1.htm", test::StoredPage("t", "第1頁", c.cell)}});
        CFileList store;
        ASSERT_TRUE(store.Open(dir.path(), "Index"));
        ByteString page;
        const int anchors = store.RenderHitPage(0, page, c.keywords, c.scope);
        const std::vector<KwicHit> hits = ExtractKwic(page, c.context);
        ASSERT_EQ(hits.size(), static_cast<std::size_t>(anchors));
        std::vector<Row> rows;
        const std::u16string visible = VisibleCellText(page);
        for (std::size_t i = 0; i < hits.size(); ++i) {
            EXPECT_EQ(hits[i].anchor, static_cast<int>(i));
            rows.push_back({hits[i].left, hits[i].hit, hits[i].right});
            EXPECT_LE(Characters(hits[i].left), c.context);
            EXPECT_LE(Characters(hits[i].right), c.context);
            EXPECT_NE(visible.find(hits[i].left + hits[i].hit + hits[i].right), std::u16string::npos);
        }
        EXPECT_EQ(rows, c.rows);
    }
}

TEST(Kwic, MalformedMarkupIsReadWithinThePage) {
    const std::string open(kHighlightOpen);
    struct Case {
        const char* name;
        std::string page;
        std::vector<Row> rows;
    } const cases[] = {
        {"UnclosedTag", "<TD>甲<a name=\"0000\"></a>" + open + "乙</b>丙<p", {{u"甲", u"乙", u"丙"}}},
        {"UnclosedHighlightEndsWithItsCell", "<TD>甲<a name=\"0000\"></a>" + open + "乙</TD><TD>丁",
         {{u"甲", u"乙", u""}}},
        {"AnchorWithoutHighlight", "<TD>甲<a name=\"0000\"></a>乙</TD>", {{u"甲", u"", u"乙"}}},
        {"BadReferenceAndByte", "<TD>&#xZZ;\xFF<a name=\"0000\"></a>" + open + "乙</b>&amp",
         {{u"&#xZZ;\uFFFD", u"乙", u"&amp"}}},
        {"AnchorOutsideACell", "<a name=\"0000\"></a>" + open + "乙</b>", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ByteString page(c.page.begin(), c.page.end());
        std::vector<Row> rows;
        for (const KwicHit& hit : ExtractKwic(page, 10)) rows.push_back({hit.left, hit.hit, hit.right});
        EXPECT_EQ(rows, c.rows);
    }
}

}  // namespace
}  // namespace vyn
