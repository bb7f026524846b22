// Hits in context: the first batch of rows the window shows, the rows of a whole
// search, and sorting 300,000 rows by their left context.
//
//   build/bin/kwic_bench                      sorting only
//   VYN_BENCH_DATA=DIR build/bin/kwic_bench   also the searches on the data in DIR
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "index/index.h"
#include "textstore/catalog.h"
#include "panel/kwicrows.h"
#include "panel/kwictable.h"

namespace {

using namespace vyn;

// 300,000 rows whose contexts are ten characters of a 3,000-character alphabet.
const std::vector<KwicRow>& ManyRows() {
    static const std::vector<KwicRow> rows = [] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> pick(0x4E00, 0x4E00 + 2999);
        std::vector<KwicRow> made(300000);
        for (KwicRow& row : made) {
            for (int i = 0; i < 10; ++i) row.left += static_cast<char16_t>(pick(random));
            row.hit = u"明月";
            for (int i = 0; i < 10; ++i) row.right += static_cast<char16_t>(pick(random));
        }
        return made;
    }();
    return rows;
}

void BM_SortRowsByLeftContext(benchmark::State& state) {
    CKwicTable table;
    table.Append(ManyRows());
    for (auto _ : state) {
        // What the window does: the table copies the keys, the worker orders them, the
        // table takes the order.
        std::optional<CKwicTable::SortJob> job = table.SortBy(KwicSortKey::kLeft);
        std::vector<std::uint32_t> order;
        OrderByKeys(job->keys, order, [] { return true; });
        table.ApplySort(job->generation, std::move(order));
        benchmark::DoNotOptimize(table.RowAt(0).left.data());
    }
}
BENCHMARK(BM_SortRowsByLeftContext)->Unit(benchmark::kMillisecond);

// A search on the data folder of VYN_BENCH_DATA, for the keyword of the benchmark's
// argument, with catalog record 1 as the scope.
struct Searched {
    CIndex index;
    CCatalog catalog;
    CSearchCommand command;
    bool ok = false;
};

std::unique_ptr<Searched> Search(const std::u16string& keyword) {
    auto searched = std::make_unique<Searched>();
    const char* dir = std::getenv("VYN_BENCH_DATA");
    if (!dir) return searched;
    if (!searched->command.SelectTextPart(searched->index, dir, TextPart::kWhole) ||
        !searched->catalog.LoadCatalog(std::string(dir) + "/vyn.dir", {})) {
        return searched;
    }
    const std::optional<std::u16string> field = keyword;
    searched->command.OnSearch(searched->index, searched->catalog, 1, u"", {&field, 1});
    searched->ok = true;
    return searched;
}

const std::u16string kKeywords[] = {u"明月", u"不"};

// The first batch the window shows: the rows of the first 100 result entries.
void BM_FirstRows(benchmark::State& state) {
    auto searched = Search(kKeywords[state.range(0)]);
    if (!searched->ok) {
        state.SkipWithError("VYN_BENCH_DATA is not set or holds no data");
        return;
    }
    const KwicQuery query = KwicQuery::Of(searched->command);
    const auto& entries = searched->command.Results();
    for (auto _ : state) {
        std::vector<KwicRow> rows;
        for (std::size_t i = 0; i < entries.size() && i < 100; ++i) {
            AppendKwicRows(searched->index, query, entries[i], kDefaultKwicContext, rows);
        }
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["entries"] = static_cast<double>(entries.size());
}
BENCHMARK(BM_FirstRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Every row of the search, against rendering the same pages alone.
void BM_AllRows(benchmark::State& state) {
    auto searched = Search(kKeywords[0]);
    if (!searched->ok) {
        state.SkipWithError("VYN_BENCH_DATA is not set or holds no data");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(KwicRows(searched->index, searched->command, kDefaultKwicContext).data());
    }
}
BENCHMARK(BM_AllRows)->Unit(benchmark::kMillisecond);

void BM_RenderPagesOnly(benchmark::State& state) {
    auto searched = Search(kKeywords[0]);
    if (!searched->ok) {
        state.SkipWithError("VYN_BENCH_DATA is not set or holds no data");
        return;
    }
    const KwicQuery query = KwicQuery::Of(searched->command);
    for (auto _ : state) {
        for (const SearchNodeTag& entry : searched->command.Results()) {
            ByteString page;
            searched->index.RenderHitPage(entry.pageIndex, page, query.keyword, query.scope, query.variants);
            benchmark::DoNotOptimize(page.data());
        }
    }
}
BENCHMARK(BM_RenderPagesOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
