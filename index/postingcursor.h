// CPostingCursor: reads one posting list of the mapped posting file in place.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "index/indexformat.h"

namespace vyn {

// Where the chain walk from a list's first block comes back on itself: the first
// block of the walk that lies on a cycle (a block the walk reaches again) and the
// number of blocks on that cycle. Entry kNoBlock, length 0, when the walk ends. A
// well-formed list never visits a block twice, so on the cycle it may use at most
// length blocks.
struct ChainCycle {
    std::uint32_t entry = kNoBlock;
    std::uint32_t length = 0;
};

// The cycle of the walk from firstBlock, where chain entries at or past chain.size()
// end a walk. O(blocks walked) time, O(1) memory.
ChainCycle FindChainCycle(std::span<const std::uint32_t> chain, std::uint32_t firstBlock);

// What a cursor reads: the posting bytes, the block chain and the cycle of the list's
// walk (FindChainCycle from its first block). The views must outlive every cursor
// made from them.
struct PostingView {
    std::span<const std::uint8_t> bytes;
    std::span<const std::uint32_t> chain;
    ChainCycle cycle;
};

// Walks one posting list (format in index/indexformat.h) block by block through the
// block chain: entry heads, then the packed positions of the current entry. Every
// byte is checked against the posting bytes and every block switch against the
// chain; a list that leaves them, or would come back to a block it has used (a
// looping chain), is exhausted and reads nothing more. Well-formed lists read exactly
// as encoded. Holds the view, whose data must outlive it. Copyable; not thread-safe.
class CPostingCursor {
public:
    CPostingCursor() = default;
    // Positions the cursor before the first entry of the list that starts at byte 0
    // of firstBlock and ends with the entry of document lastDocument. A firstBlock
    // outside the posting bytes leaves the cursor exhausted.
    CPostingCursor(const PostingView& view, std::uint32_t firstBlock, std::uint32_t lastDocument);

    // Reads the next entry head: adds its document delta to Document() and takes its
    // position byte count. False, and the cursor exhausted, when the list's bytes end
    // within the head. Requires: the rest of the previous entry was skipped.
    bool ReadEntryHead();

    // Adds the next position delta of the current entry to Position(). False when the
    // entry has no position bytes left, or when a packed number would run past them or
    // past the list's bytes; the entry is then used up.
    bool ReadPosition();

    // Moves past the unread position data of the current entry. False, and the
    // cursor exhausted, when the chain ends or leaves the posting bytes first.
    bool SkipEntry();

    // The cursor is on the list's final entry and must not read another head.
    bool AtLastEntry() const { return m_document == m_lastDocument; }
    bool Exhausted() const { return m_exhausted; }

    std::uint32_t Document() const { return m_document; }
    std::uint32_t PositionBytesLeft() const { return m_positionBytesLeft; }
    std::uint32_t Position() const { return m_position; }
    void SetPosition(std::uint32_t position) { m_position = position; }
    std::uint32_t Block() const { return m_block; }
    std::uint32_t Offset() const { return m_offset; }  // 0..kPostingBlockSize within Block()

private:
    bool ReadByte(std::uint8_t& byte);
    bool ReadPositionByte(std::uint8_t& byte);
    bool NextBlock();
    bool Exhaust();
    void EnterBlock(std::uint32_t block);

    PostingView m_view;
    std::uint32_t m_block = 0;
    std::uint32_t m_offset = 0;
    std::uint32_t m_document = 0;
    std::uint32_t m_lastDocument = 0;
    std::uint32_t m_positionBytesLeft = 0;
    std::uint32_t m_position = 0;
    std::uint32_t m_cycleSwitchesLeft = 0;  // once on a chain cycle
    bool m_onCycle = false;
    bool m_exhausted = true;
};

}  // namespace vyn
