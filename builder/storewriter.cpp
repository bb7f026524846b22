#include "builder/storewriter.h"

#include <limits>

#include "builder/binaryio.h"
#include "textstore/storeformat.h"

namespace vyn {

bool CStoreWriter::AddPage(std::string_view name, std::string_view page) {
    if (name.size() >= m_nameWidth || name.find('\0') != std::string_view::npos) return false;
    if (page.size() > std::numeric_limits<std::uint32_t>::max() - m_content.size()) return false;
    const std::size_t start = m_content.size();
    m_content.resize(start + page.size());
    std::uint8_t* out = m_content.data() + start;
    for (std::size_t i = 0; i < page.size(); ++i) {
        out[i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(page[i]) ^ kStoreMask);
    }
    m_names.emplace_back(name);
    m_ends.push_back(static_cast<std::uint32_t>(m_content.size()));
    m_lengths.push_back(static_cast<std::uint32_t>(page.size()));
    return true;
}

bool CStoreWriter::Write(const std::filesystem::path& folder, std::string_view baseName,
                         std::string& error) const {
    ByteString directory;
    directory.reserve(kDirectoryHeaderSize + m_names.size() * (m_nameWidth + 8));
    PutU32(directory, m_headerNumber);
    PutU32(directory, m_nameWidth);
    directory.insert(directory.end(), m_headerBlock.begin(), m_headerBlock.end());
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        std::size_t field = directory.size();
        Append(directory, m_names[i]);
        directory.resize(field + m_nameWidth, 0);
        PutU32(directory, m_ends[i]);
        PutU32(directory, m_lengths[i]);
    }
    const std::string base = (folder / std::string(baseName)).string();
    return WriteBytes(base + std::string(kDirectorySuffix), directory, error) &&
           WriteBytes(base + std::string(kContentSuffix), m_content, error);
}

}  // namespace vyn
