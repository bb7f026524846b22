// vyn-peers: vyn against ripgrep, SQLite FTS5 and Xapian on the same pages.
//
//   vyn-peers export DATA TEXT          writes the pages of DATA, one per line; of
//                                       every folder in turn when DATA is a library
//   vyn-peers build-fts5 TEXT DB        builds the FTS5 table of the page lines
//   vyn-peers build-xapian TEXT DIR     builds the Xapian database of the page lines
//   vyn-peers run DATA TEXT DB DIR VYN_TOOL REPEATS
//                                       runs the query table on every tool and prints
//                                       pages found, median times and ratios; exit 1
//                                       when a tool found other pages than vyn
//   vyn-peers run-fts5 DATA DB VYN_TOOL REPEATS
//                                       the query table on vyn and FTS5 alone, also
//                                       for a library; vyn-tool is only timed
//   vyn-peers agree DATA TEXT DB DIR COUNT SEED
//                                       compares the pages of COUNT random queries
//                                       drawn from the text; exit 1 on a difference
//
// bench/compare.sh drives these steps.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/peers/fts5peer.h"
#include "bench/peers/pagetext.h"
#include "bench/peers/peerquery.h"
#include "bench/peers/ripgrep.h"
#include "bench/peers/xapianpeer.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/index.h"
#include "index/library.h"

namespace {

using namespace vyn;
using namespace vyn::peers;

struct Query {
    const char* className;
    const char* text;
    bool any;
};

// Drawn from the poetry corpus: frequent and rare words, each query class twice.
const Query kQueries[] = {
    {"single frequent character", "不", false},
    {"single frequent character", "人", false},
    {"two characters, common", "明月", false},
    {"two characters, common", "春風", false},
    {"two characters, rare", "琵琶", false},
    {"two characters, rare", "黃河", false},
    {"character with variant forms", "爲", false},
    {"two characters with variant forms", "以爲", false},
    {"phrase of three", "長安道", false},
    {"phrase of four", "欲窮千里", false},
    {"question mark", "明?月", false},
    {"question mark", "春?花", false},
    {"star", "明*月", false},
    {"star", "黃河*海", false},
    {"and of two words", "明月 長安", false},
    {"and of three words", "天 地 人", false},
    {"or of two words", "明月 長安", true},
    {"or of two words", "琵琶 黃河", true},
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "vyn-peers: %s\n", message.c_str());
    return 2;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename F>
double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::u16string ToU16(const std::u32string& text) {
    std::u16string out;
    for (char32_t c : text) AppendUtf16(out, c);
    return out;
}

std::vector<std::string> VynToolCommand(const std::string& tool, const std::string& data,
                                        const Query& query, bool variants) {
    std::vector<std::string> command = {tool, "search", "--data", data};
    if (query.any) command.push_back("--or");
    if (!variants) command.push_back("--no-variants");
    command.push_back("--");
    std::string text = query.text;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) command.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return command;
}

std::vector<std::uint32_t> PagesOfToolOutput(const std::string& output) {
    std::vector<std::uint32_t> pages;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        pages.push_back(
            static_cast<std::uint32_t>(std::strtoul(output.c_str() + start, nullptr, 10)));
        start = end + 1;
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

std::string Difference(const char* peer, const std::vector<std::uint32_t>& vyn,
                       const std::vector<std::uint32_t>& other) {
    std::vector<std::uint32_t> onlyVyn, onlyPeer;
    std::set_difference(vyn.begin(), vyn.end(), other.begin(), other.end(),
                        std::back_inserter(onlyVyn));
    std::set_difference(other.begin(), other.end(), vyn.begin(), vyn.end(),
                        std::back_inserter(onlyPeer));
    if (onlyVyn.empty() && onlyPeer.empty()) return {};
    auto sample = [](const std::vector<std::uint32_t>& pages) {
        std::string text;
        for (std::size_t i = 0; i < pages.size() && i < 5; ++i) {
            text += ' ';
            text += std::to_string(pages[i]);
        }
        return text;
    };
    return std::string("    ") + peer + ": " + std::to_string(onlyVyn.size()) +
           " pages only in vyn (" + sample(onlyVyn) + " ), " + std::to_string(onlyPeer.size()) +
           " only in " + peer + " (" + sample(onlyPeer) + " )\n";
}

std::string Ratio(double mine, double theirs) {
    if (theirs <= 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, mine / theirs < 0.01 ? "%.4f" : "%.3f", mine / theirs);
    return text;
}

std::string Ms(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text,
                  seconds < 0.01 ? "%.3f"
                  : seconds < 1  ? "%.2f"
                                 : "%.0f",
                  seconds * 1000);
    return text;
}

int Export(const std::string& data, const std::string& textPath) {
    // A library's records follow its folders in order, as the lines do.
    std::vector<std::filesystem::path> folders = LibraryMembers(data);
    if (folders.empty()) folders.push_back(data);
    std::ofstream out(textPath, std::ios::binary | std::ios::trunc);
    std::vector<PositionedChar> chars;
    std::uint64_t characters = 0;
    std::uint64_t pageCount = 0;
    std::string buffer;
    for (const std::filesystem::path& folder : folders) {
        CPageText pages;
        if (!pages.Open(folder)) return Fail("cannot open the text store in " + folder.string());
        for (std::uint32_t i = 0; i < pages.PageCount(); ++i) {
            if (!pages.Read(i, chars)) {
                return Fail("cannot read page " + std::to_string(i) + " of " + folder.string());
            }
            characters += chars.size();
            buffer += PageLine(chars);
            buffer += '\n';
            if (buffer.size() > (1 << 20)) {
                out << buffer;
                buffer.clear();
            }
        }
        pageCount += pages.PageCount();
    }
    out << buffer;
    out.close();
    if (!out) return Fail("cannot write " + textPath);
    std::printf("%llu pages, %llu characters, %zu folders\n",
                static_cast<unsigned long long>(pageCount),
                static_cast<unsigned long long>(characters), folders.size());
    return 0;
}

struct Row {
    const Query* query;
    bool variants;
    PeerQuery peerQuery;
    std::vector<std::uint32_t> vyn, fts5, xapian, rg, tool;
    double tVyn = 0, tFts5 = 0, tXapian = 0, tTool = 0, tRg = 0;
};

// Adds diff, unless empty, to differences under a line naming the row's query.
void AddDifference(const Row& row, const std::string& diff, std::string& differences) {
    if (diff.empty()) return;
    const Query& q = *row.query;
    differences += std::string("  ") + q.text + (q.any ? " (or)" : "") +
                   (row.variants ? " (variants)" : "") + ":\n" + diff;
}

// Prints the pages found differently, or same when there are none; the exit code, 0
// when there are none and 1 otherwise.
int ReportDifferences(const std::string& differences, const char* same) {
    if (differences.empty()) {
        std::printf("%s", same);
    } else {
        std::printf("Pages found differently:\n%s", differences.c_str());
    }
    return differences.empty() ? 0 : 1;
}

// Runs each query of the table, with and without variants, on vyn, on FTS5 and, when
// xapian is given, on Xapian, in the index of data, appending a row each to rows:
// the pages each finds and the median time of repeats runs. The index is closed
// again on return. False when it cannot be opened.
bool MeasureQueries(const std::string& data, CFts5Peer& fts5, CXapianPeer* xapian, int repeats,
                    std::vector<Row>& rows) {
    CIndex index;
    if (!index.Open(data, "Index", IndexScope::kWhole)) return false;
    for (const Query& q : kQueries) {
        for (bool variants : {false, true}) {
            Row row{&q, variants, {}, {}, {}, {}, {}, {}};
            std::u32string text32;
            DecodeUtf8(q.text, text32);
            const std::u16string text = ToU16(text32);
            row.peerQuery = MakePeerQuery(text32, q.any, variants, index);
            // One untimed run each gives the pages and warms the caches.
            row.vyn = VynPages(index, text, q.any, variants);
            row.fts5 = fts5.Search(row.peerQuery);
            if (xapian) row.xapian = xapian->Search(row.peerQuery);
            std::vector<double> tVyn, tFts, tXapian;
            for (int r = 0; r < repeats; ++r) {
                tVyn.push_back(Seconds([&] { VynPages(index, text, q.any, variants); }));
                tFts.push_back(Seconds([&] { fts5.Search(row.peerQuery); }));
                if (xapian) tXapian.push_back(Seconds([&] { xapian->Search(row.peerQuery); }));
            }
            row.tVyn = Median(tVyn);
            row.tFts5 = Median(tFts);
            if (xapian) row.tXapian = Median(tXapian);
            rows.push_back(std::move(row));
        }
    }
    return true;
}

int Run(const std::string& data, const std::string& textPath, const std::string& dbPath,
        const std::string& xapianPath, const std::string& tool, int repeats) {
    CFts5Peer fts5;
    if (!fts5.Open(dbPath)) return Fail(fts5.GetReason());
    CXapianPeer xapian;
    if (!xapian.Open(xapianPath)) return Fail(xapian.GetReason());
    std::vector<Row> rows;
    if (!MeasureQueries(data, fts5, &xapian, repeats, rows)) {
        return Fail("cannot open the index in " + data);
    }
    // vyn-tool opens the index under its lock, so the processes run with it closed.
    for (Row& row : rows) {
        const auto rgCount = RipgrepPipeline(row.peerQuery, textPath, true);
        const auto rgLines = RipgrepPipeline(row.peerQuery, textPath, false);
        const auto toolCommand = VynToolCommand(tool, data, *row.query, row.variants);
        std::string output;
        if (RunPipeline(rgLines, &output) < 0) return Fail("cannot run rg");
        row.rg = PagesOfNumberedLines(output);
        if (RunPipeline({toolCommand}, &output) < 0) return Fail("cannot run " + tool);
        row.tool = PagesOfToolOutput(output);
        std::vector<double> tTool, tRg;
        for (int r = 0; r < repeats; ++r) {
            tTool.push_back(RunPipeline({toolCommand}, nullptr));
            tRg.push_back(RunPipeline(rgCount, nullptr));
        }
        row.tTool = Median(tTool);
        row.tRg = Median(tRg);
    }

    std::printf(
        "| query | class | variants | pages vyn | FTS5 | Xapian | rg | vyn ms | FTS5 ms "
        "| Xapian ms | vyn/FTS5 | vyn/Xapian | vyn-tool ms | rg ms | vyn-tool/rg |\n");
    std::printf("|---|---|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
    std::string differences;
    for (const Row& row : rows) {
        const Query& q = *row.query;
        std::printf(
            "| %s%s | %s | %s | %zu | %zu | %zu | %zu | %s | %s | %s | %s | %s | %s | "
            "%s | %s |\n",
            q.text, q.any ? " (or)" : "", q.className, row.variants ? "yes" : "no", row.vyn.size(),
            row.fts5.size(), row.xapian.size(), row.rg.size(), Ms(row.tVyn).c_str(),
            Ms(row.tFts5).c_str(), Ms(row.tXapian).c_str(), Ratio(row.tVyn, row.tFts5).c_str(),
            Ratio(row.tVyn, row.tXapian).c_str(), Ms(row.tTool).c_str(), Ms(row.tRg).c_str(),
            Ratio(row.tTool, row.tRg).c_str());
        std::string diff =
            Difference("FTS5", row.vyn, row.fts5) + Difference("Xapian", row.vyn, row.xapian) +
            Difference("rg", row.vyn, row.rg) + Difference("vyn-tool", row.vyn, row.tool);
        AddDifference(row, diff, differences);
    }
    std::printf(
        "\nMedians of %d runs. vyn and vyn-tool count hits, as the reader does; the "
        "peers list pages.\n",
        repeats);
    return ReportDifferences(differences, "Every tool found the same pages as vyn.\n");
}

// The query table on vyn and FTS5 only: what a library is compared with, where the
// other peers cost more to build than they tell. vyn-tool is timed but its lines are
// not compared.
int RunFts5(const std::string& data, const std::string& dbPath, const std::string& tool,
            int repeats) {
    CFts5Peer fts5;
    if (!fts5.Open(dbPath)) return Fail(fts5.GetReason());
    std::vector<Row> rows;
    if (!MeasureQueries(data, fts5, nullptr, repeats, rows)) {
        return Fail("cannot open the index in " + data);
    }
    for (Row& row : rows) {
        const auto toolCommand = VynToolCommand(tool, data, *row.query, row.variants);
        if (RunPipeline({toolCommand}, nullptr) < 0) return Fail("cannot run " + tool);
        std::vector<double> tTool;
        for (int r = 0; r < repeats; ++r) tTool.push_back(RunPipeline({toolCommand}, nullptr));
        row.tTool = Median(tTool);
    }

    std::printf(
        "| query | class | variants | pages vyn | FTS5 | vyn ms | FTS5 ms | vyn/FTS5 "
        "| vyn-tool ms |\n");
    std::printf("|---|---|---|--:|--:|--:|--:|--:|--:|\n");
    std::string differences;
    for (const Row& row : rows) {
        const Query& q = *row.query;
        std::printf("| %s%s | %s | %s | %zu | %zu | %s | %s | %s | %s |\n", q.text,
                    q.any ? " (or)" : "", q.className, row.variants ? "yes" : "no",
                    row.vyn.size(), row.fts5.size(), Ms(row.tVyn).c_str(), Ms(row.tFts5).c_str(),
                    Ratio(row.tVyn, row.tFts5).c_str(), Ms(row.tTool).c_str());
        const std::string diff = Difference("FTS5", row.vyn, row.fts5);
        AddDifference(row, diff, differences);
    }
    std::printf(
        "\nMedians of %d runs. vyn counts hits, as the reader does; FTS5 lists pages. "
        "vyn-tool is a process per query, started with the whole command.\n",
        repeats);
    return ReportDifferences(differences, "FTS5 found the same pages as vyn.\n");
}

// A random query drawn from the page text, so that most find something: one
// character, a phrase, a phrase with "?", two parts around "*" up to 330 characters
// apart, or "and"/"or" of two such words from different pages.
class CQueryDrawer {
public:
    CQueryDrawer(const std::vector<std::u32string>& pages, std::uint32_t seed)
        : m_pages(pages), m_rng(seed) {}

    // False when the drawn place is unusable; the caller draws again.
    bool Draw(std::u32string& query, bool& any) {
        const int kind = Uniform(0, 5);
        any = kind == 5;
        std::u32string first, second;
        if (!DrawWord(kind < 4 ? kind : Uniform(0, 3), first)) return false;
        if (kind >= 4 && !DrawWord(Uniform(0, 3), second)) return false;
        query = second.empty() ? first : first + U' ' + second;
        return true;
    }
    bool Coin() { return Uniform(0, 1) == 1; }

private:
    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }

    static bool Searchable(char32_t c) {
        return c >= 0x100 && c != 0x3000 && c != 0xFF1F && CharSlot(c) != kNotIndexed;
    }

    bool DrawWord(int kind, std::u32string& word) {
        const std::u32string& page = m_pages[Uniform(0, static_cast<int>(m_pages.size()) - 1)];
        if (page.empty()) return false;
        // A run: the text between two separators around a random place.
        const std::size_t at = Uniform(0, static_cast<int>(page.size()) - 1);
        std::size_t begin = page.rfind(U'\t', at);
        begin = begin == std::u32string::npos ? 0 : begin + 1;
        std::size_t end = page.find(U'\t', at);
        if (end == std::u32string::npos) end = page.size();
        const std::u32string run = page.substr(begin, end - begin);
        if (run.empty()) return false;
        const int length = kind == 0   ? 1
                           : kind == 1 ? Uniform(2, 4)
                           : kind == 2 ? Uniform(3, 4)
                                       : 1;
        if (static_cast<int>(run.size()) < length) return false;
        const std::size_t start = Uniform(0, static_cast<int>(run.size()) - length);
        std::u32string result = run.substr(start, length);
        if (kind == 2) result[Uniform(1, length - 2)] = U'?';
        if (kind == 3) {
            const std::size_t gap = Uniform(0, 330);
            if (start + gap + 1 >= run.size()) return false;
            result += U'*';
            result += run[start + gap + 1];
        }
        for (char32_t c : result) {
            if (c != U'?' && c != U'*' && !Searchable(c)) return false;
        }
        word = std::move(result);
        return true;
    }

    const std::vector<std::u32string>& m_pages;
    std::mt19937 m_rng;
};

std::string Utf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

int Agree(const std::string& data, const std::string& textPath, const std::string& dbPath,
          const std::string& xapianPath, int count, std::uint32_t seed) {
    std::vector<std::u32string> pages;
    {
        std::ifstream text(textPath, std::ios::binary);
        std::string line;
        while (std::getline(text, line)) {
            pages.emplace_back();
            DecodeUtf8(line, pages.back());
        }
    }
    if (pages.empty()) return Fail("no page text in " + textPath);
    CFts5Peer fts5;
    if (!fts5.Open(dbPath)) return Fail(fts5.GetReason());
    CXapianPeer xapian;
    if (!xapian.Open(xapianPath)) return Fail(xapian.GetReason());
    CIndex index;
    if (!index.Open(data, "Index", IndexScope::kWhole)) return Fail("cannot open the index in " + data);
    CQueryDrawer drawer(pages, seed);
    int differing = 0;
    int found = 0;
    for (int done = 0; done < count;) {
        std::u32string text32;
        bool any = false;
        if (!drawer.Draw(text32, any)) continue;
        ++done;
        const bool variants = drawer.Coin();
        const PeerQuery peerQuery = MakePeerQuery(text32, any, variants, index);
        const auto vyn = VynPages(index, ToU16(text32), any, variants);
        if (!vyn.empty()) ++found;
        std::string output;
        RunPipeline(RipgrepPipeline(peerQuery, textPath, false), &output);
        const std::string diff = Difference("FTS5", vyn, fts5.Search(peerQuery)) +
                                 Difference("Xapian", vyn, xapian.Search(peerQuery)) +
                                 Difference("rg", vyn, PagesOfNumberedLines(output));
        if (!diff.empty()) {
            ++differing;
            std::printf("  %s%s%s (vyn %zu pages):\n%s", Utf8(text32).c_str(), any ? " (or)" : "",
                        variants ? " (variants)" : "", vyn.size(), diff.c_str());
        }
    }
    std::printf("%d random queries (seed %u), %d finding pages: %d with a difference.\n", count,
                seed, found, differing);
    return differing == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "export") return Export(args[1], args[2]);
    if (args.size() == 3 && args[0] == "build-fts5") {
        CFts5Peer fts5;
        return fts5.Build(args[1], args[2]) ? 0 : Fail(fts5.GetReason());
    }
    if (args.size() == 3 && args[0] == "build-xapian") {
        CXapianPeer xapian;
        return xapian.Build(args[1], args[2]) ? 0 : Fail(xapian.GetReason());
    }
    if (args.size() == 7 && args[0] == "run") {
        const int repeats = std::atoi(args[6].c_str());
        if (repeats < 1) return Fail("REPEATS must be at least 1");
        return Run(args[1], args[2], args[3], args[4], args[5], repeats);
    }
    if (args.size() == 5 && args[0] == "run-fts5") {
        const int repeats = std::atoi(args[4].c_str());
        if (repeats < 1) return Fail("REPEATS must be at least 1");
        return RunFts5(args[1], args[2], args[3], repeats);
    }
    if (args.size() == 7 && args[0] == "agree") {
        const int count = std::atoi(args[5].c_str());
        if (count < 1) return Fail("COUNT must be at least 1");
        return Agree(args[1], args[2], args[3], args[4], count,
                     static_cast<std::uint32_t>(std::strtoul(args[6].c_str(), nullptr, 10)));
    }
    return Fail(
        "usage: export DATA TEXT | build-fts5 TEXT DB | build-xapian TEXT DIR | "
        "run DATA TEXT DB DIR VYN_TOOL REPEATS | run-fts5 DATA DB VYN_TOOL REPEATS | agree DATA TEXT DB DIR COUNT SEED");
}
