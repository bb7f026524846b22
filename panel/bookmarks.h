// CBookmarks: pages a scholar keeps (しおり), most recent first, with the date each
// was added and an optional note; a removal can be undone once.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textstore/catalog.h"
#include "panel/citation.h"

namespace vyn {

struct Bookmark {
    std::u16string book;  // empty when the volume has no book above it
    std::u16string volume;
    PagePlace place;     // the volume's slot when the bookmark was added, and the page
    std::string added;   // UTF-8, as the caller wrote it ("2026-12-11 09:30")
    std::u16string note;
    std::u16string folder{};  // in a library, the title of the volume's data folder

    // Same page: same slot, page number and names.
    bool SamePage(const Bookmark& other) const {
        return place == other.place && book == other.book && volume == other.volume && folder == other.folder;
    }
    bool operator==(const Bookmark&) const = default;
};

class CBookmarks {
public:
    // A removal Undo can take back: the bookmark and where it was.
    struct Removal {
        Bookmark bookmark;
        std::size_t at = 0;
    };

    // The bookmark of place with the catalog's names; nullopt when the slot holds no
    // volume. Tabs and line breaks of the note become blanks.
    static std::optional<Bookmark> Make(const CCatalog& catalog, PagePlace place, std::string added,
                                        std::u16string_view note);

    // Puts bookmark first; a bookmark of the same page is replaced.
    void Add(Bookmark bookmark);
    // Removes bookmark at; it is kept for Undo until the next removal. False when at is
    // out of range.
    bool Remove(std::size_t at);
    bool CanUndo() const { return m_removal.has_value(); }
    // Puts the last removed bookmark back where it was (replacing one of the same page
    // added since), once. False when there is nothing to undo.
    bool Undo();
    // What Undo would put back; replaced by the next removal.
    const std::optional<Removal>& LastRemoval() const { return m_removal; }
    // Makes removal the one Undo puts back (none: nothing to undo), as when the same
    // list read again is to undo what the list read before removed.
    void SetLastRemoval(std::optional<Removal> removal) { m_removal = std::move(removal); }

    const std::vector<Bookmark>& Items() const { return m_items; }
    // The position of the first bookmark equal to bookmark in every field; nullopt
    // when there is none.
    std::optional<std::size_t> Find(const Bookmark& bookmark) const;

    // The stored form: a line per bookmark, slot, page, date, book, volume and note,
    // and "folder=" with the folder when there is one, tab-separated, UTF-8; then the lines Load
    // could not read, as they were.
    std::string Serialize() const;
    // Replaces the bookmarks with those of text. Lines that do not read are not
    // listed, but kept for Serialize (blank lines are dropped): a reader never erases
    // what it cannot read. Nothing to undo afterwards.
    void Load(std::string_view text);

private:
    std::vector<Bookmark> m_items;
    std::vector<std::string> m_unread;
    std::optional<Removal> m_removal;
};

// "book・volume・第N頁" (without the book when there is none), the folder first in a
// library ("folder・book・volume・第N頁").
std::u16string BookmarkTitle(const Bookmark& bookmark);

// The volume slot of the bookmark's page in catalog: its slot when that still holds a
// volume of its names, else the first volume with its book and volume names; 0 when
// none does. In a library a bookmark with a folder looks in the folders of that title
// only.
int LocateBookmark(const CCatalog& catalog, const Bookmark& bookmark);

}  // namespace vyn
