#include "encoding/utf.h"

#include <gtest/gtest.h>

#include <vector>

namespace vyn {
namespace {

ByteString Bytes(std::initializer_list<int> values) {
    ByteString out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

struct Utf8Case {
    const char* name;
    std::u16string source;
    int flags;
    int result;
    ByteString bytes;
};

TEST(Utf16ToUtf8, ConvertsAndStopsAsTheModeSays) {
    const Utf8Case cases[] = {
        {"ascii wildcards stay single bytes", u"*?", kStrictConversion, 0, Bytes({0x2A, 0x3F})},
        {"hiragana is three bytes", u"\u3042", kStrictConversion, 0, Bytes({0xE3, 0x81, 0x82})},
        {"two-byte form", u"\u00E9", kStrictConversion, 0, Bytes({0xC3, 0xA9})},
        {"surrogate pair is four bytes", u"\xD840\xDC00", kStrictConversion, 0,
         Bytes({0xF0, 0xA0, 0x80, 0x80})},
        {"highest code point", u"\xDBFF\xDFFF", kLenientConversion, 0,
         Bytes({0xF4, 0x8F, 0xBF, 0xBF})},
        {"lone low surrogate passes in lenient mode", u"\xDC00", kLenientConversion, 0,
         Bytes({0xED, 0xB0, 0x80})},
        {"lone low surrogate stops strict mode", u"a\xDC00" u"b", kStrictConversion, 3,
         Bytes({'a'})},
        {"high surrogate before a BMP unit passes in lenient mode", u"\xD800" u"a",
         kLenientConversion, 0, Bytes({0xED, 0xA0, 0x80, 'a'})},
        {"high surrogate before a BMP unit stops strict mode", u"\xD800" u"a", kStrictConversion,
         3, Bytes({})},
        {"trailing high surrogate, lenient", u"\u3042\xD800", kLenientConversion, 1,
         Bytes({0xE3, 0x81, 0x82})},
        {"trailing high surrogate, strict", u"\u3042\xD800", kStrictConversion, 1,
         Bytes({0xE3, 0x81, 0x82})},
        {"empty input", u"", kStrictConversion, 0, Bytes({})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteString out = Bytes({0x01});  // appends, never replaces
        EXPECT_EQ(Utf16ToUtf8(c.source, out, c.flags), c.result);
        ByteString expected = Bytes({0x01});
        expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(out, expected);
    }
}

struct Utf32Case {
    const char* name;
    std::u16string source;
    std::size_t targetSize;
    int flags;
    int result;
    std::vector<std::uint32_t> output;
    std::size_t consumed;  // units consumed
};

TEST(Utf16ToUtf32, ConvertsAndLeavesPointersAtTheStop) {
    const Utf32Case cases[] = {
        {"pair becomes one code point", u"\xD840\xDC00", 1, kLenientConversion, 0, {0x20000}, 2},
        {"BMP characters", u"\u4E00\u4E01", 2, kStrictConversion, 0, {0x4E00, 0x4E01}, 2},
        {"target of one code point is exhausted by the second", u"\u4E00\u4E01", 1,
         kLenientConversion, 2, {0x4E00}, 1},
        {"pair that does not fit steps back to its high half", u"\u4E00\xD840\xDC00", 1,
         kStrictConversion, 2, {0x4E00}, 1},
        {"lone low surrogate, lenient", u"\xDC00", 1, kLenientConversion, 0, {0xDC00}, 1},
        {"lone low surrogate, strict", u"\u4E00\xDC00", 4, kStrictConversion, 3, {0x4E00}, 1},
        {"unpaired high surrogate, lenient", u"\xD800\u4E00", 4, kLenientConversion, 0,
         {0xD800, 0x4E00}, 2},
        {"unpaired high surrogate, strict", u"\xD800\u4E00", 4, kStrictConversion, 3, {}, 0},
        {"trailing high surrogate", u"\u4E00\xD800", 4, kLenientConversion, 1, {0x4E00}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> target(c.targetSize + 1, 0xDEADBEEF);
        const char16_t* source = c.source.data();
        std::uint32_t* out = target.data();
        int result = Utf16ToUtf32(&source, c.source.data() + c.source.size(), &out,
                                  target.data() + c.targetSize, c.flags);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(static_cast<std::size_t>(source - c.source.data()), c.consumed);
        std::vector<std::uint32_t> produced(target.data(), out);
        EXPECT_EQ(produced, c.output);
        EXPECT_EQ(target[c.targetSize], 0xDEADBEEFu) << "wrote past the target";
    }
}

TEST(Utf8ToUtf16, PairsAboveTheBasicPlaneAndRefusesMalformedText) {
    struct Case {
        const char* utf8;
        bool ok;
        std::u16string utf16;  // the result, or what out keeps when refused
    } const cases[] = {
        {"", true, u""},
        {"a甲，", true, u"a甲，"},
        {"\xF0\xA0\x80\x81乙", true, u"\U00020001乙"},
        {"\xF4\x8F\xBF\xBF", true, u"\U0010FFFF"},
        {"甲\xC0\x80", false, u"kept"},      // overlong
        {"\xE7\x94", false, u"kept"},         // truncated
        {"\xED\xA0\x80", false, u"kept"},    // surrogate
        {"\xF4\x90\x80\x80", false, u"kept"},  // above U+10FFFF
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::u16string out = u"kept";
        EXPECT_EQ(Utf8ToUtf16(c.utf8, out), c.ok);
        EXPECT_EQ(out, c.utf16);
    }
}

TEST(NextCodePoint, CombinesPairsAndPassesUnpairedSurrogates) {
    struct Case {
        const char* name;
        std::u16string text;
        std::vector<char32_t> codePoints;
    } const cases[] = {
        {"Empty", u"", {}},
        {"BasicPlane", u"a甲，", {U'a', U'甲', U'，'}},
        {"PairAboveTheBasicPlane", u"\U00020001乙", {0x20001, U'乙'}},
        {"LastPossiblePair", u"\U0010FFFF", {0x10FFFF}},
        {"HighSurrogateAtTheEnd", std::u16string{u'甲', char16_t(0xD840)}, {U'甲', 0xD840}},
        {"HighSurrogateBeforeAnotherUnit", std::u16string{char16_t(0xD840), u'a'}, {0xD840, U'a'}},
        {"LowSurrogateAlone", std::u16string{char16_t(0xDC01), u'a'}, {0xDC01, U'a'}},
        {"TwoHighsThenLow", std::u16string{char16_t(0xD840), char16_t(0xD840), char16_t(0xDC01)},
         {0xD840, 0x20001}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char32_t> decoded;
        for (std::size_t i = 0; i < c.text.size();) decoded.push_back(NextCodePoint(c.text, i));
        EXPECT_EQ(decoded, c.codePoints);
        std::u16string encoded;
        for (char32_t cp : decoded) AppendUtf16(encoded, cp);
        EXPECT_EQ(encoded, c.text) << "AppendUtf16 undoes NextCodePoint";
    }
}

}  // namespace
}  // namespace vyn
