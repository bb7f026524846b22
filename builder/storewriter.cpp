#include "builder/storewriter.h"

#include <fstream>
#include <limits>

#include "textstore/storeformat.h"

namespace vyn {

namespace {

void PutU32(ByteString& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool WriteFile(const std::filesystem::path& path, const ByteString& bytes, std::string& error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) file.write(reinterpret_cast<const char*>(bytes.data()),
                         static_cast<std::streamsize>(bytes.size()));
    if (file) file.close();
    if (!file) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace

bool CStoreWriter::AddPage(std::string_view name, std::string_view page) {
    if (name.size() >= m_nameWidth || name.find('\0') != std::string_view::npos) return false;
    if (page.size() > std::numeric_limits<std::uint32_t>::max() - m_content.size()) return false;
    for (char c : page) m_content.push_back(static_cast<std::uint8_t>(c) ^ kStoreMask);
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
    return WriteFile(base + std::string(kDirectorySuffix), directory, error) &&
           WriteFile(base + std::string(kContentSuffix), m_content, error);
}

}  // namespace vyn
