// The text store: directory and content file as given, then every reading call.
// Input parts: directory file, content file (as stored, masked), keywords (UTF-16LE),
// parameters.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzzinput.h"
#include "textstore/filelist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyn;
    const auto parts = fuzz::SplitInput(data, size, 4);
    const auto& folder = fuzz::ScratchFolder();
    fuzz::WriteBytes(folder / "Index-fl.h", parts[0]);
    fuzz::WriteBytes(folder / "Index-fl.cnt", parts[1]);
    const std::u16string keywords = fuzz::Utf16FromBytes(parts[2]);
    std::uint32_t params = 0;
    for (std::size_t i = 0; i < parts[3].size() && i < 4; ++i) {
        params |= std::uint32_t{static_cast<std::uint8_t>(parts[3][i])} << (8 * i);
    }

    CFileList store;
    if (!store.Open(folder, "Index")) return 0;
    // Readers share the store: a second opener reads what the first reads.
    CFileList second;
    if (!second.Open(folder, "Index")) std::abort();

    std::int64_t found = -7;
    store.FindPage(params & 0xFF, (params >> 8) & 0xFFFF, found);
    store.FindPage(0xFFFFFFFF, 0, found);

    const auto scope = static_cast<SearchScope>((params >> 24) % 3);
    for (std::uint32_t record = 0; record < 64; ++record) {
        std::uint32_t length = 0;
        const bool hasLength = store.GetPageLength(record, length);
        ByteString page{1, 2, 3};
        const bool read = store.ReadPage(record, page);
        if (hasLength != read || (read && page.size() != length)) std::abort();
        if (!read && page != ByteString{1, 2, 3}) std::abort();
        if (read) {
            std::vector<std::uint8_t> small(length > 0 ? length - 1 : 0, 0x55);
            if (length > 0 && store.ReadPage(record, std::span<std::uint8_t>(small))) std::abort();
        }
        ByteString out;
        const int anchors = store.RenderHitPage(record, out, keywords, scope);
        if (anchors < 0 || (!read && !out.empty())) std::abort();
        if (!hasLength && record > 4) break;
    }
    return 0;
}
