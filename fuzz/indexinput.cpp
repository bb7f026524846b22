#include "fuzz/indexinput.h"

#include "index/indexformat.h"

namespace vyn::fuzz {

namespace {

void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::uint32_t ReadU32(std::string_view bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= std::uint32_t{static_cast<std::uint8_t>(bytes[offset + i])} << (8 * i);
    }
    return value;
}

std::string ExpandHeader(std::string_view entries, std::string_view chain) {
    std::string header(kHeaderTablesSize, '\0');
    for (std::size_t slot = 0; slot < kSlotTableEntries; ++slot) PutU32(header, 4 * slot, kNoBlock);
    for (std::size_t at = 0; at + 12 <= entries.size(); at += 12) {
        const std::size_t slot = ReadU32(entries, at) % kSlotTableEntries;
        PutU32(header, 4 * slot, ReadU32(entries, at + 4));
        PutU32(header, kLastDocTableOffset + 4 * slot, ReadU32(entries, at + 8));
    }
    header.append(chain);
    return header;
}

void CompactHeader(std::string_view header, std::string& entries, std::string& chain) {
    entries.clear();
    for (std::size_t slot = 0; slot < kSlotTableEntries; ++slot) {
        const std::uint32_t first = ReadU32(header, 4 * slot);
        if (first == kNoBlock) continue;
        std::string entry(12, '\0');
        PutU32(entry, 0, static_cast<std::uint32_t>(slot));
        PutU32(entry, 4, first);
        PutU32(entry, 8, ReadU32(header, kLastDocTableOffset + 4 * slot));
        entries += entry;
    }
    chain = std::string(header.substr(kHeaderTablesSize));
}

}  // namespace vyn::fuzz
