// vyn-tool build --kanripo on texts in the repository's markup, then the searches,
// pages and go-to texts a reader of them uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/filetree.h"
#include "support/tempdir.h"
#include "support/toolrun.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::RunTool;
using test::Snapshot;
using test::TempDir;

// Two files of one text: records 0 提要 1a, 1 卷一 1a, 2 卷一 1b, 3 卷一 2a.
void WriteTexts(const fs::path& src, const std::string& firstVolume) {
    const std::string header = "# -*- mode: mandoku-view; -*-\n#+TITLE: 周易\n#+PROPERTY: ID KR1a0009\n";
    fs::create_directories(src / "KR1a0009");
    fs::create_directories(src / "KR-Catalog");
    test::WriteFile(src / "KR-Catalog/README.org", "** KR1 經部\n*** [[file:KR/KR1a.txt][KR1a 易類]]\n");
    test::WriteFile(src / "KR1a0009/Readme.org",
                    "[[file:KR1a0009_000.txt::000-1a][周易 提要]]\n[[file:KR1a0009_001.txt::001-1a][周易 卷一]]\n");
    test::WriteFile(src / "KR1a0009/KR1a0009_000.txt", header + "<pb:KR1a0009_WYG_000-1a>¶\n臣等謹案¶\n");
    test::WriteFile(src / "KR1a0009/KR1a0009_001.txt", header + firstVolume);
}

constexpr const char* kFirstVolume =
    "<pb:KR1a0009_WYG_001-1a>¶\n"
    "䷀(乾下/乾上)¶\n"
    "乾元亨利貞彖曰大哉乾元萬物資始乃綂天雲行雨¶\n"
    "施品物流形¶\n"
    "<pb:KR1a0009_WYG_001-1b>¶\n"
    "　乾始降氣者也¶\n"
    "　故能雲行雨施¶\n"
    "<pb:KR1a0009_WYG_001-2a>¶\n"
    "𧰼曰天行健&KR0694;¶\n";

TEST(VynToolKanripoTest, ImportedTextsAreSearchedReadAndCitedByFolio) {
    TempDir src;
    WriteTexts(src.path(), kFirstVolume);
    TempDir parent;
    const std::string dir = (parent / "data").string();
    auto built = RunTool({"build", "--kanripo", src.path().string(), "--out", dir});
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_NE(built.out.find("built 1 category, 1 book, 2 volumes: 4 pages"), std::string::npos) << built.out;
    EXPECT_NE(built.err.find("building: 100% (4/4 pages)"), std::string::npos) << built.err;

    const std::string catalog = RunTool({"catalog", "--data", dir}).out;
    EXPECT_NE(catalog.find("name=經部 易類\t"), std::string::npos) << catalog;
    EXPECT_NE(catalog.find("\t\tname=提要\t"), std::string::npos) << catalog;
    EXPECT_NE(catalog.find("\t\tname=卷一\t"), std::string::npos) << catalog;

    struct Search {
        const char* name;
        std::vector<std::string> args;
        std::string out;
    } const searches[] = {
        {"a phrase over a printed line break, and one within a line", {"--part", "main", "--", "雲行雨施"},
         "1\t1\n2\t1\n"},
        {"a note's words in the notes", {"--part", "notes", "--", "乾下乾上"}, "1\t1\n"},
        {"a note's words are not main text", {"--part", "main", "--", "乾下乾上"}, ""},
        {"main text is not in the notes", {"--part", "notes", "--", "雲行"}, ""},
        {"a phrase does not run from a note into the text", {"--", "乾上乾元"}, ""},
        {"a character beyond the BMP", {"--", "𧰼曰"}, "3\t1\n"},
        {"the indentation of a printed line is passed over", {"--part", "main", "--", "也故能"}, "2\t1\n"},
    };
    for (const Search& s : searches) {
        SCOPED_TRACE(s.name);
        std::vector<std::string> args = {"search", "--data", dir};
        args.insert(args.end(), s.args.begin(), s.args.end());
        EXPECT_EQ(RunTool(args).out, s.out);
    }

    // The hit over the line break is marked on the page, which keeps its lines.
    auto rendered = RunTool({"render", "--data", dir, "--record", "1", "--part", "main", "--", "雲行雨施"});
    EXPECT_NE(rendered.err.find("anchors: 1"), std::string::npos) << rendered.err;
    EXPECT_NE(rendered.out.find("雲行雨\n施</b>品物"), std::string::npos) << rendered.out;
    EXPECT_NE(rendered.out.find("<title>周易 卷一 1a</title>"), std::string::npos);
    auto glyph = RunTool({"page", "--data", dir, "--record", "3"});
    EXPECT_NE(glyph.out.find("<span title=\"KR0694\">〓</span>"), std::string::npos) << glyph.out;
    EXPECT_EQ(glyph.out.find("&KR0694;"), std::string::npos);

    EXPECT_EQ(RunTool({"goto", "--data", dir, "--", "周易", "卷一", "1b"}).out, "2\t4\n");
    EXPECT_EQ(RunTool({"goto", "--data", dir, "--", "（周易・卷一・2a）"}).out, "3\t4\n");
    EXPECT_EQ(RunTool({"goto", "--data", dir, "--", "周易 卷一 第2頁"}).out, "2\t4\n");
    auto missing = RunTool({"goto", "--data", dir, "--", "周易 卷一 9a"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "vyn-tool: 卷一には9aの丁がありません。\n");

    auto kwic = RunTool({"kwic", "--data", dir, "--scope-slot", "1", "--context", "4", "--", "乾上"});
    EXPECT_EQ(kwic.out, "1\t0\t經部 易類\t周易\t卷一\t1\t乾上\t䷀乾下\t乾元亨利\n");
}

TEST(VynToolKanripoTest, FailedImportLeavesTheFolderAsItWas) {
    const struct {
        const char* name;
        std::string firstVolume;
        std::string err;
    } cases[] = {
        {"an unbalanced note", "<pb:KR1a0009_WYG_001-1a>¶\n甲¶\n乙(丙¶\n",
         "vyn-tool: KR1a0009/KR1a0009_001.txt:6: \"(\" without \")\" before \"¶\"\n"},
        {"stray markup", "<pb:KR1a0009_WYG_001-1a>¶\n甲<hi>乙¶\n",
         "vyn-tool: KR1a0009/KR1a0009_001.txt:5: stray markup \"<hi>\"\n"},
        {"a file without text", "<pb:KR1a0009_WYG_001-1a>¶\n",
         "vyn-tool: KR1a0009/KR1a0009_001.txt: holds no text\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir src;
        WriteTexts(src.path(), c.firstVolume);
        TempDir parent;
        const fs::path dir = parent / "data";
        fs::create_directory(dir);
        test::WriteFile(dir / "vyn.dir", "old catalog");
        const auto before = Snapshot(parent.path());
        auto r = RunTool({"build", "--kanripo", src.path().string(), "--out", dir.string()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(Snapshot(parent.path()), before);
    }
}

TEST(VynToolKanripoTest, UsageNeedsOneInputAndTheOutput) {
    TempDir src;
    const std::string s = src.path().string();
    const struct {
        std::vector<std::string> args;
        std::string err;  // the first line of stderr
    } cases[] = {
        {{"build", "--kanripo", s, "--source", s, "--out", "x"},
         "vyn-tool: build takes --source SRC or --kanripo SRC, not both"},
        {{"build", "--kanripo", s}, "vyn-tool: build needs --kanripo SRC and --out DIR"},
        {{"build", "--kanripo", "", "--out", "x"}, "vyn-tool: build needs --kanripo SRC and --out DIR"},
    };
    for (const auto& c : cases) {
        auto r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err);
    }
}

}  // namespace
}  // namespace vyn
