// Hit rows of wildcard searches on a small built corpus: one row per match, as many
// on each page as the search counts there, each row's hit being the matched text.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "builder/databuilder.h"
#include "builder/pagelayout.h"
#include "encoding/utf.h"
#include "index/index.h"
#include "panel/fixture.h"
#include "panel/kwicrows.h"
#include "panel/kwictable.h"
#include "panel/searchcommand.h"
#include "support/tempdir.h"
#include "textstore/catalog.h"
#include "textstore/kwic.h"

namespace vyn {
namespace {

using test::U8;

std::u32string U32(std::u16string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) out.push_back(NextCodePoint(text, i));
    return out;
}

TextRun Main(std::string text) { return {TextRun::kMain, std::move(text)}; }
TextRun Note(std::string text) { return {TextRun::kNote, std::move(text)}; }

// 詩 > 集 > 卷一, pages 1-4 (odd pages keep their text in the second cell); 明 and 朙
// are variants. Page 1: matches side by side and one inside another; page 2: a note
// that a "*" would have to cross, a match inside a note, a printed line end and a
// glyph; page 3: a variant; page 4: 月 opening and 明 closing a paragraph.
std::vector<CorpusPage> Pages() {
    TextRun lineEnd{TextRun::kMain, "\u3000", TextRun::kLineEnd};
    TextRun glyph{TextRun::kMain, "glyph", TextRun::kGlyph};
    return {
        {"一", {{{Main("清明日月旦明秋月")}}, {{Main("明明道在日月")}}}},
        {"二", {{{Main("春明照"), Note("注明夜月"), Main("山月")}},
                {{Main("明光"), lineEnd, Main("照月"), glyph, Main("明日月")}}}},
        {"三", {{{Main("朙星月")}}, {{Main("山明月")}}}},
        {"四", {{{Main("月出東山明")}}, {{Main("日月明")}}}},
    };
}

void BuildCorpus(const std::filesystem::path& folder) {
    Corpus corpus;
    corpus.categories.push_back({"詩", {{"集", {CorpusVolume{"卷一", 1, Pages()}}}}});
    corpus.variantGroups = {{0x660E, 0x6719}};
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(corpus, folder, stats)) << builder.GetReason();
}

// The page's text as an independent reading gives it: paragraph joins as one mark,
// tags and printed line ends dropped.
std::u32string PageText(const ByteString& page) {
    std::string text(page.begin(), page.end()), plain;
    for (std::size_t at; (at = text.find("</p><p>")) != std::string::npos;) text.replace(at, 7, "／");
    for (std::size_t at; (at = text.find("\n\u3000")) != std::string::npos;) text.erase(at, 4);
    bool inTag = false;
    for (char c : text) {
        if (c == '<') inTag = true;
        if (!inTag) plain += c;
        if (c == '>') inTag = false;
    }
    std::u16string out;
    EXPECT_TRUE(Utf8ToUtf16(plain, out));
    return U32(out);
}

bool SameCharacter(char32_t a, char32_t b, bool variants) {
    const std::set<char32_t> group = {U'明', U'朙'};
    return a == b || (variants && group.count(a) && group.count(b));
}

// Whether hit is a match of word ("?" one character, "*" any run). A "?" at either
// end may stay unmatched where the hit meets a paragraph's edge (edge*).
bool Matches(std::u32string_view word, std::u32string_view hit, bool variants, bool edgeBefore,
             bool edgeAfter) {
    if (word.empty()) return hit.empty();
    const char32_t w = word.front() == U'？' ? U'?' : word.front();
    if (w == U'*') {
        for (std::size_t n = 0; n <= hit.size(); ++n) {
            if (Matches(word.substr(1), hit.substr(n), variants, false, edgeAfter)) return true;
        }
        return false;
    }
    if (w == U'?') {
        if (!hit.empty() && Matches(word.substr(1), hit.substr(1), variants, false, edgeAfter)) return true;
        const bool allRest = word.find_first_not_of(U"?？") == std::u32string_view::npos;
        return edgeBefore ? Matches(word.substr(1), hit, variants, true, edgeAfter)
                          : allRest && edgeAfter && hit.empty();
    }
    return !hit.empty() && SameCharacter(w, hit.front(), variants) &&
           Matches(word.substr(1), hit.substr(1), variants, false, edgeAfter);
}

bool AtEdgeBefore(const std::u16string& left) { return left.empty() || left.back() == kKwicParagraphMark; }
bool AtEdgeAfter(const std::u16string& right) { return right.empty() || right.front() == kKwicParagraphMark; }

class KwicWildcardRows : public testing::Test {
protected:
    void SetUp() override { BuildCorpus(m_dir.path()); }

    // The rows of query searched in part, and the search's result entries.
    std::vector<KwicRow> Rows(const std::u16string& query, int andOr, TextPart part, bool variants,
                              std::vector<SearchNodeTag>& entries, CIndex& index, CSearchCommand& command) {
        EXPECT_TRUE(command.SelectTextPart(index, m_dir.path(), part));
        CCatalog catalog;
        EXPECT_TRUE(catalog.LoadCatalog(m_dir.path() / "vyn.dir", {}));
        command.SetAndOr(andOr);
        command.SetVariants(variants);
        const std::optional<std::u16string> field = query;
        EXPECT_EQ(command.OnSearch(index, catalog, 1, u"", {&field, 1}), CSearchCommand::Outcome::kSearched);
        entries = command.Results();
        return KwicRows(index, command, 3);
    }

    test::TempDir m_dir;
};

TEST_F(KwicWildcardRows, OneRowPerCountedMatchHoldingTheMatchedText) {
    const struct {
        const char* name;
        std::u16string query;
        int andOr;
        TextPart part;
        bool variants;
        std::size_t rows;  // the hits the count line reports
    } cases[] = {
        {"QuestionFirst", u"?月", 0, TextPart::kWhole, false, 11},
        {"QuestionInside", u"明?月", 0, TextPart::kWhole, false, 4},
        {"QuestionLast", u"明?", 0, TextPart::kWhole, false, 11},
        {"TwoQuestionsOverALineEnd", u"明??月", 0, TextPart::kWhole, false, 1},
        {"FullWidthQuestion", u"明？月", 0, TextPart::kWhole, false, 4},
        {"StarInsideParagraphsOnly", u"明*月", 0, TextPart::kWhole, false, 8},
        {"StarMainOnly", u"明*月", 0, TextPart::kMain, false, 7},
        {"StarNotesOnly", u"明*月", 0, TextPart::kNotes, false, 1},
        {"StarWithVariants", u"明*月", 0, TextPart::kWhole, true, 9},
        {"StarOverGlyphAndLineEnd", u"光*日", 0, TextPart::kWhole, false, 0},
        {"AndWithPlainWord", u"明?月 山", 0, TextPart::kWhole, false, 3},
        {"OrOfTwoWildcardWords", u"明?月 東*明", 1, TextPart::kWhole, false, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CIndex index;
        CSearchCommand command;
        std::vector<SearchNodeTag> entries;
        const std::vector<KwicRow> rows = Rows(c.query, c.andOr, c.part, c.variants, entries, index, command);
        std::size_t counted = 0;
        std::size_t next = 0;
        for (const SearchNodeTag& entry : entries) {
            SCOPED_TRACE(entry.pageIndex);
            counted += entry.hits;
            ByteString page;
            index.RenderHitPage(entry.pageIndex, page, command.Keyword(), command.ScopeKind(), command.Variants());
            const std::u32string text = PageText(page);
            std::set<int> anchors;
            for (const KwicCell& cell : ReadKwicCells(page)) {
                for (const KwicCell::Anchor& anchor : cell.anchors) anchors.insert(anchor.number);
            }
            std::size_t onPage = 0;
            for (; next < rows.size() && rows[next].record == entry.pageIndex; ++next, ++onPage) {
                const KwicRow& row = rows[next];
                SCOPED_TRACE(U8(row.left + u"|" + row.hit + u"|" + row.right));
                // The page marks no full-width "?" as a wildcard: such a page has no anchor.
                if (!anchors.empty()) {
                    EXPECT_EQ(anchors.count(row.anchor), 1u);
                }
                EXPECT_NE(text.find(U32(row.left + row.hit + row.right)), std::u32string::npos);
                bool matches = false;
                for (std::size_t at = 0, end; at <= c.query.size(); at = end + 1) {
                    end = std::min(c.query.find(u' ', at), c.query.size());
                    matches = matches || Matches(U32(std::u16string_view(c.query).substr(at, end - at)),
                                                 U32(row.hit), c.variants, AtEdgeBefore(row.left),
                                                 AtEdgeAfter(row.right));
                }
                EXPECT_TRUE(matches);
            }
            EXPECT_EQ(onPage, entry.hits);
        }
        EXPECT_EQ(next, rows.size());
        EXPECT_EQ(counted, command.Total());
        EXPECT_EQ(rows.size(), c.rows);
    }
}

TEST_F(KwicWildcardRows, FormsAreTheMatchedTextsMostFrequentFirst) {
    CIndex index;
    CSearchCommand command;
    std::vector<SearchNodeTag> entries;
    const std::vector<KwicRow> rows = Rows(u"明?月", 0, TextPart::kWhole, false, entries, index, command);
    const std::vector<HitFormCount> expected = {{u"明日月", 2}, {u"明秋月", 1}, {u"明夜月", 1}};
    EXPECT_EQ(HitForms(rows), expected);
}

// The rows of a match inside another start where their own first character stands,
// share no text with the row before and open the page where the engine's match lies.
TEST_F(KwicWildcardRows, AMatchInsideAnotherHasARowOfItsOwn) {
    CIndex index;
    CSearchCommand command;
    std::vector<SearchNodeTag> entries;
    std::vector<KwicRow> rows = Rows(u"明*月", 0, TextPart::kWhole, false, entries, index, command);
    std::vector<std::u16string> page1;
    for (const KwicRow& row : rows) {
        if (row.page == 1) page1.push_back(row.left + u"[" + row.hit + u"]" + row.right);
    }
    const std::vector<std::u16string> expected = {u"清[明日月]旦明秋", u"日月旦[明秋月]／明明",
                                                  u"秋月／[明明道在日月]", u"月／明[明道在日月]"};
    EXPECT_EQ(page1, expected);
}

// A rendered cell is numbered as the builder numbers the page's characters.
TEST_F(KwicWildcardRows, CellPositionsAreTheIndexPositions) {
    CIndex index;
    CSearchCommand command;
    ASSERT_TRUE(command.SelectTextPart(index, m_dir.path(), TextPart::kWhole));
    const std::vector<CorpusPage> pages = Pages();
    for (std::uint32_t record = 0; record < pages.size(); ++record) {
        SCOPED_TRACE(record);
        LaidOutPage laid;
        std::string error;
        ASSERT_TRUE(LayOutPage(pages[record], record + 1, laid, error));
        ByteString page;
        index.RenderHitPage(record, page, u"明", SearchScope::kWhole, false);
        const std::vector<KwicCell> cells = ReadKwicCells(page);
        ASSERT_EQ(cells.size(), 2u);
        const KwicCell& cell = cells[(record + 1) % 2];
        std::vector<std::pair<char32_t, std::uint32_t>> got, want;
        for (std::size_t i = 0; i < cell.text.size(); ++i) {
            if (cell.positions[i] != kNoPosition) got.emplace_back(cell.text[i], cell.positions[i]);
        }
        for (const Occurrence& o : laid.occurrences) want.emplace_back(o.codePoint, o.position);
        EXPECT_EQ(got, want);
    }
}

}  // namespace
}  // namespace vyn
