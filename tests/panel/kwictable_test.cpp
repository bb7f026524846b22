// The hit table: batches under a filter, form counts, orders with their stale results,
// and the worker its sorts and fills run on.
#include "panel/kwictable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "panel/cancellableworker.h"

namespace vyn {
namespace {

// A row known by its record number.
KwicRow Row(std::uint32_t id, std::u16string left, std::u16string hit, std::u16string right) {
    KwicRow row;
    row.record = id;
    row.left = std::move(left);
    row.hit = std::move(hit);
    row.right = std::move(right);
    return row;
}

// Ordered by code point 丙 < 乙 < 甲 and 明 < 月. Read from the hit outward the left
// contexts order 4, 1, 2, {0, 3}; read as written they would order 4, 2, {0, 3}, 1.
std::vector<KwicRow> FiveRows() {
    return {Row(0, u"乙甲", u"明", u"丙"), Row(1, u"甲乙", u"月", u"甲"),
            Row(2, u"丙甲", u"明", u"乙"), Row(3, u"乙甲", u"月", u"甲"), Row(4, u"", u"明", u"")};
}

std::vector<std::uint32_t> ViewIds(const CKwicTable& table) {
    std::vector<std::uint32_t> ids;
    for (std::size_t r = 0; r < table.ViewSize(); ++r) ids.push_back(table.RowAt(r).record);
    return ids;
}

// Sorts on this thread, as the worker would.
void Sort(CKwicTable& table, KwicSortKey key) {
    std::optional<CKwicTable::SortJob> job = table.SortBy(key);
    if (!job) return;
    std::vector<std::uint32_t> order;
    ASSERT_TRUE(OrderByKeys(job->keys, order, nullptr));
    ASSERT_TRUE(table.ApplySort(job->generation, std::move(order)));
}

TEST(KwicTable, OrdersByEachKeyWithTiesInArrivalOrder) {
    const struct {
        const char* name;
        KwicSortKey key;
        std::vector<std::uint32_t> ids;
    } cases[] = {
        {"LeftReadFromTheHitOutward", KwicSortKey::kLeft, {4, 1, 2, 0, 3}},
        {"Hit", KwicSortKey::kHit, {0, 2, 4, 1, 3}},
        {"Right", KwicSortKey::kRight, {4, 0, 2, 1, 3}},
        {"Location", KwicSortKey::kLocation, {0, 1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CKwicTable table;
        table.Append(FiveRows());
        Sort(table, KwicSortKey::kRight);  // a different order first
        Sort(table, c.key);
        EXPECT_EQ(ViewIds(table), c.ids);
        EXPECT_EQ(table.SortedBy(), c.key);
        EXPECT_FALSE(table.IsSorting());
        table.SetFilter(u"月");
        std::vector<std::uint32_t> shown;
        for (std::uint32_t id : c.ids) {
            if (id == 1 || id == 3) shown.push_back(id);
        }
        EXPECT_EQ(ViewIds(table), shown);
    }
}

TEST(KwicTable, BatchesAppendUnderTheFilter) {
    const struct {
        const char* name;
        std::optional<std::u16string> filter;
        std::vector<std::uint32_t> ids;
    } cases[] = {
        {"NoFilter", std::nullopt, {0, 1, 2, 3, 4}},
        {"OneForm", u"明", {0, 2, 4}},
        {"OtherForm", u"月", {1, 3}},
        {"FormOfNoRow", u"山", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<KwicRow> rows = FiveRows();
        CKwicTable table;
        table.SetFilter(c.filter);
        table.Append({rows[0], rows[1]});
        table.Append({});
        table.Append({rows[2], rows[3], rows[4]});
        EXPECT_EQ(ViewIds(table), c.ids);
        for (std::uint32_t id = 0; id < rows.size(); ++id) {
            EXPECT_EQ(table.Shows(rows[id]), !c.filter || *c.filter == rows[id].hit) << id;
        }
        EXPECT_EQ(table.ShownRows().size(), c.ids.size());
        // The forms count every row, whatever the filter.
        EXPECT_EQ(table.Forms(), (std::vector<HitFormCount>{{u"明", 3}, {u"月", 2}}));
        table.SetFilter(std::nullopt);
        EXPECT_EQ(ViewIds(table), (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
    }
}

TEST(KwicTable, RowsArrivingDuringASortFollowTheSortedOnes) {
    CKwicTable table;
    table.Append(FiveRows());
    std::optional<CKwicTable::SortJob> job = table.SortBy(KwicSortKey::kLeft);
    ASSERT_TRUE(job);
    EXPECT_TRUE(table.IsSorting());
    EXPECT_EQ(job->keys.size(), 5u);
    // Until the order comes back the rows stay as they are, the new ones at the end.
    table.Append({Row(5, u"", u"明", u""), Row(6, u"丙", u"月", u"")});
    table.SetFilter(u"明");
    EXPECT_EQ(ViewIds(table), (std::vector<std::uint32_t>{0, 2, 4, 5}));

    std::vector<std::uint32_t> order;
    ASSERT_TRUE(OrderByKeys(job->keys, order, nullptr));
    ASSERT_TRUE(table.ApplySort(job->generation, std::move(order)));
    EXPECT_EQ(ViewIds(table), (std::vector<std::uint32_t>{4, 2, 0, 5}));
    table.SetFilter(std::nullopt);
    EXPECT_EQ(ViewIds(table), (std::vector<std::uint32_t>{4, 1, 2, 0, 3, 5, 6}));
    // The next sort takes them in.
    Sort(table, KwicSortKey::kLeft);
    EXPECT_EQ(ViewIds(table), (std::vector<std::uint32_t>{4, 5, 6, 1, 2, 0, 3}));
}

TEST(KwicTable, AStaleSortResultIsDropped) {
    const struct {
        const char* name;
        std::function<void(CKwicTable&, const CKwicTable::SortJob&)> meanwhile;
        std::vector<std::uint32_t> ids;  // the view afterwards
        bool sorting;                    // whether a later job is still awaited
    } cases[] = {
        {"RowsCleared", [](CKwicTable& t, const auto&) { t.Clear(); }, {}, false},
        {"RowsClearedAndRefilled",
         [](CKwicTable& t, const auto&) {
             t.Clear();
             t.Append(FiveRows());
         },
         {0, 1, 2, 3, 4},
         false},
        {"AnotherKeyChosen",
         [](CKwicTable& t, const auto&) { t.SortBy(KwicSortKey::kRight); },
         {0, 1, 2, 3, 4},
         true},
        {"SameKeyChosenAgain",
         [](CKwicTable& t, const auto&) { t.SortBy(KwicSortKey::kHit); },
         {0, 1, 2, 3, 4},
         true},
        {"LocationChosen",
         [](CKwicTable& t, const auto&) { t.SortBy(KwicSortKey::kLocation); },
         {0, 1, 2, 3, 4},
         false},
        {"AlreadyTaken",
         [](CKwicTable& t, const CKwicTable::SortJob& job) {
             std::vector<std::uint32_t> order;
             OrderByKeys(job.keys, order, nullptr);
             t.ApplySort(job.generation, order);
         },
         {0, 2, 4, 1, 3},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CKwicTable table;
        table.Append(FiveRows());
        std::optional<CKwicTable::SortJob> job = table.SortBy(KwicSortKey::kHit);
        ASSERT_TRUE(job);
        c.meanwhile(table, *job);
        EXPECT_FALSE(table.IsCurrent(job->generation));
        // Reversed, so that a wrongly taken order shows.
        std::vector<std::uint32_t> order = {4, 3, 2, 1, 0};
        EXPECT_FALSE(table.ApplySort(job->generation, order));
        EXPECT_EQ(ViewIds(table), c.ids);
        EXPECT_EQ(table.IsSorting(), c.sorting);
    }
}

TEST(KwicTable, ClearKeepsTheOrderChosenAndDropsTheRest) {
    CKwicTable table;
    table.Append(FiveRows());
    Sort(table, KwicSortKey::kRight);
    table.SetFilter(u"明");
    table.Clear();
    EXPECT_EQ(table.ViewSize(), 0u);
    EXPECT_TRUE(table.Forms().empty());
    EXPECT_FALSE(table.Filter());
    EXPECT_EQ(table.SortedBy(), KwicSortKey::kRight);
    table.Append(FiveRows());
    EXPECT_EQ(ViewIds(table), (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
}

TEST(KwicTable, FormsRankByCountThenFirstAppearance) {
    const struct {
        const char* name;
        std::vector<std::u16string> hits;
        std::vector<HitFormCount> forms;
    } cases[] = {
        {"NoRows", {}, {}},
        {"OneForm", {u"明月", u"明月"}, {{u"明月", 2}}},
        {"MostFrequentFirst", {u"朙月", u"明月", u"明月"}, {{u"明月", 2}, {u"朙月", 1}}},
        {"EqualCountsInFirstAppearanceOrder",
         {u"月", u"明", u"山", u"明", u"月"},
         {{u"月", 2}, {u"明", 2}, {u"山", 1}}},
        {"EmptyHitIsAForm", {u"", u"明", u""}, {{u"", 2}, {u"明", 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<KwicRow> rows;
        for (const std::u16string& hit : c.hits) rows.push_back(Row(0, u"", hit, u""));
        EXPECT_EQ(HitForms(rows), c.forms);
        CKwicTable table;
        for (const KwicRow& row : rows) table.Append({row});
        EXPECT_EQ(table.Forms(), c.forms);
    }
}

TEST(ShortenedHit, CutsOnlyHitsOverTwelveCharactersInTheMiddle) {
    const struct {
        const char* name;
        std::u16string hit, shown;
    } cases[] = {
        {"Empty", u"", u""},
        {"Short", u"明日月", u"明日月"},
        {"TwelveStayWhole", u"一二三四五六七八九十百千", u"一二三四五六七八九十百千"},
        {"ThirteenCut", u"明一二三四五六七八九十百月", u"明一二三四五…八九十百月"},
        {"SurrogatePairsCountAsOne", u"\U00020000一二三四五六七八九十百\U00020001",
         u"\U00020000一二三四五…八九十百\U00020001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShortenedHit(c.hit), c.shown);
    }
}

TEST(KwicTable, OrderByKeysGivesUpWhenToldTo) {
    std::vector<std::u16string> keys;
    for (int i = 0; i < 20000; ++i)
        keys.push_back(std::u16string(1, static_cast<char16_t>(0x4E00 + (i * 7919) % 20000)));
    std::vector<std::uint32_t> order;
    int asked = 0;
    EXPECT_FALSE(OrderByKeys(keys, order, [&] { return ++asked < 3; }));
    EXPECT_EQ(asked, 3);
    ASSERT_TRUE(OrderByKeys(keys, order, [] { return true; }));
    for (std::size_t i = 1; i < order.size(); ++i)
        ASSERT_LE(keys[order[i - 1]], keys[order[i]]) << i;
}

// A job that runs until cancelled, then records that it ended.
auto UntilCancelled(std::atomic<int>& ended) {
    return [&ended](const CCancellableWorker::CToken& token) {
        while (!token.Cancelled()) std::this_thread::yield();
        ++ended;
    };
}

TEST(CancellableWorker, StopCancelsTheJobAndWaitsForIt) {
    std::atomic<int> ended = 0;
    CCancellableWorker worker;
    EXPECT_FALSE(worker.Running());
    worker.Stop();  // without a job
    worker.Start(UntilCancelled(ended));
    EXPECT_TRUE(worker.Running());
    worker.Stop();
    EXPECT_EQ(ended.load(), 1);
    EXPECT_FALSE(worker.Running());
}

TEST(CancellableWorker, StartingAJobEndsTheRunningOneFirst) {
    std::atomic<int> ended = 0;
    int seenByTheSecond = -1;
    CCancellableWorker worker;
    worker.Start(UntilCancelled(ended));
    worker.Start([&](const CCancellableWorker::CToken& token) {
        seenByTheSecond = ended.load();
        EXPECT_FALSE(token.Cancelled());
    });
    worker.Join();
    EXPECT_EQ(seenByTheSecond, 1);
}

TEST(CancellableWorker, JoinLetsTheJobFinish) {
    // A job that cannot be copied, as the fill's is.
    auto count = std::make_unique<int>(1000);
    long total = 0;
    bool cancelled = true;
    CCancellableWorker worker;
    worker.Start(
        [count = std::move(count), &total, &cancelled](const CCancellableWorker::CToken& token) {
            for (int i = 1; i <= *count; ++i) total += i;
            cancelled = token.Cancelled();
        });
    worker.Join();
    EXPECT_EQ(total, 500500);
    EXPECT_FALSE(cancelled);
    EXPECT_FALSE(worker.Running());
}

TEST(CancellableWorker, DestructionStopsTheJob) {
    std::atomic<int> ended = 0;
    {
        CCancellableWorker worker;
        worker.Start(UntilCancelled(ended));
    }
    EXPECT_EQ(ended.load(), 1);
}

TEST(CancellableWorker, AJobThatThrowsEndsQuietly) {
    CCancellableWorker worker;
    worker.Start([](const CCancellableWorker::CToken&) { throw std::runtime_error("no memory"); });
    worker.Join();
    EXPECT_FALSE(worker.Running());
}

}  // namespace
}  // namespace vyn
