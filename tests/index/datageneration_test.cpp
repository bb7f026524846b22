// A generation of a data folder: which changes of the folder count as another build,
// and engines opened from it after the folder changed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "builder/databuilder.h"
#include "index/datageneration.h"
#include "index/index.h"
#include "support/rebuild.h"
#include "support/tempdir.h"
#include "textstore/catalog.h"
#include "textstore/folderlock.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;

Corpus OneVolume(std::string text, std::string volumeName = "卷一") {
    CorpusVolume volume{std::move(volumeName), 1, {{"一", {Paragraph{{TextRun{TextRun::kMain, std::move(text)}}}}}}};
    Corpus corpus;
    corpus.categories.push_back({"詩", {{"全唐詩", {volume}}}});
    corpus.variantGroups = {{0x660E, 0x6719}};
    return corpus;
}

class DataGenerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(m_data);
        CDataBuilder builder;
        BuildStats stats;
        ASSERT_TRUE(builder.Build(OneVolume("明月光"), m_data, stats)) << builder.GetReason();
    }

    test::TempDir m_dir;
    fs::path m_data = m_dir.path() / "data";
};

TEST_F(DataGenerationTest, TellsAnotherBuildFromTheOneItHolds) {
    const struct {
        const char* name;
        std::function<void(const fs::path&)> change;
        bool superseded;
    } cases[] = {
        {"Unchanged", [](const fs::path&) {}, false},
        {"ReadAgain", [](const fs::path& d) { test::ReadFile(d / "vyn.dir"); }, false},
        {"FolderRebuilt",
         [](const fs::path& d) {
             std::string reason;
             ASSERT_TRUE(test::RebuildFolder(OneVolume("海上"), d, reason)) << reason;
         },
         true},
        {"OneIndexFileReplaced",
         [](const fs::path& d) {
             fs::copy_file(d / "Index_desc-idx.m", d / "copy");
             fs::rename(d / "copy", d / "Index_desc-idx.m");
         },
         true},
        {"VariantTableRemoved", [](const fs::path& d) { fs::remove(d / "yitizi.txt"); }, true},
        {"CatalogWrittenInPlace",
         [](const fs::path& d) { test::WriteFile(d / "vyn.dir", test::ReadFile(d / "vyn.dir") + "x"); },
         true},
        {"OtherFileAdded", [](const fs::path& d) { test::WriteFile(d / "notes.txt", "x"); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_data);
        SetUp();
        CDataGeneration data;
        ASSERT_TRUE(data.Open(m_data));
        EXPECT_FALSE(data.Superseded());
        c.change(m_data);
        EXPECT_EQ(data.Superseded(), c.superseded);
    }
}

// A file missing from the build opened counts as another build once it is there.
TEST_F(DataGenerationTest, AFileThatAppearsIsAnotherBuild) {
    const std::string variants = test::ReadFile(m_data / "yitizi.txt");
    fs::remove(m_data / "yitizi.txt");
    CDataGeneration data;
    ASSERT_TRUE(data.Open(m_data));
    EXPECT_FALSE(data.FileOf(CDataGeneration::File::kVariants).IsOpen());
    EXPECT_TRUE(data.FileOf(CDataGeneration::File::kCatalog).IsOpen());
    EXPECT_FALSE(data.Superseded());
    test::WriteFile(m_data / "yitizi.txt", variants);
    EXPECT_TRUE(data.Superseded());
}

// Engines, catalog and variant table opened after a rebuild, from a generation
// opened before it, read the old build.
TEST_F(DataGenerationTest, OpensTheBuildItHoldsAfterTheFolderIsRebuilt) {
    CDataGeneration data;
    ASSERT_TRUE(data.Open(m_data));
    std::string reason;
    ASSERT_TRUE(test::RebuildFolder(OneVolume("海上", "卷二"), m_data, reason)) << reason;
    for (IndexScope scope : {IndexScope::kWhole, IndexScope::kMain}) {
        SCOPED_TRACE(static_cast<int>(scope));
        CIndex index;
        ASSERT_TRUE(index.Open(data, scope));
        std::u16string query = u"朙月";  // found through the old variant table
        EXPECT_EQ(index.SearchAllWords(query, true, true), 1);
        query = std::u16string(u"海");
        EXPECT_EQ(index.SearchAllWords(query, true, false), 0);
        ByteString page;
        ASSERT_TRUE(index.ReadPage(0, page));
        EXPECT_NE(AsView(page).find("明月光"), std::string_view::npos);
    }
    CCatalog catalog;
    ASSERT_TRUE(catalog.LoadCatalog(data.FileOf(CDataGeneration::File::kCatalog), {}));
    ASSERT_EQ(catalog.NodeItemCount(), 4);
    EXPECT_EQ(std::u16string(catalog.Record(3).Name()), u"卷一");
    CIndex fresh;
    ASSERT_TRUE(fresh.Open(m_data, kIndexBaseName, IndexScope::kWhole));
    std::u16string query = u"海";
    EXPECT_EQ(fresh.SearchAllWords(query, true, false), 1);
}

TEST_F(DataGenerationTest, FailsWhileABuildHoldsTheFolder) {
    CFolderLock builder;
    ASSERT_TRUE(builder.LockExclusive(m_data, std::chrono::milliseconds(0)));
    CDataGeneration data;
    EXPECT_FALSE(data.Open(m_data));
    EXPECT_FALSE(data.IsOpen());
    EXPECT_FALSE(data.FileOf(CDataGeneration::File::kCatalog).IsOpen());
    EXPECT_FALSE(data.Superseded());
    CIndex index;
    EXPECT_FALSE(index.Open(data, IndexScope::kWhole));
    builder.Unlock();
    EXPECT_TRUE(data.Open(m_data));
    EXPECT_TRUE(index.Open(data, IndexScope::kWhole));
}

}  // namespace
}  // namespace vyn
