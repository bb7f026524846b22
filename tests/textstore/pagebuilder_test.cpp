#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/storefixture.h"
#include "support/tempdir.h"
#include "textstore/filelist.h"
#include "textstore/storeformat.h"

namespace vyn {
namespace {

using test::TempDir;

const std::string A = "甲", B = "乙", C = "丙", X = "丁";
const std::string kOpen(kNoteOpen), kClose(kNoteClose);

std::string Str(const ByteString& b) { return std::string(AsView(b)); }
std::string Anchor(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "<a name=\"%04d\"></a>", n);
    return text;
}
std::string Hit(int n, const std::string& s) {
    return Anchor(n) + std::string(kHighlightOpen) + s + std::string(kHighlightClose);
}
std::string Rendered(const std::string& title, const std::string& cell1, const std::string& cell2) {
    return std::string(kT1) + title + std::string(kT2) + cell1 + std::string(kT3) + cell2 +
           std::string(kT4);
}

TEST(PageTemplate, PiecesAreExact) {
    EXPECT_EQ(Rendered("T", "1", "2"),
              "<html><head>\t\t<meta http-equiv=\"Content-Type\" content=\"text/html; "
              "charset=UTF-8\"><title>T</title></head><div align=\"center\"><center><BODY>\t\t"
              "<TABLE border=1 cellPadding=0 cellSpacing=1 class=wd_gray height=477 width=635 "
              "bordercolor=\"#FFCC66\">\t\t<tr>  <TD height=477 width=80 vAlign=top "
              "align=\"center\" background=\"../Back.gif\">1</TD>\t\t<TD height=477 width=450 "
              "vAlign=top align=\"center\">2</TD> \t\t</tr></table></div></div>\t\t</center>"
              "</BODY></html>");
}

TEST(ParsePage, ExtractsTitleAndTwoCells) {
    const struct {
        const char* name;
        std::string page;
        std::string title, cell1, cell2;
    } cases[] = {
        {"head and outside markup dropped", test::StoredPage("T<i>x</i>", "a<p>b", "c"),
         "T<i>x</i>", "a<p>b", "c"},
        {"without a title no cell opens", "<TD>a</TD><TD>b</TD>", "", "", ""},
        {"lower-case cells are not cells", "<title>T</title><td>a</td><td>b</td>", "T", "", ""},
        {"third cell ignored", "<title>T</title><TD>a</TD><TD>b</TD><TD>c</TD>", "T", "a", "b"},
        {"only one cell", "<title>T</title><TD x=1>a</TD>", "T", "a", ""},
        {"text between cells dropped", "<title>T</title><TD>a</TD>zz<TD>b</TD>", "T", "a", "b"},
        {"cell before the title closes is not a cell", "<title>T<TD>a</TD></title><TD>b</TD>",
         "Ta", "b", ""},
        {"unclosed tag at the end dropped", "<title>T</title><TD>a</TD><TD>b<font", "T", "a", "b"},
        {"empty page", "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HTMLNode> nodes;
        CFileList::ParsePage(ToBytes(c.page), nodes);
        ASSERT_EQ(nodes.size(), 3u);
        EXPECT_EQ(Str(nodes[0].text), c.title);
        EXPECT_EQ(Str(nodes[1].text), c.cell1);
        EXPECT_EQ(Str(nodes[2].text), c.cell2);
    }
}

TEST(SplitAnnotations, SeparatesMainTextAndAnnotations) {
    const struct {
        const char* name;
        std::string cell;
        std::vector<std::pair<int, std::string>> items;
    } cases[] = {
        {"main, note, main", X + kOpen + A + kClose + C, {{0, X}, {1, A}, {0, C}}},
        {"cell starting and ending with a note", kOpen + A + kClose, {{0, ""}, {1, A}, {0, ""}}},
        {"empty note", X + kOpen + kClose, {{0, X}, {1, ""}, {0, ""}}},
        {"close tag in main text stays", X + kClose + A, {{0, X + kClose + A}}},
        {"other font tag stays in main text",
         X + "<font size=-1 color='#993366'>" + A + kClose,
         {{0, X + "<font size=-1 color='#993366'>" + A + kClose}}},
        {"open tag inside a note starts another note", kOpen + A + kOpen + B + kClose,
         {{0, ""}, {1, A}, {1, B}, {0, ""}}},
        {"other tags kept", A + "<p>" + B + kOpen + "<b>" + C + "</b>" + kClose,
         {{0, A + "<p>" + B}, {1, "<b>" + C + "</b>"}, {0, ""}}},
        {"unclosed tag dropped", A + "<p", {{0, A}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FilterItem> items;
        SplitAnnotations(HTMLNode{ToBytes(c.cell)}, items);
        ASSERT_EQ(items.size(), c.items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].kind, c.items[i].first) << i;
            EXPECT_EQ(Str(items[i].text), c.items[i].second) << i;
        }
    }
}

class RenderHitPageTest : public testing::Test {
protected:
    // Record 0: even page, record 1: odd page, record 2: no page number.
    void SetUp() override {
        const std::string cell = X + A + kOpen + B + A + kClose + C + A;
        test::WriteStore(m_dir.path(),
                         {{"v\\12.htm", test::StoredPage(A + "title", cell, "label" + A)},
                          {"v\\13.htm", test::StoredPage(A + "title", "label" + A, cell)},
                          {"v\\plain", test::StoredPage("t", cell, A)}});
        ASSERT_TRUE(m_store.Open(m_dir.path(), "Index"));
    }

    TempDir m_dir;
    CFileList m_store;
};

TEST_F(RenderHitPageTest, MarksTheCellThatThePageNumberPicks) {
    const std::string marked = X + Hit(0, A) + kOpen + B + Hit(1, A) + kClose + C + Hit(2, A);
    const struct {
        const char* name;
        std::uint32_t record;
        std::string expected;
    } cases[] = {
        {"even page marks the first cell", 0, Rendered(A + "title", marked, "label" + A)},
        {"odd page marks the second cell", 1, Rendered(A + "title", "label" + A, marked)},
        {"name without a number counts as page 0", 2, Rendered("t", marked, A)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteString out;
        EXPECT_EQ(m_store.RenderHitPage(c.record, out, u"甲", SearchScope::kWhole), 3);
        EXPECT_EQ(Str(out), c.expected);
    }
}

TEST_F(RenderHitPageTest, ScopeSelectsTheSegments) {
    const struct {
        const char* name;
        SearchScope scope;
        std::u16string keywords;
        std::string cell;
        int anchors;
    } cases[] = {
        {"whole text marks notes too", SearchScope::kWhole, u"甲",
         X + Hit(0, A) + kOpen + B + Hit(1, A) + kClose + C + Hit(2, A), 3},
        {"main text leaves notes unmarked", SearchScope::kMain, u"甲",
         X + Hit(0, A) + kOpen + B + A + kClose + C + Hit(1, A), 2},
        {"annotations leave main text unmarked", SearchScope::kNotes, u"甲",
         X + A + kOpen + B + Hit(0, A) + kClose + C + A, 1},
        {"main text: a term only in notes marks nothing", SearchScope::kMain, u"乙",
         X + A + kOpen + B + A + kClose + C + A, 0},
        {"annotations: a term only in main text marks nothing", SearchScope::kNotes, u"丙",
         X + A + kOpen + B + A + kClose + C + A, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteString out;
        EXPECT_EQ(m_store.RenderHitPage(0, out, c.keywords, c.scope), c.anchors);
        EXPECT_EQ(Str(out), Rendered(A + "title", c.cell, "label" + A));
    }
}

TEST_F(RenderHitPageTest, TermsApplyInOrderOnceEach) {
    const std::string unmarked = X + A + kOpen + B + A + kClose + C + A;
    const struct {
        const char* name;
        std::u16string keywords;
        std::string cell;
        int anchors;
    } cases[] = {
        {"repeated term applies once", u"甲 甲",
         X + Hit(0, A) + kOpen + B + Hit(1, A) + kClose + C + Hit(2, A), 3},
        {"second term numbers on", u"甲 丙",
         X + Hit(0, A) + kOpen + B + Hit(1, A) + kClose + Hit(3, C) + Hit(2, A), 4},
        {"first term takes the lowest numbers", u"丙 甲",
         X + Hit(1, A) + kOpen + B + Hit(2, A) + kClose + Hit(0, C) + Hit(3, A), 4},
        {"A B A applies A then B", u"甲 丙 甲",
         X + Hit(0, A) + kOpen + B + Hit(1, A) + kClose + Hit(3, C) + Hit(2, A), 4},
        {"ideographic space separates", u"甲\u3000丙",
         X + Hit(0, A) + kOpen + B + Hit(1, A) + kClose + Hit(3, C) + Hit(2, A), 4},
        {"runs of spaces", u"  丙   ", X + A + kOpen + B + A + kClose + Hit(0, C) + A, 1},
        {"a NUL ends the keywords", std::u16string(u"丙\0甲", 3),
         X + A + kOpen + B + A + kClose + Hit(0, C) + A, 1},
        {"wildcards only mark nothing", u"*?", unmarked, 0},
        {"term absent", u"乙丙", unmarked, 0},
        {"star across a note boundary does not match", u"丁*乙", unmarked, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteString out;
        EXPECT_EQ(m_store.RenderHitPage(0, out, c.keywords, SearchScope::kWhole), c.anchors);
        EXPECT_EQ(Str(out), Rendered(A + "title", c.cell, "label" + A));
    }
}

TEST_F(RenderHitPageTest, EmptyKeywordsGiveNothing) {
    for (std::u16string keywords : {u"", u"   ", u"\u3000 \u3000"}) {
        ByteString out;
        EXPECT_EQ(m_store.RenderHitPage(0, out, keywords, SearchScope::kWhole), 0);
        EXPECT_TRUE(out.empty());
    }
}

TEST(RenderHitPage, UnmatchedPageComesBackAsStoredInTheTemplate) {
    TempDir dir;
    const std::string cell1 = X + "<p>" + kOpen + "<b>" + B + "</b>" + kClose + "<h4>" + C + "</h4>";
    const std::string cell2 = "<span class=n>" + A + "</span>";
    test::WriteStore(dir.path(), {{"v\\2.htm", test::StoredPage("title", cell1, cell2)}});
    CFileList store;
    ASSERT_TRUE(store.Open(dir.path(), "Index"));
    ByteString out;
    EXPECT_EQ(store.RenderHitPage(0, out, u"戊", SearchScope::kWhole), 0);
    EXPECT_EQ(Str(out), Rendered("title", cell1, cell2));
}

TEST(RenderHitPage, SurrogatePairsAndLoneSurrogatesInTerms) {
    TempDir dir;
    const std::string extB = "\xF0\xA0\x80\x80";  // U+20000
    test::WriteStore(dir.path(), {{"v\\2.htm", test::StoredPage("t", extB + A, "")}});
    CFileList store;
    ASSERT_TRUE(store.Open(dir.path(), "Index"));
    ByteString out;
    EXPECT_EQ(store.RenderHitPage(0, out, u"\xD840\xDC00", SearchScope::kWhole), 1);
    EXPECT_EQ(Str(out), Rendered("t", Hit(0, extB) + A, ""));
    out.clear();
    // A term ending in a lone high surrogate is converted without it.
    EXPECT_EQ(store.RenderHitPage(0, out, u"甲\xD800", SearchScope::kWhole), 1);
    EXPECT_EQ(Str(out), Rendered("t", extB + Hit(0, A), ""));
}

}  // namespace
}  // namespace vyn
