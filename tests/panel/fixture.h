// Test fixtures of the panel: text in either encoding, catalog records as bytes and a
// small corpus.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "textstore/catalog.h"
#include "textstore/messagesink.h"

namespace vyn::test {

// Records the warnings sent to it.
class CRecordingSink : public CMessageSink {
public:
    void Warning(std::string_view utf8) override { messages.emplace_back(utf8); }
    std::vector<std::string> messages;
};

// UTF-8 of text as Utf16ToUtf8String gives it.
std::string U8(std::u16string_view text);

// UTF-16 of text; fails the test when text is not UTF-8.
std::u16string U16(std::string_view text);

// Resolves 5000 go-to texts of up to maxUnits - 1 units drawn from alphabet by a
// generator started at seed, each from a shown volume below volumes, and expects each
// to lead to a page of its volume or to say why not.
void ExpectGoToSurvives(const CCatalog& catalog, std::u16string_view alphabet, std::uint32_t seed,
                        std::uint32_t maxUnits, std::uint32_t volumes);

// One 216-byte catalog record; name is UTF-16 and cut or padded to 100 units.
std::string CatalogRecordBytes(std::u16string name, std::int32_t level, std::int32_t docID,
                               std::int32_t docNo, std::uint16_t curFileName);

// Writes every data file of this corpus into folder (fails the test on error):
//
//   slot  record         store records (page number: text, [note])
//    1    A              0..7
//    2      A1           0..4
//    3        a1v1       0 (1: 甲)  1 (2: 乙)  2 (3: 甲甲)
//    4        a1v2       3 (5: 甲)  4 (6: 丙)
//    5      A2           5..7
//    6        a2v1       5 (1: 甲甲 [甲])  6 (2: 乙)
//    7        a2v2       7 (7: 丁)
//    8    B              8..9
//    9      B1           8..9
//   10        b1v1       8 (10: 甲)  9 (11: 甲乙)
void BuildPanelCorpus(const std::filesystem::path& folder);

}  // namespace vyn::test
