// The variant table file and the expansion of keywords through it.
// Input parts: table file, keywords (UTF-16LE).
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzzinput.h"
#include "encoding/charslot.h"
#include "index/index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyn;
    const auto parts = fuzz::SplitInput(data, size, 2);
    const auto& folder = fuzz::ScratchFolder();
    fuzz::WriteBytes(folder / "yitizi.txt", parts[0]);
    const std::u16string keywords = fuzz::Utf16FromBytes(parts[1]);

    CIndex index;
    index.LoadVariants(folder);
    const auto expansion = index.ExpandVariants(keywords);
    if (expansion.size() > CIndex::kMaxExpansion) std::abort();
    if (keywords.empty() != expansion.empty()) std::abort();
    for (char16_t unit : keywords) {
        std::int32_t slot = -5;
        if (index.VariantSlot(unit, slot) &&
            (slot < kFirstVariantSlot || slot >= kFirstVariantSlot + static_cast<std::int32_t>(kMaxVariantGroups))) {
            std::abort();
        }
        if (index.VariantsOf(unit).empty()) std::abort();
    }
    // Rendering with variants on a closed index fails quietly.
    ByteString out;
    if (index.RenderHitPage(0, out, keywords, SearchScope::kWhole, true) != 0) std::abort();
    return 0;
}
