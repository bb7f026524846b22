#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "textstore/catalog.h"
#include "panel/fixture.h"
#include "support/tempdir.h"
#include "support/toolrun.h"

namespace vyn {
namespace {

using test::RunTool;

class PanelToolTest : public testing::Test {
protected:
    void SetUp() override { test::BuildPanelCorpus(m_dir.path()); }
    std::string Data() const { return m_dir.path().string(); }

    test::TempDir m_dir;
};

TEST_F(PanelToolTest, CatalogPrintsTheListing) {
    auto r = RunTool({"catalog", "--data", Data()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "name=A\tdocID=1\tdocNo=8\tcurFileName=1\n"
              "\tname=A1\tdocID=1\tdocNo=5\tcurFileName=1\n"
              "\t\tname=a1v1\tdocID=1\tdocNo=3\tcurFileName=1\n"
              "\t\tname=a1v2\tdocID=4\tdocNo=2\tcurFileName=5\n"
              "\tname=A2\tdocID=6\tdocNo=3\tcurFileName=1\n"
              "\t\tname=a2v1\tdocID=6\tdocNo=2\tcurFileName=1\n"
              "\t\tname=a2v2\tdocID=8\tdocNo=1\tcurFileName=7\n"
              "name=B\tdocID=9\tdocNo=2\tcurFileName=10\n"
              "\tname=B1\tdocID=9\tdocNo=2\tcurFileName=10\n"
              "\t\tname=b1v1\tdocID=9\tdocNo=2\tcurFileName=10\n");
    // What the reader writes to its listing file.
    CCatalog catalog;
    ASSERT_TRUE(catalog.LoadCatalog(m_dir / "vyn.dir", m_dir / "vyn.txt"));
    EXPECT_EQ(test::ReadFile(m_dir / "vyn.txt"), r.out);

    test::WriteFile(m_dir / "vyn.dir", "");
    r = RunTool({"catalog", "--data", Data()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(PanelToolTest, ResultsPrintsTheEntriesAndTheCountLine) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"category", {"--scope-slot", "1", "甲"},
         "A\tA1\ta1v1\t1\t1\t0\nA\tA2\ta2v1\t1\t3\t5\nA\tA1\ta1v1\t3\t2\t2\nA\tA1\ta1v2\t5\t1\t3\n"
         "全部で 4 頁で、7 箇所でした。\n"},
        {"volume", {"--scope-slot", "10", "甲"},
         "B\tB1\tb1v1\t10\t1\t8\nB\tB1\tb1v1\t11\t1\t9\n全部で 2 頁で、2 箇所でした。\n"},
        {"or", {"--scope-slot", "1", "--or", "乙", "丙"},
         "A\tA1\ta1v1\t2\t1\t1\nA\tA2\ta2v1\t2\t1\t6\nA\tA1\ta1v2\t6\t1\t4\n全部で 3 頁で、3 箇所でした。\n"},
        {"ideographic space", {"--scope-slot", "9", "--", "甲\u3000乙"},
         "B\tB1\tb1v1\t11\t2\t9\n全部で 1 頁で、2 箇所でした。\n"},
        {"main text", {"--scope-slot", "6", "--part", "main", "甲"},
         "A\tA2\ta2v1\t1\t2\t5\n全部で 1 頁で、2 箇所でした。\n"},
        {"annotations", {"--scope-slot", "6", "--part", "notes", "甲"},
         "A\tA2\ta2v1\t1\t1\t5\n全部で 1 頁で、1 箇所でした。\n"},
        {"no hits", {"--scope-slot", "8", "丙"}, "全部で 0 頁で、0 箇所でした。\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"results", "--data", Data()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = RunTool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST_F(PanelToolTest, ResultsAndKwicInEachFormat) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"results csv", {"results", "--scope-slot", "10", "--format", "csv", "甲"},
         "\xEF\xBB\xBF類別,書名,巻,頁,箇所\r\nB,B1,b1v1,10,1\r\nB,B1,b1v1,11,1\r\n"},
        {"results json", {"results", "--scope-slot", "10", "--format", "json", "乙"},
         "{\"entries\": [\n  {\"category\": \"B\", \"book\": \"B1\", \"volume\": \"b1v1\", "
         "\"page\": 11, \"hits\": 1, \"record\": 9}\n], \"pages\": 1, \"hits\": 1}\n"},
        {"results json without hits", {"results", "--scope-slot", "8", "--format", "json", "丙"},
         "{\"entries\": [], \"pages\": 0, \"hits\": 0}\n"},
        {"kwic tsv", {"kwic", "--scope-slot", "10", "甲"},
         "8\t0\tB\tB1\tb1v1\t10\t甲\t\t\n9\t0\tB\tB1\tb1v1\t11\t甲\t\t乙\n"},
        {"kwic context", {"kwic", "--scope-slot", "6", "--context", "1", "甲"},
         "5\t0\tA\tA2\ta2v1\t1\t甲\t\t甲\n5\t1\tA\tA2\ta2v1\t1\t甲\t甲\t甲\n"
         "5\t2\tA\tA2\ta2v1\t1\t甲\t甲\t\n"},
        {"kwic notes", {"kwic", "--scope-slot", "6", "--part", "notes", "甲"},
         "5\t0\tA\tA2\ta2v1\t1\t甲\t甲甲\t\n"},
        {"kwic json", {"kwic", "--scope-slot", "9", "--format", "json", "乙"},
         "[\n  {\"record\": 9, \"anchor\": 0, \"category\": \"B\", \"book\": \"B1\", "
         "\"volume\": \"b1v1\", \"page\": 11, \"left\": \"甲\", \"hit\": \"乙\", "
         "\"right\": \"\"}\n]\n"},
        {"kwic forms", {"kwic", "--scope-slot", "1", "--forms", "--or", "甲", "乙"}, "甲\t7\n乙\t2\n"},
        {"kwic without hits", {"kwic", "--scope-slot", "8", "丙"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {c.args.front(), "--data", Data()};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        auto r = RunTool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST_F(PanelToolTest, RejectsBadQueriesSlotsAndData) {
    test::TempDir empty;
    const std::string none = empty.path().string();
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {"ASCII letter", {"results", "--data", Data(), "--scope-slot", "1", "a"}, 1, ""},
        {"empty query", {"results", "--data", Data(), "--scope-slot", "1"}, 1, ""},
        {"ideographic spaces only", {"results", "--data", Data(), "--scope-slot", "1", "\u3000"}, 1, ""},
        {"slot 0", {"results", "--data", Data(), "--scope-slot", "0", "甲"}, 2, "scope slot 0"},
        {"slot past the catalog", {"results", "--data", Data(), "--scope-slot", "11", "甲"}, 2,
         "scope slot 11"},
        {"slot not a number", {"results", "--data", Data(), "--scope-slot", "x", "甲"}, 2, ""},
        {"no slot", {"results", "--data", Data(), "甲"}, 2, ""},
        {"unknown part", {"results", "--data", Data(), "--scope-slot", "1", "--part", "all", "甲"}, 2, ""},
        {"missing data", {"results", "--data", none, "--scope-slot", "1", "甲"}, 2, "データを開けませんでした。"},
        {"unknown format", {"results", "--data", Data(), "--scope-slot", "1", "--format", "xml", "甲"},
         2, "--format"},
        {"kwic ASCII letter", {"kwic", "--data", Data(), "--scope-slot", "1", "a"}, 1, ""},
        {"kwic context not a number",
         {"kwic", "--data", Data(), "--scope-slot", "1", "--context", "x", "甲"}, 2, "--context"},
        {"kwic missing data", {"kwic", "--data", none, "--scope-slot", "1", "甲"}, 2,
         "データを開けませんでした。"},
        {"catalog without --data", {"catalog"}, 2, ""},
        {"catalog of missing data", {"catalog", "--data", none}, 2, "you delete data file!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("vyn-tool: " + c.message), std::string::npos) << r.err;
    }
}

TEST_F(PanelToolTest, GotoPrintsRecordAndSlot) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        std::string err;  // part of stderr
    } cases[] = {
        {{"a1v2", "6"}, 0, "4\t4\n", ""},
        {{"A1 a1v2 第5頁"}, 0, "3\t4\n", ""},
        {{"--", "a2v2", "第７頁"}, 0, "7\t7\n", ""},
        {{"b1v1"}, 0, "8\t10\n", ""},
        {{"a1v2", "7"}, 1, "", "a1v2には第7頁がありません（第5頁～第6頁）。"},
        {{"A2 a1v1 1"}, 1, "", "「A2」に「a1v1」という巻はありません。"},
        {{"c1v1"}, 1, "", "「c1v1」という巻は見つかりませんでした。"},
        {{}, 1, "", "移動先を入力して下さい"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"goto", "--data", Data()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = RunTool(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << args.back() << r.err;
        EXPECT_EQ(r.out, c.out) << args.back();
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunTool({"goto", "a1v1"}).exitCode, 2);
    EXPECT_EQ(RunTool({"goto", "--data", (m_dir / "missing").string(), "a1v1"}).exitCode, 2);
    // A catalog page that the store lacks is not there to go to.
    std::string catalog = test::ReadFile(m_dir / "vyn.dir");
    catalog += test::CatalogRecordBytes(u"B2", 2, 20, 2, 1) + test::CatalogRecordBytes(u"b2v1", 3, 20, 2, 1);
    test::WriteFile(m_dir / "vyn.dir", catalog);
    EXPECT_EQ(RunTool({"goto", "--data", Data(), "b2v1 2"}).exitCode, 1);
}

}  // namespace
}  // namespace vyn
