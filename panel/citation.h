// Citations of pages: the line that names a page ("（御定全唐詩・卷一・第1頁）"), and
// the reading of what a scholar types or pastes to go to a page ("卷三十 第12頁").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <optional>
#include <utility>
#include <string_view>

#include "encoding/bytestring.h"
#include "textstore/catalog.h"

namespace vyn {

// A page of a volume: the volume's catalog slot and the page's number.
struct PagePlace {
    int volumeSlot = 0;  // 0: no volume
    int pageNumber = 0;

    bool operator==(const PagePlace&) const = default;
};

// value in ASCII digits, as UTF-16: page numbers and counts in texts.
std::u16string DecimalText(std::int64_t value);

// The page numbers of the volume in slot, first and last: its first page number and
// the docNo pages after it; {0, -1} when the slot holds no volume with pages.
std::pair<int, int> VolumePageRange(const CCatalog& catalog, int volumeSlot);

// The slot of the volume (level 3) whose pages hold store record (0-based); 0 when
// none does.
int VolumeSlotOf(const CCatalog& catalog, std::uint32_t record);

// The volume and page number of store record (0-based); volumeSlot 0 when no volume
// holds it.
PagePlace PlaceOfRecord(const CCatalog& catalog, std::uint32_t record);

// The book (level 2) above the volume in slot; 0 when there is none.
int BookSlotOf(const CCatalog& catalog, int volumeSlot);

// The folio label of a store record ("1b"), empty when its page carries none.
using FolioOf = std::function<std::u16string(std::uint32_t record)>;

// The folio a stored page is labelled with: the last word of its title when that is
// a folio and side, digits and a letter ("子夏易傳 卷一 1b" gives "1b"); empty
// otherwise ("御定全唐詩 卷一 第3頁").
std::u16string FolioOfPage(const ByteString& page);

// The store record of place by the catalog's numbering; nullopt when the slot holds
// no volume with that page.
std::optional<std::uint32_t> RecordOfPlace(const CCatalog& catalog, PagePlace place);

// "（book・volume・第N頁）" from the catalog names; without a book above the volume
// "（volume・第N頁）"; empty when the slot holds no volume. Where folioOf gives the
// page a folio, the folio stands for the page: "（子夏易傳・卷一・1b）". In a library,
// when another data folder has a book of the book's name (without a book: a volume of
// the volume's name), the folder's title comes first: "（詩・全唐詩・卷一・第1頁）".
std::u16string CitationText(const CCatalog& catalog, PagePlace place, const FolioOf& folioOf = {});

// What a go-to text resolved to: a place, or the Japanese message saying what was
// not found.
struct CitationTarget {
    PagePlace place;
    std::string error;  // UTF-8; empty on success

    bool Found() const { return error.empty(); }
};

// Reads text as "[book] volume [page]": separated by blanks, "・", "，", "、" or "/",
// optionally in brackets (a citation as CitationText writes it reads back). The page
// is a number at the end, with "第" before or "頁" after it or set apart by a blank;
// full-width digits count. Without a page, the volume's first page; a number alone
// is a page of the current volume. The volume is matched by its catalog name, also
// with its number written in other digits ("卷30", "卷十" for "卷一十"); without a
// book, a volume of the current volume's book comes first, then one whose name no
// other book uses. currentVolume is the slot of the volume shown, or 0. With folioOf,
// a folio at the end ("卷一 1b", "1b") names the volume's page that carries it.
// In a library the text may start with a data folder's title ("詩 全唐詩 卷一"), which
// limits the search to that folder (to those of that title), unless nothing is found
// there and the whole text names a volume. A book found in several folders, or a
// volume of one name in several folders' books of one name, is taken from the folder
// of the volume shown when it has one, else from the first folder in library order.
CitationTarget ResolveCitation(const CCatalog& catalog, std::u16string_view text, int currentVolume,
                               const FolioOf& folioOf = {});

}  // namespace vyn
