// Queries on the seed corpus's index in each scope: any UTF-16 text, lone surrogates
// and NULs included, through CountWords, SearchAllWords, SearchAnyWord and the hit
// page of the first result. Input: one byte of options, then the query (UTF-16LE).
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "fuzz/fuzzinput.h"
#include "fuzz/seedcorpus.h"
#include "index/index.h"

namespace {

std::unique_ptr<vyn::CIndex> g_index[3];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (int scope = 0; scope < 3; ++scope) {
        const auto folder = vyn::fuzz::ScratchFolder() / std::to_string(scope);
        vyn::fuzz::BuildSeedData(folder);
        g_index[scope] = std::make_unique<vyn::CIndex>();
        if (!g_index[scope]->Open(folder, "Index", static_cast<vyn::IndexScope>(scope))) std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyn;
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    const std::u16string query =
        fuzz::Utf16FromBytes(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    CIndex& index = *g_index[options % 3];
    const bool count = options & 4, variants = options & 8;

    const int words = CIndex::CountWords(query);
    if (words < 0) std::abort();
    std::u16string all = query, any = query;
    const int allTotal = index.SearchAllWords(all, count, variants);
    const std::vector<std::uint32_t> allPages = index.GetHitPages();
    const int anyTotal = index.SearchAnyWord(any, count, variants);
    if (allTotal < 0 || anyTotal < 0) std::abort();
    if (words == 0 && (allTotal != 0 || anyTotal != 0)) std::abort();
    // Every page holding all words holds at least one.
    if (words > 0 && !allPages.empty() && index.GetHitPages().empty()) std::abort();
    for (std::uint32_t page : index.GetHitPages()) {
        ByteString out;
        index.RenderHitPage(page, out, query, static_cast<SearchScope>(options % 3), variants);
        break;
    }
    return 0;
}
