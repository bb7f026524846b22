// CSearchCommand: the search options, the keyword and the result entries of the
// panel's search command.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/index.h"
#include "textstore/messagesink.h"
#include "textstore/catalog.h"

namespace vyn {

// The text part searched: the search scope that page rendering takes; its index is
// IndexScopeFor(part).
using TextPart = SearchScope;

// One result entry: one hit page inside the scope.
struct SearchNodeTag {
    std::u16string category;
    std::u16string book;    // empty when no book was found
    std::u16string volume;  // empty when no volume was found
    std::uint32_t pageIndex = 0;  // 0-based store index
    std::uint32_t pageNo = 0;     // page number within the volume; 0 without a volume
    std::uint32_t hits = 0;
    std::u16string folder{};  // the data folder's title in a library; empty outside one
};

// Owns the options, the keyword of the last search and its result entries. The
// engine and the catalog are passed in. Not thread-safe.
class CSearchCommand {
public:
    static constexpr std::string_view kNoScopeMessage = "検索範囲をまた指定していません。";
    static constexpr std::string_view kNoKeywordMessage =
        "何かキーワードを入力して検索をして下さい。";
    static constexpr std::string_view kNothingSearchableMessage =
        "このキーワードには検索できる文字がありません。英数字・記号・空白・ワイルドカード"
        "（? *）だけでは検索できません。漢字などを入れて下さい。";
    // A word of an "and" query that searches nothing ("{word}" is that word).
    static constexpr std::string_view kWordSearchesNothingMessage =
        "「{word}」には検索できる文字がないため、and の検索では何も見つかりません。"
        "この語に漢字などを入れるか、この語を除いて下さい。";

    enum class Outcome {
        kCancelled,  // a keyword field had no value: nothing changed
        kNoScope,    // no scope: message sent, keyword and results unchanged
        kNoKeyword,  // empty keyword: message sent, keyword and results unchanged
        kSearched,   // results, total and count line replaced
    };

    explicit CSearchCommand(CMessageSink* sink = nullptr) : m_sink(sink) {}

    // The keyword as the panel reads it: the hidden edit's text, then, in order,
    // the value of each input element of the keyword page, the last one winning;
    // every U+3000 becomes U+0020. nullopt when a value is absent (nullopt in
    // fieldValues), which ends the command.
    static std::optional<std::u16string> ReadKeyword(
        std::u16string_view hiddenEditText,
        std::span<const std::optional<std::u16string>> fieldValues);

    // Closes the index and opens it again on folder for part, and makes part the
    // rendering scope. Returns the result of CIndex::Open.
    bool SelectTextPart(CIndex& index, const std::filesystem::path& folder, TextPart part);
    // The same on a generation of the data: the index opens part's scope of data.
    bool SelectTextPart(CIndex& index, const CDataGeneration& data, TextPart part);
    // Drops the entries, the total and the count line, as before the first search;
    // the keyword and the options stay.
    void ClearResults();

    // The search command. Reads the keyword (see ReadKeyword); with scope slot 0 or
    // an empty keyword sends the matching message and keeps the previous keyword.
    // Otherwise searches all words (andOr 0) or any word (andOr 1) with hit counting
    // and the variant option, leaves the keyword as the engine left it (U+0020
    // turned into U+3000) and replaces the entries with those of the hit pages in
    // the scope node of scopeSlot (none, so no entries, when the slot holds no record
    // or its node is outside the hierarchy). A query the engine rejects finds
    // nothing; one that searches nothing (see SearchesSomething) also sends
    // kNothingSearchableMessage, and an "and" query that finds nothing because one of
    // its words searches nothing sends kWordSearchesNothingMessage for that word.
    Outcome OnSearch(CIndex& index, const CCatalog& catalog, int scopeSlot,
                     std::u16string_view hiddenEditText,
                     std::span<const std::optional<std::u16string>> fieldValues);

    // Replaces the entries with one per hit page (0-based) that lies in scope's page
    // range, placed in category, book and volume through the hierarchy, sorted by
    // pageNo (entries with equal pageNo keep the order of hitPages). counts runs
    // parallel to hitPages; a missing count is 0. A null scope gives no entries.
    // The scope of a whole library or one of its data folders gives the entries of
    // each category below it in catalog order, each as that category's scope gives
    // them (a hit page goes to the first category holding it).
    // Returns the sum of the entries' hits.
    std::uint64_t BuildResults(const ContentsNodeTag* scope, std::span<const std::uint32_t> hitPages,
                               std::span<const std::uint32_t> counts);

    // True when query holds a word the engine accepts (CIndex::CountWords) and a
    // character with an index slot: letters, digits, signs, spaces and the wildcards
    // alone search nothing.
    static bool SearchesSomething(std::u16string_view query);
    // The first word of query that searches nothing by itself; empty when none does.
    static std::u16string WordSearchingNothing(std::u16string_view query);

    // "全部で %d 頁で、%d 箇所でした。" with the number of entries and the total.
    static std::string CountLine(std::size_t entries, std::uint64_t total);

    const std::vector<SearchNodeTag>& Results() const { return m_results; }
    std::uint64_t Total() const { return m_total; }
    // The count line of the last completed search; empty before the first.
    const std::string& LastCountLine() const { return m_countLine; }
    const std::u16string& Keyword() const { return m_keyword; }

    // 0 "and", 1 "or"; "and" at start.
    void SetAndOr(int andOr) { m_andOr = andOr; }
    // Relate variant characters; on at start.
    bool Variants() const { return m_variants; }
    void SetVariants(bool variants) { m_variants = variants; }
    TextPart Part() const { return m_part; }
    SearchScope ScopeKind() const { return m_part; }

private:
    std::u16string m_keyword;
    int m_andOr = 0;
    bool m_variants = true;
    TextPart m_part = TextPart::kWhole;
    std::vector<SearchNodeTag> m_results;
    std::uint64_t m_total = 0;
    std::string m_countLine;
    CMessageSink* m_sink;
};

}  // namespace vyn
