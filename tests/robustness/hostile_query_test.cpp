// Queries that could make a search or a hit page run away: 10,000 characters, only
// wildcards, and keywords whose variant expansion is a product too large to build.
// Each must finish with its contracted result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/fixture.h"
#include "index/index.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using Pages = std::vector<std::uint32_t>;

std::u16string Repeat(std::u16string_view unit, std::size_t count) {
    std::u16string out;
    for (std::size_t i = 0; i < count; ++i) out += unit;
    return out;
}

int Anchors(const ByteString& page) {
    int count = 0;
    for (std::size_t at = AsView(page).find("<a name="); at != std::string_view::npos;
         at = AsView(page).find("<a name=", at + 1)) {
        ++count;
    }
    return count;
}

class HostileQuery : public testing::Test {
protected:
    void SetUp() override {
        test::Corpus corpus;
        // Eight members per group: a keyword of n grouped characters expands to 8^n.
        corpus.groups = {{0x7532, 0x5000, 0x5001, 0x5002, 0x5003, 0x5004, 0x5005, 0x5006},
                         {0x4E59, 0x5010, 0x5011, 0x5012, 0x5013, 0x5014, 0x5015, 0x5016}};
        corpus.AddPage(0, u"甲乙甲乙");
        corpus.AddPage(1, u"丙" + Repeat(u"丁乙", 200) + u"丙");
        corpus.AddPage(2, u"丁丁");
        corpus.AddPage(3, Repeat(u"甲乙", 40));
        ASSERT_TRUE(corpus.Write(m_dir.path()));
        ASSERT_TRUE(m_index.Open(m_dir.path(), "Index", IndexScope::kWhole));
    }
    test::TempDir m_dir;
    CIndex m_index;
};

TEST_F(HostileQuery, LongQueriesFinishWithTheirResult) {
    struct Case {
        const char* name;
        std::u16string query;
        bool refused;     // the result list of the search before stays
        Pages allPages;   // otherwise: "and" and "or" pages
        Pages anyPages;
    };
    const Case cases[] = {
        {"OneWordOf10000", Repeat(u"甲", 10000), true, {}, {}},
        {"OneWordOf10000Stars", u"甲" + Repeat(u"*", 9998) + u"乙", false, {0, 3}, {0, 3}},
        {"OneWordOf10000QuestionMarks", u"甲" + Repeat(u"?", 9999), true, {}, {}},
        {"5000WordsOfOneCharacter", Repeat(u"乙 ", 5000), false, {0, 1, 3}, {0, 1, 3}},
        {"5000WordsOfTwo", Repeat(u"甲乙 丁乙 ", 2500), false, {}, {0, 3, 1}},
        // Only U+0020 splits words in a search: one word over the capacity.
        {"10000IdeographicSpaces", Repeat(u"　", 10000), true, {}, {}},
        {"WordsOverCapacityAmongShortOnes", u"甲 " + Repeat(u"乙", 9000) + u" 丁", true, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool all : {true, false}) {
            for (bool variants : {false, true}) {
                std::u16string before = u"丁";
                m_index.SearchAllWords(before, true, false);
                ASSERT_EQ(m_index.GetHitPages(), (Pages{1, 2}));
                std::u16string query = c.query;
                if (all) {
                    m_index.SearchAllWords(query, true, variants);
                } else {
                    m_index.SearchAnyWord(query, true, variants);
                }
                if (c.refused) {
                    EXPECT_EQ(query, c.query);
                    EXPECT_EQ(m_index.GetHitPages(), (Pages{1, 2}));
                } else {
                    EXPECT_EQ(m_index.GetHitPages(), all ? c.allPages : c.anyPages);
                }
            }
        }
        // The hit page of a long keyword is built in full, whatever it marks.
        for (bool variants : {false, true}) {
            ByteString page;
            const int anchors = m_index.RenderHitPage(0, page, c.query, SearchScope::kWhole, variants);
            EXPECT_EQ(anchors, Anchors(page));
            EXPECT_EQ(page.empty(), c.query.find_first_not_of(u"　") == std::u16string::npos);
        }
    }
}

TEST_F(HostileQuery, WildcardsAloneFindNothing) {
    const std::u16string queries[] = {u"*",         u"?",         u"？",           u"*?*",
                                      u"? * ？",    u"**** ????", Repeat(u"*", 10000),
                                      Repeat(u"? ", 5000), Repeat(u"？*", 140)};
    for (const std::u16string& wildcards : queries) {
        SCOPED_TRACE(testing::PrintToString(wildcards.size()));
        for (bool all : {true, false}) {
            std::u16string before = u"丁";
            m_index.SearchAllWords(before, true, false);
            std::u16string query = wildcards;
            const int total = all ? m_index.SearchAllWords(query, true, true)
                                  : m_index.SearchAnyWord(query, true, true);
            EXPECT_EQ(total, 0);
            // Refused over the capacity, or searched and found nothing.
            EXPECT_TRUE(m_index.GetHitPages().empty() || m_index.GetHitPages() == (Pages{1, 2}));
            EXPECT_NE(m_index.GetHitPages(), (Pages{0}));
        }
        ByteString page;
        const int anchors = m_index.RenderHitPage(3, page, wildcards, SearchScope::kWhole, true);
        EXPECT_EQ(anchors, Anchors(page));
    }
}

TEST_F(HostileQuery, ExplosiveVariantExpansionIsCapped) {
    // 8^80 spellings: the search uses the group slots, the hit page the first 256.
    const std::u16string keyword = Repeat(u"甲乙", 40);
    EXPECT_EQ(m_index.ExpandVariants(keyword).size(), CIndex::kMaxExpansion);
    EXPECT_EQ(m_index.ExpandVariants(Repeat(u"甲", 10000)).size(), CIndex::kMaxExpansion);

    std::u16string query = u"\u5000" + keyword.substr(1);
    m_index.SearchAllWords(query, true, true);
    EXPECT_EQ(m_index.GetHitPages(), (Pages{3}));
    query = u"\u5000" + keyword.substr(1);
    m_index.SearchAllWords(query, true, false);
    EXPECT_EQ(m_index.GetHitPages(), Pages{});

    ByteString page;
    const int anchors = m_index.RenderHitPage(3, page, keyword, SearchScope::kWhole, true);
    EXPECT_GE(anchors, 1);
    EXPECT_EQ(anchors, Anchors(page));
    // Many short grouped words: each expands on its own, still capped.
    ByteString many;
    EXPECT_GE(m_index.RenderHitPage(0, many, Repeat(u"甲乙 ", 3000), SearchScope::kWhole, true), 1);
}

}  // namespace
}  // namespace vyn
