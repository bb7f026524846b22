// The catalog file: load, the listing, and every slot's tree item, scope path and node.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fuzz/fuzzinput.h"
#include "panel/catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyn;
    const auto& folder = fuzz::ScratchFolder();
    fuzz::WriteBytes(folder / "vyn.dir",
                     std::string_view(reinterpret_cast<const char*>(data), size));
    CCatalog catalog;
    if (!catalog.LoadCatalog(folder / "vyn.dir", folder / "listing.txt")) std::abort();

    std::ifstream listingFile(folder / "listing.txt", std::ios::binary);
    std::ostringstream written;
    written << listingFile.rdbuf();
    if (written.str() != catalog.Listing()) std::abort();

    for (int slot = 0; slot < catalog.NodeItemCount(); ++slot) {
        if (!catalog.HasRecord(slot)) continue;
        const int parent = catalog.TreeParent(slot);
        if (parent < 0 || parent >= slot) std::abort();
        catalog.HasTreeChildren(slot);
        catalog.ScopePath(slot);
        if (const ContentsNodeTag* node = catalog.ScopeNode(slot)) {
            node->Contains(node->docID);
        }
        CCatalog::ListingLine(catalog.Record(slot));
    }
    // A second load replaces the first.
    if (!catalog.LoadCatalog(folder / "vyn.dir", {})) std::abort();
    return 0;
}
