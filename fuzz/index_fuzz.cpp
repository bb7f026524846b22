// The index: a header (in compact form, see indexinput.h) and a posting file as given,
// over the tiny seed corpus's store and variant table, then word searches of every listed
// character and of a query, compared with the plain walk of the lists.
// Input parts: slot entries, block chain bytes, posting file, query (UTF-16LE).
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzzinput.h"
#include "fuzz/indexinput.h"
#include "fuzz/seedcorpus.h"
#include "index/index.h"

namespace {

struct Result {
    int total = 0;
    std::vector<std::uint32_t> pages;
    std::vector<std::uint32_t> counts;
    bool operator==(const Result&) const = default;
};

Result Run(vyn::CIndex& index, std::u16string query, bool all, bool count, bool variants) {
    Result result;
    result.total = all ? index.SearchAllWords(query, count, variants)
                       : index.SearchAnyWord(query, count, variants);
    result.pages = index.GetHitPages();
    result.counts = index.GetHitCounts();
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vyn::fuzz::BuildSeedData(vyn::fuzz::ScratchFolder(), vyn::fuzz::TinyCorpus());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyn;
    const auto parts = fuzz::SplitInput(data, size, 4);
    const auto& folder = fuzz::ScratchFolder();
    fuzz::WriteBytes(folder / "Index-idx.h", fuzz::ExpandHeader(parts[0], parts[1]));
    fuzz::WriteBytes(folder / "Index-idx.m", parts[2]);
    const std::u16string query = fuzz::Utf16FromBytes(parts[3]);

    CIndex index;
    if (!index.Open(folder, "Index", IndexScope::kWhole)) return 0;

    std::vector<std::u16string> words;
    for (std::size_t at = 0; at + 12 <= parts[0].size() && words.size() < 16; at += 12) {
        const std::uint32_t slot = fuzz::ReadU32(parts[0], at) % kSlotTableEntries;
        if (slot < 0x6C00) words.push_back(std::u16string(1, static_cast<char16_t>(0x3400 + slot)));
    }
    if (words.size() >= 2) words.push_back(words[0] + u"*" + words[1]);
    if (words.size() >= 2) words.push_back(words[1] + u"?" + words[0]);
    words.push_back(query);

    for (const std::u16string& word : words) {
        for (int options = 0; options < 8; ++options) {
            const bool all = options & 1, count = options & 2, variants = options & 4;
            index.SetPlainEvaluation(false);
            const Result table = Run(index, word, all, count, variants);
            index.SetPlainEvaluation(true);
            const Result plain = Run(index, word, all, count, variants);
            if (!(table == plain)) std::abort();
            for (std::uint32_t page : table.pages) {
                if (page >= 1000000) break;
                ByteString out;
                index.RenderHitPage(page, out, word, SearchScope::kWhole, variants);
                break;
            }
        }
    }
    return 0;
}
