#include "panel/fixture.h"

#include <gtest/gtest.h>

#include "builder/databuilder.h"
#include "encoding/utf.h"
#include "panel/citation.h"

namespace vyn::test {

namespace {

void PutLe(std::string& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

TextRun Main(std::string text) { return {TextRun::kMain, std::move(text)}; }
TextRun Note(std::string text) { return {TextRun::kNote, std::move(text)}; }
CorpusPage Page(std::string title, std::vector<TextRun> runs) {
    return {std::move(title), {Paragraph{std::move(runs)}}};
}

}  // namespace

std::string U8(std::u16string_view text) { return Utf16ToUtf8String(text); }

std::u16string U16(std::string_view text) {
    std::u16string out;
    EXPECT_TRUE(Utf8ToUtf16(text, out));
    return out;
}

void ExpectGoToSurvives(const CCatalog& catalog, std::u16string_view alphabet, std::uint32_t seed,
                        std::uint32_t maxUnits, std::uint32_t volumes) {
    std::uint32_t state = seed;
    auto next = [&state] { return state = state * 1103515245u + 12345u; };
    for (int i = 0; i < 5000; ++i) {
        std::u16string text;
        for (std::uint32_t n = next() % maxUnits; n > 0; --n) text += alphabet[(next() >> 8) % alphabet.size()];
        const int current = static_cast<int>((next() >> 8) % volumes);
        const CitationTarget target = ResolveCitation(catalog, text, current);
        if (target.Found()) {
            const auto [first, last] = VolumePageRange(catalog, target.place.volumeSlot);
            EXPECT_GE(target.place.pageNumber, first) << U8(text);
            EXPECT_LE(target.place.pageNumber, last) << U8(text);
        } else {
            EXPECT_FALSE(target.error.empty());
        }
    }
}

std::string CatalogRecordBytes(std::u16string name, std::int32_t level, std::int32_t docID,
                               std::int32_t docNo, std::uint16_t curFileName) {
    name.resize(100, u'\0');
    std::string bytes;
    for (char16_t unit : name) PutLe(bytes, unit, 2);
    PutLe(bytes, static_cast<std::uint32_t>(level), 4);
    PutLe(bytes, static_cast<std::uint32_t>(docID), 4);
    PutLe(bytes, static_cast<std::uint32_t>(docNo), 4);
    PutLe(bytes, curFileName, 2);
    PutLe(bytes, 0, 2);
    return bytes;
}

void BuildPanelCorpus(const std::filesystem::path& folder) {
    CorpusVolume a1v1{"a1v1", 1, {Page("1", {Main("甲")}), Page("2", {Main("乙")}),
                                  Page("3", {Main("甲甲")})}};
    CorpusVolume a1v2{"a1v2", 5, {Page("5", {Main("甲")}), Page("6", {Main("丙")})}};
    CorpusVolume a2v1{"a2v1", 1, {Page("1", {Main("甲甲"), Note("甲")}), Page("2", {Main("乙")})}};
    CorpusVolume a2v2{"a2v2", 7, {Page("7", {Main("丁")})}};
    CorpusVolume b1v1{"b1v1", 10, {Page("10", {Main("甲")}), Page("11", {Main("甲乙")})}};
    Corpus corpus;
    corpus.categories.push_back({"A", {{"A1", {a1v1, a1v2}}, {"A2", {a2v1, a2v2}}}});
    corpus.categories.push_back({"B", {{"B1", {b1v1}}}});
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(corpus, folder, stats)) << builder.GetReason();
}

}  // namespace vyn::test
