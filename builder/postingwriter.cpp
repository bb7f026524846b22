#include "builder/postingwriter.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "builder/binaryio.h"

namespace vyn {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;   // per pool allocation
constexpr std::size_t kWriteBuffer = std::size_t{4} << 20;  // bytes per file write

// A list is kept in segments of 64, 256 and 1,024 bytes, then of whole blocks, so
// that the many short lists do not take a block each. Returns the offset in its
// segment of a list's byte at offset bytes, and the segment's size.
std::uint32_t SegmentOffset(std::uint64_t bytes, std::uint32_t& size) {
    if (bytes < 64) return size = 64, static_cast<std::uint32_t>(bytes);
    if (bytes < 320) return size = 256, static_cast<std::uint32_t>(bytes - 64);
    if (bytes < 1344) return size = 1024, static_cast<std::uint32_t>(bytes - 320);
    size = kPostingBlockSize;
    return static_cast<std::uint32_t>((bytes - 1344) % kPostingBlockSize);
}

std::uint32_t PackedSize(std::uint32_t value) { return value < 0x80 ? 1 : value < 0x4000 ? 2 : 3; }

// The packed form of value in the low PackedSize(value) bytes, first byte lowest.
std::uint32_t Packed(std::uint32_t value) {
    if (value < 0x80) return value;
    if (value < 0x4000) return (0x80 | (value >> 8)) | ((value & 0xFF) << 8);
    return (0xC0 | (value >> 16)) | (((value >> 8) & 0xFF) << 8) | ((value & 0xFF) << 16);
}

}  // namespace

CPostingWriter::CPostingWriter() : m_slots(kSlotTableEntries) {}

void CPostingWriter::PutPacked(ByteString& out, std::uint32_t value) {
    const std::uint32_t packed = Packed(value);
    for (std::uint32_t i = 0, n = PackedSize(value); i < n; ++i) {
        out.push_back(static_cast<std::uint8_t>(packed >> (8 * i)));
    }
}

void CPostingWriter::StartSegment(SlotList& list, std::uint32_t size) {
    const auto segment = static_cast<std::uint32_t>(m_segments.size());
    if (m_chunkLeft < size) {
        m_chunks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kChunkBytes));
        m_chunkLeft = kChunkBytes;
    }
    m_segments.push_back({m_chunks.back().get() + (kChunkBytes - m_chunkLeft), kNoBlock, size});
    m_chunkLeft -= size;
    if (list.bytes == 0) {
        list.firstBlock = segment;
    } else {
        m_segments[list.lastBlock].next = segment;
    }
    list.lastBlock = segment;
}

void CPostingWriter::PutByte(SlotList& list, std::uint8_t byte) {
    std::uint32_t size = 0;
    const std::uint32_t offset = SegmentOffset(list.bytes, size);
    if (offset == 0) StartSegment(list, size);
    m_segments[list.lastBlock].data[offset] = byte;
    ++list.bytes;
}

void CPostingWriter::Put(SlotList& list, std::uint32_t value) {
    const std::uint32_t size = PackedSize(value);
    const std::uint32_t packed = Packed(value);
    std::uint32_t segmentSize = 0;
    const std::uint32_t offset = SegmentOffset(list.bytes, segmentSize);
    if (offset != 0 && offset + size <= segmentSize) {
        std::uint8_t* at = m_segments[list.lastBlock].data + offset;
        for (std::uint32_t i = 0; i < size; ++i) at[i] = static_cast<std::uint8_t>(packed >> (8 * i));
        list.bytes += size;
        return;
    }
    for (std::uint32_t i = 0; i < size; ++i) PutByte(list, static_cast<std::uint8_t>(packed >> (8 * i)));
}

void CPostingWriter::CloseEntry(const SlotList& list) {
    if (list.bytes == 0) return;
    const Segment& segment = m_segments[list.countBlock];
    std::uint8_t* low = segment.data + list.countOffset;
    std::uint8_t* high =
        list.countOffset + 1u < segment.size ? low + 1 : m_segments[segment.next].data;
    *low = static_cast<std::uint8_t>(list.positionBytes & 0xFF);
    *high = static_cast<std::uint8_t>(list.positionBytes >> 8);
}

bool CPostingWriter::Add(std::int32_t slot, std::uint32_t doc, std::uint32_t position) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_slots.size()) return false;
    SlotList& list = m_slots[static_cast<std::size_t>(slot)];
    const bool any = list.bytes != 0;
    if (any && doc == list.lastDoc) {
        if (position == list.lastPosition) return true;
        if (position < list.lastPosition) return false;
        const std::uint32_t delta = position - list.lastPosition;
        if (delta > kMaxPacked || list.positionBytes + PackedSize(delta) > kMaxPositionBytes) {
            return false;
        }
        Put(list, delta);
        list.positionBytes = static_cast<std::uint16_t>(list.positionBytes + PackedSize(delta));
        list.lastPosition = position;
        return true;
    }
    if (any && doc < list.lastDoc) return false;
    const std::uint32_t docDelta = any ? doc - list.lastDoc : doc;
    if (docDelta > kMaxPacked || position > kMaxPacked) return false;
    CloseEntry(list);
    // An entry: packed document delta, the two-byte count of its position bytes,
    // the packed positions.
    Put(list, docDelta);
    std::uint32_t segmentSize = 0;
    const std::uint32_t countOffset = SegmentOffset(list.bytes, segmentSize);
    PutByte(list, 0);
    list.countBlock = list.lastBlock;
    list.countOffset = static_cast<std::uint16_t>(countOffset);
    PutByte(list, 0);
    Put(list, position);
    list.positionBytes = static_cast<std::uint16_t>(PackedSize(position));
    list.lastDoc = doc;
    list.lastPosition = position;
    return true;
}

void CPostingWriter::Clear() {
    m_slots.assign(kSlotTableEntries, SlotList());
    m_chunks.clear();
    m_chunkLeft = 0;
    m_segments.clear();
}

bool CPostingWriter::Write(const std::filesystem::path& folder, std::string_view baseWithSuffix,
                           std::string& error) {
    // The posting file holds the lists in slot order, each from a fresh block.
    std::vector<std::uint32_t> firstBlock(kSlotTableEntries, kNoBlock);
    std::vector<std::uint32_t> lastDoc(kSlotTableEntries, 0);
    std::vector<std::uint32_t> chain;
    for (std::size_t slot = 0; slot < m_slots.size(); ++slot) {
        SlotList& list = m_slots[slot];
        if (list.bytes == 0) continue;
        CloseEntry(list);
        firstBlock[slot] = static_cast<std::uint32_t>(chain.size());
        lastDoc[slot] = list.lastDoc;
        const std::uint64_t blocks = (list.bytes + kPostingBlockSize - 1) / kPostingBlockSize;
        for (std::uint64_t b = 0; b < blocks; ++b) {
            const auto self = static_cast<std::uint32_t>(chain.size());
            chain.push_back(b + 1 < blocks ? self + 1 : kNoBlock);
        }
    }
    const bool noList = chain.empty();
    if (noList) chain.push_back(kNoBlock);
    ByteString header;
    header.reserve(kHeaderTablesSize + chain.size() * 4);
    for (auto v : firstBlock) PutU32(header, v);
    header.resize(kLastDocTableOffset, 0);  // the reserved tables
    for (auto v : lastDoc) PutU32(header, v);
    for (auto v : chain) PutU32(header, v);
    const std::string base = (folder / std::string(baseWithSuffix)).string();
    if (!WriteBytes(base + std::string(kHeaderFileSuffix), header, error)) {
        Clear();
        return false;
    }

    // Blocks are gathered into large writes; the unused end of a list's last
    // block is written as zeros.
    const std::string path = base + std::string(kPostingFileSuffix);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    std::vector<char> buffer(kWriteBuffer);
    std::size_t filled = 0;
    auto flush = [&] {
        if (filled > 0 && file) file.write(buffer.data(), static_cast<std::streamsize>(filled));
        filled = 0;
    };
    for (const SlotList& list : m_slots) {
        if (list.bytes == 0 || !file) continue;
        std::uint64_t left = list.bytes;
        for (std::uint32_t segment = list.firstBlock; left > 0; segment = m_segments[segment].next) {
            const Segment& piece = m_segments[segment];
            const auto used = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size));
            if (filled + used > buffer.size()) flush();
            std::memcpy(buffer.data() + filled, piece.data, used);
            filled += used;
            left -= used;
        }
        const std::size_t tail = list.bytes % kPostingBlockSize;
        if (tail > 0) {
            if (filled + (kPostingBlockSize - tail) > buffer.size()) flush();
            std::memset(buffer.data() + filled, 0, kPostingBlockSize - tail);
            filled += kPostingBlockSize - tail;
        }
    }
    if (noList) {
        std::memset(buffer.data(), 0, kPostingBlockSize);
        filled = kPostingBlockSize;
    }
    flush();
    Clear();
    if (file) file.close();
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace vyn
