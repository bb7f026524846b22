// The panel's search command, from keyword to a filled first list page.
//
//   VYN_BENCH_DATA=DIR panel_bench   searches the data files in DIR
//
// DIR is a data folder or a library. The scope is the whole library on a library,
// else the level-1 record spanning the most pages (the whole corpus when it has one
// category), or slot VYN_BENCH_SCOPE when set. Each query is one frequent character,
// searched with hit counting and variants as the reader does. OpenToFirstListPage
// times what starting on DIR costs: opening it through CPanelLogic::Open, then the
// search for 人 to its first list page.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "panel/panellogic.h"

namespace {

class Panel {
public:
    static Panel& Instance() {
        static Panel panel;
        return panel;
    }
    vyn::CPanelLogic* Logic() { return m_ready ? &m_logic : nullptr; }

private:
    Panel() {
        const char* dir = std::getenv("VYN_BENCH_DATA");
        if (!dir || !m_logic.Open(dir, {})) return;
        int scope = 0;
        if (const char* slot = std::getenv("VYN_BENCH_SCOPE")) {
            scope = std::atoi(slot);
        } else {
            const vyn::CCatalog& catalog = m_logic.Catalog();
            // A library's slot 1 holds all of its folders.
            if (catalog.IsLibrary()) scope = 1;
            for (int slot = 1; slot < catalog.NodeItemCount(); ++slot) {
                const auto& record = catalog.Record(slot);
                if (!catalog.IsLibrary() && record.level == 1 &&
                    (scope == 0 || record.docNo > catalog.Record(scope).docNo)) {
                    scope = slot;
                }
            }
        }
        m_ready = m_logic.Session().Navigator().SetScopeItem(scope);
    }

    vyn::CPanelLogic m_logic;
    bool m_ready = false;
};

void SearchToFirstListPage(benchmark::State& state, std::u16string query) {
    vyn::CPanelLogic* logic = Panel::Instance().Logic();
    if (!logic) {
        state.SkipWithError("set VYN_BENCH_DATA to a data folder with a catalog");
        return;
    }
    const std::optional<std::u16string> field = query;
    std::size_t rows = 0;
    for (auto _ : state) {
        logic->OnSearch(u"", {&field, 1});
        auto page = logic->CurrentRows();
        rows = page.size();
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["entries"] = static_cast<double>(logic->Search().Results().size());
    state.counters["rows"] = static_cast<double>(rows);
}

// The panel's own share: placing and sorting the engine's pages of one search.
void BuildResultsOnly(benchmark::State& state, std::u16string query) {
    vyn::CPanelLogic* logic = Panel::Instance().Logic();
    if (!logic) {
        state.SkipWithError("set VYN_BENCH_DATA to a data folder with a catalog");
        return;
    }
    logic->Index().SearchAllWords(query, true, true);
    const std::vector<std::uint32_t> pages = logic->Index().GetHitPages();
    const std::vector<std::uint32_t> counts = logic->Index().GetHitCounts();
    const vyn::ContentsNodeTag* scope = logic->Catalog().ScopeNode(logic->Session().Navigator().ScopeItem());
    vyn::CSearchCommand command;
    for (auto _ : state) benchmark::DoNotOptimize(command.BuildResults(scope, pages, counts));
    state.counters["entries"] = static_cast<double>(command.Results().size());
}

// Opening DIR as the panel does, alone and followed by the search for 人 to its first
// list page, each on a panel made for the run. The scope is the one Open leaves
// (slot 1: the whole library on a library).
void Open(benchmark::State& state, bool search) {
    const char* dir = std::getenv("VYN_BENCH_DATA");
    if (!dir) {
        state.SkipWithError("set VYN_BENCH_DATA to a data folder with a catalog");
        return;
    }
    const std::optional<std::u16string> field = std::u16string(u"人");
    std::size_t rows = 0;
    std::size_t entries = 0;
    for (auto _ : state) {
        auto logic = std::make_unique<vyn::CPanelLogic>();
        if (!logic->Open(dir, {})) {
            state.SkipWithError("cannot open VYN_BENCH_DATA");
            return;
        }
        if (search) {
            logic->OnSearch(u"", {&field, 1});
            rows = logic->CurrentRows().size();
            entries = logic->Search().Results().size();
        }
        benchmark::DoNotOptimize(logic.get());
        state.PauseTiming();
        logic.reset();
        state.ResumeTiming();
    }
    // Every run reports the same counters, as the CSV output requires.
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["rows"] = static_cast<double>(rows);
}

BENCHMARK_CAPTURE(Open, only, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Open, to_first_list_page_ren, true)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(SearchToFirstListPage, zhi, std::u16string(u"之"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchToFirstListPage, ren, std::u16string(u"人"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchToFirstListPage, bu, std::u16string(u"不"))->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BuildResultsOnly, bu, std::u16string(u"不"))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

