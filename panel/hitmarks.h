// The marks of the page slider: the result pages of the search inside the open volume.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "textstore/catalog.h"
#include "panel/searchcommand.h"

namespace vyn {

struct PageMark {
    int pageNumber = 0;
    std::uint32_t hits = 0;

    bool operator==(const PageMark&) const = default;
};

// The entries whose page lies in the volume of slot, as page numbers of that volume
// with their hits, by page number; empty when the slot holds no volume.
std::vector<PageMark> HitMarks(const CCatalog& catalog, int volumeSlot,
                               std::span<const SearchNodeTag> entries);

// "第N頁（k箇所）".
std::u16string HitMarkToolTip(const PageMark& mark);

}  // namespace vyn
