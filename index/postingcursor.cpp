#include "index/postingcursor.h"

#include <algorithm>

namespace vyn {

ChainCycle FindChainCycle(std::span<const std::uint32_t> chain, std::uint32_t firstBlock) {
    // Brent's cycle detection over the walk; kNoBlock stands for its end.
    const auto next = [&](std::uint32_t block) {
        return block < chain.size() ? chain[block] : kNoBlock;
    };
    ChainCycle cycle;
    if (firstBlock == kNoBlock) return cycle;
    std::uint64_t power = 1, length = 1;
    std::uint32_t tortoise = firstBlock;
    std::uint32_t hare = next(firstBlock);
    while (hare != kNoBlock && hare != tortoise) {
        if (power == length) {
            tortoise = hare;
            power *= 2;
            length = 0;
        }
        hare = next(hare);
        ++length;
    }
    if (hare == kNoBlock) return cycle;
    // The first block of the cycle: two walks length blocks apart meet there.
    tortoise = hare = firstBlock;
    for (std::uint64_t i = 0; i < length; ++i) hare = next(hare);
    while (tortoise != hare) {
        tortoise = next(tortoise);
        hare = next(hare);
    }
    cycle.entry = tortoise;
    cycle.length = static_cast<std::uint32_t>(length);
    return cycle;
}

CPostingCursor::CPostingCursor(const PostingView& view, std::uint32_t firstBlock,
                               std::uint32_t lastDocument)
    : m_view(view), m_lastDocument(lastDocument) {
    m_exhausted = std::uint64_t{firstBlock} * kPostingBlockSize >= view.bytes.size();
    EnterBlock(firstBlock);
}

void CPostingCursor::EnterBlock(std::uint32_t block) {
    m_block = block;
    m_offset = 0;
    if (!m_onCycle && block == m_view.cycle.entry) {
        // From here on the chain goes round; the list may use each block once.
        m_onCycle = true;
        m_cycleSwitchesLeft = m_view.cycle.length - 1;
    }
}

bool CPostingCursor::Exhaust() {
    m_exhausted = true;
    m_positionBytesLeft = 0;
    return false;
}

bool CPostingCursor::NextBlock() {
    if (m_block >= m_view.chain.size()) return Exhaust();
    const std::uint32_t next = m_view.chain[m_block];
    if (next == kNoBlock || std::uint64_t{next} * kPostingBlockSize >= m_view.bytes.size()) {
        return Exhaust();
    }
    if (m_onCycle) {
        if (m_cycleSwitchesLeft == 0) return Exhaust();
        --m_cycleSwitchesLeft;
    }
    EnterBlock(next);
    return true;
}

bool CPostingCursor::ReadByte(std::uint8_t& byte) {
    if (m_exhausted) return false;
    if (m_offset >= kPostingBlockSize && !NextBlock()) return false;
    const std::uint64_t at = std::uint64_t{m_block} * kPostingBlockSize + m_offset;
    if (at >= m_view.bytes.size()) return Exhaust();  // a cut-off last block
    byte = m_view.bytes[static_cast<std::size_t>(at)];
    ++m_offset;
    return true;
}

bool CPostingCursor::ReadPositionByte(std::uint8_t& byte) {
    if (m_positionBytesLeft == 0 || !ReadByte(byte)) {
        m_positionBytesLeft = 0;
        return false;
    }
    --m_positionBytesLeft;
    return true;
}

bool CPostingCursor::ReadEntryHead() {
    std::uint8_t b0 = 0, b1 = 0, b2 = 0;
    if (!ReadByte(b0)) return false;
    std::uint32_t delta = b0;
    if (b0 >= 0xC0) {
        if (!ReadByte(b1) || !ReadByte(b2)) return false;
        delta = (std::uint32_t{b0} & 0x3F) << 16 | std::uint32_t{b1} << 8 | b2;
    } else if (b0 >= 0x80) {
        if (!ReadByte(b1)) return false;
        delta = (std::uint32_t{b0} & 0x3F) << 8 | b1;
    }
    std::uint8_t low = 0, high = 0;
    if (!ReadByte(low) || !ReadByte(high)) return false;
    m_document += delta;
    m_positionBytesLeft = std::uint32_t{low} | std::uint32_t{high} << 8;
    return true;
}

bool CPostingCursor::ReadPosition() {
    std::uint8_t b0 = 0, b1 = 0, b2 = 0;
    if (!ReadPositionByte(b0)) return false;
    std::uint32_t delta = b0;
    if (b0 >= 0xC0) {
        if (!ReadPositionByte(b1) || !ReadPositionByte(b2)) return false;
        delta = (std::uint32_t{b0} & 0x3F) << 16 | std::uint32_t{b1} << 8 | b2;
    } else if (b0 >= 0x80) {
        if (!ReadPositionByte(b1)) return false;
        delta = (std::uint32_t{b0} & 0x3F) << 8 | b1;
    }
    m_position += delta;
    return true;
}

bool CPostingCursor::SkipEntry() {
    if (m_exhausted) return false;
    std::uint32_t offset = m_offset + m_positionBytesLeft;
    m_positionBytesLeft = 0;
    // An offset of exactly 4,096 stays: the switch happens at the next byte read.
    while (offset > kPostingBlockSize) {
        if (!NextBlock()) return false;
        offset -= kPostingBlockSize;
    }
    m_offset = offset;
    return true;
}

}  // namespace vyn
