#include "index/index.h"

#include <bit>
#include <limits>
#include <new>

#include "index/datageneration.h"

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

bool CIndex::Open(const CDataGeneration& data, IndexScope scope) {
    Close();
    try {
        if (data.IsOpen() && !data.Members().empty()) return OpenLibrary(data, scope);
        LoadVariants(data.FileOf(CDataGeneration::File::kVariants));
        m_hitTotal = 0;
        m_hitPages.clear();
        if (!data.IsOpen() || !LoadHeader(data.FileOf(CDataGeneration::HeaderFile(scope))) ||
            !MapPostings(data.FileOf(CDataGeneration::PostingFile(scope))) ||
            !m_textStore.Open(data.FileOf(CDataGeneration::File::kDirectory),
                              data.FileOf(CDataGeneration::File::kContent))) {
            return FailOpen();
        }
        return true;
    } catch (...) {
        return FailOpen();
    }
}

bool CIndex::Open(const std::filesystem::path& folder, std::string_view baseName, IndexScope scope) {
    Close();
    try {
        CDataGeneration data;
        if (!data.Open(folder, baseName)) {
            LoadVariants(folder);
            return FailOpen();
        }
        return Open(data, scope);
    } catch (...) {
        return FailOpen();
    }
}

bool CIndex::FailOpen() {
    if (m_sink) m_sink->Warning(kOpenFailedMessage);
    Close();
    return false;
}

bool CIndex::LoadHeader(const CLockedFile& file) {
    std::uint64_t size = 0;
    if (!file.Size(size) || size < kHeaderTablesSize) return false;
    const std::uint64_t blockCount = (size - kHeaderTablesSize) / 4;
    if (blockCount > std::numeric_limits<std::uint32_t>::max()) return false;
    // The mapping needs no descriptor of its own: the builder replaces files instead
    // of rewriting them, so the mapped header stays as it was read.
    if (!m_headerMapping.Map(file.Descriptor(), kHeaderTablesSize + blockCount * 4)) return false;
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

bool CIndex::MapPostings(const CLockedFile& file) {
    std::uint64_t size = 0;
    // An empty posting file cannot be mapped; it fails the open like any other.
    if (!file.Size(size) || !m_postingMapping.Map(file.Descriptor(), size)) return false;
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
    m_textStore.Close();
    m_members.clear();
    m_memberBase.clear();
    m_memberRecords = 0;
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
    if (!m_members.empty()) {
        CIndex* engine = MemberEngine(recordIndex);
        if (engine) return engine->RenderHitPage(recordIndex, out, keywords, searchScope, useVariants);
        out.clear();
        return 0;
    }
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
