#include "encoding/utf.h"

namespace vyn {

namespace {

constexpr char32_t kHighFirst = 0xD800, kHighLast = 0xDBFF;
constexpr char32_t kLowFirst = 0xDC00, kLowLast = 0xDFFF;

bool IsHigh(char32_t u) { return u >= kHighFirst && u <= kHighLast; }
bool IsLow(char32_t u) { return u >= kLowFirst && u <= kLowLast; }

char32_t CombineSurrogates(char32_t high, char32_t low) {
    return ((high - kHighFirst) << 10) + (low - kLowFirst) + 0x10000;
}

// Appends the UTF-8 form of cp (at most U+10FFFF) to a byte container.
template <typename Bytes>
void EncodeUtf8(char32_t cp, Bytes& out) {
    using Byte = typename Bytes::value_type;
    if (cp < 0x80) {
        out.push_back(static_cast<Byte>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<Byte>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<Byte>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<Byte>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<Byte>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<Byte>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<Byte>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<Byte>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<Byte>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<Byte>(0x80 | (cp & 0x3F)));
    }
}

// Reads one code point at *p. Leaves *p on the unit that stopped it when the result
// is not kConversionOk.
int ReadCodePoint(const char16_t** p, const char16_t* end, int flags, char32_t& out) {
    const char16_t* s = *p;
    char32_t unit = *s++;
    if (IsHigh(unit)) {
        if (s == end) return kSourceExhausted;
        char32_t low = *s;
        if (IsLow(low)) {
            ++s;
            unit = CombineSurrogates(unit, low);
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
        result = ReadCodePoint(&source, sourceEnd, flags, cp);
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
        int result = ReadCodePoint(&p, end, flags, cp);
        if (result != kConversionOk) return result;
        EncodeUtf8(cp, target);
    }
    return kConversionOk;
}

std::string Utf16ToUtf8String(std::u16string_view source) {
    ByteString bytes;
    Utf16ToUtf8(source, bytes, kLenientConversion);
    return {bytes.begin(), bytes.end()};
}

char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
    const char32_t unit = text[i++];
    if (IsHigh(unit) && i < text.size() && IsLow(text[i])) return CombineSurrogates(unit, text[i++]);
    return unit;
}

bool DecodeUtf8(std::string_view text, std::u32string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        std::size_t extra = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, value = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2, value = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, value = lead & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = (value << 6) | (next & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        out.push_back(value);
        i += extra + 1;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t codePoint) { EncodeUtf8(codePoint, out); }

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

bool Utf8ToUtf16(std::string_view text, std::u16string& out) {
    std::u32string decoded;
    if (!DecodeUtf8(text, decoded)) return false;
    std::u16string result;
    result.reserve(decoded.size());
    for (char32_t codePoint : decoded) AppendUtf16(result, codePoint);
    out = std::move(result);
    return true;
}

}  // namespace vyn
