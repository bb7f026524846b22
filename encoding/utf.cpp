#include "encoding/utf.h"

namespace vyn {

namespace {

constexpr char32_t kHighFirst = 0xD800, kHighLast = 0xDBFF;
constexpr char32_t kLowFirst = 0xDC00, kLowLast = 0xDFFF;

bool IsHigh(char32_t u) { return u >= kHighFirst && u <= kHighLast; }
bool IsLow(char32_t u) { return u >= kLowFirst && u <= kLowLast; }

// Reads one code point at *p. Leaves *p on the unit that stopped it when the result
// is not kConversionOk.
int NextCodePoint(const char16_t** p, const char16_t* end, int flags, char32_t& out) {
    const char16_t* s = *p;
    char32_t unit = *s++;
    if (IsHigh(unit)) {
        if (s == end) return kSourceExhausted;
        char32_t low = *s;
        if (IsLow(low)) {
            ++s;
            unit = ((unit - kHighFirst) << 10) + (low - kLowFirst) + 0x10000;
        } else if (flags == kStrictConversion) {
            return kSourceIllegal;
        }
    } else if (IsLow(unit) && flags == kStrictConversion) {
        return kSourceIllegal;
    }
    *p = s;
    out = unit;
    return kConversionOk;
}

}  // namespace

int Utf16ToUtf32(const char16_t** sourceStart, const char16_t* sourceEnd,
                 std::uint32_t** targetStart, std::uint32_t* targetEnd, int flags) {
    const char16_t* source = *sourceStart;
    std::uint32_t* target = *targetStart;
    int result = kConversionOk;
    while (source < sourceEnd) {
        const char16_t* before = source;
        char32_t cp = 0;
        result = NextCodePoint(&source, sourceEnd, flags, cp);
        if (result != kConversionOk) break;
        if (target >= targetEnd) {
            source = before;
            result = kTargetExhausted;
            break;
        }
        *target++ = cp;
    }
    *sourceStart = source;
    *targetStart = target;
    return result;
}

int Utf16ToUtf8(std::u16string_view source, ByteString& target, int flags) {
    target.reserve(target.size() + source.size() * 4);
    const char16_t* p = source.data();
    const char16_t* end = p + source.size();
    while (p < end) {
        char32_t cp = 0;
        int result = NextCodePoint(&p, end, flags, cp);
        if (result != kConversionOk) return result;
        if (cp < 0x80) {
            target.push_back(static_cast<std::uint8_t>(cp));
        } else if (cp < 0x800) {
            target.push_back(static_cast<std::uint8_t>(0xC0 | (cp >> 6)));
            target.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            target.push_back(static_cast<std::uint8_t>(0xE0 | (cp >> 12)));
            target.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
            target.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
        } else {
            target.push_back(static_cast<std::uint8_t>(0xF0 | (cp >> 18)));
            target.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 12) & 0x3F)));
            target.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
            target.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
        }
    }
    return kConversionOk;
}

}  // namespace vyn
