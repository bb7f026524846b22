#include "builder/postingwriter.h"

#include <fstream>

#include "builder/binaryio.h"

namespace vyn {

namespace {

constexpr std::uint32_t kNoBlock = 0xFFFFFFFF;
constexpr std::size_t kSlotTableEntries = 100000;

std::size_t PackedSize(std::uint32_t value) { return value < 0x80 ? 1 : value < 0x4000 ? 2 : 3; }

}  // namespace

CPostingWriter::CPostingWriter() : m_slots(kSlotTableEntries) {}

void CPostingWriter::PutPacked(ByteString& out, std::uint32_t value) {
    if (value < 0x80) {
        out.push_back(static_cast<std::uint8_t>(value));
    } else if (value < 0x4000) {
        out.push_back(static_cast<std::uint8_t>(0x80 | (value >> 8)));
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    } else {
        out.push_back(static_cast<std::uint8_t>(0xC0 | (value >> 16)));
        out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
}

bool CPostingWriter::FlushPending(SlotList& list) {
    if (!list.any) return true;
    PutPacked(list.bytes, list.docDelta);
    std::size_t count = list.pending.size();
    list.bytes.push_back(static_cast<std::uint8_t>(count & 0xFF));
    list.bytes.push_back(static_cast<std::uint8_t>(count >> 8));
    list.bytes.insert(list.bytes.end(), list.pending.begin(), list.pending.end());
    list.pending.clear();
    return true;
}

bool CPostingWriter::Add(std::int32_t slot, std::uint32_t doc, std::uint32_t position) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_slots.size()) return false;
    SlotList& list = m_slots[static_cast<std::size_t>(slot)];
    if (list.any && doc == list.lastDoc) {
        if (position == list.lastPosition) return true;
        if (position < list.lastPosition) return false;
        std::uint32_t delta = position - list.lastPosition;
        if (delta > kMaxPacked || list.pending.size() + PackedSize(delta) > kMaxPositionBytes) {
            return false;
        }
        PutPacked(list.pending, delta);
        list.lastPosition = position;
        return true;
    }
    if (list.any && doc < list.lastDoc) return false;
    std::uint32_t docDelta = list.any ? doc - list.lastDoc : doc;
    if (docDelta > kMaxPacked || position > kMaxPacked) return false;
    FlushPending(list);
    PutPacked(list.pending, position);
    list.docDelta = docDelta;
    list.lastDoc = doc;
    list.lastPosition = position;
    list.any = true;
    return true;
}

bool CPostingWriter::Write(const std::filesystem::path& folder, std::string_view baseWithSuffix,
                           std::string& error) {
    std::vector<std::uint32_t> firstBlock(kSlotTableEntries, kNoBlock);
    std::vector<std::uint32_t> lastDoc(kSlotTableEntries, 0);
    std::vector<std::uint32_t> chain;
    for (std::size_t slot = 0; slot < m_slots.size(); ++slot) {
        SlotList& list = m_slots[slot];
        if (!list.any) continue;
        FlushPending(list);
        list.any = false;
        firstBlock[slot] = static_cast<std::uint32_t>(chain.size());
        lastDoc[slot] = list.lastDoc;
        std::size_t blocks = (list.bytes.size() + kBlockSize - 1) / kBlockSize;
        for (std::size_t b = 0; b < blocks; ++b) {
            std::uint32_t self = static_cast<std::uint32_t>(chain.size());
            chain.push_back(b + 1 < blocks ? self + 1 : kNoBlock);
        }
    }
    const bool noList = chain.empty();
    if (noList) chain.push_back(kNoBlock);
    ByteString header;
    header.reserve(1400000 + chain.size() * 4);
    for (auto v : firstBlock) PutU32(header, v);
    header.resize(header.size() + 200000 + 400000, 0);
    for (auto v : lastDoc) PutU32(header, v);
    for (auto v : chain) PutU32(header, v);
    const std::string base = (folder / std::string(baseWithSuffix)).string();
    if (!WriteBytes(base + "-idx.h", header, error)) return false;

    // The lists go to the file one by one, each padded to whole blocks, so the
    // posting file is never held in memory a second time.
    const std::string path = base + "-idx.m";
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    static const char zeros[kBlockSize] = {};
    for (SlotList& list : m_slots) {
        if (list.bytes.empty() || !file) continue;
        file.write(reinterpret_cast<const char*>(list.bytes.data()),
                   static_cast<std::streamsize>(list.bytes.size()));
        const std::size_t tail = list.bytes.size() % kBlockSize;
        if (tail > 0) file.write(zeros, static_cast<std::streamsize>(kBlockSize - tail));
        ByteString().swap(list.bytes);
    }
    if (noList && file) file.write(zeros, kBlockSize);
    if (file) file.close();
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace vyn
