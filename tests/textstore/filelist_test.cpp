#include "textstore/filelist.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "support/storefixture.h"
#include "support/tempdir.h"
#include "textstore/storeformat.h"

namespace vyn {
namespace {

using test::FixturePage;
using test::TempDir;

std::string Str(const ByteString& b) { return std::string(AsView(b)); }

TEST(RecordPageNumber, ReadsDigitsBetweenLastBackslashAndDot) {
    const struct {
        const char* name;
        std::optional<std::uint64_t> number;
    } cases[] = {
        {"book3\\0012.htm", 12},
        {"book3\\12.htm", 12},
        {"0012.htm", std::nullopt},
        {"book3\\12", std::nullopt},
        {"a.b\\12", std::nullopt},  // the only dot lies before the backslash
        {"a\\b\\7.htm", 7},
        {"a\\b.c\\9.htm", 9},
        {"book\\12x.htm", 12},
        {"book\\x12.htm", 0},
        {"book\\.htm", 0},
        {"book\\1.2.htm", 1},  // last dot: "1.2", digits stop at the first dot
        {"book\\123456789012345.htm", 12345678901},  // eleven characters at most
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RecordPageNumber(c.name), c.number);
    }
}

class FileListTest : public testing::Test {
protected:
    std::filesystem::path Dir() const { return m_dir.path(); }
    std::filesystem::path Directory() const { return m_dir / "Index-fl.h"; }
    std::filesystem::path Content() const { return m_dir / "Index-fl.cnt"; }

    void WriteThreePages() {
        test::WriteStore(Dir(),
                         {{"v1\\1.htm", "first"}, {"v1\\2.htm", ""}, {"v2\\1.htm", "third page"}},
                         100, 77);
    }

    TempDir m_dir;
};

TEST_F(FileListTest, FreshStoreRefusesEveryAccess) {
    CFileList store;
    EXPECT_FALSE(store.IsOpen());
    EXPECT_EQ(store.GetNameWidth(), 100u);
    EXPECT_EQ(store.GetHeaderNumber(), 0u);
    std::int64_t recordIndex = 1234;
    std::uint32_t length = 99;
    ByteString page = ToBytes("keep");
    EXPECT_FALSE(store.FindPage(0, 1, recordIndex));
    EXPECT_EQ(recordIndex, 1234);
    EXPECT_FALSE(store.GetPageLength(0, length));
    EXPECT_EQ(length, 99u);
    EXPECT_FALSE(store.ReadPage(0, page));
    EXPECT_EQ(Str(page), "keep");
    ByteString out = ToBytes("untouched");
    EXPECT_EQ(store.RenderHitPage(0, out, u"a", SearchScope::kWhole), 0);
    EXPECT_EQ(Str(out), "untouched");
}

TEST_F(FileListTest, OpensAndReadsHeaderAndPages) {
    WriteThreePages();
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    EXPECT_EQ(store.GetHeaderNumber(), 77u);
    EXPECT_EQ(store.GetNameWidth(), 100u);
    std::uint32_t length = 0;
    ASSERT_TRUE(store.GetPageLength(2, length));
    EXPECT_EQ(length, 10u);
    ByteString page;
    ASSERT_TRUE(store.ReadPage(0, page));
    EXPECT_EQ(Str(page), "first");
    ASSERT_TRUE(store.ReadPage(2, page));
    EXPECT_EQ(Str(page), "third page");
}

TEST_F(FileListTest, EmptyPageReadsAsNothing) {
    WriteThreePages();
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    std::uint32_t length = 5;
    ASSERT_TRUE(store.GetPageLength(1, length));
    EXPECT_EQ(length, 0u);
    std::uint8_t buffer[2] = {'x', 'y'};
    EXPECT_TRUE(store.ReadPage(1, std::span<std::uint8_t>(buffer, 0)));
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(FileListTest, ReadPageIntoCallerBuffer) {
    WriteThreePages();
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    std::uint8_t buffer[12] = {};
    buffer[10] = '#';
    ASSERT_TRUE(store.ReadPage(2, std::span<std::uint8_t>(buffer, 12)));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 11), "third page#");  // no terminator
    EXPECT_FALSE(store.ReadPage(2, std::span<std::uint8_t>(buffer, 9))) << "buffer too small";
}

TEST_F(FileListTest, ContentIsMaskedAndUnmaskingIsItsOwnInverse) {
    std::string every;
    for (int b = 0; b < 256; ++b) every.push_back(static_cast<char>(b));
    test::WriteStore(Dir(), {{"v\\1.htm", every}});
    std::string stored = test::ReadFile(Content());
    ASSERT_EQ(stored.size(), 256u);
    for (int b = 0; b < 256; ++b) {
        ASSERT_EQ(static_cast<std::uint8_t>(stored[b]), static_cast<std::uint8_t>(b ^ kStoreMask));
    }
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    ByteString page;
    ASSERT_TRUE(store.ReadPage(0, page));
    EXPECT_EQ(Str(page), every);
}

TEST_F(FileListTest, FindPageScansForwardFromStartIndex) {
    test::WriteStore(Dir(), {{"a\\1.htm", ""},
                             {"a\\2.htm", ""},
                             {"b\\1.htm", ""},
                             {"b\\0002.htm", ""},
                             {"0003.htm", ""},
                             {"b\\3", ""},
                             {"b\\3.htm", ""}});
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    const struct {
        const char* name;
        std::uint32_t start, number;
        bool found;
        std::int64_t index;
    } cases[] = {
        {"match at the start index itself", 0, 1, true, 0},
        {"first match after the start", 1, 1, true, 2},
        {"leading zeros", 3, 2, true, 3},
        {"names without a number never match", 2, 3, true, 6},
        {"not found scans to the end", 4, 9, false, 6},
        {"start beyond the last record", 7, 1, false, 6},
        {"start far beyond the directory", 1000, 1, false, 999},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::int64_t index = -77;
        EXPECT_EQ(store.FindPage(c.start, c.number, index), c.found);
        EXPECT_EQ(index, c.index);
    }
}

TEST_F(FileListTest, FindPageAcrossManyRecords) {
    std::vector<FixturePage> pages;
    for (int i = 0; i < 1500; ++i) pages.push_back({"v\\" + std::to_string(i % 700) + ".htm", ""});
    test::WriteStore(Dir(), pages, 20);
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    std::int64_t index = 0;
    ASSERT_TRUE(store.FindPage(0, 699, index));
    EXPECT_EQ(index, 699);
    ASSERT_TRUE(store.FindPage(700, 699, index));
    EXPECT_EQ(index, 1399);
    ASSERT_TRUE(store.FindPage(1400, 99, index));
    EXPECT_EQ(index, 1499);
    EXPECT_FALSE(store.FindPage(1400, 100, index));
    EXPECT_EQ(index, 1499);
}

TEST_F(FileListTest, HeaderOnlyDirectoryOpensEmpty) {
    test::WriteStore(Dir(), {});
    ASSERT_EQ(std::filesystem::file_size(Directory()), 268u);
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    std::int64_t index = 5;
    EXPECT_FALSE(store.FindPage(0, 1, index));
    EXPECT_EQ(index, -1);
}

TEST_F(FileListTest, OpenFailures) {
    const struct {
        const char* name;
        void (*damage)(const std::filesystem::path& dir);
    } cases[] = {
        {"content file missing",
         [](const std::filesystem::path& d) { std::filesystem::remove(d / "Index-fl.cnt"); }},
        {"directory file missing",
         [](const std::filesystem::path& d) { std::filesystem::remove(d / "Index-fl.h"); }},
        {"directory shorter than its header",
         [](const std::filesystem::path& d) { test::TruncateFile(d / "Index-fl.h", 267); }},
        {"empty directory file",
         [](const std::filesystem::path& d) { test::TruncateFile(d / "Index-fl.h", 0); }},
        {"name width over 260",
         [](const std::filesystem::path& d) { test::PatchFile(d / "Index-fl.h", 4, test::U32(261)); }},
        {"directory is a folder",
         [](const std::filesystem::path& d) {
             std::filesystem::remove(d / "Index-fl.h");
             std::filesystem::create_directory(d / "Index-fl.h");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        test::WriteStore(dir.path(), {{"v\\1.htm", "page"}});
        c.damage(dir.path());
        CFileList store;
        EXPECT_FALSE(store.Open(dir.path(), "Index"));
        EXPECT_FALSE(store.IsOpen());
        std::uint32_t length = 0;
        EXPECT_FALSE(store.GetPageLength(0, length));
    }
}

TEST_F(FileListTest, WidestNameFieldOpens) {
    test::WriteStore(Dir(), {{std::string(200, 'n') + "\\5.htm", "wide"}}, 260);
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    std::int64_t index = 0;
    EXPECT_TRUE(store.FindPage(0, 5, index));
    ByteString page;
    ASSERT_TRUE(store.ReadPage(0, page));
    EXPECT_EQ(Str(page), "wide");
}

TEST_F(FileListTest, DamagedRecordsFailCleanly) {
    // Record i of width 100 starts at 268 + i*108; end offset at +100, length at +104.
    const struct {
        const char* name;
        std::uint32_t record;
        void (*damage)(const std::filesystem::path& dir);
    } cases[] = {
        {"record index beyond the directory", 3, [](const std::filesystem::path&) {}},
        {"huge record index", 0xFFFFFFFF, [](const std::filesystem::path&) {}},
        {"end offset past the content file", 0,
         [](const std::filesystem::path& d) {
             test::PatchFile(d / "Index-fl.h", 268 + 100, test::U32(1000));
         }},
        {"length above the end offset", 0,
         [](const std::filesystem::path& d) {
             test::PatchFile(d / "Index-fl.h", 268 + 104, test::U32(6));
         }},
        {"length of 4 GiB", 2,
         [](const std::filesystem::path& d) {
             test::PatchFile(d / "Index-fl.h", 268 + 2 * 108 + 104, test::U32(0xFFFFFFFF));
         }},
        {"content file cut short", 2,
         [](const std::filesystem::path& d) { test::TruncateFile(d / "Index-fl.cnt", 8); }},
        {"directory cut inside the record", 2,
         [](const std::filesystem::path& d) {
             test::TruncateFile(d / "Index-fl.h", 268 + 2 * 108 + 104);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        test::WriteStore(dir.path(),
                         {{"v\\1.htm", "first"}, {"v\\2.htm", ""}, {"v\\3.htm", "third page"}});
        c.damage(dir.path());
        CFileList store;
        ASSERT_TRUE(store.Open(dir.path(), "Index"));
        std::uint32_t length = 12345;
        EXPECT_FALSE(store.GetPageLength(c.record, length));
        EXPECT_EQ(length, 12345u);
        ByteString page = ToBytes("keep");
        EXPECT_FALSE(store.ReadPage(c.record, page));
        EXPECT_EQ(Str(page), "keep");
        ByteString out = ToBytes("keep");
        EXPECT_EQ(store.RenderHitPage(c.record, out, u"t", SearchScope::kWhole), 0);
        EXPECT_EQ(Str(out), "keep");
        ByteString first;
        EXPECT_TRUE(store.ReadPage(1, first)) << "an intact record still reads";
    }
}

TEST_F(FileListTest, DamagedDirectoryTailAndUnterminatedNames) {
    test::WriteStore(Dir(), {{"v\\1.htm", "a"}, {"v\\2.htm", "b"}}, 8);
    // Record 1 (at 268 + 16) gets a name that fills its field without a zero byte.
    test::PatchFile(Directory(), 268 + 16, "v\\22.htm");
    // A trailing fragment too short to hold a name.
    std::string directory = test::ReadFile(Directory()) + "v\\";
    test::WriteFile(Directory(), directory);
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    std::int64_t index = 0;
    ASSERT_TRUE(store.FindPage(0, 22, index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(store.FindPage(0, 3, index));
    EXPECT_EQ(index, 1);
    ByteString page;
    EXPECT_TRUE(store.ReadPage(1, page));
    EXPECT_EQ(Str(page), "b");
    EXPECT_FALSE(store.ReadPage(2, page));
}

TEST_F(FileListTest, CloseEndsAccessAndReopenWorks) {
    WriteThreePages();
    CFileList store;
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    ASSERT_TRUE(store.Open(Dir(), "Index")) << "Open on an open store closes first";
    store.Close();
    store.Close();
    EXPECT_FALSE(store.IsOpen());
    std::int64_t index = 42;
    EXPECT_FALSE(store.FindPage(0, 1, index));
    EXPECT_EQ(index, 42);
    std::uint32_t length = 0;
    EXPECT_FALSE(store.GetPageLength(0, length));
    ByteString page;
    EXPECT_FALSE(store.ReadPage(0, page));
    ASSERT_TRUE(store.Open(Dir(), "Index"));
    EXPECT_TRUE(store.ReadPage(0, page));
}

TEST_F(FileListTest, ReadersShareTheStoreAndAnExclusiveHolderIsRespected) {
    WriteThreePages();
    CFileList first, second;
    ASSERT_TRUE(first.Open(Dir(), "Index"));
    ASSERT_TRUE(second.Open(Dir(), "Index"));
    ByteString one, two;
    EXPECT_TRUE(first.ReadPage(2, one));
    EXPECT_TRUE(second.ReadPage(2, two));
    EXPECT_EQ(one, two);
    first.Close();
    second.Close();

    // Whatever holds a data file exclusively keeps readers out until it lets go.
    const int fd = ::open(Content().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_FALSE(second.Open(Dir(), "Index"));
    EXPECT_FALSE(second.IsOpen());
    ::close(fd);
    EXPECT_TRUE(second.Open(Dir(), "Index"));
}

TEST_F(FileListTest, FilesAreNeverWritten) {
    WriteThreePages();
    std::string directory = test::ReadFile(Directory()), content = test::ReadFile(Content());
    {
        CFileList store;
        ASSERT_TRUE(store.Open(Dir(), "Index"));
        ByteString out;
        store.RenderHitPage(0, out, u"first", SearchScope::kWhole);
        std::int64_t index = 0;
        store.FindPage(0, 2, index);
    }
    EXPECT_EQ(test::ReadFile(Directory()), directory);
    EXPECT_EQ(test::ReadFile(Content()), content);
}

}  // namespace
}  // namespace vyn
