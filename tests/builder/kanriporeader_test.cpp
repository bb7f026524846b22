#include "builder/kanriporeader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builder/pagelayout.h"
#include "support/filetree.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::Files;
using test::NameText;
using test::TempDir;
using test::WriteTree;

// The catalog, one node per line, pages by their titles.
std::string DumpCatalog(const Corpus& corpus) {
    std::string out;
    for (const CorpusCategory& category : corpus.categories) {
        out += NameText(category.name) + "\n";
        for (const CorpusBook& book : category.books) {
            out += " " + NameText(book.name) + "\n";
            for (const CorpusVolume& volume : book.volumes) {
                out += "  " + NameText(volume.name) + ":";
                for (const CorpusPage& page : volume.pages) out += " [" + page.title + "]";
                out += "\n";
            }
        }
    }
    return out;
}

// A page's paragraphs: "|" between paragraphs, notes in braces, "/" and the
// indentation for a printed line end, a glyph as <NAME>.
std::string DumpPage(const CorpusPage& page) {
    std::string out;
    for (const Paragraph& paragraph : page.paragraphs) {
        if (!out.empty()) out += "|";
        for (const TextRun& run : paragraph.runs) {
            std::string text = run.form == TextRun::kLineEnd ? "/" + run.text
                               : run.form == TextRun::kGlyph  ? "<" + run.text + ">"
                                                              : run.text;
            out += run.kind == TextRun::kNote ? "{" + text + "}" : text;
        }
    }
    return out;
}

// The pages of a one-text, one-file source holding body after its header.
std::vector<std::string> PagesOf(const std::string& body, std::string* titles = nullptr) {
    TempDir src;
    WriteTree(src.path(), {{"KR1a0001/KR1a0001_001.txt", "#+TITLE: 周易\n#+PROPERTY: JUAN 1\n" + body}});
    Corpus corpus;
    CKanripoReader reader;
    EXPECT_TRUE(reader.Read(src.path(), corpus)) << reader.GetReason();
    std::vector<std::string> pages;
    if (corpus.categories.empty()) return pages;
    for (const CorpusPage& page : corpus.categories[0].books[0].volumes[0].pages) {
        pages.push_back(DumpPage(page));
        if (titles) *titles += "[" + page.title + "]";
    }
    return pages;
}

TEST(KanripoReaderTest, MarkupBecomesPagesParagraphsAndRuns) {
    struct Case {
        const char* name;
        std::string body;
        std::vector<std::string> pages;
    };
    const Case cases[] = {
        {"printed lines run on in one paragraph",
         "<pb:KR1a0001_WYG_001-1a>¶\n乾元亨利¶\n貞彖曰¶\n", {"乾元亨利/貞彖曰"}},
        {"the next line's indentation goes with the line end",
         "<pb:KR1a0001_WYG_001-1a>¶\n　子夏易傳¶\n　　周易¶\n", {"　子夏易傳/　　周易"}},
        {"a double-column note reads column a then b",
         "<pb:X_WYG_001-1a>¶\n䷀(乾下/乾上)¶\n乾元¶\n", {"䷀{乾下乾上}/乾元"}},
        {"a note with column b empty", "<pb:X_WYG_001-1a>(臣/)等謹案¶\n", {"{臣}等謹案"}},
        {"a one-column note", "<pb:X_WYG_001-1a>天(音也)地¶\n", {"天{音也}地"}},
        {"a note at a line end", "<pb:X_WYG_001-1a>大理寺(評/事)¶\n有素¶\n", {"大理寺{評事}/有素"}},
        {"a glyph without a code point", "<pb:X_WYG_001-1a>天&KR0694;地¶\n", {"天<KR0694>地"}},
        {"a glyph inside a note", "<pb:X_WYG_001-1a>天(&KR0694;/也)¶\n", {"天{<KR0694>}{也}"}},
        {"a page break inside a line splits the text",
         "<pb:X_CHANT_001-1a>¶\n不亦君子乎？」<pb:X_CHANT_001-2a>¶\n\n有子曰¶\n",
         {"不亦君子乎？」", "有子曰"}},
        {"a page break before the text on its line", "<pb:X_001-1a>甲<pb:X_001-1b>乙¶\n", {"甲", "乙"}},
        {"a page without text makes no page", "<pb:X_001-1a>¶\n¶\n<pb:X_001-1b>¶\n甲¶\n", {"甲"}},
        {"a blank line ends a paragraph", "<pb:X_001-1a>¶\n甲¶\n乙¶\n\n丙¶\n", {"甲/乙|丙"}},
        {"a line without ¶ runs on in its printed line", "<pb:X_001-1a>¶\n甲乙\n丙丁¶\n", {"甲乙丙丁"}},
        {"a headline is a paragraph of its own",
         "<pb:X_001-1a>¶\n** 1 《學而篇第一》\n1.1子曰：¶\n「學而¶\n", {"1 《學而篇第一》|1.1子曰：/「學而"}},
        {"comments and properties are no text",
         "<pb:X_001-1a>¶\n# src: LY 01.02\n甲¶\n#+PROPERTY: X\n乙¶\n", {"甲/乙"}},
        {"text before the first page break is a page", "序文¶\n<pb:X_001-1a>¶\n甲¶\n", {"序文", "甲"}},
        {"full-width brackets are text", "<pb:X_001-1a>（甲）／乙¶\n", {"（甲）／乙"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PagesOf(c.body), c.pages);
    }
}

TEST(KanripoReaderTest, PagesAreLabelledByFolio) {
    std::string titles;
    PagesOf("序¶\n<pb:KR1a0001_WYG_001-1a>¶\n甲¶\n<pb:KR1a0001_WYG_001-1b>乙¶\n<pb:KR1a0001_WYG_001-12a>丙¶\n",
            &titles);
    EXPECT_EQ(titles, "[周易 卷一 1][周易 卷一 1a][周易 卷一 1b][周易 卷一 12a]");
}

TEST(KanripoReaderTest, CatalogAndNamesFollowTheRepository) {
    TempDir src;
    const std::string header = "# -*- mode: mandoku-view; -*-\n#+TITLE: 子夏易傳\n#+PROPERTY: ID KR1a0002\n";
    WriteTree(src.path(),
              {{"KR-Catalog/README.org",
                "#+TITLE: Catalog\n* Kanseki Repository\n** KR1 經部\n*** [[file:KR/KR1a.txt][KR1a 易類]]\n"
                "*** [[file:KR/KR1h.txt][KR1h 四書類]]\n"},
               // Found one level down, and sorted by KR number whatever the folder.
               {"more/KR1a0002/KR1a0002_000.txt", header + "<pb:KR1a0002_WYG_000-1a>¶\n提要¶\n"},
               {"more/KR1a0002/KR1a0002_001.txt", header + "<pb:KR1a0002_WYG_001-1a>¶\n乾¶\n"},
               {"more/KR1a0002/KR1a0002_002.txt", header + "<pb:KR1a0002_WYG_002-1a>¶\n坤¶\n"},
               {"more/KR1a0002/KR1a0002_010.txt", header + "<pb:KR1a0002_WYG_010-1a>¶\n繫¶\n"},
               {"more/KR1a0002/KR1a0002_011.txt", header + "<pb:KR1a0002_WYG_011-1a>¶\n說¶\n"},
               {"more/KR1a0002/KR1a0002_111.txt", header + "<pb:KR1a0002_WYG_111-1a>¶\n雜¶\n"},
               {"more/KR1a0002/notes.txt", "not a volume"},
               {"more/KR1a0002/Readme.org",
                "#+TITLE: 子夏易傳 / WYG\n"
                " - [[file:KR1a0002_000.txt::000-1a][子夏易傳 提要]]\n"
                " - [[file:KR1a0002_001.txt::001-1a][子夏易傳 卷一]]\n"
                " - [[file:KR1a0002_002.txt::002-1a][子夏易傳 2]]\n"
                " - [[file:KR1a0002_010.txt::010-1a][子夏易傳]]\n"},
               {"KR1h0004/KR1h0004_001.txt", "#+TITLE: 論語\n<pb:KR1h0004_CHANT_001-1a>¶\n學而¶\n"},
               {"KR1h0004/Readme.org", "* 論語 目次\n[[file:KR1h0004_001.txt][〈學而〉第一]]\n"},
               {"KR2a0001/KR2a0001_001.txt", "#+TITLE: 史記\n<pb:KR2a0001_001-1a>¶\n五帝¶\n"},
               {"KR1h0001/KR1h0001_001.txt", "#+TITLE: 大學\n<pb:KR1h0001_001-1a>¶\n大學¶\n"},
               {".git/KR9z9999/KR9z9999_001.txt", "hidden"}});
    Corpus corpus;
    CKanripoReader reader;
    ASSERT_TRUE(reader.Read(src.path(), corpus)) << reader.GetReason();
    EXPECT_EQ(DumpCatalog(corpus),
              "經部 易類\n"
              " 子夏易傳\n"
              "  提要: [子夏易傳 提要 1a]\n"
              "  卷一: [子夏易傳 卷一 1a]\n"
              "  卷二: [子夏易傳 卷二 1a]\n"
              "  卷十: [子夏易傳 卷十 1a]\n"
              "  卷十一: [子夏易傳 卷十一 1a]\n"
              "  卷一百一十一: [子夏易傳 卷一百一十一 1a]\n"
              "經部 四書類\n"
              " 大學\n"
              "  卷一: [大學 卷一 1a]\n"
              " 論語\n"
              "  〈學而〉第一: [論語 〈學而〉第一 1a]\n"
              "KR2a\n"
              " 史記\n"
              "  卷一: [史記 卷一 1a]\n");
}

// A read keeps the books its scope keeps and reads only their folders; categories
// and books are numbered in KR order whatever is kept.
TEST(KanripoReaderTest, ScopeKeepsTheChosenBooksAndShowsEachVolume) {
    TempDir src;
    WriteTree(src.path(),
              {{"KR1a0001/KR1a0001_001.txt", "#+TITLE: 周易\n甲(\n"},
               {"KR1a0002/KR1a0002_001.txt", "#+TITLE: 易傳\n<pb:X_001-1a>乙<pb:X_001-1b>丙\n"},
               {"KR1a0002/KR1a0002_002.txt", "#+TITLE: 易傳\n<pb:X_002-1a>丁\n"},
               {"KR1b0001/KR1b0001_001.txt", "no title"},
               {"KR2a0001/KR2a0001_001.txt", "#+TITLE: 史記\n<pb:X_001-1a>戊\n"}});
    std::string seen;
    ReadScope scope;
    scope.keepBook = [](std::size_t category, std::size_t book) {
        return (category == 0 && book == 1) || (category == 2 && book == 0);
    };
    scope.onVolume = [&](std::size_t category, std::size_t book, CorpusVolume& volume) {
        seen += std::to_string(category) + "." + std::to_string(book) + " " +
                NameText(volume.name) + " " + std::to_string(volume.pages.size()) + "\n";
    };
    Corpus corpus;
    CKanripoReader reader;
    ASSERT_TRUE(reader.Read(src.path(), corpus, scope)) << reader.GetReason();
    EXPECT_EQ(DumpCatalog(corpus),
              "KR1a\n"
              " 易傳\n"
              "  卷一: [易傳 卷一 1a] [易傳 卷一 1b]\n"
              "  卷二: [易傳 卷二 1a]\n"
              "KR2a\n"
              " 史記\n"
              "  卷一: [史記 卷一 1a]\n");
    EXPECT_EQ(seen, "0.1 卷一 2\n0.1 卷二 1\n2.0 卷一 1\n");

    // A kept book's files are read and checked.
    scope.keepBook = [](std::size_t category, std::size_t) { return category == 1; };
    EXPECT_FALSE(reader.Read(src.path(), corpus, scope));
    EXPECT_EQ(reader.GetReason(), "KR1b0001/KR1b0001_001.txt: has no #+TITLE line");
}

TEST(KanripoReaderTest, ChineseNumeralsOfVolumeNumbers) {
    const std::pair<unsigned, const char*> cases[] = {
        {1, "一"}, {9, "九"}, {10, "十"}, {11, "十一"}, {20, "二十"}, {99, "九十九"},
        {100, "一百"}, {101, "一百零一"}, {110, "一百一十"}, {1005, "一千零五"}, {2030, "二千零三十"},
    };
    for (const auto& [n, text] : cases) EXPECT_EQ(ChineseNumeral(n), text) << n;
}

TEST(KanripoReaderTest, MalformedTextsNameTheFileAndLine) {
    struct Case {
        const char* name;
        Files files;
        std::string reason;
    };
    const std::string title = "#+TITLE: 周易\n";
    const std::string file = "KR1a0001/KR1a0001_001.txt";
    const Case cases[] = {
        {"a note left open", {{file, title + "<pb:X_001-1a>¶\n甲(乙/丙¶\n"}}, file + ":3: \"(\" without \")\" before \"¶\""},
        {"a note left open at the line end", {{file, title + "甲\n乙(丙\n"}}, file + ":3: \"(\" without \")\""},
        {"a closing parenthesis alone", {{file, title + "甲)乙\n"}}, file + ":2: \")\" without \"(\""},
        {"a nested note", {{file, title + "\n\n甲(乙(丙))\n"}}, file + ":4: \"(\" inside a note"},
        {"two slashes in a note", {{file, title + "甲(乙/丙/丁)\n"}}, file + ":2: a note with more than one \"/\""},
        {"stray markup", {{file, title + "甲<md:x>乙\n"}}, file + ":2: stray markup \"<md:x>\""},
        {"an unclosed tag", {{file, title + "甲<pb:X_001-1a\n"}}, file + ":2: \"<\" without \">\""},
        {"a stray >", {{file, title + "甲>乙\n"}}, file + ":2: stray \">\""},
        {"a page break without a folio", {{file, title + "<pb:KR1a0001>甲\n"}},
         file + ":2: page break \"<pb:KR1a0001>\" names no folio (\"…-1a\")"},
        {"a page break inside a note", {{file, title + "甲(乙<pb:X_001-1b>丙)\n"}},
         file + ":2: a page break inside a note"},
        {"an ampersand that names nothing", {{file, title + "甲&乙\n"}},
         file + ":2: \"&\" that names no glyph (write &NAME;)"},
        {"an entity without its semicolon", {{file, title + "甲&KR0694\n"}},
         file + ":2: \"&\" that names no glyph (write &NAME;)"},
        {"a control character", {{file, title + "甲\x01乙\n"}}, file + ":2: control character U+0001"},
        {"malformed UTF-8", {{file, title + "甲\n\xFF\n"}}, file + ":3: not valid UTF-8"},
        {"an empty title", {{file, "#+TITLE:  \n甲\n"}}, file + ":1: #+TITLE names nothing"},
        {"a file without a title", {{file, "#+PROPERTY: ID X\n甲\n"}}, file + ": has no #+TITLE line"},
        {"a file without text", {{file, title + "<pb:X_001-1a>¶\n# only a comment\n¶\n"}}, file + ": holds no text"},
        {"a text folder without text files", {{"KR1a0001/Readme.org", "* 目次\n"}},
         "KR1a0001: holds no text file (KR1a0001_001.txt …)"},
        {"no text folder", {{"texts/readme.txt", "x"}}, ": holds no text folder (named by a KR number, as KR1a0002)"},
        {"the same text twice", {{file, title + "甲\n"}, {"copy/KR1a0001/KR1a0001_001.txt", title + "甲\n"}},
         "copy/KR1a0001: a second folder of KR1a0001 (the first is KR1a0001)"},
        {"a malformed readme", {{file, title + "甲\n"}, {"KR1a0001/Readme.org", "ok\n\xC3\n"}},
         "KR1a0001/Readme.org:2: not valid UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir src;
        WriteTree(src.path(), c.files);
        Corpus corpus;
        corpus.categories.push_back({std::string("untouched"), {}});
        CKanripoReader reader;
        EXPECT_FALSE(reader.Read(src.path(), corpus));
        EXPECT_TRUE(reader.GetReason().ends_with(c.reason)) << reader.GetReason();
        ASSERT_EQ(corpus.categories.size(), 1u);
        EXPECT_EQ(NameText(corpus.categories[0].name), "untouched");
    }
}

TEST(KanripoReaderTest, LimitsNameHowFarTheTextsGoPast) {
    Corpus corpus;
    corpus.categories.resize(1);
    corpus.categories[0].books.resize(1);
    CorpusBook& book = corpus.categories[0].books[0];
    book.volumes.resize(9997);
    std::string reason;
    EXPECT_TRUE(CheckCorpusLimits(corpus, reason)) << reason;  // 9,999 entries
    book.volumes.resize(10'000);
    EXPECT_FALSE(CheckCorpusLimits(corpus, reason));
    EXPECT_EQ(reason, "the catalog would need 10,002 entries, 3 more than the 9,999 it can hold");

    book.volumes.resize(2);
    book.volumes[0].pages.resize(4'194'304);
    EXPECT_TRUE(CheckCorpusLimits(corpus, reason)) << reason;
    book.volumes[1].pages.resize(5);
    EXPECT_FALSE(CheckCorpusLimits(corpus, reason));
    EXPECT_EQ(reason, "the texts make 4,194,309 pages, 5 more than the 4,194,304 the index can number");
}

// The layout of what the reader gives: positions run on over a printed line end,
// which shows as LF with its indentation; a glyph shows as 〓 with its name.
TEST(KanripoReaderTest, LaidOutLineEndsTakeNoPositionAndGlyphsShowTheirName) {
    TempDir src;
    WriteTree(src.path(), {{"KR1a0001/KR1a0001_001.txt",
                            "#+TITLE: 周易\n<pb:X_001-1a>¶\n天雲行雨¶\n　施(乾下/乾上)&KR0694;¶\n"}});
    Corpus corpus;
    CKanripoReader reader;
    ASSERT_TRUE(reader.Read(src.path(), corpus)) << reader.GetReason();
    LaidOutPage laid;
    std::string error;
    ASSERT_TRUE(LayOutPage(corpus.categories[0].books[0].volumes[0].pages[0], 1, laid, error)) << error;
    EXPECT_NE(laid.html.find("<p>天雲行雨\n　施<font size=-1 color=\"#993366\">乾下乾上</font>"
                             "<span title=\"KR0694\">〓</span></p>"),
              std::string::npos)
        << laid.html;
    EXPECT_NE(laid.html.find("white-space:pre-line;"), std::string::npos);
    std::vector<std::uint32_t> positions;
    for (const Occurrence& o : laid.occurrences) positions.push_back(o.position);
    const std::vector<std::uint32_t> expected = {0, 1, 2, 3, 4, 1004, 1005, 1006, 1007, 2007};
    EXPECT_EQ(positions, expected);
    EXPECT_EQ(laid.occurrences.back().codePoint, U'〓');
}

}  // namespace
}  // namespace vyn
