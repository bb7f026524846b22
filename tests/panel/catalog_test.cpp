#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "textstore/catalog.h"
#include "panel/fixture.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using test::CatalogRecordBytes;

class CatalogTest : public testing::Test {
protected:
    // Loads bytes as the catalog, with the listing in listing.txt.
    bool Load(const std::string& bytes) {
        test::WriteFile(m_dir / "vyn.dir", bytes);
        return m_catalog.LoadCatalog(m_dir / "vyn.dir", m_dir / "listing.txt");
    }

    test::TempDir m_dir;
    test::CRecordingSink m_sink;
    CCatalog m_catalog{&m_sink};
};

TEST_F(CatalogTest, RecordsFindTheirParentsAndTreeItems) {
    Load(CatalogRecordBytes(u"B0", 2, 1, 2, 1) +   // slot 1: no category before it
         CatalogRecordBytes(u"V0", 3, 1, 2, 1) +   // 2: its book is outside the hierarchy
         CatalogRecordBytes(u"C1", 1, 1, 9, 1) +   // 3
         CatalogRecordBytes(u"B1", 2, 1, 3, 1) +   // 4
         CatalogRecordBytes(u"B2", 2, 4, 6, 1) +   // 5: level 2 after level 2
         CatalogRecordBytes(u"V1", 3, 4, 6, 1) +   // 6
         CatalogRecordBytes(u"C2", 1, 10, 1, 1) +  // 7
         CatalogRecordBytes(u"V2", 3, 10, 1, 1));  // 8: no book since C2
    ASSERT_EQ(m_catalog.NodeItemCount(), 9);
    const struct {
        int slot;
        int treeParent;
        const char16_t* nodeParent;  // nullptr: outside the hierarchy
        std::u16string path;
        bool hasChildren;
    } cases[] = {
        {1, 0, nullptr, u"B0", true},
        {2, 1, nullptr, u"B0\\V0", false},
        {3, 0, u"root", u"C1", true},
        {4, 3, u"C1", u"C1\\B1", false},
        {5, 3, u"C1", u"C1\\B2", true},
        {6, 5, u"B2", u"C1\\B2\\V1", false},
        {7, 0, u"root", u"C2", false},
        {8, 5, u"B2", u"C1\\B2\\V2", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slot);
        EXPECT_EQ(m_catalog.TreeParent(c.slot), c.treeParent);
        EXPECT_EQ(m_catalog.ScopePath(c.slot), c.path);
        EXPECT_EQ(m_catalog.HasTreeChildren(c.slot), c.hasChildren);
        const ContentsNodeTag* node = m_catalog.ScopeNode(c.slot);
        if (!c.nodeParent) {
            EXPECT_EQ(node, nullptr);
            continue;
        }
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->name, m_catalog.Record(c.slot).Name());
        ASSERT_NE(node->parent, nullptr);
        EXPECT_EQ(node->parent->name, c.nodeParent);
    }
    const auto& top = m_catalog.Root()->children;
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0]->children.size(), 2u);  // B1 and B2
    EXPECT_EQ(top[0]->children[1]->children.size(), 2u);  // V1 and V2
    EXPECT_TRUE(m_sink.messages.empty());
}

TEST_F(CatalogTest, FindNodeReturnsTheFirstEqualNode) {
    Load(CatalogRecordBytes(u"C", 1, 1, 4, 1) + CatalogRecordBytes(u"first", 2, 1, 2, 1) +
         CatalogRecordBytes(u"v", 3, 1, 2, 1) + CatalogRecordBytes(u"second", 2, 1, 2, 1));
    const ContentsNodeTag* node = m_catalog.ScopeNode(4);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->name, u"first");
    // The name takes no part; curFileName does.
    EXPECT_EQ(CCatalog::FindNode(m_catalog.Root(), m_catalog.Record(3))->name, u"v");
    CatalogRecord other = m_catalog.Record(3);
    other.curFileName = 2;
    EXPECT_EQ(CCatalog::FindNode(m_catalog.Root(), other), nullptr);
    // The root takes part, and is what a record of zeros finds.
    EXPECT_EQ(CCatalog::FindNode(m_catalog.Root(), CatalogRecord{}), m_catalog.Root());
    // A slot without a record is no scope.
    EXPECT_EQ(m_catalog.ScopeNode(5), nullptr);
    EXPECT_EQ(m_catalog.ScopeNode(0), nullptr);
}

TEST_F(CatalogTest, ListingIsWrittenByteForByte) {
    // U+20000 is a surrogate pair; curFileName is unsigned.
    ASSERT_TRUE(Load(CatalogRecordBytes(u"史部", 1, 1, 3, 65535) +
                     CatalogRecordBytes(u"書\U00020000", 2, 1, -1, 2) +
                     CatalogRecordBytes(u"卷一", 3, 2, 2, 7) + CatalogRecordBytes(u"深", 4, 2, 1, 7)));
    const std::string expected =
        "name=史部\tdocID=1\tdocNo=3\tcurFileName=65535\n"
        "\tname=書\xF0\xA0\x80\x80\tdocID=1\tdocNo=-1\tcurFileName=2\n"
        "\t\tname=卷一\tdocID=2\tdocNo=2\tcurFileName=7\n"
        "name=深\tdocID=2\tdocNo=1\tcurFileName=7\n";
    EXPECT_EQ(m_catalog.Listing(), expected);
    EXPECT_EQ(test::ReadFile(m_dir / "listing.txt"), expected);
}

TEST_F(CatalogTest, LoadsWhatItCanOfDamagedCatalogs) {
    std::string tenThousand;
    for (int i = 1; i <= 10001; ++i) tenThousand += CatalogRecordBytes(u"n" + std::u16string(1, u'0' + i % 10), 1, i, 1, 1);
    std::string levels;
    for (int level = 1; level <= 19; ++level) levels += CatalogRecordBytes(u"L", level, 1, 1, 1);
    // name, level 3 and the two low bytes of docID; the rest is missing.
    const std::string shortRecord = CatalogRecordBytes(u"x", 3, 0x0102, -1, 9).substr(0, 206);
    const std::string noNul = CatalogRecordBytes(std::u16string(100, u'名'), 1, 1, 1, 1);
    const struct {
        const char* name;
        std::string bytes;
        int records;
        std::u16string lastPath;
    } cases[] = {
        {"empty file", "", 0, u""},
        {"more than 9,999 records stop at slot 9,999", tenThousand, 9999, u"n9"},
        {"levels outside 1 to 19 are skipped",
         CatalogRecordBytes(u"C", 1, 1, 2, 1) + CatalogRecordBytes(u"zero", 0, 0, 0, 0) +
             CatalogRecordBytes(u"B", 2, 1, 2, 1) + CatalogRecordBytes(u"deep", 20, 1, 1, 1) +
             CatalogRecordBytes(u"V", 3, 1, 2, 1) + CatalogRecordBytes(u"neg", -1, 1, 1, 1),
         3, u"C\\B\\V"},
        {"levels 1 to 19 nest", levels, 19,
         u"L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L\\L"},
        {"name without its NUL", noNul, 1, std::u16string(100, u'名')},
        {"short last record", CatalogRecordBytes(u"C", 1, 1, 1, 1) + CatalogRecordBytes(u"B", 2, 1, 1, 1) +
                                  shortRecord,
         3, u"C\\B\\x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(Load(c.bytes));
        EXPECT_EQ(m_catalog.NodeItemCount(), c.records + 1);
        EXPECT_EQ(m_catalog.ScopePath(c.records), c.lastPath);
        if (c.records + 1 < CCatalog::kSlotCount) {
            EXPECT_EQ(m_catalog.Record(c.records + 1).level, 0);
        }
        EXPECT_EQ(std::count(m_catalog.Listing().begin(), m_catalog.Listing().end(), '\n'), c.records);
    }
    EXPECT_TRUE(m_sink.messages.empty());

    Load(CatalogRecordBytes(u"C", 1, 1, 1, 1) + CatalogRecordBytes(u"B", 2, 1, 1, 1) + shortRecord);
    const CatalogRecord& last = m_catalog.Record(3);
    EXPECT_EQ(last.level, 3);
    EXPECT_EQ(last.docID, 0x0102);
    EXPECT_EQ(last.docNo, 0);
    EXPECT_EQ(last.curFileName, 0);
}

TEST_F(CatalogTest, MissingCatalogGivesAnEmptyTreeAndTheMessage) {
    test::WriteFile(m_dir / "listing.txt", "old");
    EXPECT_FALSE(m_catalog.LoadCatalog(m_dir / "absent.dir", m_dir / "listing.txt"));
    EXPECT_EQ(m_sink.messages, std::vector<std::string>{"you delete data file!"});
    EXPECT_EQ(m_catalog.NodeItemCount(), 1);
    EXPECT_TRUE(m_catalog.Root()->children.empty());
    EXPECT_EQ(test::ReadFile(m_dir / "listing.txt"), "");
}

TEST_F(CatalogTest, UnwritableListingIsSkipped) {
    test::WriteFile(m_dir / "vyn.dir", CatalogRecordBytes(u"C", 1, 1, 1, 1));
    EXPECT_TRUE(m_catalog.LoadCatalog(m_dir / "vyn.dir", m_dir / "no-such-folder" / "vyn.txt"));
    EXPECT_EQ(m_catalog.NodeItemCount(), 2);
    EXPECT_EQ(m_catalog.Listing(), "name=C\tdocID=1\tdocNo=1\tcurFileName=1\n");
    EXPECT_TRUE(m_sink.messages.empty());
}

}  // namespace
}  // namespace vyn
