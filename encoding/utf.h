// UTF-16 to UTF-32 and UTF-16 to UTF-8 conversion, strict or lenient.
// Stateless and re-entrant.
#pragma once

#include <cstdint>
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

}  // namespace vyn
