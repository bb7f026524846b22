#include "builder/databuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "builder/pagelayout.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/indexformat.h"
#include "support/tempdir.h"
#include "textstore/filelist.h"
#include "textstore/storeformat.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

TextRun Main(std::string text) { return {TextRun::kMain, std::move(text)}; }
TextRun Note(std::string text) { return {TextRun::kNote, std::move(text)}; }

CorpusPage Page(std::string title, std::vector<Paragraph> paragraphs) {
    return {std::move(title), std::move(paragraphs)};
}

// Records (document numbers):
//   0 史部/史記/卷一 page 1   1 page 2   2 page 3
//   3 史部/史記/卷二 page 2   4 page 3
//   5 子部/論語/學而 page 1
// The labels use characters that no page text holds.
Corpus SampleCorpus() {
    Corpus corpus;
    CorpusVolume first{"卷一", 1,
                       {Page("史記卷一第1頁", {{{Main("天地玄黃"), Note("注文"), Main("宇宙")}},
                                               {{Main("日月 盈<昃")}}}),
                        Page("史記卷一第2頁", {{{Main("寒來暑往")}}, {{Note("秋收冬藏")}}}),
                        Page("史記卷一第3頁", {{{Main("體")}}, {{Main("体躰")}}})}};
    CorpusVolume second{u"卷二", 2,
                        {Page("史記卷二第2頁", {{{Main("閏餘成歲"), Note("律呂調陽")}}}),
                         Page("史記卷二第3頁", {{{Main("雲騰"), Main("致雨")}}, {{Main("\x01")}}})}};
    CorpusVolume third{"學而", 1, {Page("論語學而第1頁", {{{Main("學而時習之"), Note("體")}}})}};
    corpus.categories.push_back({"史部", {{u"史記", {first, second}}}});
    corpus.categories.push_back({u"子部", {{"論語", {third}}}});
    corpus.variantGroups = {{0x9AD4, 0x4F53}, {0x4F53, 0x8EB0}};  // 體 体, 体 躰
    return corpus;
}

constexpr std::uint32_t kPageCount = 6;

std::uint32_t LoadU32(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + static_cast<std::size_t>(i)));
    }
    return value;
}

using Postings = std::map<std::uint32_t, std::vector<std::uint32_t>>;  // doc -> positions

// Decodes posting lists straight from one scope's index files.
class PostingReader {
public:
    PostingReader(const fs::path& folder, const std::string& suffix)
        : m_header(ReadFile(folder / ("Index" + suffix + "-idx.h"))),
          m_postings(ReadFile(folder / ("Index" + suffix + "-idx.m"))) {
        EXPECT_GE(m_header.size(), 1400000u);
        EXPECT_EQ(m_header.size() % 4, 0u);
        EXPECT_EQ(m_postings.size() % 4096, 0u);
    }

    bool HasList(std::int32_t slot) const { return FirstBlock(slot) != 0xFFFFFFFF; }

    Postings List(std::int32_t slot) const {
        Postings result;
        if (!HasList(slot)) return result;
        Cursor cursor{this, FirstBlock(slot), 0};
        const std::uint32_t lastDoc = LoadU32(m_header, 1000000 + 4 * static_cast<std::size_t>(slot));
        std::uint32_t doc = 0;
        for (int entries = 0; entries < 100000; ++entries) {
            doc += cursor.Packed();
            std::uint32_t count = cursor.Byte();
            count |= cursor.Byte() << 8;
            const std::size_t end = cursor.consumed + count;
            std::uint32_t position = 0;
            auto& positions = result[doc];
            while (cursor.consumed < end) {
                position += cursor.Packed();
                positions.push_back(position);
            }
            EXPECT_EQ(cursor.consumed, end) << "position data overran its count";
            if (doc == lastDoc) return result;
        }
        ADD_FAILURE() << "list of slot " << slot << " never reaches its last document";
        return result;
    }

    std::vector<std::uint32_t> Positions(char32_t c, std::uint32_t doc) const {
        auto list = List(CharSlot(c));
        auto it = list.find(doc);
        return it == list.end() ? std::vector<std::uint32_t>{} : it->second;
    }

private:
    struct Cursor {
        const PostingReader* reader;
        std::uint32_t block;
        std::uint32_t offset;
        std::size_t consumed = 0;

        std::uint32_t Byte() {
            if (offset == 4096) {
                block = LoadU32(reader->m_header, 1400000 + 4 * std::size_t{block});
                offset = 0;
            }
            ++consumed;
            return static_cast<unsigned char>(reader->m_postings.at(std::size_t{block} * 4096 + offset++));
        }
        std::uint32_t Packed() {
            const std::uint32_t b0 = Byte();
            if (b0 < 0x80) return b0;
            if (b0 < 0xC0) return ((b0 & 0x3F) << 8) | Byte();
            const std::uint32_t b1 = Byte();
            return ((b0 & 0x3F) << 16) | (b1 << 8) | Byte();
        }
    };

    std::uint32_t FirstBlock(std::int32_t slot) const {
        return LoadU32(m_header, 4 * static_cast<std::size_t>(slot));
    }

    std::string m_header;
    std::string m_postings;
};

struct CatalogRecord {
    std::u16string name;
    std::int32_t level, docId, docNo;
    std::uint16_t curFileName;
};

std::vector<CatalogRecord> ReadCatalog(const fs::path& path) {
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.size() % 216, 0u);
    std::vector<CatalogRecord> records;
    for (std::size_t at = 0; at + 216 <= bytes.size(); at += 216) {
        CatalogRecord record{};
        for (std::size_t i = 0; i < 200; i += 2) {
            char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[at + i]) |
                                                  static_cast<unsigned char>(bytes[at + i + 1]) << 8);
            if (unit == 0) break;
            record.name.push_back(unit);
        }
        EXPECT_EQ(bytes[at + 198], 0);  // room for the terminator
        EXPECT_EQ(bytes[at + 199], 0);
        record.level = static_cast<std::int32_t>(LoadU32(bytes, at + 200));
        record.docId = static_cast<std::int32_t>(LoadU32(bytes, at + 204));
        record.docNo = static_cast<std::int32_t>(LoadU32(bytes, at + 208));
        record.curFileName = static_cast<std::uint16_t>(LoadU32(bytes, at + 212) & 0xFFFF);
        records.push_back(record);
    }
    return records;
}

std::string Text(const ByteString& bytes) { return std::string(AsView(bytes)); }

std::string Utf8(const std::u16string& text) {
    ByteString bytes;
    Utf16ToUtf8(text, bytes, kLenientConversion);
    return Text(bytes);
}

// Title, first cell and second cell as the page parse sees them.
std::vector<std::string> Pieces(const ByteString& page) {
    std::vector<HTMLNode> nodes;
    CFileList::ParsePage(page, nodes);
    std::vector<std::string> pieces;
    for (const auto& node : nodes) pieces.push_back(Text(node.text));
    return pieces;
}

class DataBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        CDataBuilder builder;
        ASSERT_TRUE(builder.Build(SampleCorpus(), m_dir.path(), m_stats)) << builder.GetReason();
    }

    TempDir m_dir;
    BuildStats m_stats;
};

TEST_F(DataBuilderTest, CatalogRecordsSpanTheirPagesInPreOrder) {
    auto records = ReadCatalog(m_dir / "vyn.dir");
    struct Expected {
        std::u16string name;
        std::int32_t level, docId, docNo;
        std::uint16_t curFileName;
    };
    const Expected expected[] = {
        {u"史部", 1, 1, 5, 1}, {u"史記", 2, 1, 5, 1}, {u"卷一", 3, 1, 3, 1}, {u"卷二", 3, 4, 2, 2},
        {u"子部", 1, 6, 1, 1}, {u"論語", 2, 6, 1, 1}, {u"學而", 3, 6, 1, 1},
    };
    ASSERT_EQ(records.size(), std::size(expected));
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].name, expected[i].name);
        EXPECT_EQ(records[i].level, expected[i].level);
        EXPECT_EQ(records[i].docId, expected[i].docId);
        EXPECT_EQ(records[i].docNo, expected[i].docNo);
        EXPECT_EQ(records[i].curFileName, expected[i].curFileName);
    }
    EXPECT_EQ(m_stats.catalogRecords, records.size());
}

// The invariants the panel relies on, checked over the written files: ranges nest,
// the volumes tile the store, and every page of a volume is found from the volume's
// first record by its page number.
TEST_F(DataBuilderTest, CatalogAndStoreAgreeOnEveryPage) {
    auto records = ReadCatalog(m_dir / "vyn.dir");
    CFileList store;
    ASSERT_TRUE(store.Open(m_dir.path(), "Index"));
    EXPECT_EQ(store.GetHeaderNumber(), kPageCount);

    std::vector<const CatalogRecord*> open;  // ancestors of the current record
    std::int32_t nextVolumeDoc = 1;
    for (const auto& record : records) {
        SCOPED_TRACE(Utf8(record.name));
        while (!open.empty() && open.back()->level >= record.level) open.pop_back();
        ASSERT_EQ(static_cast<std::size_t>(record.level), open.size() + 1);
        if (!open.empty()) {
            EXPECT_GE(record.docId, open.back()->docId);
            EXPECT_LE(record.docId + record.docNo, open.back()->docId + open.back()->docNo);
            if (record.docId == open.back()->docId) {
                EXPECT_EQ(record.curFileName, open.back()->curFileName);
            }
        }
        open.push_back(&record);
        if (record.level != 3) continue;
        EXPECT_EQ(record.docId, nextVolumeDoc);
        nextVolumeDoc += record.docNo;
        for (std::int32_t k = 0; k < record.docNo; ++k) {
            std::int64_t found = -7;
            ASSERT_TRUE(store.FindPage(static_cast<std::uint32_t>(record.docId - 1),
                                       static_cast<std::uint32_t>(record.curFileName + k), found));
            EXPECT_EQ(found, record.docId - 1 + k);
        }
    }
    EXPECT_EQ(nextVolumeDoc, static_cast<std::int32_t>(kPageCount) + 1);
}

TEST_F(DataBuilderTest, TextGoesIntoTheCellThatThePageParitySelects) {
    struct Row {
        std::uint32_t record;
        std::string label;
        std::string text;  // a piece of the page text
        bool textFirst;
    };
    const Row rows[] = {
        {0, "史記卷一第1頁", "天地玄黃", false},
        {1, "史記卷一第2頁", "寒來暑往", true},
        {3, "史記卷二第2頁", "閏餘成歲", true},
        {4, "史記卷二第3頁", "雲騰致雨", false},
        {5, "論語學而第1頁", "學而時習之", false},
    };
    CFileList store;
    ASSERT_TRUE(store.Open(m_dir.path(), "Index"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ByteString page;
        ASSERT_TRUE(store.ReadPage(row.record, page));
        auto pieces = Pieces(page);
        EXPECT_EQ(pieces[0], row.label);
        const std::string& textCell = pieces[row.textFirst ? 1 : 2];
        const std::string& labelCell = pieces[row.textFirst ? 2 : 1];
        EXPECT_NE(textCell.find(row.text), std::string::npos);
        EXPECT_NE(labelCell.find(row.label), std::string::npos);
        EXPECT_EQ(labelCell.find(row.text), std::string::npos);
    }
}

TEST_F(DataBuilderTest, RenderedHitsLandInTheTextCell) {
    struct Row {
        const char* name;
        std::uint32_t record;
        std::u16string keywords;
        SearchScope scope;
        int anchors;
        int markedCell;  // 1 or 2
    };
    const Row rows[] = {
        {"odd page, second cell", 0, u"玄黃", SearchScope::kWhole, 1, 2},
        {"even page, first cell", 1, u"暑往", SearchScope::kWhole, 1, 1},
        {"even page, annotation", 1, u"秋收", SearchScope::kNotes, 1, 1},
        {"annotation under main-text scope", 1, u"秋收", SearchScope::kMain, 0, 0},
        {"label characters are never marked", 0, u"卷一", SearchScope::kWhole, 0, 0},
        {"last page of the store", 5, u"時習", SearchScope::kMain, 1, 2},
    };
    CFileList store;
    ASSERT_TRUE(store.Open(m_dir.path(), "Index"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ByteString out;
        EXPECT_EQ(store.RenderHitPage(row.record, out, row.keywords, row.scope), row.anchors);
        auto pieces = Pieces(out);
        for (int cell = 1; cell <= 2; ++cell) {
            const bool marked = pieces[static_cast<std::size_t>(cell)].find(kHighlightOpen) != std::string::npos;
            EXPECT_EQ(marked, cell == row.markedCell) << "cell " << cell;
        }
    }
}

TEST_F(DataBuilderTest, PositionsRunOnWithinTextAndJumpAtEveryBoundary) {
    PostingReader whole(m_dir.path(), "");
    auto at = [&](char32_t c, std::uint32_t doc) {
        auto positions = whole.Positions(c, doc);
        EXPECT_EQ(positions.size(), 1u) << "character U+" << std::hex << static_cast<unsigned>(c);
        return positions.empty() ? 0u : positions[0];
    };
    constexpr std::uint32_t kApart = 0;  // a boundary lies between
    struct Row {
        const char* name;
        char32_t before, after;
        std::uint32_t doc;
        std::uint32_t step;
    };
    const Row rows[] = {
        {"within main text", U'天', U'地', 0, 1},
        {"within an annotation", U'注', U'文', 0, 1},
        {"main text to annotation", U'黃', U'注', 0, kApart},
        {"annotation to main text", U'文', U'宇', 0, kApart},
        {"paragraph break", U'宙', U'日', 0, kApart},
        {"a space is shown as U+3000 and takes one position", U'月', U'盈', 0, 2},
        {"\"<\" is shown as U+FF1C and takes one position", U'盈', U'昃', 0, 2},
        {"paragraph that starts with an annotation", U'往', U'秋', 1, kApart},
        {"two main runs join", U'騰', U'致', 4, 1},
        {"annotation at the end of a paragraph", U'之', U'體', 5, kApart},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::uint32_t a = at(row.before, row.doc);
        const std::uint32_t b = at(row.after, row.doc);
        if (row.step == kApart) {
            EXPECT_GT(b, a + 600) << "a query could bridge the boundary";
        } else {
            EXPECT_EQ(b, a + row.step);
        }
    }
    EXPECT_EQ(at(U'天', 0), 0u);
    EXPECT_EQ(whole.Positions(0xFF1C, 0).size(), 1u);  // the shown "<" is indexed
    EXPECT_EQ(m_stats.characters, 43u);  // the control character and its paragraph are gone
}

TEST_F(DataBuilderTest, EachScopeHoldsItsOwnRunsWithSharedPositions) {
    PostingReader whole(m_dir.path(), "");
    PostingReader main(m_dir.path(), "_content");
    PostingReader notes(m_dir.path(), "_desc");
    struct Row {
        char32_t c;
        bool inMain, inNotes;
    };
    const Row rows[] = {
        {U'天', true, false}, {U'注', false, true}, {U'秋', false, true},
        {U'律', false, true}, {U'閏', true, false}, {U'體', true, true},
        {U'頁', false, false},  // label only
        {U'卷', false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<unsigned>(row.c));
        const std::int32_t slot = CharSlot(row.c);
        Postings all = whole.List(slot);
        Postings fromMain = main.List(slot);
        Postings fromNotes = notes.List(slot);
        EXPECT_EQ(main.HasList(slot), row.inMain);
        EXPECT_EQ(notes.HasList(slot), row.inNotes);
        EXPECT_EQ(whole.HasList(slot), row.inMain || row.inNotes);
        // The whole-text list is the union of the two scoped lists.
        Postings merged = fromMain;
        for (auto& [doc, positions] : fromNotes) {
            auto& into = merged[doc];
            into.insert(into.end(), positions.begin(), positions.end());
            std::sort(into.begin(), into.end());
        }
        EXPECT_EQ(all, merged);
    }
    EXPECT_EQ(notes.List(CharSlot(U'體')), (Postings{{5, {1004}}}));
    EXPECT_EQ(main.List(CharSlot(U'體')), (Postings{{2, {0}}}));
}

TEST_F(DataBuilderTest, VariantSlotsMergeTheirMembers) {
    EXPECT_EQ(ReadFile(m_dir / "yitizi.txt"), "9AD4,4F53\n4F53,8EB0\n");
    struct Row {
        const char* suffix;
        std::int32_t slot;
        Postings expected;
    };
    // 體 at 2:0 and 5:1004 (annotation), 体 at 2:1000, 躰 at 2:1001.
    const Row rows[] = {
        {"", kFirstVariantSlot, {{2, {0, 1000}}, {5, {1004}}}},
        {"", kFirstVariantSlot + 1, {{2, {1000, 1001}}}},
        {"_content", kFirstVariantSlot, {{2, {0, 1000}}}},
        {"_desc", kFirstVariantSlot, {{5, {1004}}}},
        {"_desc", kFirstVariantSlot + 1, {}},
        {"", kFirstVariantSlot + 2, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.suffix) + " slot " + std::to_string(row.slot));
        PostingReader reader(m_dir.path(), row.suffix);
        EXPECT_EQ(reader.List(row.slot), row.expected);
    }
}

// A second opinion: a brute-force reading of the decoded whole-text postings, with
// the engine's tests for "?" and "*", must find a term on exactly the pages on
// which the page rendering marks it.
TEST_F(DataBuilderTest, SearchAndHighlightingAgree) {
    PostingReader whole(m_dir.path(), "");
    struct Unit {
        std::int32_t slot;
        int q;
    };
    auto parse = [](const std::u16string& term, int& n) {
        std::vector<std::vector<Unit>> segments(1);
        n = 0;
        for (char16_t c : term) {
            if (c == u'*') {
                segments.emplace_back();
            } else if (c == u'?') {
                ++n;
            } else {
                if (CharSlot(c) != kNotIndexed) segments.back().push_back({CharSlot(c), n});
                ++n;
            }
        }
        return segments;
    };
    // Start positions p of segment seg on doc at which all its characters stand.
    auto starts = [&](const std::vector<Unit>& seg, std::uint32_t doc) {
        std::vector<std::int64_t> result;
        auto first = whole.List(seg[0].slot)[doc];
        for (std::uint32_t p : first) {
            bool all = true;
            for (const Unit& u : seg) {
                auto positions = whole.List(u.slot)[doc];
                all &= std::count(positions.begin(), positions.end(), p + (u.q - seg[0].q)) > 0;
            }
            if (all) result.push_back(p);
        }
        return result;
    };
    auto found = [&](const std::u16string& term, std::uint32_t doc) {
        int n = 0;
        auto segments = parse(term, n);
        EXPECT_LE(segments.size(), 2u);
        auto s1 = starts(segments[0], doc);
        if (segments.size() == 1 || s1.empty()) return !s1.empty();
        const Unit last = segments[0].back();
        const Unit firstOfNext = segments[1].front();
        for (std::int64_t s : s1) {
            const std::int64_t pLast = s + (last.q - segments[0][0].q);
            for (std::int64_t t : starts(segments[1], doc)) {
                const std::int64_t distance = (t - pLast) - (firstOfNext.q - last.q);
                if (distance >= 0 && distance <= 300) return true;
            }
        }
        return false;
    };
    const std::u16string terms[] = {
        u"玄黃", u"黃注", u"注文", u"文宇", u"宙日", u"月?盈", u"盈?昃", u"天*宙", u"日*昃",
        u"往秋", u"往*秋", u"暑往", u"閏*陽", u"歲律", u"律呂", u"騰致", u"學*之", u"之體", u"體",
    };
    CFileList store;
    ASSERT_TRUE(store.Open(m_dir.path(), "Index"));
    int hits = 0;
    for (const auto& term : terms) {
        for (std::uint32_t doc = 0; doc < kPageCount; ++doc) {
            SCOPED_TRACE("record " + std::to_string(doc) + ", term " + Utf8(term));
            ByteString out;
            const bool marked = store.RenderHitPage(doc, out, term, SearchScope::kWhole) > 0;
            EXPECT_EQ(found(term, doc), marked);
            hits += marked;
        }
    }
    EXPECT_GT(hits, 8);  // the table is not all misses
}

TEST(DataBuilderTextTest, TextIsStoredAsItIsIndexed) {
    struct Row {
        const char* name;
        std::string run;
        std::string shown;
        std::uint64_t characters;
    };
    const Row rows[] = {
        {"markup characters become full-width forms", "甲<b>&乙", "甲＜b＞＆乙", 6},
        {"ASCII white space becomes U+3000", "甲 \t\n乙", "甲　　　乙", 5},
        {"control characters are dropped", "甲\x01\x7f乙", "甲乙", 2},
        {"ASCII letters stay and take a position", "A甲", "A甲", 2},
        {"a supplementary character is one position", "\xF0\xA0\x80\x80甲", "\xF0\xA0\x80\x80甲", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Corpus corpus;
        corpus.categories.push_back({"類", {{"書", {{"巻", 2, {Page("題<&>", {{{Main(row.run)}}})}}}}}});
        TempDir dir;
        CDataBuilder builder;
        BuildStats stats;
        ASSERT_TRUE(builder.Build(corpus, dir.path(), stats)) << builder.GetReason();
        EXPECT_EQ(stats.characters, row.characters);
        CFileList store;
        ASSERT_TRUE(store.Open(dir.path(), "Index"));
        ByteString page;
        ASSERT_TRUE(store.ReadPage(0, page));
        auto pieces = Pieces(page);
        EXPECT_EQ(pieces[0], "題＜＆＞");
        EXPECT_NE(pieces[1].find("<p>" + row.shown + "</p>"), std::string::npos) << pieces[1];
        PostingReader whole(dir.path(), "");
        EXPECT_EQ(whole.Positions(U'甲', 0).size(), 1u);
    }
}

TEST(DataBuilderTextTest, LongListsContinueThroughChainedBlocks) {
    // Two characters alternating 5,000 times: each list needs a second block.
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "甲乙";
    Corpus corpus;
    CorpusVolume volume{"巻", 1, {Page("一", {{{Main(text)}}}), Page("二", {{{Main("乙")}}})}};
    corpus.categories.push_back({"類", {{"書", {volume}}}});
    TempDir dir;
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(corpus, dir.path(), stats)) << builder.GetReason();
    PostingReader whole(dir.path(), "");
    Postings first = whole.List(CharSlot(U'甲'));
    Postings second = whole.List(CharSlot(U'乙'));
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(first[0].size(), 5000u);
    ASSERT_EQ(second.size(), 2u);
    ASSERT_EQ(second[0].size(), 5000u);
    for (std::uint32_t i = 0; i < 5000; ++i) {
        ASSERT_EQ(first[0][i], 2 * i);
        ASSERT_EQ(second[0][i], 2 * i + 1);
    }
    EXPECT_EQ(second[1], std::vector<std::uint32_t>{0});
}

TEST(DataBuilderTextTest, EntriesOfEveryLengthSurviveTheWayListsGrow) {
    // Entries of 1 to 7 and of 256 to 316 positions (a count of two non-zero
    // bytes) over 600 pages put entry starts, counts and positions across the
    // places where a list's memory or block ends.
    const std::uint32_t kPages = 600;
    std::vector<CorpusPage> pages;
    std::vector<std::uint32_t> counts;
    for (std::uint32_t p = 0; p < kPages; ++p) {
        counts.push_back(p % 3 == 0 ? 256 + p % 61 : 1 + (p * 5 + p / 7) % 7);
        std::string text;
        for (std::uint32_t i = 0; i < counts.back(); ++i) text += "甲乙";
        pages.push_back(Page("題", {{{Main(text)}}}));
    }
    Corpus corpus;
    corpus.categories.push_back({"類", {{"書", {{"巻", 1, std::move(pages)}}}}});
    TempDir dir;
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(corpus, dir.path(), stats)) << builder.GetReason();
    PostingReader whole(dir.path(), "");
    const Postings list = whole.List(CharSlot(U'甲'));
    ASSERT_EQ(list.size(), kPages);
    for (std::uint32_t p = 0; p < kPages; ++p) {
        ASSERT_EQ(list.at(p).size(), counts[p]) << "page " << p;
        for (std::uint32_t i = 0; i < counts[p]; ++i) ASSERT_EQ(list.at(p)[i], 2 * i) << "page " << p;
    }
}

TEST(DataBuilderStatsTest, StatsAndProgressCoverEveryPageAndFile) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
    CDataBuilder builder([&](std::uint32_t done, std::uint32_t total) { calls.emplace_back(done, total); });
    TempDir dir;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(SampleCorpus(), dir.path(), stats)) << builder.GetReason();
    ASSERT_EQ(calls.size(), kPageCount + 1);
    for (std::uint32_t i = 0; i <= kPageCount; ++i) EXPECT_EQ(calls[i], std::make_pair(i, kPageCount));
    EXPECT_EQ(stats.pages, kPageCount);
    EXPECT_EQ(stats.volumes, 3u);
    EXPECT_EQ(stats.catalogRecords, 7u);
    EXPECT_LT(stats.indexedCharacters, stats.characters);  // spaces are not indexed
    const char* names[] = {"Index-fl.h",          "Index-fl.cnt",         "Index-idx.h",
                           "Index-idx.m",         "Index_content-idx.h",  "Index_content-idx.m",
                           "Index_desc-idx.h",    "Index_desc-idx.m",     "vyn.dir",
                           "yitizi.txt"};
    ASSERT_EQ(stats.files.size(), std::size(names));
    for (std::size_t i = 0; i < stats.files.size(); ++i) {
        EXPECT_EQ(stats.files[i].name, names[i]);
        EXPECT_EQ(stats.files[i].bytes, fs::file_size(dir / names[i]));
    }
    EXPECT_EQ(stats.files[8].bytes, 7u * 216);
}

TEST(DataBuilderStatsTest, ThrowingProgressCallbackIsReported) {
    CDataBuilder builder([](std::uint32_t done, std::uint32_t) {
        if (done == 2) throw std::runtime_error("cancelled");
    });
    TempDir dir;
    BuildStats stats;
    stats.pages = 42;
    EXPECT_FALSE(builder.Build(SampleCorpus(), dir.path(), stats));
    EXPECT_NE(builder.GetReason().find("cancelled"), std::string::npos);
    EXPECT_EQ(stats.pages, 42u);
}

Corpus OneVolume(std::vector<CorpusPage> pages) {
    Corpus corpus;
    corpus.categories.push_back({"類", {{"書", {{"巻", 1, std::move(pages)}}}}});
    return corpus;
}

TEST(DataBuilderErrorTest, UnbuildableCorporaAreRefusedWithAReason) {
    struct Row {
        const char* name;
        std::function<void(Corpus&)> change;
        const char* reason;  // a piece of the expected reason; empty for success
    };
    auto manyVolumes = [](std::size_t count) {
        return [count](Corpus& c) {
            auto& volumes = c.categories[0].books[0].volumes;
            const CorpusVolume copy = volumes[0];
            volumes.resize(count, copy);
        };
    };
    auto repeated = [](const std::string& piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) text += piece;
        return text;
    };
    const Row rows[] = {
        {"name of 99 units fits", [](Corpus& c) { c.categories[0].name = std::u16string(99, u'名'); }, ""},
        {"name of 100 units", [](Corpus& c) { c.categories[0].name = std::u16string(100, u'名'); },
         "longer than 99"},
        {"name of 50 supplementary characters",
         [&](Corpus& c) { c.categories[0].books[0].name = repeated("\xF0\xA0\x80\x80", 50); }, "longer than 99"},
        {"name holding U+0000", [](Corpus& c) { c.categories[0].name = std::u16string(u"a\0b", 3); }, "U+0000"},
        {"name that is not UTF-8", [](Corpus& c) { c.categories[0].books[0].name = std::string("\xC0\xAF"); },
         "not valid UTF-8"},
        {"9,999 catalog records fit", manyVolumes(9997), ""},
        {"10,000 catalog records", manyVolumes(9998), "9999 records"},
        {"volume without pages", [](Corpus& c) { c.categories[0].books[0].volumes[0].pages.clear(); },
         "holds no pages"},
        {"book without volumes", [](Corpus& c) { c.categories[0].books[0].volumes.clear(); }, "holds no pages"},
        {"category without books", [](Corpus& c) { c.categories.push_back({"空", {}}); }, "holds no pages"},
        {"page text that is not UTF-8",
         [](Corpus& c) { c.categories[0].books[0].volumes[0].pages[0].paragraphs[0].runs[0].text = "\xE4\xB8"; },
         "not valid UTF-8"},
        {"page title that is not UTF-8",
         [](Corpus& c) { c.categories[0].books[0].volumes[0].pages[0].title = "\xED\xA0\x80"; }, "not valid UTF-8"},
        {"page with more positions than the index holds",
         [](Corpus& c) {
             auto& paragraphs = c.categories[0].books[0].volumes[0].pages[0].paragraphs;
             paragraphs.assign(kMaxPosition / kBoundaryGap + 2, Paragraph{{Main("甲")}});
         },
         "too long"},
        {"character too frequent for one index entry",
         [&](Corpus& c) {
             c.categories[0].books[0].volumes[0].pages[0].paragraphs = {{{Main(repeated("甲", 70000))}}};
         },
         "too often"},
        {"empty variant group", [](Corpus& c) { c.variantGroups = {{0x4E00}, {}}; }, "variant group 1 is empty"},
        {"11,935 variant groups fit",
         [](Corpus& c) { c.variantGroups.assign(kMaxVariantGroups, {0x4E00}); }, ""},
        {"11,936 variant groups",
         [](Corpus& c) { c.variantGroups.assign(kMaxVariantGroups + 1, {0x4E00}); },
         "11935 variant groups"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Corpus corpus = OneVolume({Page("題", {{{Main("甲乙")}}})});
        row.change(corpus);
        TempDir dir;
        CDataBuilder builder;
        BuildStats stats;
        stats.pages = 42;
        const bool built = builder.Build(corpus, dir.path(), stats);
        if (*row.reason == '\0') {
            EXPECT_TRUE(built) << builder.GetReason();
            continue;
        }
        EXPECT_FALSE(built);
        EXPECT_NE(builder.GetReason().find(row.reason), std::string::npos) << builder.GetReason();
        EXPECT_EQ(stats.pages, 42u);
    }
}

TEST(DataBuilderErrorTest, FirstFaultingPageIsNamedWhereverItIsFound) {
    // Volume 甲 holds pages 1 and 2, volume 乙 pages 5 to 8. A character too
    // frequent for one entry is found by the indexing, other faults by the layout.
    auto frequentPage = [] {
        std::string text;
        for (int i = 0; i < 70000; ++i) text += "甲";
        return Page("頻", {{{Main(text)}}});
    };
    const CorpusPage malformed = Page("壞", {{{Main("\xE4\xB8")}}});
    struct Row {
        const char* name;
        std::vector<std::pair<std::size_t, CorpusPage>> faults;  // page index over the corpus
        const char* reason;
    };
    const Row rows[] = {
        {"too frequent on the last page", {{5, frequentPage()}},
         "page 8 of volume 乙: a character occurs too often"},
        {"too frequent on a middle page of the second volume", {{3, frequentPage()}},
         "page 6 of volume 乙: a character occurs too often"},
        {"too frequent before malformed text", {{2, frequentPage()}, {4, malformed}},
         "page 5 of volume 乙: a character occurs too often"},
        {"malformed text before a too frequent character", {{1, malformed}, {4, frequentPage()}},
         "page 2 of volume 甲: the page text is not valid UTF-8"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<CorpusPage> pages(6, Page("題", {{{Main("甲乙")}}}));
        for (const auto& [index, page] : row.faults) pages[index] = page;
        Corpus corpus;
        CorpusVolume first{"甲", 1, {pages.begin(), pages.begin() + 2}};
        CorpusVolume second{"乙", 5, {pages.begin() + 2, pages.end()}};
        corpus.categories.push_back({"類", {{"書", {first, second}}}});
        TempDir dir;
        CDataBuilder builder;
        BuildStats stats;
        EXPECT_FALSE(builder.Build(corpus, dir.path(), stats));
        EXPECT_EQ(builder.GetReason().rfind(row.reason, 0), 0u) << builder.GetReason();
    }
}

TEST(DataBuilderErrorTest, UnwritableFolderIsReported) {
    struct Row {
        const char* name;
        const char* missing;  // a folder name to build into that does not exist
        const char* blocker;  // a folder created where a file must go
        const char* reason;
    };
    const Row rows[] = {
        {"missing folder", "absent", nullptr, "not a folder"},
        {"catalog path taken by a folder", nullptr, "vyn.dir", "cannot write"},
        {"posting file path taken by a folder", nullptr, "Index_desc-idx.m", "cannot write"},
        {"store path taken by a folder", nullptr, "Index-fl.cnt", "cannot write"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const fs::path folder = row.missing ? dir / row.missing : dir.path();
        if (row.blocker) fs::create_directory(folder / row.blocker);
        CDataBuilder builder;
        BuildStats stats;
        EXPECT_FALSE(builder.Build(OneVolume({Page("題", {{{Main("甲")}}})}), folder, stats));
        EXPECT_NE(builder.GetReason().find(row.reason), std::string::npos) << builder.GetReason();
    }
}

}  // namespace
}  // namespace vyn
