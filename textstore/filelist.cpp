// Text store files.
//
// Directory file (base name + "-fl.h"), little-endian:
//   0    u32   header number (shown by the panel; not used by the reader)
//   4    u32   name width N (at most 260)
//   8    260   header block (kept, never consulted)
//   268  N+8   page record 0, then record 1, ... up to the end of the file.
// Page record i starts at 268 + i*(N+8):
//   0    N     record name: single-byte text, zero-padded, e.g. "book3\0012.htm"
//   N    u32   end offset: content-file offset just past the page's last byte
//   N+4  u32   length of the page in bytes
// The page number of a record is the run of decimal digits between the last
// backslash of its name and the last dot after it.
//
// Content file (base name + "-fl.cnt"): the page bytes back to back, each byte XOR-ed
// with kStoreMask. A page is bytes [end offset - length, end offset).
//
// Nothing of the directory is cached: each access reads the record it needs. Every
// record and every page range is checked against the file sizes before it is read.
#include "textstore/filelist.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <string>

#include "encoding/utf.h"
#include "textstore/storeformat.h"

namespace vyn {

namespace {

std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Unmask(std::uint8_t* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) bytes[i] ^= kStoreMask;
}

std::string_view NameOfField(const std::uint8_t* field, std::size_t width) {
    const auto* chars = reinterpret_cast<const char*>(field);
    const void* zero = std::memchr(chars, 0, width);
    std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - chars)
                              : width;
    return {chars, length};
}

}  // namespace

std::optional<std::uint64_t> RecordPageNumber(std::string_view name) {
    std::size_t slash = name.rfind('\\');
    if (slash == std::string_view::npos) return std::nullopt;
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < slash) return std::nullopt;
    std::string_view digits = name.substr(slash + 1, std::min(dot - slash - 1, kMaxPageNumberDigits));
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

CFileList::CFileList() = default;

CFileList::~CFileList() { Close(); }

bool CFileList::Open(const std::filesystem::path& folder, std::string_view baseName) {
    Close();
    try {
        std::string base = (folder / std::string(baseName)).string();
        if (!m_directoryFile.Open(base + std::string(kDirectorySuffix)) ||
            !m_contentFile.Open(base + std::string(kContentSuffix))) {
            Close();
            return false;
        }
        return ReadHeader();
    } catch (...) {
        Close();
        return false;
    }
}

bool CFileList::Open(const CLockedFile& directoryFile, const CLockedFile& contentFile) {
    Close();
    if (!m_directoryFile.OpenDuplicate(directoryFile) || !m_contentFile.OpenDuplicate(contentFile)) {
        Close();
        return false;
    }
    return ReadHeader();
}

bool CFileList::ReadHeader() {
    std::uint8_t header[kDirectoryHeaderSize];
    if (!m_directoryFile.ReadAt(0, header, sizeof header)) {
        Close();
        return false;
    }
    std::uint32_t nameWidth = LoadU32(header + 4);
    if (nameWidth > kMaxNameWidth) {
        Close();
        return false;
    }
    m_headerNumber = LoadU32(header);
    m_nameWidth = nameWidth;
    m_isOpen = true;
    return true;
}

void CFileList::Close() {
    m_directoryFile.Close();
    m_contentFile.Close();
    m_isOpen = false;
}

bool CFileList::FindPage(std::uint32_t startIndex, std::uint32_t pageNumber,
                         std::int64_t& recordIndex) {
    if (!m_isOpen) return false;
    const std::uint64_t stride = std::uint64_t{m_nameWidth} + 8;
    std::uint64_t position = kDirectoryHeaderSize + std::uint64_t{startIndex} * stride;
    std::int64_t index = std::int64_t{startIndex} - 1;
    std::uint64_t fileLength = 0;
    if (!m_directoryFile.Size(fileLength)) {
        recordIndex = index;
        return false;
    }
    // Read whole runs of records at a time; only the name fields are looked at.
    constexpr std::uint64_t kChunkRecords = 512;
    std::vector<std::uint8_t> chunk;
    while (position < fileLength) {
        std::uint64_t available = fileLength - position;
        std::uint64_t records = std::min<std::uint64_t>(kChunkRecords, available / stride);
        // A trailing record whose name is cut short is read no further.
        std::uint64_t bytes = records > 0 ? records * stride
                                          : (available >= m_nameWidth ? m_nameWidth : 0);
        if (bytes == 0) break;
        chunk.resize(bytes);
        if (!m_directoryFile.ReadAt(position, chunk.data(), bytes)) break;
        std::uint64_t inChunk = records > 0 ? records : 1;
        for (std::uint64_t r = 0; r < inChunk; ++r) {
            ++index;
            auto number = RecordPageNumber(NameOfField(chunk.data() + r * stride, m_nameWidth));
            if (number && *number == pageNumber) {
                recordIndex = index;
                return true;
            }
        }
        position += inChunk * stride;
    }
    recordIndex = index;
    return false;
}

bool CFileList::ReadRecord(std::uint32_t recordIndex, Record& record, bool withName) {
    if (!m_isOpen) return false;
    const std::uint64_t stride = std::uint64_t{m_nameWidth} + 8;
    const std::uint64_t position = kDirectoryHeaderSize + std::uint64_t{recordIndex} * stride;
    std::uint64_t directorySize = 0, contentSize = 0;
    if (!m_directoryFile.Size(directorySize) || !m_contentFile.Size(contentSize)) return false;
    if (position + stride > directorySize) return false;
    std::uint8_t buffer[kMaxNameWidth + 8];
    Record result;
    if (withName) {
        if (!m_directoryFile.ReadAt(position, buffer, stride)) return false;
        auto number = RecordPageNumber(NameOfField(buffer, m_nameWidth));
        result.pageNumber = number.value_or(0);
    } else if (!m_directoryFile.ReadAt(position + m_nameWidth, buffer + m_nameWidth, 8)) {
        return false;
    }
    result.endOffset = LoadU32(buffer + m_nameWidth);
    result.length = LoadU32(buffer + m_nameWidth + 4);
    if (result.length > result.endOffset || result.endOffset > contentSize) return false;
    record = result;
    return true;
}

bool CFileList::ReadMaskedPage(const Record& record, std::uint8_t* buffer) {
    if (record.length == 0) return true;
    if (!m_contentFile.ReadAt(record.endOffset - record.length, buffer, record.length)) return false;
    Unmask(buffer, record.length);
    return true;
}

bool CFileList::GetPageLength(std::uint32_t recordIndex, std::uint32_t& length) {
    Record record;
    if (!ReadRecord(recordIndex, record, false)) return false;
    length = record.length;
    return true;
}

bool CFileList::GetPageNumber(std::uint32_t recordIndex, std::uint64_t& number) {
    Record record;
    if (!ReadRecord(recordIndex, record, true)) return false;
    number = record.pageNumber;
    return true;
}

bool CFileList::ReadPage(std::uint32_t recordIndex, std::span<std::uint8_t> buffer) {
    Record record;
    if (!ReadRecord(recordIndex, record, false) || buffer.size() < record.length) return false;
    try {
        ByteString page(record.length);
        if (!ReadMaskedPage(record, page.data())) return false;
        std::copy(page.begin(), page.end(), buffer.begin());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CFileList::ReadPage(std::uint32_t recordIndex, ByteString& page) {
    Record record;
    if (!ReadRecord(recordIndex, record, false)) return false;
    try {
        ByteString bytes(record.length);
        if (!ReadMaskedPage(record, bytes.data())) return false;
        page = std::move(bytes);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int CFileList::RenderHitPage(std::uint32_t recordIndex, ByteString& out,
                             std::u16string_view keywords, SearchScope scope) {
    Record record;
    if (!ReadRecord(recordIndex, record, true)) return 0;
    try {
        ByteString source(record.length);
        if (!ReadMaskedPage(record, source.data())) return 0;
        const int cellChoice = static_cast<int>(record.pageNumber % 2);

        if (std::size_t nul = keywords.find(u'\0'); nul != std::u16string_view::npos) {
            keywords = keywords.substr(0, nul);
        }
        int anchorCounter = 0;
        std::set<ByteString> seen;
        std::size_t termStart = 0;
        for (std::size_t i = 0; i <= keywords.size(); ++i) {
            bool ends = i == keywords.size() || keywords[i] == u' ' || keywords[i] == u'\u3000';
            if (!ends) continue;
            std::u16string_view term = keywords.substr(termStart, i - termStart);
            termStart = i + 1;
            if (term.empty()) continue;
            ByteString bytes;
            Utf16ToUtf8(term, bytes, kLenientConversion);
            if (!seen.insert(bytes).second) continue;
            out.clear();
            ApplyTerm(source, out, bytes, cellChoice, scope, anchorCounter);
            source = out;
        }
        return anchorCounter;
    } catch (const std::bad_alloc&) {
        // A part of a page would pass for the page.
        out.clear();
        throw;
    }
}

}  // namespace vyn
