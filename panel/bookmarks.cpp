#include "panel/bookmarks.h"

#include <algorithm>
#include <charconv>

#include "encoding/utf.h"

namespace vyn {

namespace {

// The field that names a library bookmark's folder: "folder=" and its title.
constexpr std::string_view kFolderField = "folder=";

std::u16string OneLine(std::u16string_view text) {
    std::u16string out(text);
    std::replace_if(out.begin(), out.end(), [](char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r'; },
                    u' ');
    return out;
}

std::u16string BookName(const CCatalog& catalog, int volumeSlot) {
    const int book = BookSlotOf(catalog, volumeSlot);
    return book ? std::u16string(catalog.Record(book).Name()) : std::u16string();
}

// The title of the library folder that holds slot; empty outside a library.
std::u16string FolderName(const CCatalog& catalog, int slot) {
    const int folder = catalog.FolderOf(slot);
    return folder < 0 ? std::u16string()
                      : std::u16string(catalog.Record(catalog.FolderSlots()[static_cast<std::size_t>(folder)]).Name());
}

bool HoldsVolume(const CCatalog& catalog, int slot, const Bookmark& bookmark) {
    return catalog.HasRecord(slot) && catalog.Record(slot).level == kLevelVolume &&
           catalog.Record(slot).Name() == bookmark.volume && BookName(catalog, slot) == bookmark.book &&
           (bookmark.folder.empty() || !catalog.IsLibrary() || FolderName(catalog, slot) == bookmark.folder);
}

bool ReadInt(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::optional<Bookmark> CBookmarks::Make(const CCatalog& catalog, PagePlace place, std::string added,
                                         std::u16string_view note) {
    if (!catalog.HasRecord(place.volumeSlot) || catalog.Record(place.volumeSlot).level != kLevelVolume) {
        return std::nullopt;
    }
    Bookmark bookmark;
    bookmark.book = BookName(catalog, place.volumeSlot);
    bookmark.volume = catalog.Record(place.volumeSlot).Name();
    bookmark.place = place;
    bookmark.added = std::move(added);
    bookmark.note = OneLine(note);
    bookmark.folder = FolderName(catalog, place.volumeSlot);
    return bookmark;
}

void CBookmarks::Add(Bookmark bookmark) {
    std::erase_if(m_items, [&](const Bookmark& b) { return b.SamePage(bookmark); });
    m_items.insert(m_items.begin(), std::move(bookmark));
}

bool CBookmarks::Remove(std::size_t at) {
    if (at >= m_items.size()) return false;
    m_removal = Removal{std::move(m_items[at]), at};
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

bool CBookmarks::Undo() {
    if (!m_removal) return false;
    Removal removal = std::move(*m_removal);
    m_removal.reset();
    std::erase_if(m_items, [&](const Bookmark& b) { return b.SamePage(removal.bookmark); });
    const std::size_t at = std::min(removal.at, m_items.size());
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at), std::move(removal.bookmark));
    return true;
}

std::optional<std::size_t> CBookmarks::Find(const Bookmark& bookmark) const {
    const auto it = std::find(m_items.begin(), m_items.end(), bookmark);
    if (it == m_items.end()) return std::nullopt;
    return static_cast<std::size_t>(it - m_items.begin());
}

std::string CBookmarks::Serialize() const {
    std::string text;
    for (const Bookmark& b : m_items) {
        text += std::to_string(b.place.volumeSlot) + '\t' + std::to_string(b.place.pageNumber) + '\t' +
                b.added + '\t' + Utf16ToUtf8String(OneLine(b.book)) + '\t' +
                Utf16ToUtf8String(OneLine(b.volume)) + '\t' + Utf16ToUtf8String(OneLine(b.note));
        if (!b.folder.empty()) text += "\t" + std::string(kFolderField) + Utf16ToUtf8String(OneLine(b.folder));
        text += '\n';
    }
    for (const std::string& line : m_unread) text += line + '\n';
    return text;
}

void CBookmarks::Load(std::string_view text) {
    m_items.clear();
    m_unread.clear();
    m_removal.reset();
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view whole = text.substr(0, end);
        std::string_view line = whole;
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty()) continue;
        std::vector<std::string_view> fields;
        for (std::size_t tab; (tab = line.find('\t')) != std::string_view::npos;) {
            fields.push_back(line.substr(0, tab));
            line.remove_prefix(tab + 1);
        }
        fields.push_back(line);
        Bookmark b;
        if ((fields.size() != 6 && fields.size() != 7) ||
            (fields.size() == 7 && (!fields[6].starts_with(kFolderField) ||
                                    !Utf8ToUtf16(fields[6].substr(kFolderField.size()), b.folder) ||
                                    b.folder.empty())) ||
            !ReadInt(fields[0], b.place.volumeSlot) ||
            !ReadInt(fields[1], b.place.pageNumber) || !Utf8ToUtf16(fields[3], b.book) ||
            !Utf8ToUtf16(fields[4], b.volume) || !Utf8ToUtf16(fields[5], b.note) || b.volume.empty()) {
            m_unread.emplace_back(whole);
            continue;
        }
        b.added = std::string(fields[2]);
        m_items.push_back(std::move(b));
    }
}

std::u16string BookmarkTitle(const Bookmark& bookmark) {
    std::u16string title;
    if (!bookmark.folder.empty()) title += bookmark.folder + u"・";
    if (!bookmark.book.empty()) title += bookmark.book + u"・";
    return title + bookmark.volume + u"・第" + DecimalText(bookmark.place.pageNumber) + u"頁";
}

int LocateBookmark(const CCatalog& catalog, const Bookmark& bookmark) {
    if (HoldsVolume(catalog, bookmark.place.volumeSlot, bookmark)) return bookmark.place.volumeSlot;
    for (int slot = 1; slot < catalog.NodeItemCount(); ++slot) {
        if (HoldsVolume(catalog, slot, bookmark)) return slot;
    }
    return 0;
}

}  // namespace vyn
