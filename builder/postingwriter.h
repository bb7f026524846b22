// CPostingWriter: writes the two files of one index scope (header "-idx.h" and
// posting file "-idx.m") from character occurrences.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/bytestring.h"

namespace vyn {

// Collects occurrences slot by slot and lays each slot's posting list out from the
// start of a fresh 4,096-byte block, chaining blocks as the list grows. Not
// thread-safe. Memory: the encoded lists (about two bytes per occurrence).
class CPostingWriter {
public:
    static constexpr std::uint32_t kBlockSize = 4096;
    static constexpr std::uint32_t kMaxPacked = 4194303;  // largest packed number
    static constexpr std::uint32_t kMaxPositionBytes = 65535;

    CPostingWriter();

    // Records that slot occurs at position in doc. Per slot, calls must come in
    // ascending (doc, position) order; a repeat of the last (doc, position) is
    // ignored. False, nothing recorded, on a slot outside 0..99,999, a call out of
    // order, a gap too large for a packed number, or an entry whose positions would
    // pass 65,535 bytes.
    bool Add(std::int32_t slot, std::uint32_t doc, std::uint32_t position);

    // Writes folder/base + "-idx.h" and "-idx.m". The posting file has at least one
    // block. False with a reason in error when a file cannot be written.
    bool Write(const std::filesystem::path& folder, std::string_view baseWithSuffix,
               std::string& error);

    // Appends the packed form of value (at most kMaxPacked) to out.
    static void PutPacked(ByteString& out, std::uint32_t value);

private:
    struct SlotList {
        ByteString bytes;             // finished entries
        ByteString pending;           // position data of the open entry
        std::uint32_t lastDoc = 0;    // document of the open (last) entry
        std::uint32_t lastPosition = 0;
        std::uint32_t docDelta = 0;   // delta of the open entry
        bool any = false;
    };
    static bool FlushPending(SlotList& list);

    std::vector<SlotList> m_slots;
};

}  // namespace vyn
