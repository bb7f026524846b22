// The table is read with the rules of CPostingCursor (index/postingcursor.cpp) but
// gives up, instead of ending the list early, wherever the cursor would meet damage;
// the search then walks that list with the cursor.
#include "index/entrytable.h"

#include <algorithm>

namespace vyn {

namespace {

// A walk along one list's blocks that refuses every irregularity.
class BlockWalk {
public:
    BlockWalk(const PostingView& view, std::uint32_t block) : m_view(view) { m_ok = Enter(block); }

    bool Ok() const { return m_ok; }
    std::uint32_t Block() const { return m_block; }
    std::uint32_t Offset() const { return m_offset; }

    // The next count bytes as one in-block span, or nullptr when they are not.
    const std::uint8_t* Span(std::uint32_t count) const {
        if (m_offset + count > m_available) return nullptr;
        return m_view.bytes.data() + std::size_t{m_block} * kPostingBlockSize + m_offset;
    }
    void Advance(std::uint32_t count) { m_offset += count; }

    bool ReadByte(std::uint8_t& byte) {
        if (m_offset >= kPostingBlockSize && !Next()) return false;
        if (m_offset >= m_available) return false;
        byte = m_view.bytes[std::size_t{m_block} * kPostingBlockSize + m_offset];
        ++m_offset;
        return true;
    }

    // Moves past count bytes; false when they do not all lie in the list's blocks.
    bool Skip(std::uint32_t count) {
        std::uint32_t offset = m_offset + count;
        while (offset > kPostingBlockSize) {
            if (m_available < kPostingBlockSize || !Next()) return false;
            offset -= kPostingBlockSize;
        }
        m_offset = offset;
        return m_offset <= m_available;
    }

private:
    bool Enter(std::uint32_t block) {
        const std::uint64_t start = std::uint64_t{block} * kPostingBlockSize;
        if (start >= m_view.bytes.size()) return false;
        if (block == m_view.cycle.entry) return false;
        m_block = block;
        m_offset = 0;
        m_available = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(kPostingBlockSize, m_view.bytes.size() - start));
        return true;
    }
    bool Next() {
        if (m_block >= m_view.chain.size()) return false;
        const std::uint32_t next = m_view.chain[m_block];
        return next != kNoBlock && Enter(next);
    }

    const PostingView& m_view;
    std::uint32_t m_block = 0;
    std::uint32_t m_offset = 0;
    std::uint32_t m_available = 0;  // bytes of the block inside the posting bytes
    bool m_ok = false;
};

std::uint32_t PackedLength(std::uint8_t b0) { return b0 < 0x80 ? 1 : b0 < 0xC0 ? 2 : 3; }

// Blocks on the chain from block, stopping where a walk would end or repeat.
std::uint64_t ChainLength(const PostingView& view, std::uint32_t block) {
    std::uint64_t length = 0;
    const std::uint64_t blocks = view.bytes.size() / kPostingBlockSize + 1;
    while (length < blocks && std::uint64_t{block} * kPostingBlockSize < view.bytes.size()) {
        ++length;
        if (block >= view.chain.size()) break;
        block = view.chain[block];
    }
    return length;
}

}  // namespace

bool CEntryTable::Build(const PostingView& view, std::uint32_t firstBlock,
                        std::uint32_t lastDocument) {
    m_documents.clear();
    m_locations.clear();
    m_everyEntryHasPosition = true;
    BlockWalk walk(view, firstBlock);
    bool regular = walk.Ok();
    if (regular) {
        // An entry takes at least 3 bytes, and documents ascend from 0: growing the
        // arrays instead would copy them and touch fresh memory several times over.
        const std::uint64_t most =
            std::min<std::uint64_t>(ChainLength(view, firstBlock) * kPostingBlockSize / 3 + 1,
                                    std::uint64_t{lastDocument} + 1);
        m_documents.reserve(static_cast<std::size_t>(most));
        m_locations.reserve(static_cast<std::size_t>(most));
    }
    std::uint32_t document = 0;
    while (regular) {
        std::uint32_t delta = 0, bytes = 0;
        if (const std::uint8_t* p = walk.Span(5)) {
            // The longest head lies in the block: decode it in place.
            const std::uint32_t length = PackedLength(p[0]);
            delta = length == 1   ? p[0]
                    : length == 2 ? (p[0] & 0x3Fu) << 8 | p[1]
                                  : (p[0] & 0x3Fu) << 16 | std::uint32_t{p[1]} << 8 | p[2];
            bytes = std::uint32_t{p[length]} | std::uint32_t{p[length + 1]} << 8;
            walk.Advance(length + 2);
        } else {
            std::uint8_t head[5];
            if (!walk.ReadByte(head[0])) break;
            const std::uint32_t length = PackedLength(head[0]);
            bool read = true;
            for (std::uint32_t i = 1; i < length + 2 && read; ++i) read = walk.ReadByte(head[i]);
            if (!read) break;
            delta = length == 1   ? head[0]
                    : length == 2 ? (head[0] & 0x3Fu) << 8 | head[1]
                                  : (head[0] & 0x3Fu) << 16 | std::uint32_t{head[1]} << 8 | head[2];
            bytes = std::uint32_t{head[length]} | std::uint32_t{head[length + 1]} << 8;
        }
        if (bytes < 3) {
            // A packed number takes at most 3 bytes: only a shorter entry can lack one.
            BlockWalk peek = walk;
            std::uint8_t first = 0;
            if (bytes == 0 || !peek.ReadByte(first) || PackedLength(first) > bytes) {
                m_everyEntryHasPosition = false;
            }
        }
        const std::uint32_t next = document + delta;
        if (!m_documents.empty() && next <= document) break;  // not ascending, or wrapped
        document = next;
        m_documents.push_back(document);
        m_locations.push_back(Location{walk.Block(), static_cast<std::uint16_t>(walk.Offset()),
                                       static_cast<std::uint16_t>(bytes)});
        if (!walk.Skip(bytes)) break;
        if (document == lastDocument) return true;
    }
    std::vector<std::uint32_t>().swap(m_documents);
    std::vector<Location>().swap(m_locations);
    m_everyEntryHasPosition = false;
    return false;
}

void CEntryTable::Gather(const PostingView& view, std::size_t entry,
                         std::vector<std::uint8_t>& out) const {
    const Location& at = m_locations[entry];
    out.clear();
    std::uint32_t block = at.block;
    std::uint32_t offset = at.offset;
    std::uint32_t left = at.bytes;
    while (left > 0) {
        if (offset == kPostingBlockSize) {
            // Build found every block of the list in the chain and the bytes.
            block = view.chain[block];
            offset = 0;
        }
        const std::uint32_t take = std::min(left, kPostingBlockSize - offset);
        const std::uint8_t* p = view.bytes.data() + std::size_t{block} * kPostingBlockSize + offset;
        out.insert(out.end(), p, p + take);
        offset += take;
        left -= take;
    }
}

}  // namespace vyn
