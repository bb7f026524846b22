// vyn-tool over a library of data folders: each command's output is that of the
// folders, in library order, with the folder named on every line.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "builder/databuilder.h"
#include "index/library.h"
#include "support/corpustext.h"
#include "support/tempdir.h"
#include "support/toolrun.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::Para;
using test::RunTool;
using test::ToolResult;

CorpusVolume Volume(std::string name, std::uint16_t firstPage, std::vector<Paragraph> pages) {
    CorpusVolume volume{std::move(name), firstPage, {}};
    std::uint16_t number = firstPage;
    for (Paragraph& page : pages) volume.pages.push_back({std::to_string(number++), {std::move(page)}});
    return volume;
}

struct FolderFixture {
    const char* name;
    const char* title;
    Corpus corpus;
};

// Three data folders; 全唐詩 is a book of 001 and of 003, each with 卷一 and 卷二.
// 明 and 朙 are variants in each.
std::vector<FolderFixture> Folders() {
    std::vector<FolderFixture> folders(3);
    folders[0] = {"001", "詩", {}};
    folders[0].corpus.categories.push_back(
        {"詩",
         {{"全唐詩",
           {Volume("卷一", 1, {Para("床前明月光", "月在天"), Para("疑是地上霜"), Para("舉頭望明月")}),
            Volume("卷二", 1, {Para("低頭思故鄉月")})}},
          {"李太白集", {Volume("卷一", 1, {Para("月下獨酌"), Para("花間一壺酒")})}}}});
    folders[1] = {"002", "文", {}};
    folders[1].corpus.categories.push_back(
        {"文", {{"文選", {Volume("卷一", 1, {Para("明月皎夜光"), Para("秋風起兮")})}}}});
    folders[2] = {"003", "詩・補", {}};
    folders[2].corpus.categories.push_back(
        {"詩",
         {{"全唐詩",
           {Volume("卷一", 1, {Para("海上生明月"), Para("天涯共此時", "月")}),
            Volume("卷二", 5, {Para("朙月松間照")})}}}});
    folders[2].corpus.categories.push_back({"補", {{"補遺", {Volume("序", 1, {Para("月落烏啼")})}}}});
    for (FolderFixture& folder : folders) folder.corpus.variantGroups = {{0x660E, 0x6719}};
    return folders;
}

void BuildFolder(const FolderFixture& folder, const fs::path& path) {
    fs::create_directories(path);
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(folder.corpus, path, stats)) << builder.GetReason();
    ASSERT_TRUE(WriteFolderTitle(path, folder.title));
}

// Every line of text with prefix before it.
std::string Prefixed(const std::string& prefix, const std::string& text) {
    std::string out;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        out += prefix + text.substr(start, end - start + 1);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
}

// The last line of text and the lines before it.
std::pair<std::string, std::string> SplitLastLine(const std::string& text) {
    const std::size_t end = text.size() > 0 ? text.rfind('\n', text.size() - 2) : std::string::npos;
    if (end == std::string::npos) return {"", text};
    return {text.substr(0, end + 1), text.substr(end + 1)};
}

// The numbers N and M of "全部で N 頁で、M 箇所でした。".
std::pair<long, long> Counts(const std::string& countLine) {
    long pages = 0, hits = 0;
    EXPECT_EQ(std::sscanf(countLine.c_str(), "全部で %ld 頁で、%ld 箇所でした。", &pages, &hits), 2) << countLine;
    return {pages, hits};
}

// The library of Folders() and a library of its first folder alone, built once.
class LibraryToolTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<test::TempDir>();
        for (const FolderFixture& folder : Folders()) BuildFolder(folder, s_dir->path() / "library" / folder.name);
        BuildFolder(Folders().front(), s_dir->path() / "single" / "001");
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::string Library() { return (s_dir->path() / "library").string(); }
    static std::string Folder(const std::string& name) { return (s_dir->path() / "library" / name).string(); }
    static std::string Single() { return (s_dir->path() / "single").string(); }

    static ToolResult Run(std::vector<std::string> args, const std::string& data,
                          const std::vector<std::string>& more) {
        args.insert(args.begin() + 1, {"--data", data});
        args.insert(args.end(), more.begin(), more.end());
        return RunTool(args);
    }

    static inline std::unique_ptr<test::TempDir> s_dir;
    static inline const char* const kNames[] = {"001", "002", "003"};
};

// Queries with hits in several folders, and one in none.
const std::vector<std::vector<std::string>> kQueries = {
    {"明月"}, {"月"}, {"--or", "霜", "秋", "烏"}, {"--part", "notes", "月"}, {"--part", "main", "月"},
    {"--no-variants", "明月"}, {"雪"},
};

TEST_F(LibraryToolTest, SearchIsEachFoldersSearchInLibraryOrder) {
    for (const auto& query : kQueries) {
        SCOPED_TRACE(query.back());
        std::string expected;
        for (const char* name : kNames) {
            const ToolResult one = Run({"search"}, Folder(name), query);
            ASSERT_EQ(one.exitCode, 0) << one.err;
            expected += Prefixed(std::string(name) + "\t", one.out);
        }
        const ToolResult all = Run({"search"}, Library(), query);
        EXPECT_EQ(all.exitCode, 0) << all.err;
        EXPECT_EQ(all.out, expected);
    }
    // The fixture is worth its name: hits in every folder, records counted from 0 in each.
    EXPECT_EQ(Run({"search"}, Library(), {"明月"}).out,
              "001\t0\t1\n001\t2\t1\n002\t0\t1\n003\t0\t1\n003\t2\t1\n");
}

// --scope FOLDER:SLOT is --scope-slot SLOT on the folder, the folder named first on
// each line; --scope FOLDER is its categories one after another, the library its
// folders.
TEST_F(LibraryToolTest, ResultsAndKwicAreThoseOfEachFolder) {
    for (const auto& query : kQueries) {
        SCOPED_TRACE(query.back());
        std::string libraryEntries, libraryRows;
        long libraryPages = 0, libraryHits = 0;
        for (const char* name : kNames) {
            SCOPED_TRACE(name);
            const std::string prefix = std::string(name) + "\t";
            std::string folderEntries, folderRows;
            long folderPages = 0, folderHits = 0;
            const ToolResult listing = RunTool({"catalog", "--data", Folder(name)});
            ASSERT_EQ(listing.exitCode, 0) << listing.err;
            std::size_t line = 0;  // the listing line of slot
            for (int slot = 1; line < listing.out.size(); ++slot, line = listing.out.find('\n', line) + 1) {
                SCOPED_TRACE(slot);
                const std::string local = std::to_string(slot);
                const std::string scope = std::string(name) + ":" + local;
                const ToolResult one = Run({"results", "--scope-slot", local}, Folder(name), query);
                ASSERT_EQ(one.exitCode, 0) << one.err;
                const auto [entries, countLine] = SplitLastLine(one.out);
                const ToolResult scoped = Run({"results", "--scope", scope}, Library(), query);
                EXPECT_EQ(scoped.exitCode, 0) << scoped.err;
                EXPECT_EQ(scoped.out, Prefixed(prefix, entries) + countLine);

                const ToolResult rows = Run({"kwic", "--scope-slot", local}, Folder(name), query);
                ASSERT_EQ(rows.exitCode, 0) << rows.err;
                const ToolResult scopedRows = Run({"kwic", "--scope", scope}, Library(), query);
                EXPECT_EQ(scopedRows.exitCode, 0) << scopedRows.err;
                EXPECT_EQ(scopedRows.out, Prefixed(prefix, rows.out));

                // The categories (level 1, listed without a tab) make up the folder.
                if (listing.out.compare(line, 5, "name=") == 0) {
                    folderEntries += Prefixed(prefix, entries);
                    folderRows += Prefixed(prefix, rows.out);
                    const auto [pages, hits] = Counts(countLine);
                    folderPages += pages;
                    folderHits += hits;
                }
            }
            const ToolResult folder = Run({"results", "--scope", name}, Library(), query);
            EXPECT_EQ(folder.exitCode, 0) << folder.err;
            const auto [entries, countLine] = SplitLastLine(folder.out);
            EXPECT_EQ(entries, folderEntries);
            EXPECT_EQ(Counts(countLine), std::make_pair(folderPages, folderHits));
            EXPECT_EQ(Run({"kwic", "--scope", name}, Library(), query).out, folderRows);
            libraryEntries += folderEntries;
            libraryRows += folderRows;
            libraryPages += folderPages;
            libraryHits += folderHits;
        }
        const ToolResult all = Run({"results"}, Library(), query);
        EXPECT_EQ(all.exitCode, 0) << all.err;
        const auto [entries, countLine] = SplitLastLine(all.out);
        EXPECT_EQ(entries, libraryEntries);
        EXPECT_EQ(Counts(countLine), std::make_pair(libraryPages, libraryHits));
        EXPECT_EQ(Run({"kwic"}, Library(), query).out, libraryRows);
    }
    EXPECT_EQ(Run({"results"}, Library(), {"明月"}).out,
              "001\t詩\t全唐詩\t卷一\t1\t1\t0\n001\t詩\t全唐詩\t卷一\t3\t1\t2\n"
              "002\t文\t文選\t卷一\t1\t1\t0\n"
              "003\t詩\t全唐詩\t卷一\t1\t1\t0\n003\t詩\t全唐詩\t卷二\t5\t1\t2\n"
              "全部で 5 頁で、5 箇所でした。\n");
}

TEST_F(LibraryToolTest, JsonAndCsvNameTheFolder) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"results json", {"results", "--scope", "002", "--format", "json", "明月"},
         "{\"entries\": [\n  {\"folder\": \"002\", \"category\": \"文\", \"book\": \"文選\", "
         "\"volume\": \"卷一\", \"page\": 1, \"hits\": 1, \"record\": 0}\n], \"pages\": 1, \"hits\": 1}\n"},
        {"results csv", {"results", "--scope", "003:4", "--format", "csv", "月"},
         "\xEF\xBB\xBFフォルダ,類別,書名,巻,頁,箇所\r\n003,詩,全唐詩,卷二,5,1\r\n"},
        {"kwic json", {"kwic", "--scope", "003:4", "--format", "json", "--context", "1", "松"},
         "[\n  {\"folder\": \"003\", \"record\": 2, \"anchor\": 0, \"category\": \"詩\", \"book\": \"全唐詩\", "
         "\"volume\": \"卷二\", \"page\": 5, \"left\": \"月\", \"hit\": \"松\", \"right\": \"間\"}\n]\n"},
        {"kwic csv", {"kwic", "--scope", "003:4", "--format", "csv", "--context", "1", "松"},
         "\xEF\xBB\xBFフォルダ,レコード,アンカー,類別,書名,巻,頁,前,語,後\r\n003,2,0,詩,全唐詩,卷二,5,月,松,間\r\n"},
        {"results json without hits", {"results", "--format", "json", "雪"},
         "{\"entries\": [], \"pages\": 0, \"hits\": 0}\n"},
        {"forms of the whole library", {"kwic", "--forms", "明月"}, "明月\t4\n朙月\t1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult r = Run({c.args.front()}, Library(), {c.args.begin() + 1, c.args.end()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

// A book of two folders: the first in library order unless a folder's title comes
// first; the record and slot are the folder's own.
TEST_F(LibraryToolTest, GotoNamesTheFolderOfThePage) {
    const struct {
        const char* text;
        const char* folder;     // "" when nothing is found
        const char* inFolder;   // the same page's text for goto on the folder alone
        const char* err;        // part of stderr
    } cases[] = {
        {"全唐詩 卷一 2", "001", "全唐詩 卷一 2", ""},
        {"詩 全唐詩 卷一 2", "001", "全唐詩 卷一 2", ""},
        {"詩・補 全唐詩 卷一 2", "003", "全唐詩 卷一 2", ""},
        {"（詩・補・全唐詩・卷二・第5頁）", "003", "卷二 5", ""},
        {"卷二", "001", "卷二", ""},
        {"文選 卷一", "002", "卷一", ""},
        {"文 卷一 2", "002", "卷一 2", ""},
        {"補遺 序", "003", "序", ""},
        {"卷一", "", "", "「卷一」という巻はいくつかの書にあります。"},
        {"卷二 5", "", "", "卷二には第5頁がありません（第1頁～第1頁）。"},
        {"文 全唐詩 卷一", "", "", "「文」に「全唐詩 卷一」という巻はありません。"},
        {"卷九", "", "", "「卷九」という巻は見つかりませんでした。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ToolResult r = RunTool({"goto", "--data", Library(), c.text});
        if (*c.folder == '\0') {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
            continue;
        }
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const ToolResult one = RunTool({"goto", "--data", Folder(c.folder), c.inFolder});
        ASSERT_EQ(one.exitCode, 0) << one.err;
        EXPECT_EQ(r.out, c.folder + std::string("\t") + one.out);
    }
    // 003's 卷二: its third record, in slot 4 of its catalog.
    EXPECT_EQ(RunTool({"goto", "--data", Library(), "詩・補 卷二 5"}).out, "003\t2\t4\n");
}

TEST_F(LibraryToolTest, CatalogListsEachFolderAfterItsLine) {
    std::string expected;
    const char* titles[] = {"詩", "文", "詩・補"};
    for (int f = 0; f < 3; ++f) {
        const ToolResult one = RunTool({"catalog", "--data", Folder(kNames[f])});
        ASSERT_EQ(one.exitCode, 0) << one.err;
        expected += "folder=" + std::string(kNames[f]) + "\ttitle=" + titles[f] + "\n" + one.out;
        const ToolResult named = RunTool({"catalog", "--data", Library(), "--folder", kNames[f]});
        EXPECT_EQ(named.exitCode, 0) << named.err;
        EXPECT_EQ(named.out, one.out);
    }
    const ToolResult all = RunTool({"catalog", "--data", Library()});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.out, expected);
}

// page, find and render read the data folder --folder names.
TEST_F(LibraryToolTest, StoreCommandsReadTheNamedFolder) {
    const std::vector<std::vector<std::string>> commands = {
        {"page", "--record", "1"},
        {"find", "--start", "0", "--number", "5"},
        {"render", "--record", "2", "明月"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        for (const char* name : kNames) {
            const ToolResult one = Run({command.front()}, Folder(name), {command.begin() + 1, command.end()});
            std::vector<std::string> args = {command.begin() + 1, command.end()};
            args.insert(args.begin(), {"--folder", name});
            const ToolResult named = Run({command.front()}, Library(), args);
            EXPECT_EQ(named.exitCode, one.exitCode) << named.err;
            EXPECT_EQ(named.out, one.out);
            EXPECT_EQ(named.err, one.err);
        }
    }
}

TEST_F(LibraryToolTest, RefusesWhatALibraryCannotAnswer) {
    test::TempDir plain;
    BuildFolder(Folders()[1], plain.path());
    const std::string folder = plain.path().string();
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {"--scope-slot on several folders", {"results", "--data", Library(), "--scope-slot", "1", "月"}, 2,
         "is a library of 3 data folders, and --scope-slot names a slot of one: give --scope FOLDER:SLOT"},
        {"kwic --scope-slot on several folders", {"kwic", "--data", Library(), "--scope-slot", "1", "月"}, 2,
         "give --scope FOLDER:SLOT"},
        {"both scopes", {"results", "--data", Library(), "--scope", "001", "--scope-slot", "1", "月"}, 2,
         "give --scope or --scope-slot, not both"},
        {"unknown folder", {"results", "--data", Library(), "--scope", "004:1", "月"}, 2,
         "has no data folder 004 (its data folders: 001 to 003)"},
        {"slot past the folder's catalog", {"results", "--data", Library(), "--scope", "002:4", "月"}, 2,
         "scope slot 4 holds no catalog record of data folder 002 (its catalog has slots 1 to 3)"},
        {"slot 0", {"kwic", "--data", Library(), "--scope", "002:0", "月"}, 2, "scope slot 0 holds no"},
        {"slot not a number", {"results", "--data", Library(), "--scope", "002:x", "月"}, 2,
         "--scope is FOLDER or FOLDER:SLOT"},
        {"--scope on a data folder", {"results", "--data", folder, "--scope", "002:1", "月"}, 2,
         "is no library: give --scope-slot I"},
        {"page without --folder", {"page", "--data", Library(), "--record", "0"}, 2,
         "is a library of 3 data folders: name one with --folder NAME (001 to 003)"},
        {"find without --folder", {"find", "--data", Library(), "--start", "0", "--number", "1"}, 2,
         "name one with --folder NAME"},
        {"render without --folder", {"render", "--data", Library(), "--record", "0", "月"}, 2,
         "name one with --folder NAME"},
        {"--folder of none", {"page", "--data", Library(), "--folder", "009", "--record", "0"}, 2,
         "has no data folder 009"},
        {"--folder on a data folder", {"page", "--data", folder, "--folder", "001", "--record", "0"}, 2,
         "is no library"},
        {"record past the named folder", {"page", "--data", Library(), "--folder", "002", "--record", "2"}, 2,
         "record 2 is not a readable record of the store"},
        {"query without a searchable word", {"results", "--data", Library(), "a"}, 1, "no searchable word"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("vyn-tool: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

// A library of one data folder answers as the folder does, byte for byte.
TEST_F(LibraryToolTest, ALibraryOfOneFolderIsThatFolder) {
    const std::string folder = (s_dir->path() / "single" / "001").string();
    const std::vector<std::vector<std::string>> commands = {
        {"search", "月"},
        {"search", "--or", "霜", "光"},
        {"results", "--scope-slot", "1", "月"},
        {"results", "--scope-slot", "3", "--format", "json", "明月"},
        {"kwic", "--scope-slot", "2", "--format", "csv", "月"},
        {"catalog"},
        {"goto", "全唐詩 卷一 2"},
        {"goto", "卷一"},
        {"page", "--record", "3"},
        {"find", "--start", "1", "--number", "1"},
        {"render", "--record", "0", "月"},
        {"results", "--scope-slot", "99", "月"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front() + " " + command.back());
        const ToolResult one = Run({command.front()}, folder, {command.begin() + 1, command.end()});
        const ToolResult library = Run({command.front()}, Single(), {command.begin() + 1, command.end()});
        EXPECT_EQ(library.exitCode, one.exitCode);
        EXPECT_EQ(library.out, one.out);
        EXPECT_EQ(library.err, one.err);
    }
    // Its folder may be named, and the whole library is its folder's categories.
    EXPECT_EQ(Run({"results", "--scope", "001:3"}, Single(), {"月"}).out,
              Run({"results", "--scope-slot", "3"}, folder, {"月"}).out);
    const std::string categoryRows = Run({"kwic", "--scope-slot", "1"}, folder, {"月"}).out;
    EXPECT_EQ(Run({"kwic"}, Single(), {"月"}).out, categoryRows);
    EXPECT_EQ(Run({"kwic", "--scope", "001"}, Single(), {"月"}).out, categoryRows);
}

}  // namespace
}  // namespace vyn
