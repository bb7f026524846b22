// The rebuild of a stored page with a term marked: arbitrary page bytes and terms.
// Input parts: page bytes, term bytes, parameters.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzzinput.h"
#include "textstore/filelist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyn;
    const auto parts = fuzz::SplitInput(data, size, 3);
    const ByteString page = ToBytes(parts[0]);
    const ByteString term = ToBytes(parts[1]);
    const std::uint8_t params = parts[2].empty() ? 0 : static_cast<std::uint8_t>(parts[2][0]);

    std::vector<HTMLNode> nodes;
    CFileList::ParsePage(page, nodes);
    int counter = 0;
    for (const HTMLNode& node : nodes) {
        std::vector<FilterItem> items;
        SplitAnnotations(node, items);
        for (const FilterItem& item : items) {
            ByteString marked;
            const int before = counter;
            const int matches = CFileList::MarkTerm(item.text, term, marked, counter);
            if (matches < 0 || counter < before) std::abort();
        }
    }
    CFileList::CompileTerm(term);
    ByteString out;
    counter = 0;
    const int matches = CFileList::ApplyTerm(page, out, term, params & 1,
                                             static_cast<SearchScope>((params >> 1) % 3), counter);
    if (matches < 0 || counter < 0) std::abort();
    return 0;
}
