// Character slots: the key space of the full-text index.
#pragma once

#include <cstdint>

namespace vyn {

constexpr std::int32_t kSlotCount = 100000;
constexpr std::int32_t kFirstVariantSlot = 88065;  // group g of the variant table has 88,065 + g
constexpr std::int32_t kNotIndexed = -1;

// Maps a code point to its index slot, or kNotIndexed. The ranges are tested in a
// fixed order, so U+F900..U+FAFF take the compatibility-ideograph slots.
std::int32_t CharSlot(std::uint32_t codePoint);

}  // namespace vyn
