#include "index/index.h"

#include <bit>
#include <limits>
#include <new>

#include "textstore/folderlock.h"

namespace vyn {

namespace {

std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

[[maybe_unused]] std::vector<std::uint32_t> LoadU32s(const std::uint8_t* p, std::size_t count) {
    std::vector<std::uint32_t> values(count);
    for (std::size_t i = 0; i < count; ++i) values[i] = LoadU32(p + 4 * i);
    return values;
}

}  // namespace

CIndex::CIndex(CMessageSink* sink) : m_sink(sink) {}

CIndex::~CIndex() { Close(); }

bool CIndex::Open(const std::filesystem::path& folder, std::string_view baseName, IndexScope scope) {
    Close();
    try {
        // The variant table, the index files and the store come from one build: a
        // build does not move files in while the lock is held.
        CFolderLock lock;
        if (!lock.LockShared(folder)) {
            LoadVariants(folder);
            return FailOpen();
        }
        LoadVariants(folder);
        std::string base = (folder / std::string(baseName)).string();
        base += IndexFileSuffix(scope);
        m_hitTotal = 0;
        m_hitPages.clear();
        if (!LoadHeader(base + std::string(kHeaderFileSuffix)) ||
            !MapPostings(base + std::string(kPostingFileSuffix)) ||
            !m_textStore.Open(folder, baseName)) {
            return FailOpen();
        }
        return true;
    } catch (...) {
        return FailOpen();
    }
}

bool CIndex::FailOpen() {
    if (m_sink) m_sink->Warning(kOpenFailedMessage);
    Close();
    return false;
}

bool CIndex::LoadHeader(const std::string& path) {
    if (!m_headerFile.Open(path)) return false;
    std::uint64_t size = 0;
    if (!m_headerFile.Size(size) || size < kHeaderTablesSize) {
        m_headerFile.Close();
        return false;
    }
    const std::uint64_t blockCount = (size - kHeaderTablesSize) / 4;
    if (blockCount > std::numeric_limits<std::uint32_t>::max()) {
        m_headerFile.Close();
        return false;
    }
    // The mapping outlives the descriptor and its lock: the builder replaces files
    // instead of rewriting them, so the mapped header stays as it was read.
    const bool mapped =
        m_headerMapping.Map(m_headerFile.Descriptor(), kHeaderTablesSize + blockCount * 4);
    m_headerFile.Close();
    if (!mapped) return false;
    const std::uint8_t* p = m_headerMapping.Bytes().data();

    std::span<const std::uint32_t> words;
    if constexpr (std::endian::native == std::endian::little) {
        // The mapping starts on a page and every table on a multiple of 4.
        words = {reinterpret_cast<const std::uint32_t*>(p), m_headerMapping.Bytes().size() / 4};
    } else {
        m_headerCopy = LoadU32s(p, m_headerMapping.Bytes().size() / 4);
        words = m_headerCopy;
    }
    m_firstBlock = words.subspan(kFirstBlockTableOffset / 4, kSlotTableEntries);
    m_lastDoc = words.subspan(kLastDocTableOffset / 4, kSlotTableEntries);
    m_blockChain = words.subspan(kHeaderTablesSize / 4, static_cast<std::size_t>(blockCount));
    m_blockCount = static_cast<std::uint32_t>(blockCount);
    return true;
}

bool CIndex::MapPostings(const std::string& path) {
    std::uint64_t size = 0;
    // An empty posting file cannot be mapped; it fails the open like any other.
    if (!m_postingFile.Open(path) || !m_postingFile.Size(size) ||
        !m_postingMapping.Map(m_postingFile.Descriptor(), size)) {
        return false;
    }
    m_postings = m_postingMapping.Bytes();
    return true;
}

void CIndex::Close() {
    m_firstBlock = {};
    m_lastDoc = {};
    m_blockChain = {};
    m_headerMapping.Unmap();
    std::vector<std::uint32_t>().swap(m_headerCopy);
    m_blockCount = 0;
    m_entryTables.clear();
    m_entryTableBytes = 0;
    m_postings = {};
    m_postingMapping.Unmap();
    m_postingFile.Close();
    m_headerFile.Close();
    m_textStore.Close();
}

PostingView CIndex::ListView(std::uint32_t firstBlock) const {
    return PostingView{m_postings, m_blockChain, FindChainCycle(m_blockChain, firstBlock)};
}

bool CIndex::HasList(std::int32_t slot) const {
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_firstBlock.size()) return false;
    const std::uint32_t first = m_firstBlock[static_cast<std::size_t>(slot)];
    // A first block outside the posting file is as good as none.
    return first != kNoBlock && std::uint64_t{first} * kPostingBlockSize < m_postings.size();
}

CPostingCursor CIndex::StartCursor(std::int32_t slot) const {
    const std::uint32_t first = m_firstBlock[static_cast<std::size_t>(slot)];
    return CPostingCursor(ListView(first), first, m_lastDoc[static_cast<std::size_t>(slot)]);
}

int CIndex::RenderHitPage(std::uint32_t recordIndex, ByteString& out, std::u16string_view keywords,
                          SearchScope searchScope, bool useVariants) {
    if (!useVariants) return m_textStore.RenderHitPage(recordIndex, out, keywords, searchScope);
    const std::vector<std::u16string> expansion = ExpandVariants(keywords);
    std::u16string joined;
    for (std::size_t i = 0; i < expansion.size(); ++i) {
        if (i > 0) joined += u' ';
        joined += expansion[i];
    }
    return m_textStore.RenderHitPage(recordIndex, out, joined, searchScope);
}

}  // namespace vyn
