// CStoreWriter: writes the two text store files from pages held in memory.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/bytestring.h"

namespace vyn {

// Collects pages in record order and writes base + "-fl.h" and base + "-fl.cnt".
// Pages are stored back to back in the order they were added, masked.
class CStoreWriter {
public:
    explicit CStoreWriter(std::uint32_t nameWidth = 100) : m_nameWidth(nameWidth) {}

    void SetHeaderNumber(std::uint32_t number) { m_headerNumber = number; }
    void SetHeaderBlock(const std::array<std::uint8_t, 260>& block) { m_headerBlock = block; }

    // Adds a page record. False when the name does not fit the name field with its
    // zero terminator, holds a zero byte, or the content would pass 4 GiB.
    bool AddPage(std::string_view name, std::string_view page);

    std::size_t PageCount() const { return m_names.size(); }
    // Bytes of content added so far.
    std::uint64_t ContentSize() const { return m_content.size(); }

    // Writes both files into folder (which must exist). False with a reason in
    // error when a file cannot be written.
    bool Write(const std::filesystem::path& folder, std::string_view baseName,
               std::string& error) const;

private:
    std::uint32_t m_nameWidth;
    std::uint32_t m_headerNumber = 0;
    std::array<std::uint8_t, 260> m_headerBlock{};
    std::vector<std::string> m_names;
    std::vector<std::uint32_t> m_ends;
    std::vector<std::uint32_t> m_lengths;
    ByteString m_content;  // masked
};

}  // namespace vyn
