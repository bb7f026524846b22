// The catalog file "vyn.dir": shared by its writer (builder/databuilder.cpp) and its
// reader (textstore/catalog.cpp).
//
// A sequence of 216-byte records without a header, in pre-order (every record after
// its parent and after the whole subtree of an earlier sibling). Little-endian fields
// of one record:
//   name         200 bytes  UTF-16, NUL-terminated (at most 99 units and the NUL)
//   level          4 bytes  signed: 1 category, 2 book, 3 volume
//   docID          4 bytes  signed: 1-based store index of the node's first page
//   docNo          4 bytes  signed: number of pages the node spans
//   curFileName    2 bytes  unsigned: page number of the node's first page
//   unused         2 bytes
// A file whose size is not a multiple of 216 ends in a short record; its missing
// bytes read as zeros. Readers keep at most kMaxCatalogRecords records.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace vyn {

constexpr std::string_view kCatalogFile = "vyn.dir";

constexpr std::size_t kCatalogRecordSize = 216;
constexpr std::size_t kCatalogNameUnits = 100;
// Byte offsets of the fields after the name.
constexpr std::size_t kCatalogLevelOffset = 200;
constexpr std::size_t kCatalogDocIdOffset = 204;
constexpr std::size_t kCatalogDocNoOffset = 208;
constexpr std::size_t kCatalogPageNumberOffset = 212;
constexpr std::size_t kCatalogUnusedOffset = 214;

// Records 1 to 9,999 take catalog slots; the reader ignores further records.
constexpr std::uint32_t kMaxCatalogRecords = 9999;
// The longest name a record holds, in UTF-16 units, before its NUL.
constexpr std::uint32_t kMaxCatalogNameUnits = kCatalogNameUnits - 1;
// The largest page number curFileName holds.
constexpr std::uint32_t kMaxPageNumber = 0xFFFF;

enum CatalogLevel : std::int32_t { kLevelCategory = 1, kLevelBook = 2, kLevelVolume = 3 };
// Levels of the items a library adds above its folders' catalogs (never in a file):
// the whole library, and each data folder.
constexpr std::int32_t kLevelLibrary = -1;
constexpr std::int32_t kLevelFolder = 0;

// One record of the catalog file, as read.
struct CatalogRecord {
    char16_t name[kCatalogNameUnits];  // NUL-terminated when shorter than 100 units
    std::int32_t level;                // CatalogLevel
    std::int32_t docID;
    std::int32_t docNo;
    std::uint16_t curFileName;
    std::uint16_t unused;

    // The name up to its NUL, at most 100 units.
    std::u16string_view Name() const {
        const char16_t* end = std::find(std::begin(name), std::end(name), u'\0');
        return {name, static_cast<std::size_t>(end - name)};
    }
};
static_assert(sizeof(CatalogRecord) == kCatalogRecordSize);
static_assert(sizeof(CatalogRecord::name) == kCatalogLevelOffset);

}  // namespace vyn
