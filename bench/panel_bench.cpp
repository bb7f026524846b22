// The panel's search command, from keyword to a filled first list page.
//
//   VYN_BENCH_DATA=DIR panel_bench   searches the data files in DIR
//
// The scope is the level-1 record spanning the most pages (the whole corpus when it
// has one category), or slot VYN_BENCH_SCOPE when set. Each query is one frequent
// character, searched with hit counting and variants as the reader does.
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
            for (int slot = 1; slot < catalog.NodeItemCount(); ++slot) {
                const auto& record = catalog.Record(slot);
                if (record.level == 1 && (scope == 0 || record.docNo > catalog.Record(scope).docNo)) {
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

BENCHMARK_CAPTURE(SearchToFirstListPage, zhi, std::u16string(u"之"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchToFirstListPage, ren, std::u16string(u"人"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchToFirstListPage, bu, std::u16string(u"不"))->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BuildResultsOnly, bu, std::u16string(u"不"))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

