// Reads the catalog file (its format: textstore/catalogformat.h) into slots, a node
// hierarchy and tree items.
#include "textstore/catalog.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>

#include "encoding/utf.h"

namespace vyn {

namespace {

std::uint32_t GetLe(const std::uint8_t* bytes, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

CatalogRecord DecodeRecord(const std::uint8_t* bytes) {
    CatalogRecord record{};
    for (std::size_t i = 0; i < std::size(record.name); ++i) {
        record.name[i] = static_cast<char16_t>(GetLe(bytes + 2 * i, 2));
    }
    record.level = static_cast<std::int32_t>(GetLe(bytes + kCatalogLevelOffset, 4));
    record.docID = static_cast<std::int32_t>(GetLe(bytes + kCatalogDocIdOffset, 4));
    record.docNo = static_cast<std::int32_t>(GetLe(bytes + kCatalogDocNoOffset, 4));
    record.curFileName = static_cast<std::uint16_t>(GetLe(bytes + kCatalogPageNumberOffset, 2));
    record.unused = static_cast<std::uint16_t>(GetLe(bytes + kCatalogUnusedOffset, 2));
    return record;
}

std::unique_ptr<ContentsNodeTag> MakeNode(const CatalogRecord& record) {
    auto node = std::make_unique<ContentsNodeTag>();
    node->name = record.Name();
    node->level = record.level;
    node->docID = record.docID;
    node->docNo = record.docNo;
    node->curFileName = record.curFileName;
    return node;
}

}  // namespace

bool ContentsNodeTag::Contains(std::int64_t docPage) const {
    if (docID < 1 || docNo < 1) return false;
    return docPage >= docID && docPage <= std::int64_t{docID} + docNo - 1;
}

CCatalog::CCatalog(CMessageSink* sink) : m_sink(sink) { Clear(); }

CCatalog::~CCatalog() = default;

void CCatalog::Clear() {
    m_NodeItem.assign(kSlotCount, CatalogRecord{});
    m_treeParent.assign(kSlotCount, 0);
    m_treeChildCount.assign(kSlotCount, 0);
    m_nodeItemCount = 1;
    m_pRoot = std::make_unique<ContentsNodeTag>();
    m_pRoot->name = u"root";
    m_detached.clear();
    m_listing.clear();
    m_folderSlots.clear();
}

std::string CCatalog::ListingLine(const CatalogRecord& record) {
    std::string line;
    if (record.level == kLevelBook) line = "\t";
    if (record.level == kLevelVolume) line = "\t\t";
    ByteString name;
    Utf16ToUtf8(record.Name(), name, kLenientConversion);
    line += "name=";
    line += AsView(name);
    line += "\tdocID=";
    line += std::to_string(record.docID);
    line += "\tdocNo=";
    line += std::to_string(record.docNo);
    line += "\tcurFileName=";
    line += std::to_string(record.curFileName);
    line += '\n';
    return line;
}

bool CCatalog::LoadCatalog(const std::filesystem::path& catalogFile,
                           const std::filesystem::path& listingFile) {
    Clear();
    std::ofstream listing;
    if (!listingFile.empty()) {
        listing.open(listingFile, std::ios::binary | std::ios::trunc);
    }
    std::ifstream in(catalogFile, std::ios::binary);
    if (!in) {
        if (m_sink) m_sink->Warning(kMissingMessage);
        return false;
    }
    LoadRecords(
        [&in](std::uint8_t* bytes) {
            in.read(reinterpret_cast<char*>(bytes), kCatalogRecordSize);
            return in.gcount() > 0 ? static_cast<std::size_t>(in.gcount()) : std::size_t{0};
        },
        listing);
    return true;
}

bool CCatalog::LoadCatalog(const CLockedFile& catalogFile, const std::filesystem::path& listingFile) {
    Clear();
    std::ofstream listing;
    if (!listingFile.empty()) {
        listing.open(listingFile, std::ios::binary | std::ios::trunc);
    }
    std::uint64_t size = 0;
    if (!catalogFile.IsOpen() || !catalogFile.Size(size)) {
        if (m_sink) m_sink->Warning(kMissingMessage);
        return false;
    }
    std::uint64_t position = 0;
    LoadRecords(
        [&](std::uint8_t* bytes) {
            const auto length = static_cast<std::size_t>(
                std::min<std::uint64_t>(kCatalogRecordSize, size - std::min(position, size)));
            if (length == 0 || !catalogFile.ReadAt(position, bytes, length)) return std::size_t{0};
            position += length;
            return length;
        },
        listing);
    return true;
}

void CCatalog::LoadRecords(const std::function<std::size_t(std::uint8_t*)>& read,
                           std::ofstream& listing, std::int64_t pageShift, int folderSlot,
                           ContentsNodeTag* folderNode) {
    // lastItem[L + 1]: the slot of the most recent tree item of level L.
    std::array<int, kMaxLevel + 2> lastItem{};
    lastItem[1] = folderSlot;
    std::uint8_t bytes[kCatalogRecordSize];
    const int end = folderNode ? m_nodeItemCount + static_cast<int>(kMaxCatalogRecords) : kSlotCount;
    while (m_nodeItemCount < end) {
        std::memset(bytes, 0, sizeof bytes);
        if (read(bytes) == 0) break;
        CatalogRecord record = DecodeRecord(bytes);
        if (record.level < kLevelCategory || record.level > kMaxLevel) continue;
        if (pageShift != 0 && record.docID >= 1) {
            const std::int64_t moved = record.docID + pageShift;
            record.docID = moved <= std::numeric_limits<std::int32_t>::max() ? static_cast<std::int32_t>(moved) : 0;
        }
        const std::string line = ListingLine(record);
        m_listing += line;
        if (listing.is_open()) listing << line;
        AddRecord(record, lastItem, folderNode ? folderNode : m_pRoot.get());
    }
}

bool CCatalog::LoadLibrary(std::span<const LibraryCatalogPart> parts,
                           const std::filesystem::path& listingFile) {
    Clear();
    std::ofstream listing;
    if (!listingFile.empty()) {
        listing.open(listingFile, std::ios::binary | std::ios::trunc);
    }
    for (const LibraryCatalogPart& part : parts) {
        std::uint64_t size = 0;
        if (!part.catalog || !part.catalog->IsOpen() || !part.catalog->Size(size)) {
            Clear();
            if (m_sink) m_sink->Warning(kMissingMessage);
            return false;
        }
    }
    const auto item = [&](std::u16string_view name, std::int32_t level, std::int64_t first,
                          std::int64_t pages) {
        CatalogRecord record{};
        const std::size_t units = std::min<std::size_t>(name.size(), kMaxCatalogNameUnits);
        std::copy_n(name.begin(), units, record.name);
        record.level = level;
        record.docID = static_cast<std::int32_t>(std::min<std::int64_t>(first, std::numeric_limits<std::int32_t>::max()));
        record.docNo = static_cast<std::int32_t>(std::min<std::int64_t>(pages, std::numeric_limits<std::int32_t>::max()));
        const int slot = m_nodeItemCount++;
        MakeRoom(static_cast<std::size_t>(slot));
        m_NodeItem[static_cast<std::size_t>(slot)] = record;
        const std::string line = ListingLine(record);
        m_listing += line;
        if (listing.is_open()) listing << line;
        return slot;
    };
    std::int64_t total = 0;
    for (const LibraryCatalogPart& part : parts) total = std::max<std::int64_t>(total, std::int64_t{part.firstRecord} + part.records);
    const int librarySlot = item(kLibraryItemName, kLevelLibrary, 1, total);
    m_pRoot = MakeNode(Record(librarySlot));
    for (const LibraryCatalogPart& part : parts) {
        const int folderSlot = item(part.title, kLevelFolder, std::int64_t{part.firstRecord} + 1, part.records);
        m_folderSlots.push_back(folderSlot);
        auto node = MakeNode(Record(folderSlot));
        node->parent = m_pRoot.get();
        ContentsNodeTag* folderNode = m_pRoot->children.emplace_back(std::move(node)).get();
        std::uint64_t size = 0;
        part.catalog->Size(size);
        std::uint64_t position = 0;
        LoadRecords(
            [&](std::uint8_t* bytes) {
                const auto length = static_cast<std::size_t>(
                    std::min<std::uint64_t>(kCatalogRecordSize, size - std::min(position, size)));
                if (length == 0 || !part.catalog->ReadAt(position, bytes, length)) return std::size_t{0};
                position += length;
                return length;
            },
            listing, part.firstRecord, folderSlot, folderNode);
    }
    return true;
}

int CCatalog::FolderOf(int slot) const {
    if (m_folderSlots.empty() || !HasRecord(slot)) return -1;
    const auto after = std::upper_bound(m_folderSlots.begin(), m_folderSlots.end(), slot);
    return after == m_folderSlots.begin() ? -1 : static_cast<int>(after - m_folderSlots.begin()) - 1;
}

void CCatalog::MakeRoom(std::size_t slot) {
    if (slot < m_NodeItem.size()) return;
    m_NodeItem.resize(slot + 1);
    m_treeParent.resize(slot + 1);
    m_treeChildCount.resize(slot + 1);
}

int CCatalog::LibrarySlot(std::size_t folder, int localSlot) const {
    if (folder >= m_folderSlots.size() || localSlot < 1) return 0;
    const int end = folder + 1 < m_folderSlots.size() ? m_folderSlots[folder + 1] : m_nodeItemCount;
    const std::int64_t slot = std::int64_t{m_folderSlots[folder]} + localSlot;
    return slot < end ? static_cast<int>(slot) : 0;
}

int CCatalog::LocalSlot(int slot) const {
    const int folder = FolderOf(slot);
    return folder < 0 ? 0 : slot - m_folderSlots[static_cast<std::size_t>(folder)];
}

void CCatalog::AddRecord(const CatalogRecord& record, std::array<int, kMaxLevel + 2>& lastItem,
                         ContentsNodeTag* top) {
    const int slot = m_nodeItemCount;
    const auto at = static_cast<std::size_t>(slot);
    MakeRoom(at);
    m_NodeItem[at] = record;

    auto node = MakeNode(record);
    if (ContentsNodeTag* parent = FindParentNode(top, record)) {
        node->parent = parent;
        parent->children.push_back(std::move(node));
    } else {
        m_detached.push_back(std::move(node));
    }

    const auto level = static_cast<std::size_t>(record.level);
    const int parentItem = lastItem[level];
    m_treeParent[at] = parentItem;
    if (parentItem != 0) ++m_treeChildCount[static_cast<std::size_t>(parentItem)];
    lastItem[level + 1] = slot;
    ++m_nodeItemCount;
}

std::u16string CCatalog::ScopePath(int slot) const {
    if (!HasRecord(slot)) return {};
    std::u16string path(Record(slot).Name());
    // Tree parents always come from earlier slots, so the walk ends.
    for (int item = TreeParent(slot); item != 0; item = TreeParent(item)) {
        path = std::u16string(Record(item).Name()) + u"\\" + path;
    }
    return path;
}

const ContentsNodeTag* CCatalog::ScopeNode(int slot) const {
    if (!HasRecord(slot)) return nullptr;
    return FindNode(m_pRoot.get(), Record(slot));
}

ContentsNodeTag* CCatalog::FindParentNode(ContentsNodeTag* node, const CatalogRecord& record) {
    if (!node) return nullptr;
    if (std::int64_t{node->level} == std::int64_t{record.level} - 1) return node;
    // The last reply in child order is the first one when asking from the back,
    // which keeps loading linear for a catalog in pre-order.
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
        if (ContentsNodeTag* found = FindParentNode(it->get(), record)) return found;
    }
    return nullptr;
}

ContentsNodeTag* CCatalog::FindNode(ContentsNodeTag* node, const CatalogRecord& record) {
    if (!node) return nullptr;
    if (node->level == record.level && node->docID == record.docID &&
        node->docNo == record.docNo && node->curFileName == record.curFileName) {
        return node;
    }
    for (const auto& child : node->children) {
        if (ContentsNodeTag* found = FindNode(child.get(), record)) return found;
    }
    return nullptr;
}

}  // namespace vyn
