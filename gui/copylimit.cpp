#include "gui/copylimit.h"

namespace vyn {

namespace {

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Units of the character starting at i.
std::size_t CharUnits(std::u16string_view text, std::size_t i) {
    return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

}  // namespace

std::size_t CodePageByteCount(std::u16string_view text) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < text.size(); i += CharUnits(text, i)) bytes += text[i] < 0x80 ? 1 : 2;
    return bytes;
}

std::size_t LimitedPrefixLength(std::u16string_view text, std::size_t maxBytes) {
    std::size_t bytes = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t charBytes = text[i] < 0x80 ? 1 : 2;
        if (bytes + charBytes > maxBytes) break;
        bytes += charBytes;
        i += CharUnits(text, i);
    }
    return i;
}

}  // namespace vyn
