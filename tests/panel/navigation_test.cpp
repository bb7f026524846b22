#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/fixture.h"
#include "panel/panellogic.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

constexpr NavCommand kCommands[] = {NavCommand::kPrevPage,   NavCommand::kNextPage,
                                    NavCommand::kPrevVolume, NavCommand::kNextVolume,
                                    NavCommand::kPrevHit,    NavCommand::kNextHit};

// The enabled commands as six letters: p n P N h H for prev/next page, volume, hit.
std::string Enabled(const CNavigator& navigator) {
    const char letters[] = "pnPNhH";
    std::string out;
    for (int i = 0; i < 6; ++i) out += navigator.IsEnabled(kCommands[i]) ? letters[i] : '-';
    return out;
}

class NavigationTest : public testing::Test {
protected:
    void SetUp() override {
        test::BuildPanelCorpus(m_dir.path());
        ASSERT_TRUE(m_panel.Open(m_dir.path(), {}));
    }
    CNavigator& Nav() { return m_panel.Session().Navigator(); }
    // The stored bytes of store record i.
    ByteString Stored(std::uint32_t i) {
        ByteString page;
        EXPECT_TRUE(m_panel.Index().ReadPage(i, page));
        return page;
    }
    // Shows a rendered result page with this many hits.
    void ShowResult(std::uint32_t pageIndex, const std::u16string& keyword) {
        ResultPage page = Nav().PrepareResultPage(m_panel.Index(), pageIndex, keyword, SearchScope::kWhole, true);
        Nav().CommitResultPage(page);
    }

    test::TempDir m_dir;
    test::CRecordingSink m_sink;
    CPanelLogic m_panel{&m_sink};
};

TEST_F(NavigationTest, CommandsAreEnabledByPosition) {
    EXPECT_EQ(Enabled(Nav()), "------");
    EXPECT_EQ(Nav().SelectCatalogItem(1), CNavigator::Selection::kScope);
    EXPECT_EQ(Enabled(Nav()), "------");

    const struct {
        const char* name;
        int slot;
        int nextPages;  // presses of "next page" after opening the volume
        std::string enabled;
    } cases[] = {
        {"first page of the first volume", 3, 0, "-n-N--"},
        {"middle page", 3, 1, "pn-N--"},
        {"last page", 3, 2, "p--N--"},
        {"volume of a single page", 7, 0, "--PN--"},
        {"last volume", 10, 0, "-nP---"},
        {"last page of the last volume", 10, 1, "p-P---"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Nav().SelectCatalogItem(c.slot), CNavigator::Selection::kVolumeOpened);
        for (int i = 0; i < c.nextPages; ++i) EXPECT_TRUE(Nav().OnNextPage());
        EXPECT_EQ(Enabled(Nav()), c.enabled);
        // A disabled page step does not run.
        const int page = Nav().CurPage();
        if (c.enabled[0] == '-') {
            EXPECT_FALSE(Nav().OnPrevPage());
        }
        if (c.enabled[1] == '-') {
            EXPECT_FALSE(Nav().OnNextPage());
        }
        EXPECT_EQ(Nav().CurPage(), page);
    }

    ShowResult(2, u"甲");  // 甲甲: anchors 0000 and 0001
    EXPECT_EQ(Nav().HitCount(), 2);
    EXPECT_EQ(Enabled(Nav()).substr(4), "-H");
    EXPECT_TRUE(Nav().OnNextHit());
    EXPECT_EQ(Enabled(Nav()).substr(4), "h-");
    EXPECT_FALSE(Nav().OnNextHit());
    ShowResult(7, u"甲");  // no anchors
    EXPECT_EQ(Nav().HitCount(), 0);
    EXPECT_EQ(Enabled(Nav()).substr(4), "--");
}

TEST_F(NavigationTest, VolumeStepsCrossBooksAndCategories) {
    ASSERT_EQ(Nav().SelectCatalogItem(4), CNavigator::Selection::kVolumeOpened);
    ASSERT_TRUE(Nav().OnNextPage());
    const struct {
        bool forward;
        int slot;  // 0: no further volume
        int page;
    } steps[] = {
        {true, 6, 1},  {true, 7, 7},  {true, 10, 10}, {true, 0, 10},  // next book, next category
        {false, 7, 7}, {false, 6, 1}, {false, 4, 5},  {false, 3, 1}, {false, 0, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(std::to_string(s.forward) + " " + std::to_string(s.slot));
        m_sink.messages.clear();
        const int before = Nav().CurItem();
        const bool moved = s.forward ? Nav().OnNextVolume() : Nav().OnPrevVolume();
        EXPECT_EQ(moved, s.slot != 0);
        EXPECT_EQ(Nav().CurItem(), s.slot != 0 ? s.slot : before);
        EXPECT_EQ(Nav().CurPage(), s.page);
        if (s.slot == 0) {
            EXPECT_EQ(m_sink.messages, std::vector<std::string>{s.forward ? "もう最後の巻まで至りました。"
                                                                           : "これ以上戻れません。もう巻一に至っています。"});
            continue;
        }
        EXPECT_TRUE(m_sink.messages.empty());
        // The tree selection follows, and with it the scope.
        EXPECT_EQ(Nav().SelectCatalogItem(s.slot), CNavigator::Selection::kVolumeOpened);
        EXPECT_EQ(Nav().ScopeItem(), s.slot);
    }
    EXPECT_EQ(Nav().ScopePath(), u"A\\A1\\a1v1");
}

TEST_F(NavigationTest, CatalogPagesComeFromTheVolumeOnly) {
    const struct {
        const char* name;
        int slot, mode, page;
        int record;  // -1: not found
    } cases[] = {
        {"first page of a volume", 10, 1, 99, 8},
        {"page by number", 10, 0, 11, 9},
        {"category opens at its first page", 1, 1, 0, 0},
        {"page number of a later volume", 3, 0, 5, -1},
        {"page number before the volume", 10, 0, 9, -1},
        {"page after the volume's last", 3, 0, 4, -1},
        {"slot without a record", 11, 1, 0, -1},
        {"slot 0", 0, 1, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteString page = ToBytes("untouched");
        const bool found = Nav().ReadCatalogPage(m_panel.Index(), c.slot, c.mode, c.page, page);
        EXPECT_EQ(found, c.record >= 0);
        EXPECT_EQ(page, c.record >= 0 ? Stored(static_cast<std::uint32_t>(c.record)) : ToBytes("untouched"));
    }

    ASSERT_EQ(Nav().SelectCatalogItem(10), CNavigator::Selection::kVolumeOpened);
    EXPECT_EQ(Nav().SliderRange(), (std::pair<int, int>{10, 11}));
    EXPECT_EQ(Nav().PositionText(m_panel.Index().GetHeaderNumber()), "10/10");
    ASSERT_TRUE(Nav().OnPageSliderEnd(11));
    EXPECT_EQ(Nav().PositionText(m_panel.Index().GetHeaderNumber()), "10/11");
    ByteString page;
    ASSERT_TRUE(Nav().ReadCurrentPage(m_panel.Index(), page));
    EXPECT_EQ(page, Stored(9));
    ASSERT_EQ(Nav().SelectCatalogItem(7), CNavigator::Selection::kVolumeOpened);
    EXPECT_EQ(Nav().SliderRange(), (std::pair<int, int>{7, 7}));
}

TEST_F(NavigationTest, ResultPagesAlternateFilesAndHitsMoveTheFragment) {
    ResultPage first = Nav().PrepareResultPage(m_panel.Index(), 5, u"甲", SearchScope::kWhole, true);
    EXPECT_EQ(first.file, "windows1.html");
    EXPECT_EQ(first.fragment, "#0000");
    EXPECT_EQ(first.hitCount, 3);
    EXPECT_NE(AsView(first.bytes).find("甲"), std::string_view::npos);
    // Not committed (the file could not be written): nothing moved.
    EXPECT_TRUE(Nav().ResultFile().empty());
    EXPECT_EQ(Nav().PrepareResultPage(m_panel.Index(), 5, u"甲", SearchScope::kWhole, true).file, "windows1.html");
    Nav().CommitResultPage(first);
    EXPECT_EQ(Nav().ResultFile(), "windows1.html");

    const struct {
        bool next;
        bool moved;
        std::string fragment;
    } steps[] = {{true, true, "#0001"}, {true, true, "#0002"}, {true, false, "#0002"},
                 {false, true, "#0001"}, {false, true, "#0000"}, {false, false, "#0000"}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.fragment);
        EXPECT_EQ(s.next ? Nav().OnNextHit() : Nav().OnPrevHit(), s.moved);
        EXPECT_EQ(Nav().HitTarget().file, "windows1.html");
        EXPECT_EQ(Nav().HitTarget().fragment, s.fragment);
    }
    // Browsing the catalog keeps the result page; a new search starts at hit 0.
    Nav().OnNextHit();
    Nav().SelectCatalogItem(3);
    EXPECT_EQ(Nav().HitTarget().fragment, "#0001");
    Nav().OnSearchStarted();
    EXPECT_EQ(Nav().HitTarget().fragment, "#0000");
    EXPECT_EQ(Nav().HitCount(), 3);

    ResultPage second = Nav().PrepareResultPage(m_panel.Index(), 0, u"甲", SearchScope::kWhole, true);
    EXPECT_EQ(second.file, "windows2.html");
    Nav().CommitResultPage(second);
    EXPECT_EQ(Nav().HitTarget().file, "windows2.html");
    EXPECT_EQ(Nav().PrepareResultPage(m_panel.Index(), 0, u"甲", SearchScope::kWhole, true).file, "windows1.html");
    EXPECT_EQ(CNavigator::Fragment(12), "#0012");
}

}  // namespace
}  // namespace vyn
