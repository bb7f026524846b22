// Query latency per query class.
//
//   search_bench                      builds a synthetic corpus (about 3 million
//                                     characters, Zipf-distributed) and searches it
//   VYN_BENCH_DATA=DIR search_bench   searches the data files in DIR instead
//
// Every query runs with hit counting, as the reader searches, with and without
// variant folding.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/benchqueries.h"
#include "builder/databuilder.h"
#include "encoding/utf.h"
#include "index/index.h"

namespace {

namespace fs = std::filesystem;

// The most frequent characters of classical Chinese come first, so that the Zipf
// draw makes them frequent; the query table uses them.
const char* kCharacters =
    "之不一人以而其有為也於子曰無者所天中大日月山風雲水花春秋明長安白日依盡黃河入海流欲窮千"
    "里目更上層樓國家王君臣民心道德仁義禮智信歸來去何時年見知生死行思歌酒醉夜寒江城西東南北"
    "門前後高下青紅綠紫金玉石木林草鳥魚龍虎馬牛羊雞犬豬書詩文字言語聲音色光影清濁深淺遠近";

class Data {
public:
    static Data& Instance() {
        static Data data;
        return data;
    }
    const fs::path& Folder() const { return m_folder; }

private:
    Data() {
        if (const char* dir = std::getenv("VYN_BENCH_DATA")) {
            m_folder = dir;
            return;
        }
        std::string pattern = (fs::temp_directory_path() / "vyn-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        m_folder = m_owned = pattern;
        Build();
    }
    ~Data() {
        std::error_code ec;
        if (!m_owned.empty()) fs::remove_all(m_owned, ec);
    }

    void Build() {
        std::u32string alphabet;
        vyn::DecodeUtf8(kCharacters, alphabet);
        std::vector<double> weights;
        for (std::size_t i = 0; i < alphabet.size(); ++i) weights.push_back(1.0 / (i + 1.0));
        std::discrete_distribution<std::size_t> draw(weights.begin(), weights.end());
        std::mt19937 rng(7);
        vyn::Corpus corpus;
        corpus.variantGroups = {{0x570B, 0x56FD}, {0x9F8D, 0x7ADC, 0x9F99}, {0x9AD4, 0x4F53}};
        std::uint64_t characters = 0;
        for (int c = 0; c < 4; ++c) {
            vyn::CorpusCategory category{"類" + std::to_string(c), {}};
            for (int b = 0; b < 5; ++b) {
                vyn::CorpusBook book{"書" + std::to_string(b), {}};
                for (int v = 0; v < 30; ++v) {
                    vyn::CorpusVolume volume{"卷" + std::to_string(v + 1), 1, {}};
                    for (int p = 0; p < 20; ++p) {
                        vyn::CorpusPage page{"label", {}};
                        for (int k = 0; k < 6; ++k) {
                            std::string text;
                            for (int i = 0; i < 100; ++i)
                                vyn::AppendUtf8(text, alphabet[draw(rng)]);
                            characters += 100;
                            vyn::Paragraph paragraph;
                            paragraph.runs.push_back({vyn::TextRun::kMain, text});
                            if (k % 3 == 0) {
                                std::string note;
                                for (int i = 0; i < 20; ++i)
                                    vyn::AppendUtf8(note, alphabet[draw(rng)]);
                                paragraph.runs.push_back({vyn::TextRun::kNote, note});
                            }
                            page.paragraphs.push_back(std::move(paragraph));
                        }
                        volume.pages.push_back(std::move(page));
                    }
                    book.volumes.push_back(std::move(volume));
                }
                category.books.push_back(std::move(book));
            }
            corpus.categories.push_back(std::move(category));
        }
        vyn::CDataBuilder builder;
        vyn::BuildStats stats;
        if (!builder.Build(corpus, m_folder, stats)) {
            std::fprintf(stderr, "build failed: %s\n", builder.GetReason().c_str());
            std::abort();
        }
        std::fprintf(stderr, "synthetic corpus: %u pages, %llu characters\n", stats.pages,
                     static_cast<unsigned long long>(characters));
    }

    fs::path m_folder;
    fs::path m_owned;
};

std::u16string ToU16(const char* utf8) {
    std::u16string out;
    vyn::Utf8ToUtf16(utf8, out);
    return out;
}

void BM_Search(benchmark::State& state, vyn::bench::BenchQuery query, bool variants) {
    vyn::CIndex index;
    if (!index.Open(Data::Instance().Folder(), "Index", vyn::IndexScope::kWhole)) {
        state.SkipWithError("cannot open the index");
        return;
    }
    const std::u16string text = ToU16(query.text);
    for (auto _ : state) {
        std::u16string q = text;
        if (query.any) {
            index.SearchAnyWord(q, true, variants);
        } else {
            index.SearchAllWords(q, true, variants);
        }
        benchmark::DoNotOptimize(index.GetHitTotal());
    }
    state.counters["pages"] = index.GetHitTotal();
}

void BM_Render(benchmark::State& state) {
    vyn::CIndex index;
    if (!index.Open(Data::Instance().Folder(), "Index", vyn::IndexScope::kWhole)) {
        state.SkipWithError("cannot open the index");
        return;
    }
    std::u16string q = u"明月";
    index.SearchAllWords(q, true, true);
    if (index.GetHitTotal() == 0) {
        state.SkipWithError("no page to render");
        return;
    }
    const std::uint32_t page = index.GetHitPages()[0];
    for (auto _ : state) {
        vyn::ByteString out;
        benchmark::DoNotOptimize(index.RenderHitPage(page, out, u"明月", vyn::SearchScope::kWhole, true));
    }
}

int Register() {
    for (const vyn::bench::BenchQuery& query : vyn::bench::kBenchQueries) {
        for (bool variants : {false, true}) {
            std::string name =
                std::string("search/") + query.className + (variants ? "/variants" : "/plain");
            benchmark::RegisterBenchmark(name.c_str(), BM_Search, query, variants)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::RegisterBenchmark("render/hit page with variants", BM_Render)
        ->Unit(benchmark::kMicrosecond);
    return 0;
}

const int kRegistered = Register();

}  // namespace

BENCHMARK_MAIN();
