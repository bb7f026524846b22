#include "support/librarycheck.h"

#include <gtest/gtest.h>

#include <ostream>

#include "encoding/utf.h"
#include "index/indexformat.h"
#include "support/tempdir.h"
#include "textstore/catalogformat.h"
#include "textstore/storeformat.h"

namespace vyn::test {

namespace {

std::uint32_t LoadLe(const std::string& bytes, std::size_t offset, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

std::string Show(const std::vector<CatalogLine>& lines) {
    std::string out;
    for (const CatalogLine& line : lines) {
        out += std::string(static_cast<std::size_t>(line.level), ' ') + line.name + " " +
               std::to_string(line.docId) + "+" + std::to_string(line.docNo) + " @" +
               std::to_string(line.curFileName) + "\n";
    }
    return out;
}

}  // namespace

std::vector<CatalogLine> ReadCatalogLines(const std::filesystem::path& folder) {
    const std::string bytes = ReadFile(folder / std::string(kCatalogFile));
    EXPECT_EQ(bytes.size() % kCatalogRecordSize, 0u) << folder;
    std::vector<CatalogLine> lines;
    for (std::size_t at = 0; at + kCatalogRecordSize <= bytes.size(); at += kCatalogRecordSize) {
        std::u16string name;
        for (std::size_t unit = 0; unit < kCatalogNameUnits; ++unit) {
            const auto c = static_cast<char16_t>(LoadLe(bytes, at + 2 * unit, 2));
            if (c == 0) break;
            name.push_back(c);
        }
        ByteString utf8;
        Utf16ToUtf8(name, utf8, kLenientConversion);
        lines.push_back(
            {static_cast<std::int32_t>(LoadLe(bytes, at + kCatalogLevelOffset, 4)),
             std::string(AsView(utf8)),
             static_cast<std::int32_t>(LoadLe(bytes, at + kCatalogDocIdOffset, 4)),
             static_cast<std::int32_t>(LoadLe(bytes, at + kCatalogDocNoOffset, 4)),
             static_cast<std::uint16_t>(LoadLe(bytes, at + kCatalogPageNumberOffset, 2))});
    }
    return lines;
}

std::vector<CatalogLine> JoinedCatalog(const std::vector<std::filesystem::path>& folders) {
    std::vector<CatalogLine> joined;
    std::int32_t pagesBefore = 0;
    for (const auto& folder : folders) {
        std::vector<CatalogLine> lines = ReadCatalogLines(folder);
        if (lines.empty()) continue;
        // The category last opened before this folder, if this folder opens it again.
        CatalogLine* continued = nullptr;
        for (auto it = joined.rbegin(); it != joined.rend(); ++it) {
            if (it->level == kLevelCategory) {
                if (it->name == lines.front().name && lines.front().level == kLevelCategory) {
                    continued = &*it;
                }
                break;
            }
        }
        std::int32_t pages = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            CatalogLine line = lines[i];
            if (line.level == kLevelCategory) pages += line.docNo;
            if (i == 0 && continued) {
                continued->docNo += line.docNo;
                continue;
            }
            line.docId += pagesBefore;
            joined.push_back(line);
        }
        pagesBefore += pages;
    }
    return joined;
}

void ExpectSameAsWhole(const std::vector<std::filesystem::path>& folders,
                       const std::filesystem::path& whole) {
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(Show(JoinedCatalog(folders)), Show(ReadCatalogLines(whole)));
    const std::string base(kIndexBaseName);
    std::string content;
    for (const auto& folder : folders) {
        content += ReadFile(folder / (base + std::string(kContentSuffix)));
        EXPECT_EQ(ReadFile(folder / std::string(kVariantFile)),
                  ReadFile(whole / std::string(kVariantFile)))
            << folder;
    }
    const std::string wholeContent = ReadFile(whole / (base + std::string(kContentSuffix)));
    EXPECT_EQ(content.size(), wholeContent.size());
    EXPECT_TRUE(content == wholeContent) << "the folders' pages differ from the whole's";
}

}  // namespace vyn::test
