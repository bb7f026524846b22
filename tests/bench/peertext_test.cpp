// The page text handed to the peer tools: characters and positions as the index
// numbers them, the page line format, and a query restated for the peers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/peers/pagetext.h"
#include "bench/peers/peerquery.h"
#include "builder/databuilder.h"
#include "builder/pagelayout.h"
#include "encoding/utf.h"
#include "support/tempdir.h"

namespace vyn::peers {
namespace {

Paragraph Runs(std::vector<TextRun> runs) { return Paragraph{std::move(runs)}; }
TextRun Main(std::string text) { return {TextRun::kMain, std::move(text)}; }
TextRun Note(std::string text) { return {TextRun::kNote, std::move(text)}; }

// Pages of two volumes: the first starts at an odd page number (text in the second
// cell), the second at an even one (text in the first cell).
std::vector<CorpusVolume> Volumes() {
    CorpusVolume odd{"卷一", 1, {}};
    odd.pages.push_back({"runs and notes",
                         {Runs({Main("甲乙"), Note("丙丁"), Main("戊")}), Runs({Main("己 庚")}),
                          Runs({Main("")}), Runs({Note("辛")})}});
    odd.pages.push_back({"markup characters",
                         {Runs({Main("a<b>&c\x01"
                                     "d")})}});
    odd.pages.push_back({"supplementary", {Runs({Note("𠀀注"), Main("正𠀁")})}});
    CorpusVolume even{"卷二", 2, {}};
    even.pages.push_back({"note first", {Runs({Note("注"), Main("文")}), Runs({Main("。，")})}});
    even.pages.push_back({"one character", {Runs({Main("一")})}});
    return {odd, even};
}

struct Expected {
    const char* name;
    std::uint32_t record;
    std::string line;
    std::vector<std::uint32_t> positions;
};

class PageTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        Corpus corpus;
        corpus.categories.push_back({"類", {{"書", Volumes()}}});
        corpus.variantGroups = {{0x570B, 0x56FD}};
        CDataBuilder builder;
        BuildStats stats;
        ASSERT_TRUE(builder.Build(corpus, m_dir.path(), stats)) << builder.GetReason();
    }
    test::TempDir m_dir;
};

TEST_F(PageTextTest, PositionsFollowTheMarkupGaps) {
    const Expected cases[] = {
        {"gap at every note edge and paragraph; empty paragraph dropped",
         0,
         "甲乙\t丙丁\t戊\t己　庚\t辛",
         {0, 1, 1001, 1002, 2002, 3002, 3003, 3004, 4004}},
        {"markup signs full width, control dropped", 1, "a＜b＞＆cd", {0, 1, 2, 3, 4, 5, 6}},
        {"supplementary characters take one position", 2, "𠀀注\t正𠀁", {0, 1, 1001, 1002}},
        {"page opening with a note, in the first cell", 3, "注\t文\t。，", {0, 1000, 2000, 2001}},
        {"last page", 4, "一", {0}},
    };
    CPageText pages;
    ASSERT_TRUE(pages.Open(m_dir.path()));
    ASSERT_EQ(pages.PageCount(), 5u);
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PositionedChar> chars;
        ASSERT_TRUE(pages.Read(c.record, chars));
        EXPECT_EQ(PageLine(chars), c.line);
        std::vector<std::uint32_t> positions;
        for (const PositionedChar& pc : chars) positions.push_back(pc.position);
        EXPECT_EQ(positions, c.positions);
    }
}

TEST_F(PageTextTest, AgreesWithTheBuilderLayoutOnEveryPage) {
    CPageText pages;
    ASSERT_TRUE(pages.Open(m_dir.path()));
    std::uint32_t record = 0;
    for (const CorpusVolume& volume : Volumes()) {
        for (std::size_t i = 0; i < volume.pages.size(); ++i, ++record) {
            SCOPED_TRACE(volume.pages[i].title);
            LaidOutPage laidOut;
            std::string error;
            ASSERT_TRUE(LayOutPage(volume.pages[i], volume.firstPage + i, laidOut, error));
            std::vector<PositionedChar> expected;
            for (const Occurrence& o : laidOut.occurrences)
                expected.push_back({o.codePoint, o.position});
            std::vector<PositionedChar> chars;
            ASSERT_TRUE(pages.Read(record, chars));
            EXPECT_EQ(chars, expected);
            std::vector<PositionedChar> parsed;
            ASSERT_TRUE(ParsePageLine(PageLine(chars), parsed));
            EXPECT_EQ(parsed, expected);
        }
    }
    std::vector<PositionedChar> chars;
    EXPECT_FALSE(pages.Read(record, chars));
}

TEST(PageLineTest, MalformedLinesAreRejected) {
    const struct {
        const char* name;
        std::string line;
        bool ok;
    } cases[] = {
        {"empty page", "", true},
        {"two runs", "甲\t乙", true},
        {"leading separator", "\t甲", false},
        {"trailing separator", "甲\t", false},
        {"two separators in a row", "甲\t\t乙", false},
        {"truncated UTF-8", "甲\xE4\xB9", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PositionedChar> out = {{U'x', 7}};
        EXPECT_EQ(ParsePageLine(c.line, out), c.ok);
        if (!c.ok) {
            EXPECT_EQ(out.size(), 1u);
        }
    }
}

std::u32string U32(const char* utf8) {
    std::u32string out;
    DecodeUtf8(utf8, out);
    return out;
}

// Writes a word as parts with their gaps: units as characters, "?" for any, "[..]"
// for alternatives, and "{min,max}" between parts.
std::string Describe(const PeerWord& word) {
    std::string text;
    for (std::size_t k = 0; k < word.parts.size(); ++k) {
        if (k > 0) {
            text += '{';
            text += std::to_string(word.minGap[k - 1]);
            text += ',';
            text += std::to_string(word.maxGap[k - 1]);
            text += '}';
        }
        for (const Unit& unit : word.parts[k]) {
            if (unit.IsAny()) text += '?';
            if (unit.alternatives.size() > 1) text += '[';
            for (char32_t c : unit.alternatives) AppendUtf8(text, c);
            if (unit.alternatives.size() > 1) text += ']';
        }
    }
    return text;
}

TEST(PeerQueryTest, WordsAreRestatedAsTheEngineReadsThem) {
    CIndex index;
    test::TempDir dir;
    test::WriteFile(dir / "yitizi.txt", "570B,56FD\n");
    index.LoadVariants(dir.path());
    const struct {
        const char* name;
        const char* query;
        bool variants;
        std::vector<std::string> words;
    } cases[] = {
        {"inner wildcard placed", "甲?乙", false, {"甲?乙"}},
        {"full-width wildcard", "甲？？乙", false, {"甲??乙"}},
        {"outer wildcards impose nothing", "?甲?", false, {"甲"}},
        {"star", "甲*乙", false, {"甲{0,300}乙"}},
        {"leading and doubled stars", "*甲**乙*", false, {"甲{0,300}乙"}},
        {"wildcard before a star widens the gap", "甲?*乙", false, {"甲{1,301}乙"}},
        {"wildcard-only segment counts in the gap", "甲*?*乙", false, {"甲{1,301}乙"}},
        {"unindexed punctuation dropped, indexed kept", "甲。乙，丙", false, {"甲乙，丙"}},
        {"only wildcards has no parts", "?*?", false, {""}},
        {"variants widen each character", "國家", true, {"[國国]家"}},
        {"without variants", "國家", false, {"國家"}},
        {"words split at both spaces", "甲 乙　丙", false, {"甲", "乙", "丙"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PeerQuery query = MakePeerQuery(U32(c.query), false, c.variants, index);
        std::vector<std::string> words;
        for (const PeerWord& word : query.words) words.push_back(Describe(word));
        EXPECT_EQ(words, c.words);
    }
}

TEST(PeerQueryTest, ChainKeepsOrderAndGapBounds) {
    PeerWord word;
    word.parts = {{Unit{{U'甲'}}, Unit{{U'乙'}}}, {Unit{{U'丙'}}}};
    word.minGap = {1};
    word.maxGap = {301};
    const struct {
        const char* name;
        std::vector<std::uint32_t> first, second;
        bool chain;
    } cases[] = {
        {"smallest gap", {10}, {13}, true},
        {"adjacent is below the smallest gap", {10}, {12}, false},
        {"largest gap", {10}, {313}, true},
        {"one past the largest gap", {10}, {314}, false},
        {"wrong order", {20}, {5}, false},
        {"a later start of the first part reaches", {10, 100}, {350}, true},
        {"an earlier start of the first part reaches", {10, 400}, {200}, true},
        {"a part never found", {10}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HasChain(word, {c.first, c.second}), c.chain);
    }
}

}  // namespace
}  // namespace vyn::peers
