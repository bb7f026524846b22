// CPostingWriter: writes the two files of one index scope (header "-idx.h" and
// posting file "-idx.m") from character occurrences.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/bytestring.h"
#include "index/indexformat.h"

namespace vyn {

// Collects occurrences slot by slot and lays each slot's posting list out from the
// start of a fresh block (format in index/indexformat.h), chaining blocks as the list
// grows. In memory, each list is a chain of segments from a pool, short ones first,
// then blocks. Not thread-safe; separate objects may be used on separate threads.
// Memory: the encoded lists, at most one block more each, plus about 5 MB.
class CPostingWriter {
public:
    // For CDataBuilder's page limit; the format defines it.
    static constexpr std::uint32_t kMaxPacked = vyn::kMaxPacked;

    CPostingWriter();

    // Records that slot occurs at position in doc. Per slot, calls must come in
    // ascending (doc, position) order; a repeat of the last (doc, position) is
    // ignored. False, nothing recorded, on a slot outside the slot tables, a call out
    // of order, a gap over kMaxPacked, or an entry whose positions would pass
    // kMaxPositionBytes.
    bool Add(std::int32_t slot, std::uint32_t doc, std::uint32_t position);

    // Writes folder/base + "-idx.h" and "-idx.m". The posting file has at least one
    // block. Leaves the writer empty, as newly made. False with a reason in error
    // when a file cannot be written.
    bool Write(const std::filesystem::path& folder, std::string_view baseWithSuffix,
               std::string& error);

    // Appends the packed form of value (at most kMaxPacked) to out.
    static void PutPacked(ByteString& out, std::uint32_t value);

private:
    // A slot's list: its finished entries and the open one, whose position count
    // is filled in when the next entry starts or the list is written. 32 bytes, so
    // that an Add touches one cache line of the table.
    struct alignas(32) SlotList {
        std::uint64_t bytes = 0;          // the list's length; 0 while it is empty
        std::uint32_t firstBlock = 0;     // segment of the list's start
        std::uint32_t lastBlock = 0;      // segment of its end
        std::uint32_t countBlock = 0;     // segment of the open entry's count
        std::uint16_t countOffset = 0;    // its first byte in that segment
        std::uint16_t positionBytes = 0;  // of the open entry
        std::uint32_t lastDoc = 0;        // document of the open (last) entry
        std::uint32_t lastPosition = 0;
    };

    struct Segment {
        std::uint8_t* data = nullptr;
        std::uint32_t next = 0;  // the list's next segment
        std::uint32_t size = 0;  // bytes
    };

    void StartSegment(SlotList& list, std::uint32_t size);
    void PutByte(SlotList& list, std::uint8_t byte);
    void Put(SlotList& list, std::uint32_t value);
    void CloseEntry(const SlotList& list);
    void Clear();

    std::vector<SlotList> m_slots;
    std::vector<std::unique_ptr<std::uint8_t[]>> m_chunks;  // the pool's allocations
    std::size_t m_chunkLeft = 0;                            // bytes free in the last
    std::vector<Segment> m_segments;
};

}  // namespace vyn
