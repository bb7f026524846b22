// Test support: what the data folders of a library hold together.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vyn::test {

// One record of a catalog file, its name in UTF-8.
struct CatalogLine {
    std::int32_t level = 0;
    std::string name;
    std::int32_t docId = 0;
    std::int32_t docNo = 0;
    std::uint16_t curFileName = 0;

    bool operator==(const CatalogLine&) const = default;
};

// The records of folder's catalog file, in file order.
std::vector<CatalogLine> ReadCatalogLines(const std::filesystem::path& folder);

// The catalogs of folders, in order, as one: pages numbered on over the folders, and
// a category that the next folder opens again joined to its part before.
std::vector<CatalogLine> JoinedCatalog(const std::vector<std::filesystem::path>& folders);

// Expects the data folders, in order, to hold together what the data folder whole
// holds: the same catalog (JoinedCatalog), the same pages stored byte for byte in
// the same order, and the same variant table in each.
void ExpectSameAsWhole(const std::vector<std::filesystem::path>& folders,
                       const std::filesystem::path& whole);

}  // namespace vyn::test
