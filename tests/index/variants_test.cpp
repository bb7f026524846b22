#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/fixture.h"
#include "index/index.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using Groups = std::vector<std::vector<std::uint32_t>>;
using test::Corpus;

TEST(VariantTable, ParsesLinesAndFields) {
    struct Case {
        const char* name;
        std::string file;
        Groups groups;
    };
    const Case cases[] = {
        {"OneGroupPerLine",
         "4E00,4E01\n570B,56FD,56EF\n",
         {{0x4E00, 0x4E01}, {0x570B, 0x56FD, 0x56EF}}},
        {"DoubleCommaSkipped", "4E00,,4E01\n", {{0x4E00, 0x4E01}}},
        {"LeadingAndTrailingCommas", ",4E00,\n", {{0x4E00}}},
        {"EmptyLinesFormNoGroup", "\n\n4E00\n\n\n4E01", {{0x4E00}, {0x4E01}}},
        {"CrLfLinesAndCrOnlyLine", "4E00,4E01\r\n\r\n4E02\r\n", {{0x4E00, 0x4E01}, {0}, {0x4E02}}},
        {"CommasOnlyLineIsAnEmptyGroup", "4E00\n,,\n4E01\n", {{0x4E00}, {}, {0x4E01}}},
        {"HexPrefixCaseAndSpace", "0x4e00, 0X4E01,\t+4e02\n", {{0x4E00, 0x4E01, 0x4E02}}},
        {"MinusNegatesModulo32Bits", "-1,-0x10\n", {{0xFFFFFFFF, 0xFFFFFFF0}}},
        {"DigitsUpToOtherCharacter", "4E00zz,zz,0x,0xg\n", {{0x4E00, 0, 0, 0}}},
        {"OverflowSaturates", "123456789,FFFFFFFF\n", {{0xFFFFFFFF, 0xFFFFFFFF}}},
        {"SupplementaryMember", "20000,2A6DF\n", {{0x20000, 0x2A6DF}}},
        {"EmptyFile", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteFile(dir / "yitizi.txt", c.file);
        CIndex index;
        index.LoadVariants(dir.path());
        EXPECT_EQ(index.GetVariantGroups(), c.groups);
    }
}

TEST(VariantTable, MissingFileLeavesTableEmptyAndOpenSilent) {
    test::TempDir dir;
    Corpus corpus;
    corpus.AddPage(0, u"国");
    ASSERT_TRUE(corpus.Write(dir.path()));
    test::RecordingSink sink;
    CIndex index(&sink);
    test::WriteFile(dir / "yitizi.txt", "56FD,570B\n");
    index.LoadVariants(dir.path());
    ASSERT_FALSE(index.GetVariantGroups().empty());
    std::filesystem::remove(dir / "yitizi.txt");
    ASSERT_TRUE(index.Open(dir.path(), "Index", IndexScope::kWhole));  // reloads: now empty
    EXPECT_TRUE(index.GetVariantGroups().empty());
    EXPECT_TRUE(sink.messages.empty());
    std::u16string query = u"国";
    index.SearchAllWords(query, true, true);
    EXPECT_EQ(index.GetHitPages(), std::vector<std::uint32_t>{0});
}

TEST(VariantTable, GroupSlotsAndLookups) {
    test::TempDir dir;
    // Groups 0..11,935: only 0..11,934 own a slot. U+4E01 stands in groups 1 and 2.
    std::string file = "4E00,4E8C\n4E01,4E03\n4E09,4E01\n";
    for (int g = 3; g < 11934; ++g) file += "E000\n";
    file += "4E10\n4E11\n";  // groups 11,934 and 11,935
    test::WriteFile(dir / "yitizi.txt", file);
    CIndex index;
    index.LoadVariants(dir.path());
    ASSERT_EQ(index.GetVariantGroups().size(), 11936u);

    struct Case {
        const char* name;
        std::uint32_t codePoint;
        bool found;
        std::int32_t slot;
        std::vector<std::uint32_t> variants;
    };
    const Case cases[] = {
        {"FirstGroup", 0x4E8C, true, 88065, {0x4E00, 0x4E8C}},
        {"FirstOfTwoGroups", 0x4E01, true, 88066, {0x4E01, 0x4E03}},
        {"SecondGroupOnly", 0x4E09, true, 88067, {0x4E09, 0x4E01}},
        {"LastGroupWithSlot", 0x4E10, true, 99999, {0x4E10}},
        {"GroupBeyondSlots", 0x4E11, false, -7, {0x4E11}},
        {"InNoGroup", 0x4E2D, false, -7, {0x4E2D}},
        {"RepeatedMemberFirstGroup", 0xE000, true, 88068, {0xE000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::int32_t slot = -7;
        EXPECT_EQ(index.VariantSlot(c.codePoint, slot), c.found);
        EXPECT_EQ(slot, c.slot);
        EXPECT_EQ(index.VariantsOf(c.codePoint), c.variants);
    }
}

TEST(VariantTable, ExpandsKeywordsInOrder) {
    test::TempDir dir;
    test::WriteFile(dir / "yitizi.txt", "7532,4E59\n4E19,4E01,20001\n");  // 甲乙 / 丙丁𠀁
    CIndex index;
    index.LoadVariants(dir.path());

    struct Case {
        const char* name;
        std::u16string keywords;
        std::vector<std::u16string> expansion;
    };
    const Case cases[] = {
        {"TwoTimesThree",
         u"乙丙",
         {u"甲丙", u"甲丁", u"甲\U00020001", u"乙丙", u"乙丁", u"乙\U00020001"}},
        {"SeparatorKept", u"甲 中", {u"甲 中", u"乙 中"}},
        {"WildcardsKept", u"*丙?", {u"*丙?", u"*丁?", u"*\U00020001?"}},
        {"SurrogatePairLookedUp", u"\U00020001", {u"丙", u"丁", u"\U00020001"}},
        {"NoVariants", u"中", {u"中"}},
        {"Empty", u"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(index.ExpandVariants(c.keywords), c.expansion);
    }
}

TEST(VariantTable, ExpansionStopsAtTheCapInOrder) {
    test::TempDir dir;
    test::WriteFile(dir / "yitizi.txt", "7532,4E59\n");  // 甲乙
    CIndex index;
    index.LoadVariants(dir.path());
    // Nine characters of a two-member group: 512 combinations, the first 256 kept.
    const auto expansion = index.ExpandVariants(u"甲甲甲甲甲甲甲甲甲");
    ASSERT_EQ(expansion.size(), CIndex::kMaxExpansion);
    EXPECT_EQ(expansion.front(), u"甲甲甲甲甲甲甲甲甲");
    EXPECT_EQ(expansion[1], u"甲甲甲甲甲甲甲甲乙");
    EXPECT_EQ(expansion.back(), u"甲乙乙乙乙乙乙乙乙");
}

class VariantSearch : public testing::Test {
protected:
    void SetUp() override {
        Corpus corpus;
        corpus.groups = {{0x56FD, 0x570B, 0x56EF},  // 国 國 囯
                         {0x5B66, 0x5B78},          // 学 學
                         {0x5B78, 0x6588}};         // 學 斈: 學 searches group 1 only
        corpus.AddPage(0, u"国家");
        corpus.AddPage(1, u"國家");
        corpus.AddPage(2, u"囯家");
        corpus.AddPage(3, u"家");
        corpus.AddPage(4, u"学");
        corpus.AddPage(5, u"學");
        corpus.AddPage(6, u"斈");
        corpus.AddPage(7, u"国國囯");
        ASSERT_TRUE(corpus.Write(m_dir.path()));
        ASSERT_TRUE(m_index.Open(m_dir.path(), "Index", IndexScope::kWhole));
    }
    std::vector<std::uint32_t> Search(std::u16string query, bool variants) {
        m_index.SearchAllWords(query, true, variants);
        return m_index.GetHitPages();
    }
    test::TempDir m_dir;
    CIndex m_index;
};

TEST_F(VariantSearch, AnyMemberFindsTheWholeGroup) {
    struct Case {
        const char* name;
        std::u16string query;
        bool variants;
        std::vector<std::uint32_t> pages;
    };
    const Case cases[] = {
        {"FirstMember", u"国家", true, {0, 1, 2}},
        {"SecondMember", u"國家", true, {0, 1, 2}},
        {"ThirdMember", u"囯家", true, {0, 1, 2}},
        {"OffFindsOnlyTheForm", u"國家", false, {1}},
        {"MemberOfTwoGroupsUsesFirst", u"學", true, {4, 5}},
        {"LaterGroupMember", u"斈", true, {5, 6}},
        {"CharacterWithoutGroup", u"家", true, {0, 1, 2, 3}},
        {"AdjacentMembers", u"国囯", true, {7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Search(c.query, c.variants), c.pages);
    }
}

TEST_F(VariantSearch, HitPageMarksEveryForm) {
    ByteString plain, widened;
    EXPECT_EQ(m_index.RenderHitPage(7, plain, u"国", SearchScope::kWhole, false), 1);
    EXPECT_EQ(m_index.RenderHitPage(7, widened, u"国", SearchScope::kWhole, true), 3);
    const std::string page(AsView(widened));
    for (const char* form : {"国", "國", "囯"}) {
        EXPECT_NE(page.find(std::string("'>") + form + "</b>"), std::string::npos) << form;
    }
}

}  // namespace
}  // namespace vyn
