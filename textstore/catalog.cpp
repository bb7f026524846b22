// Reads the catalog file (its format: textstore/catalogformat.h) into slots, a node
// hierarchy and tree items.
#include "textstore/catalog.h"

#include <algorithm>
#include <cstring>
#include <fstream>

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
                           std::ofstream& listing) {
    // lastItem[L + 1]: the slot of the most recent tree item of level L.
    std::array<int, kMaxLevel + 2> lastItem{};
    std::uint8_t bytes[kCatalogRecordSize];
    while (m_nodeItemCount < kSlotCount) {
        std::memset(bytes, 0, sizeof bytes);
        if (read(bytes) == 0) break;
        const CatalogRecord record = DecodeRecord(bytes);
        if (record.level < kLevelCategory || record.level > kMaxLevel) continue;
        const std::string line = ListingLine(record);
        m_listing += line;
        if (listing.is_open()) listing << line;
        AddRecord(record, lastItem);
    }
}

void CCatalog::AddRecord(const CatalogRecord& record, std::array<int, kMaxLevel + 2>& lastItem) {
    const int slot = m_nodeItemCount;
    const auto at = static_cast<std::size_t>(slot);
    m_NodeItem[at] = record;

    auto node = MakeNode(record);
    if (ContentsNodeTag* parent = FindParentNode(m_pRoot.get(), record)) {
        node->parent = parent;
        parent->children.push_back(std::move(node));
    } else {
        m_detached.push_back(std::move(node));
    }

    const auto level = static_cast<std::size_t>(record.level);
    const int parentItem = record.level == kLevelCategory ? 0 : lastItem[level];
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
