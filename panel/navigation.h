// CNavigator: the stepping engine of the reading session (CReadingSession): the page,
// volume and hit commands over the catalog, and the values they step (the search
// scope, the current volume and page, the shown result page and its current hit).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "encoding/bytestring.h"
#include "index/index.h"
#include "textstore/messagesink.h"
#include "textstore/catalog.h"

namespace vyn {

enum class NavCommand : int { kPrevPage, kNextPage, kPrevVolume, kNextVolume, kPrevHit, kNextHit };

// A place in the page view: a page file of the temporary folder and a fragment
// ("" or "#%04d").
struct PageTarget {
    std::string_view file;
    std::string fragment;
};

// A rendered result page, ready to be written to file and shown at fragment.
struct ResultPage {
    std::string_view file;
    ByteString bytes;
    int hitCount = 0;
    std::string fragment;        // "#0000"
    std::uint32_t pageIndex = 0;  // the store record rendered
};

// The store record (0-based) of page number page among the pages of node, found in
// store (a CIndex or CFileList); false when the node has no pages or none of its pages
// carries that number. The store looks on past a node's last page; a page found there
// belongs to another node and does not count.
template <typename Store>
bool FindNodePage(Store& store, const CatalogRecord& node, int page, std::int64_t& record) {
    if (node.docID < 1 || node.docNo < 1 || page < 0) return false;
    const auto first = static_cast<std::uint32_t>(node.docID - 1);
    if (!store.FindPage(first, static_cast<std::uint32_t>(page), record)) return false;
    return record >= first && record <= std::int64_t{first} + node.docNo - 1;
}

// Held by CReadingSession, which owns the reader's position and hands the navigator
// out for the steps; the tree, slider, page-position box and page view follow what it
// holds. Reads the catalog it was given, which must outlive it. Writing page files
// and showing them is the caller's. Not thread-safe.
class CNavigator {
public:
    static constexpr std::string_view kCatalogPageFile = "windows.html";
    static constexpr std::string_view kResultPageFiles[2] = {"windows1.html", "windows2.html"};
    static constexpr std::string_view kLastVolumeMessage = "もう最後の巻まで至りました。";
    static constexpr std::string_view kFirstVolumeMessage =
        "これ以上戻れません。もう巻一に至っています。";

    enum class Selection {
        kInvalid,       // the slot holds no record: nothing changed
        kScope,         // scope and path changed
        kVolumeOpened,  // scope and path changed, and the slot became the current volume
    };

    explicit CNavigator(const CCatalog& catalog, CMessageSink* sink = nullptr)
        : m_catalog(catalog), m_sink(sink) {}

    // Scope: slot 1 at start; its path once the catalog is loaded (see
    // ResetScopePath).
    int ScopeItem() const { return m_scopeItem; }
    const std::u16string& ScopePath() const { return m_scopePath; }
    // Sets the path to that of the scope slot, or empty when it holds no record.
    void ResetScopePath();
    // Back to the start, for a catalog loaded anew: scope slot 1 with its path, no
    // current volume, page or result page, hit 0.
    void Reset();
    // Makes an existing slot the scope, as choosing the tree item does.
    bool SetScopeItem(int slot);

    // Choosing the tree item of slot: makes it the scope and, when the item has no
    // children, the current volume at its first page (then show CurrentPage and
    // set the slider to SliderRange).
    Selection SelectCatalogItem(int slot);
    // Makes slot the scope and the current volume at page number page, as going to a
    // citation or a bookmark does (then show the page, set the slider and select the
    // tree item). False, nothing changed, when the slot holds no record.
    bool OpenVolumePage(int slot, int page);

    int CurItem() const { return m_curItem; }  // 0 before a volume is opened
    int CurPage() const { return m_curPage; }
    int CurHit() const { return m_curHit; }
    int HitCount() const { return m_hitCount; }
    // The page file of the last result page shown; empty before the first.
    std::string_view ResultFile() const { return m_resultFile; }

    bool IsEnabled(NavCommand command) const;

    // Page steps. False, nothing changed, while disabled.
    bool OnPrevPage();
    bool OnNextPage();
    // The end of a slider drag at page number position; false when no volume is
    // current.
    bool OnPageSliderEnd(int position);
    // The next or previous level-3 record becomes the current volume at its first
    // page (then show it, set the slider and select its tree item). When there is
    // none, sends "もう最後の巻まで至りました。" or
    // "これ以上戻れません。もう巻一に至っています。" and returns false, nothing
    // changed.
    bool OnNextVolume();
    bool OnPrevVolume();
    // Hit steps. False, nothing changed, while disabled; then show HitTarget.
    bool OnPrevHit();
    bool OnNextHit();

    // A new search starts at the first hit again.
    void OnSearchStarted() { m_curHit = 0; }
    // Makes hit (0-based) of the shown result page the current one; false, nothing
    // changed, when the page has no such hit.
    bool SetCurrentHit(int hit) {
        if (hit < 0 || hit >= m_hitCount) return false;
        m_curHit = hit;
        return true;
    }

    // The page numbers of the current volume, first and last (the slider's range);
    // {0, 0} when no volume is current.
    std::pair<int, int> SliderRange() const;
    // The page-position box: "%d/%d" with the store's header number and the page.
    std::string PositionText(std::uint32_t headerNumber) const;
    // The result page at the current hit: the result file and "#%04d".
    PageTarget HitTarget() const;
    static std::string Fragment(int hit);

    // The stored page of slot to be written to kCatalogPageFile: with mode 1 the
    // node's first page, with mode 0 page number pageNumber. False, out untouched,
    // when the slot holds no record or the page is not one of the node's pages
    // (the store has no such page number between its first and last page) or
    // cannot be read; the caller then shows no page.
    bool ReadCatalogPage(CIndex& index, int slot, int mode, int pageNumber, ByteString& out) const;
    // ReadCatalogPage for the current volume and page.
    bool ReadCurrentPage(CIndex& index, ByteString& out) const {
        return ReadCatalogPage(index, m_curItem, 0, m_curPage, out);
    }

    // Renders store page pageIndex with the keyword's hits marked, for the result
    // file whose turn it is. Changes nothing; call CommitResultPage once the bytes
    // are written.
    ResultPage PrepareResultPage(CIndex& index, std::uint32_t pageIndex, std::u16string_view keyword,
                                 SearchScope scopeKind, bool variants) const;
    // The written page is now the shown result page, at hit 0; the other file takes
    // the next one.
    void CommitResultPage(const ResultPage& page);

private:
    bool StepVolume(int direction);
    void OpenVolume(int slot);

    const CCatalog& m_catalog;
    CMessageSink* m_sink;
    std::uint16_t m_scopeItem = 1;
    std::u16string m_scopePath;
    int m_curItem = 0;
    int m_curPage = 0;
    int m_curHit = 0;
    int m_hitCount = 0;
    std::string_view m_resultFile;
    bool m_useFirstFile = true;
};

}  // namespace vyn
