// A long session on one data folder: many thousands of searches with words drawn from
// the pages, each followed by the hit pages of its first results, and a change of text
// part now and then. Prints the resident memory as it goes, so that growth shows.
//   vyn_soak DATA_FOLDER [SEARCHES] [SEED]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "encoding/utf.h"
#include "index/index.h"

namespace {

using namespace vyn;

// Resident anonymous and file-backed memory in kB, from /proc/self/status.
void Resident(long& anonKb, long& fileKb) {
    std::ifstream status("/proc/self/status");
    std::string key;
    anonKb = fileKb = -1;
    while (status >> key) {
        if (key == "RssAnon:") status >> anonKb;
        if (key == "RssFile:") status >> fileKb;
    }
}

// The code points of page from U+3400 up, in order (UTF-8 decoded loosely).
std::vector<char32_t> Ideographs(const ByteString& page) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < page.size();) {
        const std::uint8_t b = page[i];
        const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        if (i + length > page.size()) break;
        char32_t cp = length == 1 ? b : b & (0x7F >> length);
        for (int k = 1; k < length; ++k) cp = (cp << 6) | (page[i + k] & 0x3F);
        if (cp >= 0x3400 && cp != 0xFF1C && cp != 0xFF1E && cp != 0xFF06) out.push_back(cp);
        i += length;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vyn_soak DATA_FOLDER [SEARCHES] [SEED]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const long searches = argc > 2 ? std::atol(argv[2]) : 20000;
    std::mt19937 random(argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : 1);

    CIndex index;
    SearchScope scope = SearchScope::kWhole;
    if (!index.Open(folder, "Index", IndexScopeFor(scope))) {
        std::fprintf(stderr, "vyn_soak: cannot open the data in %s\n", argv[1]);
        return 1;
    }
    const std::uint32_t records = [&] {
        std::uint32_t low = 0, high = 1u << 24;  // first record that does not read
        while (low < high) {
            const std::uint32_t mid = low + (high - low) / 2;
            std::uint32_t length = 0;
            if (index.GetPageLength(mid, length)) low = mid + 1; else high = mid;
        }
        return low;
    }();
    if (records == 0) return 1;

    std::printf("%8s %10s %10s %10s %8s\n", "searches", "anon_kB", "file_kB", "hits", "renders");
    long renders = 0, hits = 0;
    const long step = searches / 20 > 0 ? searches / 20 : 1;
    for (long n = 0; n <= searches; ++n) {
        if (n % step == 0) {
            long anon = 0, file = 0;
            Resident(anon, file);
            std::printf("%8ld %10ld %10ld %10ld %8ld\n", n, anon, file, hits, renders);
            std::fflush(stdout);
        }
        if (n == searches) break;
        if (n > 0 && n % 2000 == 0) {
            scope = static_cast<SearchScope>((static_cast<int>(scope) + 1) % 3);
            if (!index.Open(folder, "Index", IndexScopeFor(scope))) return 1;
        }
        ByteString page;
        if (!index.ReadPage(std::uniform_int_distribution<std::uint32_t>(0, records - 1)(random), page)) {
            continue;
        }
        const std::vector<char32_t> text = Ideographs(page);
        if (text.empty()) continue;
        std::u16string query;
        const int words = 1 + static_cast<int>(random() % 3);
        for (int w = 0; w < words; ++w) {
            if (w) query += u' ';
            const std::size_t length = 1 + random() % 4;
            const std::size_t start = random() % text.size();
            for (std::size_t k = start; k < start + length && k < text.size(); ++k) {
                if (k > start && random() % 8 == 0) query += random() % 2 ? u'*' : u'?';
                AppendUtf16(query, text[k]);
            }
        }
        const bool variants = random() % 2, all = random() % 2;
        std::u16string searched = query;
        hits += all ? index.SearchAllWords(searched, true, variants)
                    : index.SearchAnyWord(searched, true, variants);
        const std::vector<std::uint32_t> pages = index.GetHitPages();
        for (std::size_t i = 0; i < pages.size() && i < 3; ++i) {
            ByteString out;
            index.RenderHitPage(pages[i], out, query, scope, variants);
            ++renders;
        }
    }
    return 0;
}
