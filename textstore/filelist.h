// CFileList: the text store (directory file + masked content file) and the rebuild
// of a stored page into the page template with the hits of a query marked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "encoding/bytestring.h"
#include "textstore/lockedfile.h"
#include "textstore/storeformat.h"

namespace vyn {

// One extracted piece of a page: title, first cell or second cell.
struct HTMLNode {
    ByteString text;
};

// One segment of a cell: main text (kind 0) or an annotation (kind 1), without the
// annotation font tags.
struct FilterItem {
    ByteString text;
    int kind = 0;
};

// One piece of a compiled term.
struct Seg {
    enum Kind : int { kFloating = 0, kSkip = 1, kLeading = 2 };
    int kind = kLeading;
    ByteString literal;
    int count = 0;  // skip pieces: number of "?" before the literal
};

using TermPattern = std::vector<Seg>;

// The page number carried by a record name: the decimal digits between the last
// backslash and the last dot after it. nullopt when the name has no backslash or no
// dot after it.
std::optional<std::uint64_t> RecordPageNumber(std::string_view name);

// Splits a cell's text into main-text and annotation segments, in text order.
void SplitAnnotations(const HTMLNode& node, std::vector<FilterItem>& items);

// Owns the two open store files. Read-only; every well-formed store reads as its
// format says, and a damaged one makes the affected operation fail. Not thread-safe:
// calls must not overlap.
class CFileList {
public:
    CFileList();
    virtual ~CFileList();
    CFileList(const CFileList&) = delete;
    CFileList& operator=(const CFileList&) = delete;

    // Opens folder/baseName + "-fl.h" and "-fl.cnt" (closing whatever was open) and
    // reads the directory header. False when a file is missing, locked, or the header
    // is short or names a width over 260; the store is then closed.
    bool Open(const std::filesystem::path& folder, std::string_view baseName);
    // Open on files already open: the directory and content files (each given a
    // descriptor of its own), as Open checks them. False, the store closed, when
    // either is closed or the header is short or bad.
    bool Open(const CLockedFile& directoryFile, const CLockedFile& contentFile);
    void Close();
    bool IsOpen() const { return m_isOpen; }

    std::uint32_t GetHeaderNumber() const { return m_headerNumber; }
    std::uint32_t GetNameWidth() const { return m_nameWidth; }

    // Finds the first record at or after startIndex whose page number is pageNumber.
    // True with its index in recordIndex. False when none is found: recordIndex then
    // holds the last record examined (startIndex - 1 when none was). On a closed store
    // returns false and leaves recordIndex untouched.
    bool FindPage(std::uint32_t startIndex, std::uint32_t pageNumber, std::int64_t& recordIndex);

    // The page length of a record. False on a closed store or a record that lies
    // outside the directory or names bytes outside the content file.
    bool GetPageLength(std::uint32_t recordIndex, std::uint32_t& length);

    // The page number carried by the record's name (0 when it carries none). False,
    // number untouched, on the failures of GetPageLength.
    bool GetPageNumber(std::uint32_t recordIndex, std::uint64_t& number);

    // Copies the record's page, unmasked, into the start of buffer (exactly length
    // bytes; no terminator). False, buffer untouched, on the failures of GetPageLength
    // or when the buffer is too small.
    bool ReadPage(std::uint32_t recordIndex, std::span<std::uint8_t> buffer);
    // Replaces page by the record's unmasked bytes; untouched on failure.
    bool ReadPage(std::uint32_t recordIndex, ByteString& page);

    // Fills out (expected empty) with the page rebuilt into the page template and
    // every term of keywords marked in the cell that the page number's parity picks
    // (the first for an even number, the second for an odd one).
    // Terms are separated by U+0020 or U+3000; a NUL ends the keywords. Returns the
    // number of anchors written. Returns 0 with out untouched on a closed store or
    // an unreadable record; returns 0 with out empty when keywords hold no term.
    // Throws std::bad_alloc, out empty, when memory runs out.
    int RenderHitPage(std::uint32_t recordIndex, ByteString& out, std::u16string_view keywords,
                      SearchScope scope);

    // Rebuilds source into out (appended) with one term marked in the chosen cell
    // (0 first, 1 second) under the search scope; returns the number of matches.
    static int ApplyTerm(const ByteString& source, ByteString& out, const ByteString& term,
                         int cellChoice, SearchScope scope, int& anchorCounter);

    // Appends the title, first cell and second cell of page to nodes.
    static void ParsePage(const ByteString& page, std::vector<HTMLNode>& nodes);

    static TermPattern CompileTerm(const ByteString& term);
    static void AddQuestionPieces(std::string_view run, TermPattern& pattern);

    // Appends segment to out with every match of term marked; returns the number of
    // matches. anchorCounter grows by one per anchor written.
    static int MarkTerm(const ByteString& segment, ByteString term, ByteString& out,
                        int& anchorCounter);

private:
    struct Record {
        std::uint32_t endOffset = 0;
        std::uint32_t length = 0;
        std::uint64_t pageNumber = 0;  // 0 when the name carries none
    };
    // Reads and checks record i; false when it is not a complete record or its bytes
    // lie outside the content file.
    bool ReadRecord(std::uint32_t recordIndex, Record& record, bool withName);
    bool ReadMaskedPage(const Record& record, std::uint8_t* buffer);
    // Reads the directory header of the open files; false, the store closed, when it
    // is short or names a width over 260.
    bool ReadHeader();

    std::uint32_t m_headerNumber = 0;
    bool m_isOpen = false;
    std::uint32_t m_nameWidth = 100;
    CLockedFile m_directoryFile;
    CLockedFile m_contentFile;
};

}  // namespace vyn
