#include "panel/searchcommand.h"

#include <algorithm>
#include <unordered_map>

#include "encoding/charslot.h"
#include "encoding/utf.h"

namespace vyn {

namespace {

constexpr std::uint32_t kCountingSortLimit = 1u << 20;

// Finds, among nodes in a fixed order, the first whose page range holds a page.
// Catalogs list their nodes in page order without overlaps, which allows a binary
// search; any other order falls back to the scan the order itself defines.
class CRangeFinder {
public:
    explicit CRangeFinder(std::vector<const ContentsNodeTag*> nodes) {
        for (const ContentsNodeTag* node : nodes) {
            if (node->docID >= 1 && node->docNo >= 1) m_nodes.push_back(node);
        }
        for (std::size_t i = 1; i < m_nodes.size() && m_sorted; ++i) {
            const ContentsNodeTag& before = *m_nodes[i - 1];
            m_sorted = m_nodes[i]->docID > std::int64_t{before.docID} + before.docNo - 1;
        }
    }

    const ContentsNodeTag* Find(std::int64_t docPage) const {
        if (!m_sorted) {
            for (const ContentsNodeTag* node : m_nodes) {
                if (node->Contains(docPage)) return node;
            }
            return nullptr;
        }
        auto it = std::upper_bound(m_nodes.begin(), m_nodes.end(), docPage,
                                   [](std::int64_t page, const ContentsNodeTag* node) {
                                       return page < node->docID;
                                   });
        if (it == m_nodes.begin()) return nullptr;
        const ContentsNodeTag* node = *(it - 1);
        return node->Contains(docPage) ? node : nullptr;
    }

private:
    std::vector<const ContentsNodeTag*> m_nodes;
    bool m_sorted = true;
};

std::u16string NameOf(const ContentsNodeTag* node) { return node ? node->name : std::u16string(); }

const ContentsNodeTag* ParentOf(const ContentsNodeTag* node) { return node ? node->parent : nullptr; }

void SpacesForIdeographicSpaces(std::u16string& text) {
    std::replace(text.begin(), text.end(), u'\u3000', u' ');
}

// What a scope gives its entries: the category and the book they share (the book
// empty for a category, whose entries each name their own), and the books and
// volumes below the scope that place each page.
struct ScopeLayout {
    std::u16string category;
    std::u16string book;
    std::vector<const ContentsNodeTag*> books;
    std::vector<const ContentsNodeTag*> volumes;
};

ScopeLayout LayoutOf(const ContentsNodeTag& scope) {
    const ContentsNodeTag* parent = ParentOf(&scope);
    const ContentsNodeTag* grandparent = ParentOf(parent);
    ScopeLayout layout;
    switch (scope.level) {
        case kLevelCategory:
            layout.category = scope.name;
            for (const auto& book : scope.children) {
                layout.books.push_back(book.get());
                for (const auto& volume : book->children) layout.volumes.push_back(volume.get());
            }
            break;
        case kLevelBook:
            layout.category = NameOf(parent);
            layout.book = scope.name;
            for (const auto& volume : scope.children) layout.volumes.push_back(volume.get());
            break;
        case kLevelVolume:
            layout.category = NameOf(grandparent);
            layout.book = NameOf(parent);
            break;
        default:
            layout.category = NameOf(grandparent);
            break;
    }
    return layout;
}

// A hit page placed in its book and volume: a light record to sort before the names
// are copied.
struct PlacedHit {
    std::uint32_t pageNo;
    std::size_t hit;  // index into the engine's hit pages
    const ContentsNodeTag* book;
    const ContentsNodeTag* volume;
};

// The hit pages (0-based) inside scope, in their order, each placed among books and
// volumes below the scope; below a volume or a node of another level, the scope
// itself stands for the volume.
std::vector<PlacedHit> PlaceHits(const ContentsNodeTag& scope, std::vector<const ContentsNodeTag*> books,
                                 std::vector<const ContentsNodeTag*> volumes,
                                 std::span<const std::uint32_t> hitPages) {
    const CRangeFinder bookFinder(std::move(books));
    const CRangeFinder volumeFinder(std::move(volumes));
    std::vector<PlacedHit> placed;
    placed.reserve(hitPages.size());
    for (std::size_t i = 0; i < hitPages.size(); ++i) {
        const std::int64_t docPage = std::int64_t{hitPages[i]} + 1;
        if (!scope.Contains(docPage)) continue;
        PlacedHit p{0, i, nullptr, &scope};
        if (scope.level == kLevelCategory) {
            p.book = bookFinder.Find(docPage);
            p.volume = volumeFinder.Find(docPage);
        } else if (scope.level == kLevelBook) {
            p.volume = volumeFinder.Find(docPage);
        }
        if (p.volume) {
            // The volume holds the page, so this lies in curFileName .. + docNo - 1.
            p.pageNo = static_cast<std::uint32_t>(docPage - p.volume->docID + p.volume->curFileName);
        }
        placed.push_back(p);
    }
    return placed;
}

// placed ordered by page number, stable. Page numbers within volumes are small: a
// counting sort, unless they are large beside the hits (a damaged catalog, or few
// hits on late pages).
std::vector<const PlacedHit*> OrderByPageNo(const std::vector<PlacedHit>& placed) {
    std::uint32_t maxPageNo = 0;
    for (const PlacedHit& p : placed) maxPageNo = std::max(maxPageNo, p.pageNo);
    std::vector<const PlacedHit*> order(placed.size());
    // Counting pays while its table is not much larger than what it sorts.
    if (maxPageNo < kCountingSortLimit && maxPageNo <= 8 * placed.size() + 1024) {
        std::vector<std::uint32_t> start(std::size_t{maxPageNo} + 2, 0);
        for (const PlacedHit& p : placed) ++start[p.pageNo + 1];
        for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
        for (const PlacedHit& p : placed) order[start[p.pageNo]++] = &p;
    } else {
        for (std::size_t k = 0; k < placed.size(); ++k) order[k] = &placed[k];
        std::stable_sort(order.begin(), order.end(),
                         [](const PlacedHit* a, const PlacedHit* b) { return a->pageNo < b->pageNo; });
    }
    return order;
}

// The data folder of a library that holds node: its title; empty outside a library.
std::u16string FolderOf(const ContentsNodeTag* node) {
    // A single data folder's root has that level too, but no parent.
    for (; node; node = node->parent) {
        if (node->level == kLevelFolder && node->parent) return node->name;
    }
    return {};
}

// The entries of the hit pages inside scope, appended to results in list order (see
// BuildResults); returns the sum of their hits.
std::uint64_t AppendResults(const ContentsNodeTag& scope, std::span<const std::uint32_t> hitPages,
                            std::span<const std::uint32_t> counts, std::vector<SearchNodeTag>& results) {
    std::uint64_t total = 0;
    const std::u16string folder = FolderOf(&scope);
    ScopeLayout layout = LayoutOf(scope);
    const std::vector<PlacedHit> placed =
        PlaceHits(scope, std::move(layout.books), std::move(layout.volumes), hitPages);
    // The names are copied once, in order.
    if (const std::size_t needed = results.size() + placed.size(); needed > results.capacity()) {
        results.reserve(std::max(needed, 2 * results.capacity()));
    }
    for (const PlacedHit* p : OrderByPageNo(placed)) {
        SearchNodeTag& entry = results.emplace_back();
        entry.folder = folder;
        entry.category = layout.category;
        entry.book = scope.level == kLevelCategory ? NameOf(p->book) : layout.book;
        entry.volume = NameOf(p->volume);
        entry.pageNo = p->pageNo;
        entry.pageIndex = hitPages[p->hit];
        entry.hits = p->hit < counts.size() ? counts[p->hit] : 0;
        total += entry.hits;
    }
    return total;
}

}  // namespace

std::optional<std::u16string> CSearchCommand::ReadKeyword(
    std::u16string_view hiddenEditText, std::span<const std::optional<std::u16string>> fieldValues) {
    std::u16string keyword(hiddenEditText);
    SpacesForIdeographicSpaces(keyword);
    for (const auto& value : fieldValues) {
        if (!value) return std::nullopt;
        keyword = *value;
        SpacesForIdeographicSpaces(keyword);
    }
    return keyword;
}

bool CSearchCommand::SelectTextPart(CIndex& index, const std::filesystem::path& folder,
                                    TextPart part) {
    index.Close();
    m_part = part;
    return index.Open(folder, kIndexBaseName, IndexScopeFor(part));
}

bool CSearchCommand::SelectTextPart(CIndex& index, const CDataGeneration& data, TextPart part) {
    index.Close();
    m_part = part;
    return index.Open(data, IndexScopeFor(part));
}

void CSearchCommand::ClearResults() {
    m_results.clear();
    m_total = 0;
    m_countLine.clear();
}

CSearchCommand::Outcome CSearchCommand::OnSearch(
    CIndex& index, const CCatalog& catalog, int scopeSlot, std::u16string_view hiddenEditText,
    std::span<const std::optional<std::u16string>> fieldValues) {
    std::optional<std::u16string> keyword = ReadKeyword(hiddenEditText, fieldValues);
    if (!keyword) return Outcome::kCancelled;
    if (scopeSlot == 0) {
        if (m_sink) m_sink->Warning(kNoScopeMessage);
        return Outcome::kNoScope;
    }
    if (keyword->empty()) {
        if (m_sink) m_sink->Warning(kNoKeywordMessage);
        return Outcome::kNoKeyword;
    }

    m_keyword = std::move(*keyword);
    // A query the engine rejects leaves its result list untouched; emptying it first
    // keeps the previous search's pages from being shown as this one's.
    index.SearchWord(u"", CIndex::CombineReplace, true, false);
    const ContentsNodeTag* scope = catalog.ScopeNode(scopeSlot);
    // In a library only the data folders in scope are searched.
    if (scope && scope->docID >= 1 && scope->docNo >= 0) {
        index.LimitSearch(static_cast<std::uint32_t>(scope->docID - 1), static_cast<std::uint32_t>(scope->docNo));
    }
    if (m_andOr == 1) {
        index.SearchAnyWord(m_keyword, true, m_variants);
    } else {
        index.SearchAllWords(m_keyword, true, m_variants);
    }
    index.ClearSearchLimit();
    BuildResults(scope, index.GetHitPages(), index.GetHitCounts());
    m_countLine = CountLine(m_results.size(), m_total);
    // Such a query finds nothing; the user is told why.
    if (!m_sink) return Outcome::kSearched;
    if (!SearchesSomething(m_keyword)) {
        m_sink->Warning(kNothingSearchableMessage);
    } else if (m_andOr != 1 && m_results.empty()) {
        if (const std::u16string word = WordSearchingNothing(m_keyword); !word.empty()) {
            std::string message(kWordSearchesNothingMessage);
            message.replace(message.find("{word}"), 6, Utf16ToUtf8String(word));
            m_sink->Warning(message);
        }
    }
    return Outcome::kSearched;
}

std::u16string CSearchCommand::WordSearchingNothing(std::u16string_view query) {
    std::size_t start = 0;
    while (start < query.size()) {
        std::size_t end = start;
        while (end < query.size() && query[end] != u' ' && query[end] != u'\u3000') ++end;
        const std::u16string_view word = query.substr(start, end - start);
        if (!word.empty() && !SearchesSomething(word)) return std::u16string(word);
        start = end + 1;
    }
    return {};
}

bool CSearchCommand::SearchesSomething(std::u16string_view query) {
    if (CIndex::CountWords(query) == 0) return false;
    for (std::size_t i = 0; i < query.size();) {
        const char32_t codePoint = NextCodePoint(query, i);
        if (codePoint == U'?' || codePoint == U'？' || codePoint == U'*') continue;
        if (CharSlot(codePoint) != kNotIndexed) return true;
    }
    return false;
}

std::uint64_t CSearchCommand::BuildResults(const ContentsNodeTag* scope,
                                           std::span<const std::uint32_t> hitPages,
                                           std::span<const std::uint32_t> counts) {
    std::vector<SearchNodeTag> results;
    std::uint64_t total = 0;
    if (scope && (scope->level == kLevelLibrary || scope->level == kLevelFolder)) {
        std::vector<const ContentsNodeTag*> categories;
        const auto addCategories = [&](const ContentsNodeTag& folder) {
            for (const auto& child : folder.children) {
                if (child->level == kLevelCategory) categories.push_back(child.get());
            }
        };
        if (scope->level == kLevelFolder) {
            addCategories(*scope);
        } else {
            for (const auto& folder : scope->children) addCategories(*folder);
        }
        std::unordered_map<const ContentsNodeTag*, std::size_t> indexOf;
        for (std::size_t c = 0; c < categories.size(); ++c) indexOf.emplace(categories[c], c);
        std::vector<std::vector<std::uint32_t>> pagesOf(categories.size()), countsOf(categories.size());
        const CRangeFinder finder(categories);
        for (std::size_t i = 0; i < hitPages.size(); ++i) {
            const ContentsNodeTag* category = finder.Find(std::int64_t{hitPages[i]} + 1);
            if (!category) continue;
            const std::size_t c = indexOf.at(category);
            pagesOf[c].push_back(hitPages[i]);
            countsOf[c].push_back(i < counts.size() ? counts[i] : 0);
        }
        std::size_t placed = 0;
        for (const auto& pages : pagesOf) placed += pages.size();
        results.reserve(placed);
        for (std::size_t c = 0; c < categories.size(); ++c) {
            if (!pagesOf[c].empty()) total += AppendResults(*categories[c], pagesOf[c], countsOf[c], results);
        }
    } else if (scope) {
        total = AppendResults(*scope, hitPages, counts, results);
    }
    m_results = std::move(results);
    m_total = total;
    return total;
}

std::string CSearchCommand::CountLine(std::size_t entries, std::uint64_t total) {
    return "全部で " + std::to_string(entries) + " 頁で、" + std::to_string(total) + " 箇所でした。";
}

}  // namespace vyn
