#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "index/fixture.h"
#include "index/index.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using namespace std::string_literals;
using test::Corpus;
using Pages = std::vector<std::uint32_t>;

std::u16string Repeat(std::u16string_view unit, std::size_t count) {
    std::u16string out;
    for (std::size_t i = 0; i < count; ++i) out += unit;
    return out;
}

class IndexSearch : public testing::Test {
protected:
    void Open(const Corpus& corpus) {
        ASSERT_TRUE(corpus.Write(m_dir.path()));
        ASSERT_TRUE(m_index.Open(m_dir.path(), "Index", IndexScope::kWhole));
    }
    Pages And(std::u16string query, bool count = false) {
        m_index.SearchAllWords(query, count, false);
        return m_index.GetHitPages();
    }
    Pages Or(std::u16string query, bool count = false) {
        m_index.SearchAnyWord(query, count, false);
        return m_index.GetHitPages();
    }
    std::map<std::uint32_t, std::uint32_t> CountsByPage() const {
        std::map<std::uint32_t, std::uint32_t> counts;
        EXPECT_EQ(m_index.GetHitCounts().size(), m_index.GetHitPages().size());
        for (std::size_t i = 0;
             i < m_index.GetHitPages().size() && i < m_index.GetHitCounts().size(); ++i) {
            counts[m_index.GetHitPages()[i]] = m_index.GetHitCounts()[i];
        }
        return counts;
    }

    test::TempDir m_dir;
    test::RecordingSink m_sink;
    CIndex m_index{&m_sink};
};

TEST_F(IndexSearch, WordPatterns) {
    Corpus corpus;
    corpus.AddPage(0, u"甲乙");
    corpus.AddPage(1, u"甲丙乙");
    corpus.AddPage(2, u"乙甲");
    corpus.AddPage(3, u"甲" + Repeat(u"。", 300) + u"乙");  // 300 positions between
    corpus.AddPage(4, u"甲" + Repeat(u"。", 301) + u"乙");
    corpus.AddPage(5, u"丙");
    corpus.AddPage(6, u"甲。乙");
    corpus.AddPage(7, u"\U00020001甲");  // CJK extension B
    corpus.AddPage(8, u"\u3042\u3041");
    // Three segments where the greedy walk misses a valid combination: after the
    // distance failure of 丑(110)..寅(500) both 子 and 丑 move on, 子 to 400, past
    // the 丑 at 350 that would have matched 子(100) and 寅(500).
    for (auto [position, cp] :
         {std::pair{100u, U'子'}, {400u, U'子'}, {110u, U'丑'}, {350u, U'丑'}, {500u, U'寅'}}) {
        corpus.Add(9, position, cp);
    }
    for (auto [position, cp] : {std::pair{100u, U'子'}, {350u, U'丑'}, {500u, U'寅'}}) {
        corpus.Add(10, position, cp);
    }
    Open(corpus);

    struct Case {
        const char* name;
        std::u16string word;
        Pages pages;
    };
    const Case cases[] = {
        {"Adjacent", u"甲乙", {0}},
        {"OneCharWildcard", u"甲?乙", {1, 6}},
        {"FullWidthWildcard", u"甲？乙", {1, 6}},
        {"TwoWildcardsNeedTwoBetween", u"甲??乙", {}},
        {"LeadingWildcardImposesNothing", u"?甲", {0, 1, 2, 3, 4, 6, 7}},
        {"TrailingWildcardImposesNothing", u"甲?", {0, 1, 2, 3, 4, 6, 7}},
        {"StarAllowsUpTo300Between", u"甲*乙", {0, 1, 3, 6}},
        {"StarRunIsOneStar", u"甲**乙", {0, 1, 3, 6}},
        {"StarInOrderOnly", u"乙*甲", {2}},
        {"LeadingStarIgnored", u"*甲", {0, 1, 2, 3, 4, 6, 7}},
        {"TrailingStarIgnored", u"甲*", {0, 1, 2, 3, 4, 6, 7}},
        {"CharacterNowhere", u"丁", {}},
        {"PunctuationDropped", u"甲。乙", {0}},
        {"IdeographicSpaceInsideWordDropped", u"甲\u3000乙", {0}},
        {"OnlyWildcards", u"??", {}},
        {"OnlyPunctuation", u"。、", {}},
        {"ExtensionBIsOneCharacter", u"\U00020001甲", {7}},
        {"ExtensionBAlone", u"\U00020001", {7}},
        {"UnindexedSupplementaryDropped", u"甲\U0002A700乙", {0}},
        {"UnindexedAfterUnindexedSupplementaryDropped", u"\U0002A700。甲乙", {0}},
        {"LoneSurrogateDropped", u"甲\xD800乙", {0}},
        {"SmallHiraganaNotIndexed", u"\u3041甲乙", {0}},
        {"HiraganaIndexed", u"\u3042", {8}},
        // The "?" between the stars still takes a query position: 乙 must stand at
        // least two after 甲, and up to 302.
        {"WildcardOnlySegmentCountsPositions", u"甲*?*乙", {1, 3, 4, 6}},
        {"GreedyWalkMissesSomeCombinations", u"子*丑*寅", {10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool count : {false, true}) {
            EXPECT_EQ(And(c.word, count), c.pages);
            EXPECT_EQ(m_index.GetHitTotal(), c.pages.size());
        }
    }
}

TEST_F(IndexSearch, CountsHitsByTheGreedyProcedure) {
    Corpus corpus;
    corpus.AddPage(0, u"甲乙。甲乙丙甲乙");
    corpus.AddPage(1, u"甲。甲。乙");  // two 甲 before one 乙
    corpus.AddPage(2, u"丙丙丙");      // overlapping occurrences
    corpus.AddPage(3, u"乙。甲" + Repeat(u"。", 302) + u"乙");
    corpus.AddPage(4, u"甲?乙甲乙");
    Open(corpus);

    struct Case {
        const char* name;
        std::u16string word;
        std::map<std::uint32_t, std::uint32_t> counts;
    };
    const Case cases[] = {
        {"ThreeAdjacentPairs", u"甲乙", {{0, 3}, {4, 1}}},
        {"TwoStartsOneEnd", u"甲*乙", {{0, 3}, {1, 2}, {4, 2}}},
        {"OverlappingOccurrences", u"丙丙", {{2, 2}}},
        {"SingleCharacter", u"甲", {{0, 3}, {1, 2}, {3, 1}, {4, 2}}},
        {"Wildcard", u"甲?乙", {{1, 1}, {4, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        And(c.word, true);
        EXPECT_EQ(CountsByPage(), c.counts);
    }
}

TEST_F(IndexSearch, CombinesWordsInOrder) {
    Corpus corpus;
    corpus.AddPage(0, u"甲");
    corpus.AddPage(1, u"乙");
    corpus.AddPage(2, u"甲乙");
    corpus.AddPage(3, u"乙乙");
    corpus.AddPage(4, u"甲甲");
    Open(corpus);

    struct Case {
        const char* name;
        bool all;
        std::u16string query;
        int returned;
        Pages pages;
        Pages counts;
    };
    const Case cases[] = {
        {"AndAscending", true, u"乙 甲", 3 + 1, {2}, {2}},
        {"OrFirstWordThenNewPages", false, u"甲 乙", 3 + 5, {0, 2, 4, 1, 3}, {1, 2, 2, 1, 2}},
        {"OrOtherOrder", false, u"乙 甲", 3 + 5, {1, 2, 3, 0, 4}, {1, 2, 2, 1, 2}},
        {"OrSameWordTwiceSumsCounts", false, u"甲 甲", 3 + 3, {0, 2, 4}, {2, 2, 4}},
        {"AndSameWordTwiceSumsCounts", true, u"甲  甲", 3 + 3, {0, 2, 4}, {2, 2, 4}},
        {"AndWordNowhereEmpties", true, u"甲 丁", 3 + 0, {}, {}},
        {"OrWordNowhereKeeps", false, u"甲 丁", 3 + 0, {0, 2, 4}, {1, 1, 2}},
        {"AndWildcardWordEmpties", true, u"甲 ??", 3, {}, {}},
        {"OrWildcardWordKeeps", false, u"甲 ??", 3, {0, 2, 4}, {1, 1, 2}},
        {"AndStarWordEmpties", true, u"甲 *", 3, {}, {}},
        {"OrPunctuationWordKeeps", false, u"。。 甲", 3, {0, 2, 4}, {1, 1, 2}},
        {"AndFirstWordEmptyStaysEmpty", true, u"。 甲", 0, {}, {}},
        {"AndThreeWords", true, u"甲 乙 乙", 3 + 1 + 1, {2}, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::u16string query = c.query;
        auto search = c.all ? &CIndex::SearchAllWords : &CIndex::SearchAnyWord;
        EXPECT_EQ((m_index.*search)(query, true, false), c.returned);
        EXPECT_EQ(m_index.GetHitPages(), c.pages);
        EXPECT_EQ(m_index.GetHitCounts(), c.counts);
        EXPECT_EQ(m_index.GetHitTotal(), c.pages.size());
        query = c.query;
        (m_index.*search)(query, false, false);
        EXPECT_EQ(m_index.GetHitPages(), c.pages);
        EXPECT_TRUE(m_index.GetHitCounts().empty());
    }
}

TEST(IndexQuery, CountWords) {
    struct Case {
        std::u16string query;
        int words;
    };
    const Case cases[] = {
        {u"", 0},         {u"甲", 1},     {u" 甲  乙 ", 2},  {u"甲\u3000乙", 2},
        {u"*", 1},        {u"?", 1},      {u"甲*乙 ?丙", 2}, {u"   ", 0},
        {u"甲a", 0},      {u"甲1", 0},    {u"甲\t乙", 0},    {u"\u00A0", 0},
        {u"甲\u00FF", 0}, {u"\u0100", 1}, {u"甲\0乙"s, 0},   {u"\u3000\u3000", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.query.size()));
        EXPECT_EQ(CIndex::CountWords(c.query), c.words);
    }
}

TEST_F(IndexSearch, RejectedQueriesKeepResultAndText) {
    Corpus corpus;
    corpus.AddPage(0, u"甲乙");
    corpus.AddPage(1, u"甲");
    Open(corpus);

    const std::u16string longest = Repeat(u"甲", 298);  // + final "*" + terminator = 300
    const std::u16string tooLong = Repeat(u"甲", 299);
    struct Case {
        const char* name;
        std::u16string query;
    };
    const Case cases[] = {
        {"AsciiLetter", u"乙 甲a"},
        {"AsciiDigit", u"乙 1"},
        {"Latin1", u"乙 \u00E9"},
        {"SpacesOnly", u"   "},
        {"Empty", u""},
        {"Tab", u"甲\t乙"},
        {"WordOverCapacity", u"乙 " + tooLong},
        {"WordOverCapacityWithStar", u"乙 *" + tooLong + u"*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool all : {true, false}) {
            EXPECT_EQ(And(u"甲", true), (Pages{0, 1}));
            std::u16string query = c.query;
            auto search = all ? &CIndex::SearchAllWords : &CIndex::SearchAnyWord;
            EXPECT_EQ((m_index.*search)(query, true, false), 0);
            EXPECT_EQ(query, c.query);
            EXPECT_EQ(m_index.GetHitPages(), (Pages{0, 1}));
            EXPECT_EQ(m_index.GetHitCounts(), (Pages{1, 1}));
            EXPECT_EQ(m_index.GetHitTotal(), 2u);
        }
    }

    // At the capacity, and with runs of "*" that collapse under it, words are searched.
    EXPECT_EQ(And(longest), Pages{});
    EXPECT_EQ(And(u"甲" + Repeat(u"*", 400) + u"乙"), (Pages{0}));
    EXPECT_EQ(And(Repeat(u"*", 400) + u"乙" + Repeat(u"?", 297)), (Pages{0}));
}

TEST_F(IndexSearch, SpacesOfTheQueryBecomeIdeographicSpaces) {
    Corpus corpus;
    corpus.AddPage(0, u"甲乙丙");
    Open(corpus);
    for (bool all : {true, false}) {
        std::u16string query = u" 甲 乙\u3000丙  ";
        auto search = all ? &CIndex::SearchAllWords : &CIndex::SearchAnyWord;
        EXPECT_GT((m_index.*search)(query, true, false), 0);
        EXPECT_EQ(query, u"\u3000甲\u3000乙\u3000丙\u3000\u3000");
        EXPECT_EQ(m_index.GetHitPages(), (Pages{0}));
    }
}

TEST_F(IndexSearch, SearchWordGuardsAndUnionAfterUncountedSearch) {
    Corpus corpus;
    corpus.AddPage(0, u"甲");
    corpus.AddPage(1, u"乙");
    Open(corpus);

    // Counting over an uncounted result: intersect and replace give up.
    EXPECT_EQ(Or(u"甲", false), (Pages{0}));
    EXPECT_EQ(m_index.SearchWord(u"甲", CIndex::CombineIntersect, true, false), 0u);
    EXPECT_TRUE(m_index.GetHitPages().empty());
    EXPECT_EQ(m_index.GetHitTotal(), 0u);

    // A union counts the earlier pages from 0.
    EXPECT_EQ(Or(u"甲", false), (Pages{0}));
    EXPECT_EQ(m_index.SearchWord(u"乙", CIndex::CombineUnion, true, false), 2u);
    EXPECT_EQ(m_index.GetHitPages(), (Pages{0, 1}));
    EXPECT_EQ(m_index.GetHitCounts(), (Pages{0, 1}));

    // An over-long word leaves the result as it is.
    EXPECT_EQ(m_index.SearchWord(Repeat(u"甲", 400), CIndex::CombineReplace, true, false), 0u);
    EXPECT_EQ(m_index.GetHitPages(), (Pages{0, 1}));
}

TEST(IndexClosed, SearchFindsNothing) {
    CIndex index;
    std::u16string query = u"甲 乙";
    EXPECT_EQ(index.SearchAllWords(query, true, false), 0);
    EXPECT_EQ(query, u"甲\u3000乙");
    EXPECT_TRUE(index.GetHitPages().empty());
    EXPECT_EQ(index.GetHitTotal(), 0u);
    query = u"甲";
    EXPECT_EQ(index.SearchAnyWord(query, true, true), 0);
}

// Second opinion: plain words against a scan of the corpus.
std::uint32_t Occurrences(const std::map<std::uint32_t, std::uint32_t>& page,
                          const std::vector<std::uint32_t>& word) {
    std::uint32_t count = 0;
    for (const auto& [position, codePoint] : page) {
        bool match = true;
        for (std::size_t i = 0; i < word.size() && match; ++i) {
            auto it = page.find(position + static_cast<std::uint32_t>(i));
            match = it != page.end() && it->second == word[i];
        }
        count += match ? 1 : 0;
    }
    return count;
}

struct Expected {
    Pages pages, counts;
};

Expected BruteForce(const Corpus& corpus, const std::vector<std::u16string>& words, bool all) {
    Expected expected;
    if (all) {
        for (const auto& [doc, page] : corpus.Docs()) {
            std::uint32_t sum = 0;
            bool every = true;
            for (const auto& word : words) {
                std::uint32_t n = Occurrences(page, test::CodePoints(word));
                every = every && n > 0;
                sum += n;
            }
            if (every) {
                expected.pages.push_back(doc);
                expected.counts.push_back(sum);
            }
        }
        return expected;
    }
    for (const auto& word : words) {
        for (const auto& [doc, page] : corpus.Docs()) {
            std::uint32_t n = Occurrences(page, test::CodePoints(word));
            if (n == 0) continue;
            auto it = std::find(expected.pages.begin(), expected.pages.end(), doc);
            if (it == expected.pages.end()) {
                expected.pages.push_back(doc);
                expected.counts.push_back(n);
            } else {
                expected.counts[static_cast<std::size_t>(it - expected.pages.begin())] += n;
            }
        }
    }
    return expected;
}

void CompareWithBruteForce(CIndex& index, const Corpus& corpus, std::mt19937& random,
                           const std::u16string& alphabet, int queries) {
    for (int q = 0; q < queries; ++q) {
        std::vector<std::u16string> words(1 + random() % 3);
        std::u16string query;
        for (auto& word : words) {
            std::size_t length = 1 + random() % 3;
            for (std::size_t i = 0; i < length; ++i) word += alphabet[random() % alphabet.size()];
            query += (query.empty() ? u"" : u" ") + word;
        }
        SCOPED_TRACE(testing::Message() << "query " << q);
        for (bool all : {true, false}) {
            const Expected expected = BruteForce(corpus, words, all);
            std::u16string text = query;
            auto search = all ? &CIndex::SearchAllWords : &CIndex::SearchAnyWord;
            (index.*search)(text, true, false);
            ASSERT_EQ(index.GetHitPages(), expected.pages) << (all ? "and" : "or");
            ASSERT_EQ(index.GetHitCounts(), expected.counts) << (all ? "and" : "or");
            text = query;
            (index.*search)(text, false, false);
            ASSERT_EQ(index.GetHitPages(), expected.pages) << (all ? "and" : "or");
        }
    }
}

TEST(IndexSecondOpinion, SmallPagesMatchAScan) {
    std::mt19937 random(12345);
    const std::u16string alphabet = u"甲乙丙丁。";
    Corpus corpus;
    for (std::uint32_t doc = 0; doc < 40; ++doc) {
        std::u16string text;
        std::size_t length = random() % 60;
        for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        corpus.AddPage(doc, text);
    }
    test::TempDir dir;
    ASSERT_TRUE(corpus.Write(dir.path()));
    CIndex index;
    ASSERT_TRUE(index.Open(dir.path(), "Index", IndexScope::kWhole));
    CompareWithBruteForce(index, corpus, random, u"甲乙丙丁", 150);
}

TEST(IndexSecondOpinion, ListsOverManyBlocksMatchAScan) {
    // Large document gaps and positions give 1- to 3-byte packed numbers, so entry
    // heads, counts and positions fall across block boundaries everywhere.
    std::mt19937 random(777);
    Corpus corpus;
    std::uint32_t doc = 0;
    for (int page = 0; page < 3000; ++page) {
        doc += 1 + (random() % 4 == 0 ? random() % 100000 : random() % 200);
        std::uint32_t position = random() % 50000;
        const int characters = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < characters; ++i) {
            position += random() % 3 == 0 ? 1 : 1 + random() % 40000;
            corpus.Add(doc, position, random() % 2 ? U'甲' : U'乙');
        }
    }
    test::TempDir dir;
    ASSERT_TRUE(corpus.Write(dir.path()));
    ASSERT_GT(std::filesystem::file_size(dir / "Index-idx.m"), 8u * kPostingBlockSize);
    CIndex index;
    ASSERT_TRUE(index.Open(dir.path(), "Index", IndexScope::kWhole));
    CompareWithBruteForce(index, corpus, random, u"甲乙", 40);
}

}  // namespace
}  // namespace vyn
