#include <gtest/gtest.h>

#include <string>

#include "builder/databuilder.h"
#include "index/index.h"
#include "support/tempdir.h"
#include "support/toolrun.h"

namespace vyn {
namespace {

using test::RunTool;

TextRun Main(std::string text) { return {TextRun::kMain, std::move(text)}; }
TextRun Note(std::string text) { return {TextRun::kNote, std::move(text)}; }

// Records: 0 甲乙 / note 丙, 1 乙, 2 國甲 / note 甲, 3 丁 𠀀.
class VynToolSearchTest : public testing::Test {
protected:
    void SetUp() override {
        Corpus corpus;
        CorpusVolume volume{"卷一", 1, {}};
        volume.pages.push_back({"p1", {{{Main("甲乙"), Note("丙")}}}});
        volume.pages.push_back({"p2", {{{Main("乙")}}}});
        volume.pages.push_back({"p3", {{{Main("國甲"), Note("甲")}}}});
        volume.pages.push_back({"p4", {{{Main("丁\xF0\xA0\x80\x80")}}}});
        corpus.categories.push_back({"類", {{"書", {volume}}}});
        corpus.variantGroups = {{0x570B, 0x56FD}};
        CDataBuilder builder;
        BuildStats stats;
        ASSERT_TRUE(builder.Build(corpus, m_dir.path(), stats)) << builder.GetReason();
    }
    std::string Data() const { return m_dir.path().string(); }
    std::vector<std::string> Search(std::vector<std::string> args) {
        args.insert(args.begin(), {"search", "--data", Data()});
        return args;
    }

    test::TempDir m_dir;
};

TEST_F(VynToolSearchTest, PrintsPagesAndHitsInEngineOrder) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"and", {"乙", "甲"}, "0\t2\n"},
        {"or lists the first word's pages, then the new ones", {"--or", "乙", "甲"},
         "0\t2\n1\t1\n2\t2\n"},
        {"words in one argument", {"乙 甲"}, "0\t2\n"},
        {"counts", {"甲"}, "0\t1\n2\t2\n"},
        {"main text only", {"--part", "main", "甲"}, "0\t1\n2\t1\n"},
        {"annotations only", {"--part", "notes", "甲"}, "2\t1\n"},
        {"annotation text is not main text", {"--part", "main", "丙"}, ""},
        {"variants fold 国 into 國", {"国"}, "2\t1\n"},
        {"no variants", {"--no-variants", "国"}, ""},
        {"wildcard", {"國?"}, "2\t1\n"},
        {"supplementary character", {"\xF0\xA0\x80\x80"}, "3\t1\n"},
        {"after --", {"--", "乙"}, "0\t1\n1\t1\n"},
        {"no hits", {"戊"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = RunTool(Search(c.args));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST_F(VynToolSearchTest, RejectsBadQueriesAndUsage) {
    test::TempDir empty;
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {"ASCII letter", {"search", "--data", Data(), "甲a"}, 1},
        {"digit", {"search", "--data", Data(), "1"}, 1},
        {"empty query", {"search", "--data", Data()}, 1},
        {"spaces only", {"search", "--data", Data(), "  "}, 1},
        {"unknown part", {"search", "--data", Data(), "--part", "all", "甲"}, 2},
        {"missing data", {"search", "--data", empty.path().string(), "甲"}, 2},
        {"no --data", {"search", "甲"}, 2},
        {"invalid UTF-8", {"search", "--data", Data(), "\xE7\x94"}, 2},
        {"render beyond the store", {"render", "--data", Data(), "--record", "4", "甲"}, 2},
        {"render without a record", {"render", "--data", Data(), "甲"}, 2},
        {"render on missing data", {"render", "--data", empty.path().string(), "--record", "0"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("vyn-tool: "), std::string::npos);
    }
    auto r = RunTool({"search", "--data", empty.path().string(), "甲"});
    EXPECT_NE(r.err.find("データを開けませんでした。"), std::string::npos) << r.err;
}

TEST_F(VynToolSearchTest, RenderWritesTheEnginesPage) {
    const struct {
        const char* name;
        std::uint32_t record;
        std::vector<std::string> args;
        std::u16string keywords;
        SearchScope scope;
        bool variants;
    } cases[] = {
        {"whole text", 2, {"甲"}, u"甲", SearchScope::kWhole, true},
        {"annotations", 2, {"--part", "notes", "甲"}, u"甲", SearchScope::kNotes, true},
        {"main text", 2, {"--part", "main", "甲"}, u"甲", SearchScope::kMain, true},
        {"variants widen the terms", 2, {"国", "甲"}, u"国 甲", SearchScope::kWhole, true},
        {"without variants", 2, {"--no-variants", "国"}, u"国", SearchScope::kWhole, false},
        {"no keywords", 0, {}, u"", SearchScope::kWhole, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"render", "--data", Data(), "--record",
                                         std::to_string(c.record)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string expected;
        int anchors = 0;
        {
            CIndex index;
            ASSERT_TRUE(index.Open(m_dir.path(), "Index", IndexScopeFor(c.scope)));
            ByteString page;
            anchors = index.RenderHitPage(c.record, page, c.keywords, c.scope, c.variants);
            expected.assign(page.begin(), page.end());
        }
        auto r = RunTool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, expected);
        const std::string last = "anchors: " + std::to_string(anchors) + "\n";
        ASSERT_GE(r.err.size(), last.size());
        EXPECT_EQ(r.err.substr(r.err.size() - last.size()), last);
    }
}

}  // namespace
}  // namespace vyn
