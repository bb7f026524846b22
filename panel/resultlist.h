// CResultList: the paging of the result list, 100 rows to a list page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "panel/searchcommand.h"

namespace vyn {

// One row of the result list.
struct ResultRow {
    std::u16string category;
    std::u16string book;
    std::u16string volume;
    std::string pageNo;          // column "頁": the entry's pageNo as "%d"
    std::uint32_t pageIndex = 0;  // the row's item data
    std::u16string firstHit;      // the page's first hit in context, for a tool tip
};

// What the page row under the list shows.
struct ListPageControls {
    bool prevEnabled = false;  // "<"
    bool nextEnabled = false;  // ">"
    bool editEnabled = false;
    bool editReadOnly = true;
    std::string editText;   // the current list page, "%d"; all of it selected
    std::string labelText;  // "/%d" with the number of list pages
};

// Owns the list page state over the entries of the last search (which the caller
// keeps). Not thread-safe.
class CResultList {
public:
    static constexpr int kRowsPerPage = 100;

    enum class EditResult {
        kRestored,   // not a list page: the edit shows the current page again, selected
        kUnchanged,  // the current page: nothing to do
        kChanged,    // another page became current: show it
    };

    // The list page (1-based) that shows entry (0-based).
    static int ListPageOf(std::size_t entry) { return static_cast<int>(entry / kRowsPerPage) + 1; }

    // After a search with entryCount entries: the entry count divided by 100 rounded
    // up, and list page 1 (0 when there are no entries).
    void Reset(std::size_t entryCount);

    int ListPage() const { return m_listPage; }
    int ListPageCount() const { return m_listPageCount; }
    // True while the page row is shown (there is at least one list page).
    bool PageRowVisible() const { return m_listPageCount > 0; }

    // The rows of the current list page: entries (page - 1) * 100 onwards, at most
    // 100. False, rows untouched, when there is no current list page.
    bool ShowResultListPage(std::span<const SearchNodeTag> entries, std::vector<ResultRow>& rows) const;
    ListPageControls UpdateListPageControls() const;

    // Makes list page page current; false, nothing changed, when there is no such page.
    bool SetListPage(int page);
    // "<" and ">": true when the page moved (then show it), false at either end.
    bool OnListPagePrev();
    bool OnListPageNext();
    // The text of the page edit read as a decimal number (leading blanks and a sign
    // allowed, stops at the first non-digit, no number is 0).
    EditResult ApplyListPageEdit(std::u16string_view text);

    // Orders rows ascending by the number in their page column, as the "頁" header
    // click does.
    static void SortRowsByPageNo(std::vector<ResultRow>& rows);

private:
    int m_listPage = 0;
    int m_listPageCount = 0;
};

}  // namespace vyn
