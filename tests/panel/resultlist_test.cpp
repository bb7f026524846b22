#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/resultlist.h"

namespace vyn {
namespace {

using EditResult = CResultList::EditResult;

std::vector<SearchNodeTag> Entries(std::size_t count) {
    std::vector<SearchNodeTag> entries(count);
    for (std::size_t i = 0; i < count; ++i) entries[i].pageIndex = static_cast<std::uint32_t>(i);
    return entries;
}

TEST(ResultListTest, PagesHoldHundredRows) {
    const struct {
        std::size_t entries;
        int pageCount;
        std::size_t lastPageRows;
    } cases[] = {{0, 0, 0}, {1, 1, 1}, {100, 1, 100}, {101, 2, 1}, {200, 2, 100}, {250, 3, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        const auto entries = Entries(c.entries);
        CResultList list;
        list.Reset(entries.size());
        EXPECT_EQ(list.ListPageCount(), c.pageCount);
        EXPECT_EQ(list.PageRowVisible(), c.pageCount > 0);
        std::vector<ResultRow> rows{ResultRow{}};
        if (c.pageCount == 0) {
            EXPECT_EQ(list.ListPage(), 0);
            EXPECT_FALSE(list.ShowResultListPage(entries, rows));
            EXPECT_EQ(rows.size(), 1u);  // untouched
            continue;
        }
        // Walk forward to the last page, checking where each page starts.
        for (int page = 1; page <= c.pageCount; ++page) {
            EXPECT_EQ(list.ListPage(), page);
            ASSERT_TRUE(list.ShowResultListPage(entries, rows));
            ASSERT_FALSE(rows.empty());
            EXPECT_EQ(rows.front().pageIndex, static_cast<std::uint32_t>((page - 1) * 100));
            if (page < c.pageCount) {
                EXPECT_EQ(rows.size(), 100u);
                EXPECT_TRUE(list.OnListPageNext());
            }
        }
        EXPECT_EQ(rows.size(), c.lastPageRows);
        EXPECT_EQ(rows.back().pageIndex, static_cast<std::uint32_t>(c.entries - 1));
        EXPECT_FALSE(list.OnListPageNext());
        while (list.OnListPagePrev()) {
        }
        EXPECT_EQ(list.ListPage(), 1);
    }
}

TEST(ResultListTest, PageRowControlsFollowThePage) {
    const struct {
        const char* name;
        std::size_t entries;
        int steps;  // presses of ">"
        bool prev, next, readOnly;
        std::string edit, label;
    } cases[] = {
        {"one page", 100, 0, false, false, true, "1", "/1"},
        {"first of two", 101, 0, false, true, false, "1", "/2"},
        {"last of two", 101, 1, true, false, false, "2", "/2"},
        {"middle of three", 250, 1, true, true, false, "2", "/3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CResultList list;
        list.Reset(c.entries);
        for (int i = 0; i < c.steps; ++i) list.OnListPageNext();
        const ListPageControls controls = list.UpdateListPageControls();
        EXPECT_EQ(controls.prevEnabled, c.prev);
        EXPECT_EQ(controls.nextEnabled, c.next);
        EXPECT_TRUE(controls.editEnabled);
        EXPECT_EQ(controls.editReadOnly, c.readOnly);
        EXPECT_EQ(controls.editText, c.edit);
        EXPECT_EQ(controls.labelText, c.label);
    }
}

TEST(ResultListTest, PageEditAcceptsOnlyListPages) {
    const struct {
        const char* name;
        std::u16string text;
        EditResult result;
        int page;
    } cases[] = {
        {"zero", u"0", EditResult::kRestored, 2},
        {"above the last page", u"4", EditResult::kRestored, 2},
        {"letters", u"abc", EditResult::kRestored, 2},
        {"empty", u"", EditResult::kRestored, 2},
        {"negative", u"-1", EditResult::kRestored, 2},
        {"overflowing", u"99999999999999999999", EditResult::kRestored, 2},
        {"the current page", u"2", EditResult::kUnchanged, 2},
        {"another page", u"3", EditResult::kChanged, 3},
        {"digits then a letter", u"1頁", EditResult::kChanged, 1},
        {"blank and sign", u" +3", EditResult::kChanged, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CResultList list;
        list.Reset(250);
        list.OnListPageNext();
        EXPECT_EQ(list.ApplyListPageEdit(c.text), c.result);
        EXPECT_EQ(list.ListPage(), c.page);
    }
}

TEST(ResultListTest, PageColumnSortsNumerically) {
    std::vector<ResultRow> rows(4);
    const char* numbers[] = {"10", "9", "100", "9"};
    for (std::uint32_t i = 0; i < 4; ++i) {
        rows[i].pageNo = numbers[i];
        rows[i].pageIndex = i;
    }
    CResultList::SortRowsByPageNo(rows);
    std::vector<std::uint32_t> order;
    for (const auto& row : rows) order.push_back(row.pageIndex);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{1, 3, 0, 2}));
}

}  // namespace
}  // namespace vyn
