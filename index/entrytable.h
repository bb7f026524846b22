// CEntryTable: where each entry of one posting list lies, read once per open index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "index/postingcursor.h"

namespace vyn {

// The documents of one posting list and, per entry, where its position data lies,
// so that a search can jump to any document of the list and decode positions from
// whole in-block spans. Built only for a regular list: a chain that never meets a
// cycle, strictly ascending documents, an entry of the last document, and every
// byte up to the end of that entry's position data inside the posting bytes. Any
// other list is left to CPostingCursor, which defines how a damaged list reads.
// Owns its arrays; holds no view. Not thread-safe.
class CEntryTable {
public:
    // Where an entry's position data starts: block, offset 0..4,096 within it (4,096
    // means the data begins in the next block of the chain) and the byte count.
    struct Location {
        std::uint32_t block;
        std::uint16_t offset;
        std::uint16_t bytes;
    };

    // Reads the heads of the list that starts at byte 0 of firstBlock and ends with
    // the entry of lastDocument. True, with the table filled, when the list is
    // regular; false, with the table empty, otherwise.
    bool Build(const PostingView& view, std::uint32_t firstBlock, std::uint32_t lastDocument);

    std::span<const std::uint32_t> Documents() const { return m_documents; }
    const Location& At(std::size_t entry) const { return m_locations[entry]; }
    std::size_t Size() const { return m_documents.size(); }
    // Every entry's position data starts with a whole packed number: a word of this
    // list's character alone has a hit on every document of the list.
    bool EveryEntryHasPosition() const { return m_everyEntryHasPosition; }
    // Bytes of the entries (the arrays may reserve more, left untouched).
    std::size_t MemoryBytes() const {
        return m_documents.size() * sizeof(std::uint32_t) + m_locations.size() * sizeof(Location);
    }

    // Copies the position data of entry into out, following the block chain.
    // Requires: the table was built from view, which has not changed since.
    void Gather(const PostingView& view, std::size_t entry, std::vector<std::uint8_t>& out) const;

private:
    std::vector<std::uint32_t> m_documents;
    std::vector<Location> m_locations;
    bool m_everyEntryHasPosition = false;
};

}  // namespace vyn
