// The queries the benchmarks run, by class. They suit both the synthetic corpus of
// search_bench and the large corpus.
#pragma once

namespace vyn::bench {

struct BenchQuery {
    const char* className;
    const char* text;
    bool any;  // "or" instead of "and"
};

inline constexpr BenchQuery kBenchQueries[] = {
    {"single frequent character", "之", false},
    {"single frequent character 人", "人", false},
    {"single frequent character 不", "不", false},
    {"single character", "月", false},
    {"two characters, common", "明月", false},
    {"two characters, common 春風", "春風", false},
    {"two characters, rare", "黃河", false},
    {"phrase of three", "白日依", false},
    {"phrase of four", "欲窮千里", false},
    {"question mark", "明?月", false},
    {"star", "長*安", false},
    {"and of two words", "明月 長安", false},
    {"or of two words", "明月 長安", true},
    {"and of three words", "天 地 人", false},
};

}  // namespace vyn::bench
