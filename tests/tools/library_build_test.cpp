// vyn-tool build --library: an input split over numbered data folders within caps
// set small for the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "index/library.h"
#include "support/filetree.h"
#include "support/librarycheck.h"
#include "support/tempdir.h"
#include "support/toolrun.h"
#include "textstore/storeformat.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RunTool;
using test::Snapshot;
using test::TempDir;

// 經部 6 catalog records and 5 pages, 史部 7 and 6, 子部 3 and 1, 集部 3 and 2: 19
// records, 14 pages.
void WriteShelf(const fs::path& src) {
    test::WriteTree(src,
                    {{"catalog.txt",
                      "category\t經部\n"
                      "book\t周易\nvolume\t上\tjing/zhouyi1.txt\nvolume\t下\tjing/zhouyi2.txt\n"
                      "book\t尚書\nvolume\t一\tjing/shangshu.txt\n"
                      "category\t史部\n"
                      "book\t史記\nvolume\t一\tshi/shiji.txt\n"
                      "book\t漢書\nvolume\t一\tshi/hanshu.txt\t5\n"
                      "book\t後漢書\nvolume\t一\tshi/houhanshu.txt\n"
                      "category\t子部\nbook\t老子\nvolume\t一\tzi/laozi.txt\n"
                      "category\t集部\nbook\t楚辭\nvolume\t一\tji/chuci.txt\n"},
                     {"jing/zhouyi1.txt", "乾元亨利貞\n---\n坤元亨\n"},
                     {"jing/zhouyi2.txt", "屯元亨\n"},
                     {"jing/shangshu.txt", "曰若稽古\n---\n帝堯曰放勳{注}\n"},
                     {"shi/shiji.txt", "黃帝者\n---\n少典之子\n---\n姓公孫\n"},
                     {"shi/hanshu.txt", "高祖\n"},
                     {"shi/houhanshu.txt", "光武\n---\n皇帝\n"},
                     {"zi/laozi.txt", "道可道非常道\n"},
                     {"ji/chuci.txt", "帝高陽之苗裔兮\n---\n朕皇考曰伯庸\n"},
                     {"variants.txt", "龍竜龙\n"}});
}

// The content bytes of the first pages of a data folder: the end of record pages - 1.
std::uint64_t ContentBytesOfFirst(const fs::path& folder, std::size_t pages) {
    const std::string directory = ReadFile(folder / ("Index" + std::string(kDirectorySuffix)));
    const std::size_t at = kDirectoryHeaderSize + (pages - 1) * (100 + 8) + 100;
    std::uint32_t end = 0;
    for (int i = 3; i >= 0; --i) end = end << 8 | static_cast<unsigned char>(directory.at(at + i));
    return end;
}

struct Built {
    std::string name;
    std::string title;
};

// The subfolders of a library with their titles.
std::vector<Built> Folders(const fs::path& library) {
    std::vector<Built> folders;
    for (const auto& entry : fs::directory_iterator(library)) {
        folders.push_back({entry.path().filename().string(),
                           ReadFile(entry.path() / std::string(kFolderTitleFile))});
    }
    std::sort(folders.begin(), folders.end(),
              [](const Built& a, const Built& b) { return a.name < b.name; });
    return folders;
}

std::string Show(const std::vector<Built>& folders) {
    std::string out;
    for (const Built& folder : folders) out += folder.name + " " + folder.title;
    return out;
}

TEST(VynToolLibraryTest, SplitsBetweenCategoriesWhereACapIsPassed) {
    TempDir src;
    WriteShelf(src.path());
    TempDir work;
    const fs::path whole = work / "whole";
    auto reference = RunTool({"build", "--source", src.path().string(), "--out", whole.string()});
    ASSERT_EQ(reference.exitCode, 0) << reference.err;
    // 經部 and 史部 hold the first 11 pages.
    const std::uint64_t firstTwo = ContentBytesOfFirst(whole, 11);

    const struct {
        const char* name;
        std::vector<std::string> caps;
        std::vector<Built> folders;
    } cases[] = {
        {"an input that fits one folder", {}, {{"001", "經部〜集部\n"}}},
        {"records",
         {"--max-records", "12"},
         {{"001", "經部\n"}, {"002", "史部・子部\n"}, {"003", "集部\n"}}},
        {"records, two categories exactly at the cap",
         {"--max-records", "13"},
         {{"001", "經部・史部\n"}, {"002", "子部・集部\n"}}},
        {"pages",
         {"--max-pages", "6"},
         {{"001", "經部\n"}, {"002", "史部\n"}, {"003", "子部・集部\n"}}},
        {"pages, categories over the cap cut between books",
         {"--max-pages", "4"},
         {{"001", "經部\n"},
          {"002", "經部\n"},
          {"003", "史部\n"},
          {"004", "史部・子部\n"},
          {"005", "集部\n"}}},
        {"content bytes exactly at the cap",
         {"--max-content-bytes", std::to_string(firstTwo)},
         {{"001", "經部・史部\n"}, {"002", "子部・集部\n"}}},
        {"content bytes one under",
         {"--max-content-bytes", std::to_string(firstTwo - 1)},
         {{"001", "經部\n"}, {"002", "史部〜集部\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path library = work / "library";
        fs::remove_all(library);
        std::vector<std::string> args = {"build", "--source", src.path().string(), "--library",
                                         library.string()};
        args.insert(args.end(), c.caps.begin(), c.caps.end());
        auto r = RunTool(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Show(Folders(library)), Show(c.folders));
        const std::string count = std::to_string(c.folders.size());
        EXPECT_NE(r.out.find("built 4 categories, 7 books, 8 volumes: 14 pages"), std::string::npos)
            << r.out;
        EXPECT_NE(
            r.out.find(", in " + count + (c.folders.size() == 1 ? " folder\n" : " folders\n")),
            std::string::npos)
            << r.out;
        EXPECT_NE(r.err.find("read 14 pages: " + count), std::string::npos) << r.err;
        EXPECT_TRUE(
            r.err.ends_with("building folder " + count + "/" + count + ": 100% (14/14 pages)\n"))
            << r.err;

        const std::vector<fs::path> members = LibraryMembers(library);
        EXPECT_EQ(members.size(), c.folders.size());
        test::ExpectSameAsWhole(members, whole);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(work.path())) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"library", "whole"}))
            << "no scratch folder is left";
    }
}

TEST(VynToolLibraryTest, KanripoTextsSplitBetweenTheirClasses) {
    TempDir src;
    const auto text = [](const std::string& number, const std::string& title,
                         const std::string& body) {
        return std::pair<const std::string, std::string>(
            number + "/" + number + "_001.txt",
            "#+TITLE: " + title + "\n<pb:" + number + "_001-1a>¶\n" + body + "¶\n");
    };
    test::WriteTree(src.path(), {{"KR-Catalog/README.org",
                                  "** KR1 經部\n*** [[file:KR/KR1a.txt][KR1a 易類]]\n*** "
                                  "[[file:KR/KR1b.txt][KR1b 書類]]\n"},
                                 text("KR1a0001", "周易", "乾元亨"),
                                 text("KR1a0002", "易傳", "坤元亨"),
                                 text("KR1b0001", "尚書", "曰若稽古")});
    TempDir work;
    const fs::path whole = work / "whole", library = work / "library";
    ASSERT_EQ(
        RunTool({"build", "--kanripo", src.path().string(), "--out", whole.string()}).exitCode, 0);
    // KR1a takes 5 records, KR1b 3.
    auto r = RunTool({"build", "--kanripo", src.path().string(), "--library", library.string(),
                      "--max-records", "7"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Show(Folders(library)), Show({{"001", "經部 易類\n"}, {"002", "經部 書類\n"}}));
    test::ExpectSameAsWhole(LibraryMembers(library), whole);
}

TEST(VynToolLibraryTest, RefusesAnOutputFolderThatIsNotEmpty) {
    TempDir src;
    WriteShelf(src.path());
    const struct {
        const char* name;
        test::Files present;  // under the parent; "out" is the output
        std::string err;      // after "vyn-tool: " and the output's path
    } cases[] = {
        {"a file in it",
         {{"out/notes.txt", "keep"}},
         " is not empty; --library builds only into an empty or new folder\n"},
        {"a hidden file in it",
         {{"out/.keep", ""}},
         " is not empty; --library builds only into an empty or new folder\n"},
        {"a data folder",
         {{"out/vyn.dir", "old"}},
         " is not empty; --library builds only into an empty or new folder\n"},
        {"a library",
         {{"out/001/vyn.dir", "old"}},
         " is not empty; --library builds only into an empty or new folder\n"},
        {"a file", {{"out", "x"}}, " is not a folder\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir parent;
        test::WriteTree(parent.path(), c.present);
        const auto before = Snapshot(parent.path());
        const std::string out = (parent / "out").string();
        auto r = RunTool({"build", "--source", src.path().string(), "--library", out});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, "vyn-tool: " + out + c.err);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(Snapshot(parent.path()), before);
    }

    // An empty folder is taken.
    TempDir parent;
    fs::create_directory(parent / "out");
    auto r = RunTool(
        {"build", "--source", src.path().string(), "--library", (parent / "out").string() + "/"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Show(Folders(parent / "out")), Show({{"001", "經部〜集部\n"}}));
}

TEST(VynToolLibraryTest, AFailedBuildLeavesNothingBehind) {
    const struct {
        const char* name;
        std::vector<std::string> caps;
        test::Files source;  // written over the shelf
        std::string err;     // the last line of stderr
    } cases[] = {
        {"a book too large for one folder",
         {"--max-pages", "2"},
         {},
         "vyn-tool: book \"周易\" of category \"經部\" does not fit one data folder: it has 3 "
         "pages, more than the 2 a data folder holds\n"},
        {"a book too large by its records",
         {"--max-records", "3"},
         {},
         "vyn-tool: book \"周易\" of category \"經部\" does not fit one data folder: it needs 4 "
         "catalog records (its category's, its own and one per volume), more than the 3 a data "
         "folder holds\n"},
        {"a book too large, last in the input",
         {"--max-pages", "3"},
         {{"ji/chuci.txt", "甲\n---\n乙\n---\n丙\n---\n丁\n"}},
         "vyn-tool: book \"楚辭\" of category \"集部\" does not fit one data folder: it has 4 "
         "pages, more than the 3 a data folder holds\n"},
        {"a source error",
         {"--max-pages", "4"},
         {{"ji/chuci.txt", "帝高陽{之苗裔兮\n"}},
         "vyn-tool: ji/chuci.txt:1: \"{\" without \"}\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir src;
        WriteShelf(src.path());
        test::WriteTree(src.path(), c.source);
        TempDir parent;
        const auto before = Snapshot(parent.path());
        std::vector<std::string> args = {"build", "--source", src.path().string(), "--library",
                                         (parent / "new" / "library").string()};
        args.insert(args.end(), c.caps.begin(), c.caps.end());
        auto r = RunTool(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1), c.err) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(Snapshot(parent.path()), before) << "the folders made for the library are gone";
    }
}

TEST(VynToolLibraryTest, UsageErrors) {
    TempDir src;
    WriteShelf(src.path());
    TempDir parent;
    const std::string s = src.path().string(), out = (parent / "out").string();
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string err;  // the first line of stderr
    } cases[] = {
        {"--out and --library",
         {"build", "--source", s, "--out", out, "--library", out},
         "vyn-tool: build takes --out DIR or --library DIR, not both"},
        {"empty --library",
         {"build", "--source", s, "--library", ""},
         "vyn-tool: build needs --source SRC and --library DIR"},
        {"no source",
         {"build", "--library", out},
         "vyn-tool: build needs --source SRC and --library DIR"},
        {"a cap without --library",
         {"build", "--source", s, "--out", out, "--max-pages", "5"},
         "vyn-tool: --max-pages needs --library"},
        {"a cap of 0",
         {"build", "--source", s, "--library", out, "--max-pages", "0"},
         "vyn-tool: --max-pages takes a number from 1 to 4194304"},
        {"a cap over the format's",
         {"build", "--source", s, "--library", out, "--max-records", "10000"},
         "vyn-tool: --max-records takes a number from 1 to 9999"},
        {"a cap that is no number",
         {"build", "--source", s, "--library", out, "--max-content-bytes", "4G"},
         "vyn-tool: --max-content-bytes takes a number from 1 to 4294967295"},
        {"a negative cap",
         {"build", "--source", s, "--library", out, "--max-records", "-1"},
         "vyn-tool: --max-records takes a number from 1 to 9999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.err);
        EXPECT_TRUE(fs::is_empty(parent.path()));
    }
}

}  // namespace
}  // namespace vyn
