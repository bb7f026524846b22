#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "panel/fixture.h"
#include "panel/panellogic.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using Outcome = CSearchCommand::Outcome;

// An entry as category/book/volume/pageNo/hits/pageIndex.
std::string Describe(const SearchNodeTag& e) {
    auto narrow = [](const std::u16string& text) { return std::string(text.begin(), text.end()); };
    return narrow(e.category) + "/" + narrow(e.book) + "/" + narrow(e.volume) + "/" +
           std::to_string(e.pageNo) + "/" + std::to_string(e.hits) + "/" + std::to_string(e.pageIndex);
}

std::vector<std::string> Describe(const std::vector<SearchNodeTag>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(Describe(e));
    return out;
}

class PanelSearchTest : public testing::Test {
protected:
    void SetUp() override {
        test::BuildPanelCorpus(m_dir.path());
        ASSERT_TRUE(m_panel.Open(m_dir.path(), m_dir / "vyn.txt"));
    }
    Outcome Search(std::u16string typed) {
        m_field = std::move(typed);
        return m_panel.OnSearch(u"", {&m_field, 1});
    }

    test::TempDir m_dir;
    test::CRecordingSink m_sink;
    CPanelLogic m_panel{&m_sink};
    std::optional<std::u16string> m_field;
};

TEST_F(PanelSearchTest, EntriesLieInTheScopeAndAreSortedByPageNumber) {
    const struct {
        const char* name;
        int scopeSlot;
        std::u16string query;
        int andOr;
        TextPart part;
        std::vector<std::string> entries;
        std::string countLine;
    } cases[] = {
        {"category: books and volumes found by page range", 1, u"甲", 0, TextPart::kWhole,
         {"A/A1/a1v1/1/1/0", "A/A2/a2v1/1/3/5", "A/A1/a1v1/3/2/2", "A/A1/a1v2/5/1/3"},
         "全部で 4 頁で、7 箇所でした。"},
        {"book", 2, u"甲", 0, TextPart::kWhole,
         {"A/A1/a1v1/1/1/0", "A/A1/a1v1/3/2/2", "A/A1/a1v2/5/1/3"}, "全部で 3 頁で、4 箇所でした。"},
        {"volume drops the pages outside it", 4, u"甲", 0, TextPart::kWhole, {"A/A1/a1v2/5/1/3"},
         "全部で 1 頁で、1 箇所でした。"},
        {"second category", 8, u"甲", 0, TextPart::kWhole, {"B/B1/b1v1/10/1/8", "B/B1/b1v1/11/1/9"},
         "全部で 2 頁で、2 箇所でした。"},
        {"or: the engine's order breaks page number ties", 1, u"乙 丙", 1, TextPart::kWhole,
         {"A/A1/a1v1/2/1/1", "A/A2/a2v1/2/1/6", "A/A1/a1v2/6/1/4"}, "全部で 3 頁で、3 箇所でした。"},
        {"and", 9, u"甲 乙", 0, TextPart::kWhole, {"B/B1/b1v1/11/2/9"}, "全部で 1 頁で、2 箇所でした。"},
        {"ideographic space separates words", 9, u"甲\u3000乙", 0, TextPart::kWhole,
         {"B/B1/b1v1/11/2/9"}, "全部で 1 頁で、2 箇所でした。"},
        {"main text", 6, u"甲", 0, TextPart::kMain, {"A/A2/a2v1/1/2/5"}, "全部で 1 頁で、2 箇所でした。"},
        {"annotations", 6, u"甲", 0, TextPart::kNotes, {"A/A2/a2v1/1/1/5"}, "全部で 1 頁で、1 箇所でした。"},
        {"no hits", 1, u"戊", 0, TextPart::kWhole, {}, "全部で 0 頁で、0 箇所でした。"},
        {"invalid query finds nothing, not the last results", 1, u"a", 0, TextPart::kWhole, {},
         "全部で 0 頁で、0 箇所でした。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_panel.Search().SelectTextPart(m_panel.Index(), m_dir.path(), c.part));
        m_panel.Search().SetAndOr(c.andOr);
        ASSERT_TRUE(m_panel.Session().Navigator().SetScopeItem(c.scopeSlot));
        // Something to replace: the previous search left other entries.
        EXPECT_EQ(Search(u"甲"), Outcome::kSearched);
        EXPECT_EQ(Search(c.query), Outcome::kSearched);
        EXPECT_EQ(Describe(m_panel.Search().Results()), c.entries);
        EXPECT_EQ(m_panel.Search().LastCountLine(), c.countLine);
        EXPECT_EQ(m_panel.List().ListPage(), c.entries.empty() ? 0 : 1);
        EXPECT_EQ(m_panel.List().ListPageCount(), c.entries.empty() ? 0 : 1);
    }
    // Only the query that searches nothing says so.
    EXPECT_EQ(m_sink.messages,
              std::vector<std::string>{std::string(CSearchCommand::kNothingSearchableMessage)});
}

// A query that finds nothing because one of its "and" words searches nothing says
// which word; "or" and a query that finds pages stay silent.
TEST_F(PanelSearchTest, AWordThatSearchesNothingIsNamed) {
    ASSERT_TRUE(m_panel.Session().Navigator().SetScopeItem(1));
    const auto named = [](const char* word) {
        std::string message(CSearchCommand::kWordSearchesNothingMessage);
        return message.replace(message.find("{word}"), 6, word);
    };
    const struct {
        std::u16string query;
        int andOr;
        std::vector<std::string> messages;
    } cases[] = {
        {u"？ 甲", 0, {named("？")}},
        {u"甲\u3000* ", 0, {named("*")}},
        {u"甲 ? 乙", 0, {named("?")}},
        {u"？ 甲", 1, {}},
        {u"甲 乙", 0, {}},
        {u"？ ?", 0, {std::string(CSearchCommand::kNothingSearchableMessage)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.query.begin(), c.query.end()) + " " + std::to_string(c.andOr));
        m_sink.messages.clear();
        m_panel.Search().SetAndOr(c.andOr);
        EXPECT_EQ(Search(c.query), Outcome::kSearched);
        EXPECT_EQ(m_sink.messages, c.messages);
    }
}

TEST(SearchesSomething, NeedsACharacterWithAnIndexSlot) {
    const struct {
        std::u16string query;
        bool searches;
    } cases[] = {
        {u"甲", true},      {u"a甲", false},   {u"甲 *", true},  {u"*甲?", true},
        {u"abc", false},    {u"12", false},    {u"*", false},    {u"? ？ *", false},
        {u"\u3000", false}, {u"", false},      {u"\U00020001", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.query.begin(), c.query.end()));
        EXPECT_EQ(CSearchCommand::SearchesSomething(c.query), c.searches);
    }
}

TEST_F(PanelSearchTest, KeywordIsReadAsThePanelReadsIt) {
    ASSERT_EQ(Search(u"甲 乙"), Outcome::kSearched);
    // The engine leaves ideographic spaces where spaces were typed.
    EXPECT_EQ(m_panel.Search().Keyword(), u"甲\u3000乙");
    const auto results = Describe(m_panel.Search().Results());
    const std::string countLine = m_panel.Search().LastCountLine();

    const struct {
        const char* name;
        std::u16string hiddenEdit;
        std::vector<std::optional<std::u16string>> fields;
        Outcome outcome;
        std::vector<std::string> messages;
    } cases[] = {
        {"empty field", u"丙", {u""}, Outcome::kNoKeyword, {"何かキーワードを入力して検索をして下さい。"}},
        {"absent value ends silently", u"丙", {std::nullopt}, Outcome::kCancelled, {}},
        {"absent value after a good one", u"", {u"丙", std::nullopt}, Outcome::kCancelled, {}},
        {"no keyword page: the hidden edit's text", u"", {}, Outcome::kNoKeyword,
         {"何かキーワードを入力して検索をして下さい。"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.messages.clear();
        m_panel.Session().Navigator().OnSearchStarted();
        EXPECT_EQ(m_panel.OnSearch(c.hiddenEdit, c.fields), c.outcome);
        EXPECT_EQ(m_sink.messages, c.messages);
        EXPECT_EQ(m_panel.Search().Keyword(), u"甲\u3000乙");
        EXPECT_EQ(Describe(m_panel.Search().Results()), results);
        EXPECT_EQ(m_panel.Search().LastCountLine(), countLine);
    }

    EXPECT_EQ(CSearchCommand::ReadKeyword(u"甲\u3000", {}), u"甲 ");
    const std::optional<std::u16string> fields[] = {u"乙", u"丙\u3000丁"};
    EXPECT_EQ(CSearchCommand::ReadKeyword(u"甲", fields), u"丙 丁");
}

TEST_F(PanelSearchTest, WithoutScopeTheMessageIsShownAndNothingChanges) {
    ASSERT_EQ(Search(u"甲"), Outcome::kSearched);
    CSearchCommand command(&m_sink);
    const std::optional<std::u16string> field = u"乙";
    EXPECT_EQ(command.OnSearch(m_panel.Index(), m_panel.Catalog(), 0, u"", {&field, 1}),
              Outcome::kNoScope);
    EXPECT_EQ(m_sink.messages, std::vector<std::string>{"検索範囲をまた指定していません。"});
    EXPECT_TRUE(command.Keyword().empty());
    EXPECT_TRUE(command.LastCountLine().empty());
}

TEST(BuildResultsTest, PlacesPagesThroughOverlappingOrMissingNodes) {
    test::TempDir dir;
    using test::CatalogRecordBytes;
    // X's range covers Y's; pages 7 and 10 lie in no volume.
    test::WriteFile(dir / "vyn.dir",
                    CatalogRecordBytes(u"C", 1, 1, 10, 1) + CatalogRecordBytes(u"X", 2, 1, 10, 1) +
                        CatalogRecordBytes(u"x1", 3, 1, 5, 1) + CatalogRecordBytes(u"Y", 2, 3, 4, 20) +
                        CatalogRecordBytes(u"y1", 3, 3, 4, 20) + CatalogRecordBytes(u"bad", 3, -5, 100, 1));
    CCatalog catalog;
    ASSERT_TRUE(catalog.LoadCatalog(dir / "vyn.dir", {}));
    const std::uint32_t pages[] = {6, 2, 0, 4000000000u, 9, 10};
    const std::uint32_t counts[] = {1, 2, 3, 4};  // the rest count 0
    const struct {
        int scopeSlot;
        std::vector<std::string> entries;
        std::uint64_t total;
    } cases[] = {
        {1, {"C/X//0/1/6", "C/X//0/0/9", "C/X/x1/1/3/0", "C/X/x1/3/2/2"}, 6},
        {4, {"C/Y/y1/20/2/2"}, 2},
        {5, {"C/Y/y1/20/2/2"}, 2},
        {6, {}, 0},  // a node holding no pages: its docID is below 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scopeSlot);
        CSearchCommand command;
        EXPECT_EQ(command.BuildResults(catalog.ScopeNode(c.scopeSlot), pages, counts), c.total);
        EXPECT_EQ(Describe(command.Results()), c.entries);
    }
    CSearchCommand command;
    EXPECT_EQ(command.BuildResults(nullptr, pages, counts), 0u);
    EXPECT_TRUE(command.Results().empty());
}

}  // namespace
}  // namespace vyn
