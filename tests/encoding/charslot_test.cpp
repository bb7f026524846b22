#include "encoding/charslot.h"

#include <gtest/gtest.h>

namespace vyn {
namespace {

TEST(CharSlot, RangesInTheirOrder) {
    const struct {
        std::uint32_t codePoint;
        std::int32_t slot;
    } cases[] = {
        {0x3400, 0},          {0x4E00, 0x4E00 - 0x3400}, {0x9FFF, 27647},
        {0xF900, 27904},      {0xFAFF, 28415},           {0x20000, 32512},
        {0x2A6DF, 75231},     {0x2A6E0, kNotIndexed},    {0x2F800, 75232},
        {0x2FA1F, 75775},     {0x3042, 75776},           {0x30F6, 75956},
        {0x3041, kNotIndexed}, {0x30F7, kNotIndexed},     {0x3000, kNotIndexed},
        {0x3002, kNotIndexed}, {0x33FF, kNotIndexed},     {0xE000, 75957},
        {0xF8FF, 0xF8FF + 0x48B5}, {0xFB00, 0xFB00 + 0x48B5}, {0xFF1F, 0xFF1F + 0x48B5},
        {0xFFFF, 84148},      {'A', kNotIndexed},        {'*', kNotIndexed},
        {0xA000, kNotIndexed}, {0xD800, kNotIndexed},     {0xDFFF, kNotIndexed},
        {0x2A700, kNotIndexed}, {0x10000, kNotIndexed},   {0x110000, kNotIndexed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "U+" << c.codePoint);
        EXPECT_EQ(CharSlot(c.codePoint), c.slot);
    }
}

TEST(CharSlot, NeverReachesTheVariantGroupSlots) {
    for (std::uint32_t cp = 0; cp <= 0x30000; ++cp) {
        std::int32_t slot = CharSlot(cp);
        ASSERT_LT(slot, kFirstVariantSlot) << cp;
    }
}

}  // namespace
}  // namespace vyn
