// CCatalog: the catalog records of "vyn.dir", the node hierarchy built from them and
// the items of the catalog tree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textstore/messagesink.h"
#include "textstore/catalogformat.h"
#include "textstore/lockedfile.h"

namespace vyn {

// One node of the hierarchy. A node owns its children; the parent pointer is
// non-owning and null for the root.
struct ContentsNodeTag {
    std::u16string name;
    std::int32_t level = 0;
    std::int32_t docID = 0;
    std::int32_t docNo = 0;
    std::uint16_t curFileName = 0;
    ContentsNodeTag* parent = nullptr;
    std::vector<std::unique_ptr<ContentsNodeTag>> children;

    // True when the node's page range, docID .. docID + docNo - 1, holds the 1-based
    // page docPage. A node with docID or docNo below 1 holds no page.
    bool Contains(std::int64_t docPage) const;
};

// One data folder of a library, as its catalog is loaded.
struct LibraryCatalogPart {
    const CLockedFile* catalog = nullptr;  // the folder's "vyn.dir"
    std::u16string title;
    std::uint32_t firstRecord = 0;  // the library record of the folder's store record 0
    std::uint32_t records = 0;      // the folder's store records
};

// Owns the record slots, the node hierarchy under the root "root" and the parent
// item of every tree item. Loaded once, then read-only. Not thread-safe.
class CCatalog {
public:
    static constexpr int kSlotCount = kMaxCatalogRecords + 1;  // slot 0 is never used
    static constexpr int kMaxLevel = 19;      // the parent table holds levels 1 to 19
    static constexpr std::string_view kMissingMessage = "you delete data file!";

    explicit CCatalog(CMessageSink* sink = nullptr);
    ~CCatalog();
    CCatalog(const CCatalog&) = delete;
    CCatalog& operator=(const CCatalog&) = delete;

    // Reads catalogFile into the slots, the hierarchy and the tree items, replacing
    // what was loaded before, and writes the listing to listingFile (replaced; skipped
    // silently when it cannot be created, or when listingFile is empty). Records go
    // to slots 1, 2, ... up to 9,999; further records are ignored. A short last
    // record is read with its missing bytes as zeros. Records whose level lies
    // outside 1 to 19 are skipped: they take no slot and get no listing line.
    // Returns false, after sending "you delete data file!" to the sink, when the
    // file cannot be opened; the catalog is then empty and the listing file too.
    bool LoadCatalog(const std::filesystem::path& catalogFile,
                     const std::filesystem::path& listingFile);
    // LoadCatalog on a catalog file already open: read from its descriptor, whatever
    // its path names now. A closed file counts as one that cannot be opened.
    bool LoadCatalog(const CLockedFile& catalogFile, const std::filesystem::path& listingFile);

    // Reads the catalogs of a library's data folders, in order, as one. Slot 1 holds
    // the item of the whole library (kLibraryItemName, level kLevelLibrary, all its
    // records), which is the hierarchy's root; then each folder has an item (its
    // title, level kLevelFolder, its records) at the top level of the tree, followed
    // by its catalog's records as LoadCatalog reads them, their pages moved by the
    // folder's firstRecord (a page that would pass the largest signed 32-bit number
    // makes the record hold none), their categories below the folder's item. Each
    // folder keeps at most kMaxCatalogRecords records. The listing holds a line per
    // item. False, after sending "you delete data file!", the catalog empty, when a
    // part's catalog is not open.
    bool LoadLibrary(std::span<const LibraryCatalogPart> parts, const std::filesystem::path& listingFile);
    static constexpr std::u16string_view kLibraryItemName = u"ライブラリ全体";

    // True after LoadLibrary.
    bool IsLibrary() const { return !m_folderSlots.empty(); }
    // The folders' items in library order (empty unless IsLibrary()).
    const std::vector<int>& FolderSlots() const { return m_folderSlots; }
    // The folder (0-based) whose item is slot or holds it in the tree; -1 for the
    // library's item, a slot without a record, and always outside a library.
    int FolderOf(int slot) const;
    // Folder folder's record in slot localSlot of its own catalog (as LoadCatalog loads
    // it alone) is in slot FolderSlots()[folder] + localSlot here: 0 when folder or
    // localSlot is out of range. LocalSlot is the reverse: 0 for the library's and the
    // folders' items and outside a library.
    int LibrarySlot(std::size_t folder, int localSlot) const;
    int LocalSlot(int slot) const;

    // The listing of the last load, as written to the listing file: UTF-8, one line
    // per record, "\t" before a level-2 line and "\t\t" before a level-3 line.
    const std::string& Listing() const { return m_listing; }
    static std::string ListingLine(const CatalogRecord& record);

    // The next free slot: 1 + the number of records loaded.
    int NodeItemCount() const { return m_nodeItemCount; }
    // The slots held: kSlotCount, more for a library's catalog.
    int SlotCount() const { return static_cast<int>(m_NodeItem.size()); }
    // True for 1 <= slot < m_nodeItemCount.
    bool HasRecord(int slot) const { return slot >= 1 && slot < m_nodeItemCount; }
    // The record in slot (all zeros for a slot without a record). Requires:
    // 0 <= slot < SlotCount().
    const CatalogRecord& Record(int slot) const { return m_NodeItem[static_cast<std::size_t>(slot)]; }
    // The tree item under which the item of slot sits: a slot, or 0 at the top level.
    // Requires: HasRecord(slot).
    int TreeParent(int slot) const { return m_treeParent[static_cast<std::size_t>(slot)]; }
    // True when the tree item of slot has child items. Requires: HasRecord(slot).
    bool HasTreeChildren(int slot) const { return m_treeChildCount[static_cast<std::size_t>(slot)] > 0; }
    // The item's text preceded by the texts of its tree ancestors, joined by "\";
    // empty for a slot without a record.
    std::u16string ScopePath(int slot) const;

    ContentsNodeTag* Root() const { return m_pRoot.get(); }
    // The node of the record in slot, found with FindNode from the root; null for a
    // slot without a record and for a record outside the hierarchy.
    const ContentsNodeTag* ScopeNode(int slot) const;

    // The most recently added node under node (node included) whose level is one
    // less than the record's; null when there is none.
    static ContentsNodeTag* FindParentNode(ContentsNodeTag* node, const CatalogRecord& record);
    // The first node in pre-order under node (node included) equal to the record in
    // level, docID, docNo and curFileName; null when there is none.
    static ContentsNodeTag* FindNode(ContentsNodeTag* node, const CatalogRecord& record);

private:
    void Clear();
    // The slot tables hold slot (a library's catalog passes kSlotCount).
    void MakeRoom(std::size_t slot);
    // Adds record in the next slot, below the most recent item of the level above it
    // (lastItem), its node below top (the root, or a library folder's node).
    void AddRecord(const CatalogRecord& record, std::array<int, kMaxLevel + 2>& lastItem,
                   ContentsNodeTag* top);
    // The part of LoadCatalog after the file is open: read(bytes) fills the next
    // record's bytes (zeros already in place) and returns how many it read, 0 at the end.
    // A library folder's records: at most kMaxCatalogRecords, pages moved by pageShift,
    // below folderSlot and folderNode.
    void LoadRecords(const std::function<std::size_t(std::uint8_t*)>& read, std::ofstream& listing,
                     std::int64_t pageShift = 0, int folderSlot = 0, ContentsNodeTag* folderNode = nullptr);

    std::vector<CatalogRecord> m_NodeItem;  // kSlotCount slots
    int m_nodeItemCount = 1;
    std::vector<int> m_treeParent;
    std::vector<int> m_treeChildCount;
    std::unique_ptr<ContentsNodeTag> m_pRoot;
    // Nodes of records that found no parent: kept alive, outside the hierarchy.
    std::vector<std::unique_ptr<ContentsNodeTag>> m_detached;
    std::string m_listing;
    std::vector<int> m_folderSlots;
    CMessageSink* m_sink;
};

}  // namespace vyn
