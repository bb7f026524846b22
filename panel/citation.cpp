#include "panel/citation.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "encoding/utf.h"

namespace vyn {

namespace {

constexpr std::int64_t kPageCap = 1'000'000'000;

bool IsSeparator(char16_t c) {
    switch (c) {
        case u' ': case u'\t': case u'\n': case u'\r': case u'\u3000':
        case u'・': case u'\u00B7': case u'，': case u',': case u'、': case u'/': case u'／':
            return true;
        default:
            return false;
    }
}

bool IsBracket(char16_t c) {
    return std::u16string_view(u"（）()「」『』【】[]〔〕").find(c) != std::u16string_view::npos;
}

// Full-width digits as ASCII, separators as single blanks, brackets dropped, trimmed.
std::u16string Normalize(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c >= u'０' && c <= u'９') c = static_cast<char16_t>(u'0' + (c - u'０'));
        if (IsBracket(c)) continue;
        if (IsSeparator(c)) {
            if (!out.empty() && out.back() != u' ') out += u' ';
            continue;
        }
        out += c;
    }
    while (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

// The text for comparing names: no blanks, separators or brackets.
std::u16string Key(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : Normalize(text)) {
        if (c != u' ') out += c;
    }
    return out;
}

int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    constexpr std::u16string_view kDigits = u"〇一二三四五六七八九";
    if (const auto at = kDigits.find(c); at != std::u16string_view::npos) return static_cast<int>(at);
    return c == u'零' ? 0 : -1;
}

int UnitValue(char16_t c) {
    switch (c) {
        case u'十': return 10;
        case u'百': return 100;
        case u'千': return 1000;
        default: return 0;
    }
}

// The value of a run of digits and numeral characters: "一百零一" 101, "十" 10,
// "30" 30, "一二" 12.
std::u16string NumeralValue(std::u16string_view run) {
    constexpr std::size_t kMaxRun = 15;
    if (run.size() > kMaxRun) return std::u16string(run);
    std::uint64_t value = 0;
    bool hasUnit = false;
    for (char16_t c : run) hasUnit = hasUnit || UnitValue(c) != 0;
    if (hasUnit) {
        std::uint64_t digit = 0;
        for (char16_t c : run) {
            if (const int unit = UnitValue(c)) {
                value += (digit == 0 ? 1 : digit) * static_cast<std::uint64_t>(unit);
                digit = 0;
            } else {
                digit = static_cast<std::uint64_t>(DigitValue(c));
            }
        }
        value += digit;
    } else {
        for (char16_t c : run) value = value * 10 + static_cast<std::uint64_t>(DigitValue(c));
    }
    return DecimalText(static_cast<std::int64_t>(value));
}

// Key with every run of numerals written as its decimal value: "卷一十" and "卷十"
// both become "卷10".
std::u16string NumberKey(std::u16string_view text) {
    const std::u16string key = Key(text);
    std::u16string out;
    std::size_t i = 0;
    while (i < key.size()) {
        if (DigitValue(key[i]) < 0 && UnitValue(key[i]) == 0) {
            out += key[i++];
            continue;
        }
        std::size_t end = i;
        while (end < key.size() && (DigitValue(key[end]) >= 0 || UnitValue(key[end]) != 0)) ++end;
        out += NumeralValue(std::u16string_view(key).substr(i, end - i));
        i = end;
    }
    return out;
}

std::string Utf8(std::u16string_view text) { return Utf16ToUtf8String(text); }

// The page at the end of normalized text, removed from it: "第12頁", "12頁", " 12",
// and in numerals: "第十二頁", "十二頁", " 第十二". -1 when there is none;
// kPageCap for a number too large to be a page.
std::int64_t TakePage(std::u16string& text) {
    std::size_t end = text.size();
    const bool marked = end > 0 && (text[end - 1] == u'頁' || text[end - 1] == u'页');
    if (marked) --end;
    std::size_t start = end;
    while (start > 0 && text[start - 1] >= u'0' && text[start - 1] <= u'9') --start;
    if (start == end) {
        while (start > 0 && (DigitValue(text[start - 1]) >= 0 || UnitValue(text[start - 1]) != 0)) --start;
        // Numerals are a page only as "…頁" or a word "第…"; "〈學而〉第一" and
        // "卷三十" are names.
        const bool word = start > 0 && text[start - 1] == u'第' && (start == 1 || text[start - 2] == u' ');
        if (start == end || !(marked || word)) return -1;
        const std::u16string value = NumeralValue(std::u16string_view(text).substr(start, end - start));
        std::size_t cut = start > 0 && text[start - 1] == u'第' ? start - 1 : start;
        std::int64_t page = 0;
        for (char16_t c : value) {
            if (c < u'0' || c > u'9') return -1;  // a run too long to be a number
            page = std::min(page * 10 + (c - u'0'), kPageCap);
        }
        text.erase(cut);
        while (!text.empty() && text.back() == u' ') text.pop_back();
        return page;
    }
    if (start == end) return -1;
    std::size_t cut = start;
    if (start > 0 && text[start - 1] == u'第') {
        cut = start - 1;
    } else if (!marked && start > 0 && text[start - 1] != u' ') {
        return -1;  // the digits belong to the name: "卷30"
    }
    std::int64_t page = 0;
    for (std::size_t i = start; i < end; ++i) page = std::min(page * 10 + (text[i] - u'0'), kPageCap);
    text.erase(cut);
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return page;
}

bool IsFolio(std::u16string_view word) {
    std::size_t digits = 0;
    while (digits < word.size() && word[digits] >= u'0' && word[digits] <= u'9') ++digits;
    return digits > 0 && digits + 1 == word.size() && word.back() >= u'a' && word.back() <= u'z';
}

// The folio at the end of normalized text (its letter also full-width), removed from
// it; empty when there is none.
std::u16string TakeFolio(std::u16string& text) {
    const std::size_t space = text.rfind(u' ');
    const std::size_t start = space == std::u16string::npos ? 0 : space + 1;
    std::u16string folio = text.substr(start);
    for (char16_t& c : folio) {
        if (c >= u'ａ' && c <= u'ｚ') c = static_cast<char16_t>(u'a' + (c - u'ａ'));
    }
    if (!IsFolio(folio)) return {};
    text.erase(start);
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return folio;
}

struct Candidate {
    int slot;
    bool bookNamed;
};

// The data folders a go-to text is looked up in: all (empty), or those of a library
// whose title it names.
using FolderSet = std::vector<int>;

bool InFolders(const CCatalog& catalog, const FolderSet& folders, int slot) {
    return folders.empty() ||
           std::find(folders.begin(), folders.end(), catalog.FolderOf(slot)) != folders.end();
}

// The volumes whose name, or book name and name, read as key under keyOf, in folders.
template <typename KeyOf>
std::vector<Candidate> FindVolumes(const CCatalog& catalog, const std::u16string& key, KeyOf keyOf,
                                   const FolderSet& folders) {
    std::vector<Candidate> found;
    for (int slot = 1; slot < catalog.NodeItemCount(); ++slot) {
        if (catalog.Record(slot).level != kLevelVolume || !InFolders(catalog, folders, slot)) continue;
        const std::u16string volume = keyOf(catalog.Record(slot).Name());
        if (key == volume) {
            found.push_back({slot, false});
        } else if (const int book = BookSlotOf(catalog, slot);
                   book != 0 && key == keyOf(catalog.Record(book).Name()) + volume) {
            found.push_back({slot, true});
        }
    }
    return found;
}

// FindVolumes by Key, else by NumberKey.
std::vector<Candidate> FindNamedVolumes(const CCatalog& catalog, const std::u16string& name,
                                        const FolderSet& folders) {
    std::vector<Candidate> found = FindVolumes(catalog, Key(name), Key, folders);
    return found.empty() ? FindVolumes(catalog, NumberKey(name), NumberKey, folders) : found;
}

std::u16string_view FolderTitleOf(const CCatalog& catalog, int folder) {
    return catalog.Record(catalog.FolderSlots()[static_cast<std::size_t>(folder)]).Name();
}

// The slots of folder's records: [first, end).
std::pair<int, int> FolderRange(const CCatalog& catalog, std::size_t folder) {
    const std::vector<int>& slots = catalog.FolderSlots();
    return {slots[folder] + 1,
            folder + 1 < slots.size() ? slots[folder + 1] : catalog.NodeItemCount()};
}

// In a library, whether another data folder than slot's holds a record of its level
// (a book, or a volume) with its name.
bool NamedInOtherFolder(const CCatalog& catalog, int slot) {
    const int folder = catalog.FolderOf(slot);
    if (folder < 0) return false;
    const CatalogRecord& record = catalog.Record(slot);
    const std::u16string key = Key(record.Name());
    for (std::size_t f = 0; f < catalog.FolderSlots().size(); ++f) {
        if (static_cast<int>(f) == folder) continue;
        const auto [first, end] = FolderRange(catalog, f);
        for (int other = first; other < end; ++other) {
            const CatalogRecord& candidate = catalog.Record(other);
            if (candidate.level == record.level && Key(candidate.Name()) == key) return true;
        }
    }
    return false;
}

// A library's data folders whose title is the first part of normalized text: those
// with the longest such title, and text after it (title cleared when none is).
FolderSet TakeFolderTitle(const CCatalog& catalog, std::u16string& text, std::u16string& title) {
    FolderSet folders;
    title.clear();
    for (std::size_t f = 0; f < catalog.FolderSlots().size(); ++f) {
        const std::u16string name = Normalize(FolderTitleOf(catalog, static_cast<int>(f)));
        if (name.empty() || name.size() < title.size() || text.size() <= name.size() ||
            !text.starts_with(name) || text[name.size()] != u' ') {
            continue;
        }
        if (name.size() > title.size()) folders.clear();
        title = name;
        folders.push_back(static_cast<int>(f));
    }
    if (!folders.empty()) text.erase(0, title.size() + 1);
    return folders;
}

// The book name of the volume in slot as compared; empty without a book.
std::u16string BookKey(const CCatalog& catalog, int volumeSlot) {
    const int book = BookSlotOf(catalog, volumeSlot);
    return book == 0 ? std::u16string() : Key(catalog.Record(book).Name());
}

}  // namespace

std::u16string DecimalText(std::int64_t value) {
    std::u16string out;
    for (char c : std::to_string(value)) out += static_cast<char16_t>(c);
    return out;
}

std::pair<int, int> VolumePageRange(const CCatalog& catalog, int volumeSlot) {
    if (!catalog.HasRecord(volumeSlot)) return {0, -1};
    const CatalogRecord& record = catalog.Record(volumeSlot);
    if (record.level != kLevelVolume || record.docNo < 1) return {0, -1};
    const std::int64_t last = std::int64_t{record.curFileName} + record.docNo - 1;
    return {record.curFileName, static_cast<int>(std::min<std::int64_t>(last, kPageCap))};
}

int VolumeSlotOf(const CCatalog& catalog, std::uint32_t record) {
    const std::int64_t page = std::int64_t{record} + 1;
    for (int slot = 1; slot < catalog.NodeItemCount(); ++slot) {
        const CatalogRecord& node = catalog.Record(slot);
        if (node.level == kLevelVolume && node.docID >= 1 && node.docNo >= 1 && page >= node.docID &&
            page < std::int64_t{node.docID} + node.docNo) {
            return slot;
        }
    }
    return 0;
}

PagePlace PlaceOfRecord(const CCatalog& catalog, std::uint32_t record) {
    const int slot = VolumeSlotOf(catalog, record);
    if (slot == 0) return {};
    const CatalogRecord& volume = catalog.Record(slot);
    const std::int64_t page = volume.curFileName + (std::int64_t{record} + 1 - volume.docID);
    return {slot, static_cast<int>(std::min(page, kPageCap))};
}

int BookSlotOf(const CCatalog& catalog, int volumeSlot) {
    if (!catalog.HasRecord(volumeSlot)) return 0;
    const int parent = catalog.TreeParent(volumeSlot);
    return parent != 0 && catalog.Record(parent).level == kLevelBook ? parent : 0;
}

std::u16string CitationText(const CCatalog& catalog, PagePlace place, const FolioOf& folioOf) {
    if (!catalog.HasRecord(place.volumeSlot) || catalog.Record(place.volumeSlot).level != kLevelVolume) {
        return {};
    }
    std::u16string text = u"（";
    const int book = BookSlotOf(catalog, place.volumeSlot);
    if (NamedInOtherFolder(catalog, book != 0 ? book : place.volumeSlot)) {
        text += FolderTitleOf(catalog, catalog.FolderOf(place.volumeSlot));
        text += u"・";
    }
    if (book != 0) {
        text += catalog.Record(book).Name();
        text += u"・";
    }
    text += catalog.Record(place.volumeSlot).Name();
    if (folioOf) {
        if (const auto record = RecordOfPlace(catalog, place)) {
            if (const std::u16string folio = folioOf(*record); !folio.empty()) return text + u"・" + folio + u"）";
        }
    }
    text += u"・第" + DecimalText(place.pageNumber) + u"頁）";
    return text;
}

std::u16string FolioOfPage(const ByteString& page) {
    const std::string_view text = AsView(page);
    const std::size_t open = text.find("<title>");
    if (open == std::string_view::npos) return {};
    const std::size_t start = open + 7;
    const std::size_t close = text.find("</title>", start);
    if (close == std::string_view::npos) return {};
    std::string_view title = text.substr(start, close - start);
    const std::size_t space = title.rfind(' ');
    if (space == std::string_view::npos) return {};
    std::u16string word;
    for (char c : title.substr(space + 1)) word += static_cast<char16_t>(static_cast<unsigned char>(c));
    return IsFolio(word) ? word : std::u16string();
}

std::optional<std::uint32_t> RecordOfPlace(const CCatalog& catalog, PagePlace place) {
    const auto [first, last] = VolumePageRange(catalog, place.volumeSlot);
    if (place.pageNumber < first || place.pageNumber > last) return std::nullopt;
    const std::int64_t record =
        std::int64_t{catalog.Record(place.volumeSlot).docID} - 1 + (place.pageNumber - first);
    if (record < 0 || record > std::int64_t{UINT32_MAX}) return std::nullopt;
    return static_cast<std::uint32_t>(record);
}

CitationTarget ResolveCitation(const CCatalog& catalog, std::u16string_view text, int currentVolume,
                               const FolioOf& folioOf) {
    std::u16string rest = Normalize(text);
    const std::u16string folio = folioOf ? TakeFolio(rest) : std::u16string();
    const std::int64_t page = folio.empty() ? TakePage(rest) : -1;
    if (rest.empty() && page < 0 && folio.empty()) return {{}, "移動先を入力して下さい（例：卷三十 第12頁）。"};
    int slot = 0;
    if (rest.empty()) {
        if (VolumePageRange(catalog, currentVolume).second < 0) {
            return {{}, "どの巻の頁か分かりません。巻の名も入れて下さい（例：卷三十 第12頁）。"};
        }
        slot = currentVolume;
    } else {
        // A folder title first narrows the search to its folders; a text that finds
        // nothing there is read whole, as when the title is also a book's name.
        std::u16string named = rest, title;
        FolderSet folders = TakeFolderTitle(catalog, named, title);
        std::vector<Candidate> found = FindNamedVolumes(catalog, named, folders);
        if (found.empty() && !folders.empty()) {
            if (std::vector<Candidate> whole = FindNamedVolumes(catalog, rest, {}); !whole.empty()) {
                found = std::move(whole);
                folders.clear();
                named = rest;
            }
        }
        const std::u16string key = Key(named);
        const int currentBook = BookSlotOf(catalog, currentVolume);
        const int currentFolder = catalog.FolderOf(currentVolume);
        // Among volumes of one name, the one in the shown volume's data folder, else
        // the first in library order.
        const auto choose = [&](auto&& fits) {
            int first = 0;
            for (const Candidate& c : found) {
                if (!fits(c)) continue;
                if (currentFolder >= 0 && catalog.FolderOf(c.slot) == currentFolder) return c.slot;
                if (first == 0) first = c.slot;
            }
            return first;
        };
        slot = choose([](const Candidate& c) { return c.bookNamed; });
        if (slot == 0 && currentBook != 0) {
            for (const Candidate& c : found) {
                if (BookSlotOf(catalog, c.slot) == currentBook) {
                    slot = c.slot;
                    break;
                }
            }
        }
        if (slot == 0 && found.size() == 1) slot = found.front().slot;
        // In a library, volumes of one name in books of one name (or in none) are that
        // name's copies in several folders; outside one, such a name stays ambiguous.
        if (slot == 0 && found.size() > 1 && catalog.IsLibrary()) {
            const std::u16string book = BookKey(catalog, found.front().slot);
            const auto sameBook = [&](const Candidate& c) {
                return BookKey(catalog, c.slot) == book;
            };
            if (std::all_of(found.begin(), found.end(), sameBook)) slot = choose(sameBook);
        }
        if (slot == 0 && found.size() > 1) {
            return {{}, "「" + Utf8(named) + "」という巻はいくつかの書にあります。書名も入れて下さい。"};
        }
        if (slot == 0) {
            for (int book = 1; book < catalog.NodeItemCount(); ++book) {
                if (catalog.Record(book).level != kLevelBook || !InFolders(catalog, folders, book)) continue;
                const std::u16string bookKey = Key(catalog.Record(book).Name());
                if (!bookKey.empty() && key.size() > bookKey.size() && key.starts_with(bookKey)) {
                    return {{}, "「" + Utf8(bookKey) + "」に「" + Utf8(key.substr(bookKey.size())) +
                                    "」という巻はありません。"};
                }
            }
            if (!folders.empty()) {
                return {{}, "「" + Utf8(title) + "」に「" + Utf8(named) + "」という巻はありません。"};
            }
            return {{}, "「" + Utf8(rest) + "」という巻は見つかりませんでした。"};
        }
    }

    const auto [first, last] = VolumePageRange(catalog, slot);
    if (last < first) {
        return {{}, Utf8(catalog.Record(slot).Name()) + "には頁がありません。"};
    }
    if (!folio.empty()) {
        for (int number = first; number <= last; ++number) {
            const auto record = RecordOfPlace(catalog, {slot, number});
            if (record && folioOf(*record) == folio) return {{slot, number}, {}};
        }
        return {{}, Utf8(catalog.Record(slot).Name()) + "には" + Utf8(folio) + "の丁がありません。"};
    }
    if (page < 0) return {{slot, first}, {}};
    if (page < first || page > last) {
        const std::string number = page >= kPageCap ? Utf8(u"…") : std::to_string(page);
        return {{}, Utf8(catalog.Record(slot).Name()) + "には第" + number + "頁がありません（第" +
                        std::to_string(first) + "頁～第" + std::to_string(last) + "頁）。"};
    }
    return {{slot, static_cast<int>(page)}, {}};
}

}  // namespace vyn
