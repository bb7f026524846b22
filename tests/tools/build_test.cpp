#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/databuilder.h"
#include "builder/sourcereader.h"
#include "index/index.h"
#include "support/filetree.h"
#include "support/tempdir.h"
#include "support/toolrun.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RunTool;
using test::Snapshot;
using test::TempDir;

const std::vector<std::string> kBuiltFiles = {
    "Index-fl.h",          "Index-fl.cnt",        "Index-idx.h",      "Index-idx.m",
    "Index_content-idx.h", "Index_content-idx.m", "Index_desc-idx.h", "Index_desc-idx.m",
    "vyn.dir",             "yitizi.txt"};

// Records: 0 卷一 page 1, 1 卷一 page 2, 2 卷二 page 5.
void WriteSource(const fs::path& src, const std::string& firstVolume) {
    fs::create_directories(src / "tang");
    test::WriteFile(src / "catalog.txt",
                    "category\t集部\nbook\t全唐詩\nvolume\t卷一\ttang/001.txt\n"
                    "volume\t卷二\ttang/002.txt\t5\n");
    test::WriteFile(src / "tang/001.txt", firstVolume);
    test::WriteFile(src / "tang/002.txt", "塞外悲風切\n");
    test::WriteFile(src / "variants.txt", "龍竜龙\n");
}

constexpr const char* kFirstVolume =
    "# 全唐詩 卷一 第1頁\n帝京篇十首\n李世民{太宗皇帝}\n---\n飲馬長城窟行\n";

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(VynToolBuildTest, BuildsTheSourceIntoANewFolder) {
    TempDir src;
    WriteSource(src.path(), kFirstVolume);
    TempDir parent;
    const fs::path dir = parent / "out" / "data";
    auto r = RunTool({"build", "--source", src.path().string(), "--out", dir.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("built 1 category, 1 book, 2 volumes: 3 pages"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("100% (3/3 pages)"), std::string::npos) << r.err;
    EXPECT_EQ(Names(parent.path()), std::vector<std::string>{"out"});
    EXPECT_EQ(Names(parent / "out"), std::vector<std::string>{"data"});

    // The same files, byte for byte, as the builder writes from the reader's corpus.
    Corpus corpus;
    CSourceReader reader;
    ASSERT_TRUE(reader.Read(src.path(), corpus)) << reader.GetReason();
    TempDir direct;
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(corpus, direct.path(), stats)) << builder.GetReason();
    std::vector<std::string> sorted = kBuiltFiles;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Names(dir), sorted);
    for (const std::string& name : kBuiltFiles) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadFile(dir / name), ReadFile(direct / name));
        EXPECT_NE(r.out.find(name), std::string::npos);
    }

    const struct {
        const char* record;
        std::vector<std::string> holds;
    } pages[] = {
        {"0", {"全唐詩 卷一 第1頁", "帝京篇十首", "太宗皇帝"}},
        {"1", {"全唐詩 卷一 2", "飲馬長城窟行"}},
        {"2", {"全唐詩 卷二 5", "塞外悲風切"}},
    };
    for (const auto& page : pages) {
        SCOPED_TRACE(page.record);
        auto shown = RunTool({"page", "--data", dir.string(), "--record", page.record});
        ASSERT_EQ(shown.exitCode, 0) << shown.err;
        for (const std::string& text : page.holds) EXPECT_NE(shown.out.find(text), std::string::npos);
    }
    auto found = RunTool({"find", "--data", dir.string(), "--start", "0", "--number", "5"});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(found.out, "2\n");
}

TEST(VynToolBuildTest, RebuildReplacesOnlyTheDataFiles) {
    TempDir src;
    WriteSource(src.path(), kFirstVolume);
    TempDir parent;
    const fs::path dir = parent / "bin";
    fs::create_directories(dir / "lib");
    test::WriteFile(dir / "lib/keep.so", "library");
    test::WriteFile(dir / "vyn-tool", "program");
    test::WriteFile(dir / "Index-fl.h", "stale");
    test::WriteFile(dir / "yitizi.txt", "stale");
    auto r = RunTool({"build", "--source", src.path().string(), "--out", dir.string() + "/"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "lib/keep.so"), "library");
    EXPECT_EQ(ReadFile(dir / "vyn-tool"), "program");
    EXPECT_EQ(ReadFile(dir / "yitizi.txt"), "9F8D,7ADC,9F99\n");
    EXPECT_NE(ReadFile(dir / "Index-fl.h"), "stale");
    EXPECT_EQ(Names(dir).size(), kBuiltFiles.size() + 2);
    EXPECT_EQ(Names(parent.path()), std::vector<std::string>{"bin"});
}

// Readers share a data folder, and a build replaces the files under a reader that
// holds them: it keeps reading the old set, and a new reader opens the new one.
TEST(VynToolBuildTest, ReadersShareTheFolderAndOutliveARebuild) {
    TempDir src;
    WriteSource(src.path(), kFirstVolume);
    TempDir parent;
    const fs::path dir = parent / "data";
    ASSERT_EQ(RunTool({"build", "--source", src.path().string(), "--out", dir.string()}).exitCode, 0);

    auto pagesOf = [](CIndex& index, const std::u16string& word) {
        std::u16string query = word;
        index.SearchAllWords(query, true, false);
        return index.GetHitPages();
    };
    CIndex first, second;
    ASSERT_TRUE(first.Open(dir, "Index", IndexScope::kWhole));
    ASSERT_TRUE(second.Open(dir, "Index", IndexScope::kWhole));
    EXPECT_EQ(pagesOf(first, u"長城"), std::vector<std::uint32_t>{1});
    auto search = RunTool({"search", "--data", dir.string(), "長城"});
    EXPECT_EQ(search.exitCode, 0) << search.err;
    EXPECT_EQ(search.out, "1\t1\n");

    // The rebuilt corpus moves 飲馬長城窟行 to page 1 of volume one.
    WriteSource(src.path(), "飲馬長城窟行\n---\n帝京篇十首\n");
    auto rebuilt = RunTool({"build", "--source", src.path().string(), "--out", dir.string()});
    ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.err;
    EXPECT_EQ(pagesOf(second, u"長城"), std::vector<std::uint32_t>{1});
    ByteString page;
    ASSERT_TRUE(second.ReadPage(1, page));
    EXPECT_NE(std::string(AsView(page)).find("長城"), std::string::npos);
    CIndex third;
    ASSERT_TRUE(third.Open(dir, "Index", IndexScope::kWhole));
    EXPECT_EQ(pagesOf(third, u"長城"), std::vector<std::uint32_t>{0});
}

TEST(VynToolBuildTest, FailedBuildLeavesTheFolderAsItWas) {
    const struct {
        const char* name;
        std::string firstVolume;
        bool dirExists;
        bool folderInTheWay;  // DIR/yitizi.txt is a folder
        std::string err;      // the whole of stderr; empty: see below
    } cases[] = {
        {"source error", "帝京篇\n李世民{太宗皇帝\n", true, false,
         "vyn-tool: tang/001.txt:2: \"{\" without \"}\"\n"},
        {"source error, no folder yet", "甲\n---\n---\n乙\n", false, false,
         "vyn-tool: tang/001.txt:3: empty page\n"},
        {"a folder in the way of a built file", kFirstVolume, true, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir src;
        WriteSource(src.path(), c.firstVolume);
        TempDir parent;
        const fs::path dir = parent / "bin";
        if (c.dirExists) {
            fs::create_directory(dir);
            test::WriteFile(dir / "vyn-tool", "program");
            test::WriteFile(dir / "Index-fl.h", "old store");
            test::WriteFile(dir / "vyn.dir", "old catalog");
        }
        if (c.folderInTheWay) {
            fs::create_directory(dir / "yitizi.txt");
            test::WriteFile(dir / "yitizi.txt" / "x", "x");
        }
        const auto before = Snapshot(parent.path());
        auto r = RunTool({"build", "--source", src.path().string(), "--out", dir.string()});
        EXPECT_EQ(r.exitCode, 2);
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err);
        } else {
            // Progress lines, then the reason.
            const std::string last = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
            EXPECT_EQ(last, "vyn-tool: " + (dir / "yitizi.txt").string() + " is a folder\n");
        }
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(Snapshot(parent.path()), before);
    }
}

TEST(VynToolBuildTest, UsageErrors) {
    TempDir src;
    WriteSource(src.path(), kFirstVolume);
    TempDir parent;
    test::WriteFile(parent / "file", "x");
    const std::string s = src.path().string(), out = (parent / "out").string();
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string err;  // the first line of stderr
    } cases[] = {
        {"no --out", {"build", "--source", s}, "vyn-tool: build needs --source SRC and --out DIR"},
        {"no --source", {"build", "--out", out}, "vyn-tool: build needs --source SRC and --out DIR"},
        {"empty --out", {"build", "--source", s, "--out", ""}, "vyn-tool: build needs --source SRC and --out DIR"},
        {"positional", {"build", "--source", s, "--out", out, "x"},
         "vyn-tool: build needs --source SRC and --out DIR"},
        {"unknown option", {"build", "--source", s, "--out", out, "--data", out},
         "vyn-tool: unknown option --data"},
        {"source twice", {"build", "--source", s, "--source", s, "--out", out}, "vyn-tool: --source given twice"},
        {"source missing", {"build", "--source", out, "--out", out}, "vyn-tool: " + out + ": not a folder"},
        {"DIR is a file", {"build", "--source", s, "--out", (parent / "file").string()},
         "vyn-tool: " + (parent / "file").string() + " is not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err);
        EXPECT_EQ(Names(parent.path()), std::vector<std::string>{"file"});
    }
}

}  // namespace
}  // namespace vyn
