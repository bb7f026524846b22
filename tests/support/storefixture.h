// Test support: small text stores written into a folder.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vyn::test {

struct FixturePage {
    std::string name;   // record name, e.g. "b\\12.htm"
    std::string bytes;  // unmasked page
};

// Writes Index-fl.h and Index-fl.cnt into folder; fails the test on error.
void WriteStore(const std::filesystem::path& folder, const std::vector<FixturePage>& pages,
                std::uint32_t nameWidth = 100, std::uint32_t headerNumber = 0);

// A stored page with the given title and cells and a head the renderer drops.
std::string StoredPage(const std::string& title, const std::string& cell1,
                       const std::string& cell2);

// Overwrites bytes of a file at offset.
void PatchFile(const std::filesystem::path& path, std::size_t offset, const std::string& bytes);
void TruncateFile(const std::filesystem::path& path, std::size_t size);
std::string U32(std::uint32_t value);

}  // namespace vyn::test
