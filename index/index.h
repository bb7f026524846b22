// CIndex: the full-text search engine over one scope of the index, with the text
// store it owns and the variant-character table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "encoding/bytestring.h"
#include "index/entrytable.h"
#include "index/firstgroupmap.h"
#include "index/indexformat.h"
#include "index/mappedfile.h"
#include "textstore/messagesink.h"
#include "index/postingcursor.h"
#include "index/searchscratch.h"
#include "textstore/filelist.h"
#include "textstore/kwic.h"
#include "textstore/lockedfile.h"

namespace vyn {

class CDataGeneration;

// Owns, while open, read-only mappings of the index header file (slot tables and
// block chain, read in place) and of the posting file, and the open text store; always owns the
// variant table and the result list of the last search. Searches walk the mapped
// posting lists in place. A damaged index never makes it read outside the mapping,
// loop or crash: either Open fails or the damaged lists end early. While open it
// also keeps the entry table of every list searched (see CEntryTable), up to a
// memory budget, and drops them on Close.
// Not thread-safe: all calls on one object must come from one thread at a time.
class CIndex {
public:
    enum CombineMode : int { CombineReplace = 0, CombineUnion = 1, CombineIntersect = 2 };

    // Working capacity of one word search: normalised word units (runs of "*"
    // collapsed, leading "*" dropped, one "*" at the end) plus a terminator.
    static constexpr std::size_t kWordCapacity = 300;
    // Most positions allowed between the segments of a word around "*".
    static constexpr std::uint32_t kMaxSegmentGap = 300;
    // ExpandVariants returns at most this many strings: the first ones in order.
    static constexpr std::size_t kMaxExpansion = 256;

    static constexpr std::string_view kOpenFailedMessage = "データを開けませんでした。";

    // sink, if given, receives the open-failure message; it must outlive the index.
    explicit CIndex(CMessageSink* sink = nullptr);
    virtual ~CIndex();
    CIndex(const CIndex&) = delete;
    CIndex& operator=(const CIndex&) = delete;

    // Opens scope of a generation of the data (see CDataGeneration): maps its header
    // file (slot tables and block chain) and posting file and opens the text store on
    // the generation's store files. The index keeps mappings and descriptors of its
    // own: it reads that build whatever the folder holds later, and needs data no
    // longer once open. Reloads the variant table from the generation's variant file
    // first, whatever the outcome (empty when the file is absent), empties the hit
    // page list and sets the hit total to 0. True on success. On failure (a closed
    // generation, a file absent, a header shorter than kHeaderTablesSize, an empty
    // posting file, a mapping or store failure, memory) sends
    // "データを開けませんでした。" to the sink, leaves the index closed and returns
    // false.
    bool Open(const CDataGeneration& data, IndexScope scope);
    // Open on a generation of folder made for this call (see CDataGeneration::Open:
    // the folder's shared lock is held while its files are opened, waiting up to a
    // second for a build that is moving files in). When the lock is not had in time,
    // the variant table is reloaded from folder/"yitizi.txt" and the open fails as above.
    bool Open(const std::filesystem::path& folder, std::string_view baseName, IndexScope scope);

    // Releases the tables, the mapping and the files and closes the text store. The
    // variant table and the result list stay. Safe on a closed index.
    void Close();
    bool IsOpen() const { return !m_firstBlock.empty() || !m_members.empty(); }

    // Text store pass-throughs (see CFileList). Requires nothing: a closed index
    // answers as a closed store does. On a library, records are numbered across its
    // folders (see MemberOf) and each call goes to the folder's engine.
    std::uint32_t GetHeaderNumber() const {
        return m_members.empty() ? m_textStore.GetHeaderNumber() : m_memberRecords;
    }
    bool FindPage(std::uint32_t startIndex, std::uint32_t pageNumber, std::int64_t& recordIndex);
    bool GetPageLength(std::uint32_t recordIndex, std::uint32_t& length) {
        CIndex* engine = MemberEngine(recordIndex);
        return engine == this ? m_textStore.GetPageLength(recordIndex, length)
                              : engine && engine->GetPageLength(recordIndex, length);
    }
    bool GetPageNumber(std::uint32_t recordIndex, std::uint64_t& number) {
        CIndex* engine = MemberEngine(recordIndex);
        return engine == this ? m_textStore.GetPageNumber(recordIndex, number)
                              : engine && engine->GetPageNumber(recordIndex, number);
    }
    bool ReadPage(std::uint32_t recordIndex, std::span<std::uint8_t> buffer) {
        CIndex* engine = MemberEngine(recordIndex);
        return engine == this ? m_textStore.ReadPage(recordIndex, buffer)
                              : engine && engine->ReadPage(recordIndex, buffer);
    }
    bool ReadPage(std::uint32_t recordIndex, ByteString& page) {
        CIndex* engine = MemberEngine(recordIndex);
        return engine == this ? m_textStore.ReadPage(recordIndex, page)
                              : engine && engine->ReadPage(recordIndex, page);
    }

    // --- A library: several data folders searched as one.
    //
    // Opened on a generation of a library (CDataGeneration::Members), the index holds
    // one engine per data folder, opened on that folder's generation. The folders'
    // store records follow each other in library order: record r of folder m is record
    // MemberBase(m) + r of the library, and the result list holds these numbers, the
    // folders' results one after another. Searches run the folders' engines in
    // parallel, one worker per core. The variant table is the first folder's; each
    // folder searches and marks with its own.

    // The number of data folders (0 on a single data folder or a closed index).
    std::size_t MemberCount() const { return m_members.size(); }
    // The first library record of member m. Requires: m < MemberCount().
    std::uint32_t MemberBase(std::size_t m) const { return m_memberBase[m]; }
    std::uint32_t MemberRecords(std::size_t m) const;
    // The member holding library record, whose record there is record - MemberBase;
    // MemberCount() when there is none (always on a single data folder).
    std::size_t MemberOf(std::uint32_t record) const;
    // The engine that reads record and the record's number there: this index on a
    // single data folder, null when no member holds it.
    const CIndex* EngineFor(std::uint32_t& record) const;
    // Searches of a library run only the members holding some of the records
    // [first, first + count): the others find nothing. Until the next call; a single
    // data folder ignores it.
    void LimitSearch(std::uint32_t first, std::uint32_t count) {
        m_limitFirst = first;
        m_limitEnd = std::uint64_t{first} + count;
    }
    void ClearSearchLimit() { LimitSearch(0, UINT32_MAX); }

    // The page with every term of keywords marked (CFileList::RenderHitPage); with
    // useVariants the terms are first widened by ExpandVariants and joined with
    // U+0020. Returns the number of anchors written; throws std::bad_alloc, out
    // empty, when memory runs out.
    int RenderHitPage(std::uint32_t recordIndex, ByteString& out, std::u16string_view keywords,
                      SearchScope searchScope, bool useVariants);

    // Result list of the last search. Pages are document (page record) numbers, each
    // at most once; counts are parallel to them when hits were counted, else empty.
    // The views stay valid until the next search or Open.
    const std::vector<std::uint32_t>& GetHitPages() const { return m_hitPages; }
    const std::vector<std::uint32_t>& GetHitCounts() const { return m_hitCounts; }
    std::uint32_t GetHitTotal() const { return m_hitTotal; }

    // Variant table. LoadVariants replaces it with the groups of folder/"yitizi.txt":
    // one group per non-empty LF-separated line, one member per non-empty
    // comma-separated field, read as hexadecimal (leading white space, optional sign
    // and "0x"; no digits gives 0, overflow 0xFFFFFFFF). A missing or unreadable file
    // leaves the table empty; nothing is reported.
    void LoadVariants(const std::filesystem::path& folder);
    // LoadVariants from an open variant file, read through its descriptor; a closed
    // one leaves the table empty.
    void LoadVariants(const CLockedFile& file);
    // The groups, in file order (made on the first call after a load).
    const std::vector<std::vector<std::uint32_t>>& GetVariantGroups() const;
    // When the first group holding codePoint is group g < kMaxVariantGroups, sets slot
    // to kFirstVariantSlot + g and returns true; otherwise leaves slot untouched and
    // returns false.
    bool VariantSlot(std::uint32_t codePoint, std::int32_t& slot) const;
    // The members of the first group holding codePoint, in file order; {codePoint}
    // when no group holds it.
    std::vector<std::uint32_t> VariantsOf(std::uint32_t codePoint) const;
    // Every string that takes, for each code point of keywords (surrogate pairs
    // combined), one member of VariantsOf it: the first code point varies slowest.
    // The expansion is a product of group sizes, so only its first kMaxExpansion
    // (256) strings are returned. Empty keywords give an empty list.
    std::vector<std::u16string> ExpandVariants(std::u16string_view keywords) const;

    // Query evaluation. A query is words separated by spaces; within a word "?" and
    // "？" stand for one character, "*" lets the parts around it lie up to 300
    // positions apart, in order; unindexed characters are dropped.
    //
    // The number of words of query (split at U+0020 and U+3000), or 0 when it is
    // empty or holds a unit below U+0100 other than space, "*" and "?".
    static int CountWords(std::u16string_view query);

    // Pages holding every word ("and", ascending) or at least one word ("or": the first
    // word's pages ascending, then each later word's new pages ascending), with the
    // summed hit counts of the words when countHits. Every U+0020 of query becomes
    // U+3000; only U+0020 splits words here. Return the sum of the SearchWord returns.
    // An invalid query (CountWords 0) or one with a word over the working capacity
    // returns 0 and leaves the query and the result list untouched.
    int SearchAllWords(std::u16string& query, bool countHits, bool useVariants);
    int SearchAnyWord(std::u16string& query, bool countHits, bool useVariants);

    // Searches one word and combines its pages with the result list by mode; returns
    // the hit total afterwards. Returns 0 with the result emptied (Replace,
    // Intersect) or untouched (Union) when the word has no searchable character or a
    // character without a posting list. Returns 0 with the result untouched when the
    // word exceeds the working capacity or memory runs out.
    std::uint32_t SearchWord(std::u16string_view word, CombineMode mode, bool countHits,
                             bool useVariants);

    // Where word hits in one rendered cell, as SearchWord counts its hits on a page
    // whose text cell it is (same procedure, variants and text part): per hit the
    // character range [begin, end) of cell.text from the first character the word's
    // pattern covers to the last, a leading or trailing "?" taking the neighbouring
    // character when one stands in the same run of text; first is the index of the
    // hit's first searched character. Hits come in the order SearchWord counts them.
    // A word without a searchable character gives none.
    struct CellHit {
        std::size_t begin = 0, end = 0, first = 0;
    };
    std::vector<CellHit> WordHitsInCell(std::u16string_view word, bool useVariants,
                                        SearchScope scope, const KwicCell& cell) const;

    // With plain on, searches walk every list with a CPostingCursor and use no entry
    // table; the results are the same either way. Off by default; tests compare the two.
    void SetPlainEvaluation(bool plain);

    // Bytes the entry tables may hold before the next word search drops them all; in a
    // library, what its folders' engines hold together.
    static constexpr std::size_t kEntryTableBudget = std::size_t{256} << 20;

private:
    struct CachedTable {
        CEntryTable table;
        bool regular = false;  // false: the list is walked with a cursor
    };

    bool LoadHeader(const CLockedFile& file);
    bool MapPostings(const CLockedFile& file);
    // Replaces the variant table with the groups of the table's text.
    void ParseVariants(std::string_view text);
    bool FailOpen();
    // The posting bytes and chain, with the cycle of the walk from firstBlock.
    PostingView ListView(std::uint32_t firstBlock) const;
    // Whether slot has a posting list that starts inside the posting file.
    bool HasList(std::int32_t slot) const;
    // A cursor on the posting list of slot. Requires: HasList(slot).
    CPostingCursor StartCursor(std::int32_t slot) const;
    int SearchWords(std::u16string& query, bool all, bool countHits, bool useVariants);
    // The entry table of slot, built on first use; nullptr when its list is not
    // regular. Requires: HasList(slot).
    const CEntryTable* EntryTable(std::int32_t slot);
    // Empties the table cache when it holds more than m_entryTableBudget bytes.
    void DropTablesOverBudget();
    // The tables of all slots, or false, tables untouched, when one has none.
    bool TablesOf(const std::vector<std::int32_t>& slots, std::vector<const CEntryTable*>& tables);
    // A word's searched characters with their lists, slots and query positions, and
    // its segments. False when the word exceeds the working capacity.
    struct WordPlan;
    bool PlanWord(std::u16string_view word, bool useVariants, WordPlan& plan) const;
    // SearchAllWords on the entry tables; false, result unspecified, when a list has
    // none (the words are then searched one by one).
    bool SearchAllByTables(const std::vector<std::u16string_view>& words, bool countHits,
                           bool useVariants, std::int64_t& sum);
    // Steps of SearchAllByTables. PlanAllWords: the plan of every word and the tables
    // of the words up to the first one without a list; false when a word exceeds the
    // working capacity or a list has no table.
    bool PlanAllWords(const std::vector<std::u16string_view>& words, bool useVariants,
                      std::vector<WordPlan>& plans,
                      std::vector<std::vector<const CEntryTable*>>& tables);
    // Sets counts[m] to the hits of all words on found[m], each of which holds every
    // word; entriesOf[w], when it has an entry per page, gives word w's entry on each.
    void CountHitsOnFound(const PostingView& view, const std::vector<WordPlan>& plans,
                          const std::vector<std::vector<const CEntryTable*>>& tables,
                          const std::vector<std::uint32_t>& found,
                          const std::vector<std::vector<std::uint32_t>>& entriesOf,
                          std::vector<std::uint32_t>& counts);
    std::uint32_t Combine(CombineMode mode, bool countHits, std::vector<std::uint32_t>& pages,
                          std::vector<std::uint32_t>& counts);
    // Combine for ascending pages, by merging instead of hashing.
    std::uint32_t CombineSorted(CombineMode mode, bool countHits, std::vector<std::uint32_t>& pages,
                                std::vector<std::uint32_t>& counts);
    // Union or Intersect, found[i] being the index of pages[i] in the result list, or
    // SIZE_MAX when the result list does not hold it.
    std::uint32_t CombineFound(CombineMode mode, bool countHits,
                               const std::vector<std::uint32_t>& pages,
                               const std::vector<std::uint32_t>& counts,
                               const std::vector<std::size_t>& found);
    void ClearResult();
    // Library pieces (index/libraryindex.cpp).
    bool OpenLibrary(const CDataGeneration& data, IndexScope scope);
    CIndex* MemberEngine(std::uint32_t& record);
    // Runs search on every member, in parallel, then gathers their result lists.
    int SearchMembers(const std::function<int(CIndex&)>& search);
    void GatherMemberResults();

    CFileList m_textStore;
    std::vector<std::unique_ptr<CIndex>> m_members;
    std::vector<std::uint32_t> m_memberBase;
    std::uint32_t m_memberRecords = 0;
    std::uint64_t m_limitFirst = 0, m_limitEnd = UINT32_MAX;
    CMappedFile m_postingMapping;
    CMappedFile m_headerMapping;
    std::vector<std::uint32_t> m_headerCopy;  // the tables, where the host is not little-endian
    // Views of the header tables: into m_headerMapping, or m_headerCopy.
    std::span<const std::uint32_t> m_blockChain;
    std::span<const std::uint32_t> m_firstBlock;
    std::span<const std::uint32_t> m_lastDoc;
    std::span<const std::uint8_t> m_postings;
    std::uint32_t m_blockCount = 0;
    std::vector<std::uint32_t> m_hitPages;
    std::vector<std::uint32_t> m_hitCounts;
    std::uint32_t m_hitTotal = 0;
    // Variant table: the members of group g are m_variantMembers[m_groupStart[g] ..
    // m_groupStart[g + 1]); m_firstGroupOf maps a code point to its first group.
    std::vector<std::uint32_t> m_variantMembers;
    std::vector<std::uint32_t> m_groupStart;
    CFirstGroupMap m_firstGroupOf;
    mutable std::vector<std::vector<std::uint32_t>> m_variantGroups;  // see GetVariantGroups
    mutable bool m_variantGroupsMade = false;
    CMessageSink* m_sink = nullptr;
    std::unordered_map<std::int32_t, CachedTable> m_entryTables;  // by slot, until Close
    std::size_t m_entryTableBytes = 0;
    // kEntryTableBudget; a library's members share it.
    std::size_t m_entryTableBudget = kEntryTableBudget;
    std::vector<std::vector<std::uint8_t>> m_gatherBuffers;  // per list of a word
    CPageBits m_pageMarks;                                   // bits zero between searches
    CSearchScratch m_scratch;                                // see SearchAllByTables
    bool m_plainEvaluation = false;
};

}  // namespace vyn
