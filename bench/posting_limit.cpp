// How close each query comes to the cost of reading its posting bytes.
//
//   posting_limit DIR [REPETITIONS] [CLASS-SUBSTRING]
//
// For every query of the table, with and without variants, on the whole-text index
// of the data folder DIR:
//   bytes    posting bytes a plain evaluator must read: every entry head of every
//            list of the query (the format has no skip data), and the position data
//            of the entries on pages where all characters of the word meet
//   limit    a tight loop decoding exactly those bytes from contiguous in-memory
//            copies of the lists (heads, and the positions of those entries)
//   warm     the search, entry tables already built by an earlier search
//   cold     the first search after Open (tables built on the way)
//   plain    the search walking every list with the posting cursor
// Times are medians of thread CPU time in microseconds. The tool also checks that
// the plain walk and the tables give the same pages and counts.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/benchqueries.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/indexformat.h"
#include "index/index.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBlock = vyn::kPostingBlockSize;

std::uint32_t LoadU32(const std::uint8_t* p) {
    return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

double ThreadMicros() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double TimeMedian(int repetitions, const std::function<void()>& run) {
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        const double start = ThreadMicros();
        run();
        times.push_back(ThreadMicros() - start);
    }
    return Median(times);
}

// The whole-text index files, read independently of the engine.
class Files {
public:
    explicit Files(const fs::path& folder) {
        std::ifstream header(folder / "Index-idx.h", std::ios::binary);
        m_header.assign(std::istreambuf_iterator<char>(header), std::istreambuf_iterator<char>());
        const int fd = open((folder / "Index-idx.m").c_str(), O_RDONLY);
        struct stat st {};
        if (fd < 0 || fstat(fd, &st) != 0 || m_header.size() < vyn::kHeaderTablesSize) {
            std::fprintf(stderr, "cannot read the index in %s\n", folder.c_str());
            std::exit(1);
        }
        m_size = static_cast<std::size_t>(st.st_size);
        void* map = mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
        close(fd);
        if (map == MAP_FAILED) std::exit(1);
        m_postings = static_cast<const std::uint8_t*>(map);
    }
    ~Files() { munmap(const_cast<std::uint8_t*>(m_postings), m_size); }

    std::uint32_t FirstBlock(std::int32_t slot) const {
        return LoadU32(reinterpret_cast<const std::uint8_t*>(m_header.data()) + 4 * slot);
    }
    std::uint32_t LastDoc(std::int32_t slot) const {
        return LoadU32(reinterpret_cast<const std::uint8_t*>(m_header.data()) +
                       vyn::kLastDocTableOffset + 4 * slot);
    }
    std::uint32_t Chain(std::uint32_t block) const {
        const std::size_t at = vyn::kHeaderTablesSize + 4 * std::size_t{block};
        return at + 4 <= m_header.size()
                   ? LoadU32(reinterpret_cast<const std::uint8_t*>(m_header.data()) + at)
                   : vyn::kNoBlock;
    }
    const std::uint8_t* Block(std::uint32_t block) const {
        return (std::size_t{block} + 1) * kBlock <= m_size ? m_postings + block * kBlock : nullptr;
    }

private:
    std::string m_header;
    const std::uint8_t* m_postings = nullptr;
    std::size_t m_size = 0;
};

std::uint32_t Packed(const std::uint8_t*& p) {
    const std::uint32_t b0 = *p++;
    if (b0 < 0x80) return b0;
    if (b0 < 0xC0) return (b0 & 0x3F) << 8 | *p++;
    const std::uint32_t value = (b0 & 0x3F) << 16 | std::uint32_t{p[0]} << 8 | p[1];
    p += 2;
    return value;
}

// One posting list copied into contiguous memory, with its entries.
struct FlatList {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> docs;
    std::vector<std::uint32_t> headBytes, positionBytes;
};

FlatList Flatten(const Files& files, std::int32_t slot) {
    FlatList list;
    std::uint32_t block = files.FirstBlock(slot);
    const std::uint32_t last = files.LastDoc(slot);
    auto ensure = [&](std::size_t size) {
        while (list.bytes.size() < size) {
            const std::uint8_t* p = block == vyn::kNoBlock ? nullptr : files.Block(block);
            if (!p) return false;
            list.bytes.insert(list.bytes.end(), p, p + kBlock);
            block = files.Chain(block);
        }
        return true;
    };
    std::size_t at = 0;
    std::uint32_t doc = 0;
    while (ensure(at + 5)) {
        const std::uint8_t* p = list.bytes.data() + at;
        doc += Packed(p);
        const std::uint32_t count = p[0] | std::uint32_t{p[1]} << 8;
        p += 2;
        const auto head = static_cast<std::uint32_t>(p - (list.bytes.data() + at));
        if (!ensure(at + head + count)) break;
        list.docs.push_back(doc);
        list.headBytes.push_back(head);
        list.positionBytes.push_back(count);
        at += head + count;
        if (doc == last) break;
    }
    list.bytes.resize(at);
    return list;
}

// Heads of the whole list; positions of the entries on the pages of meet.
std::uint64_t DecodeList(const FlatList& list, const std::vector<std::uint32_t>& meet) {
    const std::uint8_t* p = list.bytes.data();
    const std::uint8_t* const end = p + list.bytes.size();
    const std::uint32_t* m = meet.data();
    const std::uint32_t* const mEnd = m + meet.size();
    std::uint32_t doc = 0;
    std::uint64_t sum = 0;
    while (p < end) {
        doc += Packed(p);
        const std::uint32_t count = p[0] | std::uint32_t{p[1]} << 8;
        p += 2;
        while (m < mEnd && *m < doc) ++m;
        if (m < mEnd && *m == doc) {
            const std::uint8_t* const stop = p + count;
            std::uint32_t position = 0;
            while (p < stop) {
                position += Packed(p);
                sum += position;
            }
        } else {
            p += count;
        }
    }
    return sum;
}

std::vector<std::uint32_t> Intersect(const std::vector<std::uint32_t>& a,
                                     const std::vector<std::uint32_t>& b) {
    std::vector<std::uint32_t> out;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

struct Word {
    std::vector<FlatList> lists;
    std::vector<std::uint32_t> meet;  // pages every list of the word holds
};

std::vector<Word> Prepare(const Files& files, const vyn::CIndex& index, const char* query,
                          bool variants) {
    std::u32string text;
    vyn::DecodeUtf8(query, text);
    std::vector<Word> words(1);
    for (char32_t c : text) {
        if (c == U' ') {
            if (!words.back().lists.empty()) words.emplace_back();
            continue;
        }
        std::int32_t slot = vyn::CharSlot(c);
        if (slot == vyn::kNotIndexed) continue;
        if (variants) index.VariantSlot(c, slot);
        if (files.FirstBlock(slot) == vyn::kNoBlock) continue;
        words.back().lists.push_back(Flatten(files, slot));
    }
    if (words.back().lists.empty()) words.pop_back();
    for (Word& word : words) {
        word.meet = word.lists[0].docs;
        for (std::size_t k = 1; k < word.lists.size(); ++k) {
            word.meet = Intersect(word.meet, word.lists[k].docs);
        }
    }
    return words;
}

std::uint64_t BytesToRead(const std::vector<Word>& words) {
    std::uint64_t bytes = 0;
    for (const Word& word : words) {
        for (const FlatList& list : word.lists) {
            for (std::size_t e = 0; e < list.docs.size(); ++e) {
                bytes += list.headBytes[e];
                if (std::binary_search(word.meet.begin(), word.meet.end(), list.docs[e])) {
                    bytes += list.positionBytes[e];
                }
            }
        }
    }
    return bytes;
}

std::u16string ToU16(const char* utf8) {
    std::u16string out;
    vyn::Utf8ToUtf16(utf8, out);
    return out;
}

struct Result {
    std::vector<std::uint32_t> pages, counts;
    bool operator==(const Result&) const = default;
};

void Search(vyn::CIndex& index, const vyn::bench::BenchQuery& query, bool variants) {
    std::u16string text = ToU16(query.text);
    if (query.any) {
        index.SearchAnyWord(text, true, variants);
    } else {
        index.SearchAllWords(text, true, variants);
    }
}

Result Found(const vyn::CIndex& index) { return {index.GetHitPages(), index.GetHitCounts()}; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: posting_limit DIR [REPETITIONS] [CLASS-SUBSTRING]\n");
        return 2;
    }
    const fs::path folder = argv[1];
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    const std::string only = argc > 3 ? argv[3] : "";
    const Files files(folder);
    vyn::CIndex index;
    if (!index.Open(folder, "Index", vyn::IndexScope::kWhole)) {
        std::fprintf(stderr, "cannot open the index in %s\n", folder.c_str());
        return 1;
    }
    std::printf(
        "| query | variants | pages | bytes | limit µs | warm µs | warm/limit | "
        "cold µs | cold/limit | plain µs | plain/limit |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    int differences = 0;
    for (const vyn::bench::BenchQuery& query : vyn::bench::kBenchQueries) {
        if (std::string(query.className).find(only) == std::string::npos) continue;
        for (bool variants : {false, true}) {
            const std::vector<Word> words = Prepare(files, index, query.text, variants);
            volatile std::uint64_t sink = 0;
            const double limit = TimeMedian(repetitions, [&] {
                for (const Word& word : words) {
                    for (const FlatList& list : word.lists)
                        sink = sink + DecodeList(list, word.meet);
                }
            });
            std::vector<double> colds;
            for (int r = 0; r < std::max(3, repetitions / 4); ++r) {
                index.Close();
                if (!index.Open(folder, "Index", vyn::IndexScope::kWhole)) return 1;
                const double start = ThreadMicros();
                Search(index, query, variants);
                colds.push_back(ThreadMicros() - start);
            }
            Search(index, query, variants);
            const Result fast = Found(index);
            const double warm = TimeMedian(repetitions, [&] { Search(index, query, variants); });
            index.SetPlainEvaluation(true);
            Search(index, query, variants);
            const Result plainResult = Found(index);
            const double plain = TimeMedian(repetitions, [&] { Search(index, query, variants); });
            index.SetPlainEvaluation(false);
            if (!(fast == plainResult)) {
                ++differences;
                std::fprintf(stderr, "DIFFERENT RESULTS: %s %s\n", query.text,
                             variants ? "variants" : "plain");
            }
            const double cold = Median(colds);
            std::printf(
                "| %s `%s`%s | %s | %zu | %llu | %.0f | %.0f | %.2f | %.0f | %.2f | %.0f | "
                "%.2f |\n",
                query.className, query.text, query.any ? " (or)" : "", variants ? "on" : "off",
                fast.pages.size(), static_cast<unsigned long long>(BytesToRead(words)), limit, warm,
                warm / limit, cold, cold / limit, plain, plain / limit);
            std::fflush(stdout);
        }
    }
    if (differences > 0) std::fprintf(stderr, "%d queries differ\n", differences);
    return differences > 0 ? 1 : 0;
}
