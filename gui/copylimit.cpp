#include "gui/copylimit.h"

#include "encoding/utf.h"

namespace vyn {

std::size_t CodePageByteCount(std::u16string_view text) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < text.size();) bytes += NextCodePoint(text, i) < 0x80 ? 1 : 2;
    return bytes;
}

std::size_t LimitedPrefixLength(std::u16string_view text, std::size_t maxBytes) {
    std::size_t bytes = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t next = i;
        const std::size_t charBytes = NextCodePoint(text, next) < 0x80 ? 1 : 2;
        if (bytes + charBytes > maxBytes) break;
        bytes += charBytes;
        i = next;
    }
    return i;
}

std::u16string WithCitation(std::u16string_view text, std::u16string_view citation) {
    std::u16string out(text.substr(0, LimitedPrefixLength(text, kCopyLimitBytes)));
    while (!out.empty() && (out.back() == u'\n' || out.back() == u'\r')) out.pop_back();
    if (!out.empty()) out += u'\n';
    return out += citation;
}

}  // namespace vyn
