// The catalog file: load, the listing, every slot's tree item, scope path and node, and
// the reading flow on it: citations, going to a citation, slider marks, bookmarks.
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>
#include <fstream>
#include <sstream>

#include "fuzz/fuzzinput.h"
#include "panel/bookmarks.h"
#include "textstore/catalog.h"
#include "panel/citation.h"
#include "panel/hitmarks.h"

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
    // Reading flow: whatever a damaged catalog says, a place found is a page of a volume.
    std::vector<SearchNodeTag> entries(3);
    entries[1].pageIndex = 1000;
    entries[2].pageIndex = std::numeric_limits<std::uint32_t>::max();
    for (int slot = 0; slot < catalog.NodeItemCount(); ++slot) {
        const auto [first, last] = VolumePageRange(catalog, slot);
        CitationText(catalog, {slot, first});
        HitMarks(catalog, slot, entries);
        if (auto bookmark = CBookmarks::Make(catalog, {slot, last}, "", u"")) LocateBookmark(catalog, *bookmark);
        std::u16string name(catalog.HasRecord(slot) ? catalog.Record(slot).Name() : std::u16string_view());
        for (const std::u16string& text : {name, name + u" 1", name + u"第99999999999頁", u"（" + name + u"）",
                                           std::u16string(u"卷30 2"), std::u16string(u"7")}) {
            const CitationTarget target = ResolveCitation(catalog, text, slot);
            if (!target.Found()) continue;
            const auto [low, high] = VolumePageRange(catalog, target.place.volumeSlot);
            if (target.place.pageNumber < low || target.place.pageNumber > high) std::abort();
        }
    }
    for (std::uint32_t record : {0u, 1000u, std::numeric_limits<std::uint32_t>::max()}) {
        const PagePlace place = PlaceOfRecord(catalog, record);
        if (place.volumeSlot != VolumeSlotOf(catalog, record)) std::abort();
    }

    // A second load replaces the first.
    if (!catalog.LoadCatalog(folder / "vyn.dir", {})) std::abort();
    return 0;
}
