#include "support/storefixture.h"

#include <gtest/gtest.h>

#include <fstream>

#include "builder/storewriter.h"

namespace vyn::test {

void WriteStore(const std::filesystem::path& folder, const std::vector<FixturePage>& pages,
                std::uint32_t nameWidth, std::uint32_t headerNumber) {
    CStoreWriter writer(nameWidth);
    writer.SetHeaderNumber(headerNumber);
    for (const auto& page : pages) ASSERT_TRUE(writer.AddPage(page.name, page.bytes)) << page.name;
    std::string error;
    ASSERT_TRUE(writer.Write(folder, "Index", error)) << error;
}

std::string StoredPage(const std::string& title, const std::string& cell1,
                       const std::string& cell2) {
    return "<html><head><meta charset=\"Shift_JIS\"><style>td{color:#000}</style><title>" + title +
           "</title></head><body><table><tr><TD width=80>" + cell1 + "</TD><TD width=450>" +
           cell2 + "</TD></tr></table></body></html>";
}

void PatchFile(const std::filesystem::path& path, std::size_t offset, const std::string& bytes) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    ASSERT_TRUE(file) << path;
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file) << path;
}

void TruncateFile(const std::filesystem::path& path, std::size_t size) {
    std::filesystem::resize_file(path, size);
}

std::string U32(std::uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

}  // namespace vyn::test
