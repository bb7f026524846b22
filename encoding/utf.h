// Unicode conversions: UTF-16 to UTF-32 and to UTF-8, strict or lenient; UTF-8 to
// code points and to UTF-16; single code points to UTF-8 and UTF-16. Every decoding of
// a surrogate pair and every encoding of UTF-8 in the program goes through here.
// Stateless and re-entrant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "encoding/bytestring.h"

namespace vyn {

enum ConversionResult : int {
    kConversionOk = 0,
    kSourceExhausted = 1,  // input ends with a high surrogate whose low half is missing
    kTargetExhausted = 2,  // the UTF-32 target is full
    kSourceIllegal = 3,    // strict mode met an unpaired surrogate
};

enum ConversionFlags : int {
    kStrictConversion = 0,
    kLenientConversion = 1,  // unpaired surrogate units pass through as code points
};

// Converts [*sourceStart, sourceEnd) into [*targetStart, targetEnd). On return both
// start pointers point just past what was consumed and produced; when the conversion
// stops early they point at the unit that stopped it and at the first unused target.
int Utf16ToUtf32(const char16_t** sourceStart, const char16_t* sourceEnd,
                 std::uint32_t** targetStart, std::uint32_t* targetEnd, int flags);

// Appends the UTF-8 form of `source` to `target`. On codes 1 and 3 the target holds
// everything converted before the unit that stopped the conversion.
int Utf16ToUtf8(std::u16string_view source, ByteString& target, int flags);
// The lenient UTF-8 form of source as a string.
std::string Utf16ToUtf8String(std::u16string_view source);

// The code point at text[i], with i advanced past it: a high surrogate followed by a
// low one gives their combined value and advances by 2; any other unit, an unpaired
// surrogate included, is its own value and advances by 1. Requires: i < text.size().
char32_t NextCodePoint(std::u16string_view text, std::size_t& i);

// Decodes well-formed UTF-8 into code points, appended to out. False on a malformed
// sequence (bad lead or continuation byte, overlong form, surrogate, value above
// U+10FFFF, truncated end); out then holds what came before it.
bool DecodeUtf8(std::string_view text, std::u32string& out);

// Appends the UTF-8 form of a code point (at most U+10FFFF) to out.
void AppendUtf8(std::string& out, char32_t codePoint);

// Appends the UTF-16 form of a code point (at most U+10FFFF) to out: a surrogate
// pair above U+FFFF.
void AppendUtf16(std::u16string& out, char32_t codePoint);

// Well-formed UTF-8 as UTF-16, replacing out. False on a malformed sequence (see
// DecodeUtf8), out then untouched.
bool Utf8ToUtf16(std::string_view text, std::u16string& out);

}  // namespace vyn
