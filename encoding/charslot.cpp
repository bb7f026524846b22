#include "encoding/charslot.h"

namespace vyn {

std::int32_t CharSlot(std::uint32_t cp) {
    if (cp >= 0x3400 && cp <= 0x9FFF) return static_cast<std::int32_t>(cp - 0x3400);
    if (cp >= 0xF900 && cp <= 0xFAFF) return static_cast<std::int32_t>(cp - 0x8C00);
    if (cp >= 0x20000 && cp <= 0x2A6DF) return static_cast<std::int32_t>(cp - 0x18100);
    if (cp >= 0x2F800 && cp <= 0x2FA1F) return static_cast<std::int32_t>(cp - 0x1D220);
    if (cp >= 0x3042 && cp <= 0x30F6) return static_cast<std::int32_t>(cp + 0xF7BE);
    if (cp >= 0xE000 && cp <= 0xFFFF) return static_cast<std::int32_t>(cp + 0x48B5);
    return kNotIndexed;
}

}  // namespace vyn
