// UTF-8 decoding and encoding for the builder's input and output text.
#pragma once

#include <string>
#include <string_view>

namespace vyn {

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
