// The byte limit of the page view's own copy command, counted as a double-byte code
// page counts: one byte for an ASCII character, two for any other character (a
// surrogate pair is one character).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vyn {

inline constexpr std::size_t kCopyLimitBytes = 600;

// Counted bytes of text.
std::size_t CodePageByteCount(std::u16string_view text);

// The number of UTF-16 units of the longest prefix of text that counts at most
// maxBytes and ends on a character boundary: the whole text when it fits.
std::size_t LimitedPrefixLength(std::u16string_view text, std::size_t maxBytes);

// What a copy with citation leaves: text cut to kCopyLimitBytes as the page view's
// copy cuts it, a line break and the citation, which does not count toward the
// limit; the citation alone without text.
std::u16string WithCitation(std::u16string_view text, std::u16string_view citation);

}  // namespace vyn
