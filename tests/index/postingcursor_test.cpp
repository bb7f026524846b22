#include "index/postingcursor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <vector>

#include "builder/postingwriter.h"
#include "encoding/bytestring.h"

namespace vyn {
namespace {

struct Entry {
    std::uint32_t docDelta;
    std::vector<std::uint32_t> positionDeltas;
};

ByteString Encode(const std::vector<Entry>& entries) {
    ByteString stream;
    for (const Entry& entry : entries) {
        CPostingWriter::PutPacked(stream, entry.docDelta);
        ByteString positions;
        for (std::uint32_t delta : entry.positionDeltas)
            CPostingWriter::PutPacked(positions, delta);
        stream.push_back(static_cast<std::uint8_t>(positions.size() & 0xFF));
        stream.push_back(static_cast<std::uint8_t>(positions.size() >> 8));
        stream.insert(stream.end(), positions.begin(), positions.end());
    }
    return stream;
}

// Posting bytes of `blocks` blocks (unused bytes 0xEE) with stream laid out over the
// blocks named by order, chained in that order.
struct Layout {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> chain;

    // Requires: the layout stays as it is while cursors are used.
    CPostingCursor Cursor(std::uint32_t firstBlock, std::uint32_t lastDoc) {
        return CPostingCursor(PostingView{bytes, chain, FindChainCycle(chain, firstBlock)},
                              firstBlock, lastDoc);
    }
};

Layout Lay(const ByteString& stream, const std::vector<std::uint32_t>& order,
           std::uint32_t blocks) {
    Layout layout;
    layout.bytes.assign(std::size_t{blocks} * kPostingBlockSize, 0xEE);
    layout.chain.assign(blocks, kNoBlock);
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i + 1 < order.size()) layout.chain[order[i]] = order[i + 1];
        for (std::size_t j = 0; j < kPostingBlockSize; ++j) {
            std::size_t at = i * kPostingBlockSize + j;
            if (at >= stream.size()) break;
            layout.bytes[std::size_t{order[i]} * kPostingBlockSize + j] = stream[at];
        }
    }
    return layout;
}

std::vector<std::uint32_t> Ones(std::size_t count) { return std::vector<std::uint32_t>(count, 1); }

std::vector<std::uint32_t> Concat(std::vector<std::uint32_t> a,
                                  const std::vector<std::uint32_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::uint32_t Sum(const std::vector<std::uint32_t>& values) {
    std::uint32_t sum = 0;
    for (auto v : values) sum += v;
    return sum;
}

// The first entry has 1 + 2 + (its position bytes) head and data bytes, so its length
// places the second entry's bytes against the end of the first block (byte 4,096).
struct StraddleCase {
    const char* name;
    Entry first;
    Entry second;
};

const StraddleCase kStraddleCases[] = {
    // second head at 4,095: its 3-byte delta has one byte in the first block
    {"ThreeByteDocDeltaStartsAtLastByte", {0, Ones(4092)}, {0x12345, {5, 7}}},
    {"TwoByteDocDeltaStartsAtLastByte", {0, Ones(4092)}, {300, {5}}},
    // delta at 4,094, count at 4,095 and 4,096
    {"PositionCountStraddles", {0, Ones(4091)}, {9, Ones(300)}},
    // first entry's last position is a 3-byte number starting at 4,095
    {"ThreeBytePositionStartsAtLastByte", {0, Concat(Ones(4092), {0x30201})}, {4, {2}}},
    {"ThreeBytePositionEndsInNextBlock", {0, Concat(Ones(4091), {0x30201})}, {4, {2}}},
    {"TwoBytePositionStartsAtLastByte", {0, Concat(Ones(4092), {0x1234})}, {4, {2}}},
    // first entry ends exactly at 4,096; the second head is all in the next block
    {"EntryEndsAtBlockEnd", {0, Ones(4093)}, {0x4000, {0x4000, 1}}},
};

class PostingCursorStraddle : public testing::TestWithParam<StraddleCase> {};

TEST_P(PostingCursorStraddle, ReadsAcrossChainedBlocks) {
    const StraddleCase& c = GetParam();
    const ByteString stream = Encode({c.first, c.second});
    ASSERT_GT(stream.size(), kPostingBlockSize);
    // Blocks out of file order, with a foreign block between them.
    Layout layout = Lay(stream, {3, 1}, 4);
    const std::uint32_t lastDoc = c.first.docDelta + c.second.docDelta;

    // Reading every position of both entries.
    CPostingCursor cursor = layout.Cursor(3, lastDoc);
    ASSERT_TRUE(cursor.ReadEntryHead());
    EXPECT_EQ(cursor.Document(), c.first.docDelta);
    EXPECT_FALSE(cursor.AtLastEntry());
    cursor.SetPosition(0);
    std::uint32_t expected = 0;
    for (std::uint32_t delta : c.first.positionDeltas) {
        ASSERT_TRUE(cursor.ReadPosition());
        expected += delta;
    }
    EXPECT_EQ(cursor.Position(), expected);
    EXPECT_EQ(cursor.PositionBytesLeft(), 0u);
    EXPECT_FALSE(cursor.ReadPosition());
    ASSERT_TRUE(cursor.SkipEntry());
    ASSERT_TRUE(cursor.ReadEntryHead());
    EXPECT_EQ(cursor.Document(), lastDoc);
    EXPECT_TRUE(cursor.AtLastEntry());
    cursor.SetPosition(10);
    for (std::size_t i = 0; i < c.second.positionDeltas.size(); ++i)
        ASSERT_TRUE(cursor.ReadPosition());
    EXPECT_EQ(cursor.Position(), 10 + Sum(c.second.positionDeltas));

    // Skipping the first entry after one position.
    CPostingCursor skipper = layout.Cursor(3, lastDoc);
    ASSERT_TRUE(skipper.ReadEntryHead());
    ASSERT_TRUE(skipper.ReadPosition());
    ASSERT_TRUE(skipper.SkipEntry());
    ASSERT_TRUE(skipper.ReadEntryHead());
    EXPECT_EQ(skipper.Document(), lastDoc);
    skipper.SetPosition(0);
    ASSERT_TRUE(skipper.ReadPosition());
    EXPECT_EQ(skipper.Position(), c.second.positionDeltas[0]);
    EXPECT_FALSE(skipper.Exhausted());
}

INSTANTIATE_TEST_SUITE_P(Boundaries, PostingCursorStraddle, testing::ValuesIn(kStraddleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PostingCursor, SkipEndingAtBlockEndStaysInBlockUntilNextRead) {
    const ByteString stream = Encode({{0, Ones(4093)}, {1, {1}}});
    Layout layout = Lay(stream, {0, 2}, 3);
    CPostingCursor cursor = layout.Cursor(0, 1);
    ASSERT_TRUE(cursor.ReadEntryHead());
    ASSERT_TRUE(cursor.SkipEntry());
    EXPECT_EQ(cursor.Block(), 0u);
    EXPECT_EQ(cursor.Offset(), kPostingBlockSize);
    ASSERT_TRUE(cursor.ReadEntryHead());
    EXPECT_EQ(cursor.Block(), 2u);
    EXPECT_EQ(cursor.Document(), 1u);
}

TEST(PostingCursor, LongSkipCrossesSeveralBlocks) {
    // One entry of 65,535 position bytes spans 17 blocks; the next entry follows it.
    std::vector<std::uint32_t> positions(kMaxPositionBytes / 3, 0x10000);
    const ByteString stream = Encode({{0, positions}, {2, {6}}});
    std::vector<std::uint32_t> order;
    for (std::uint32_t b = 17; b-- > 0;) order.push_back(b);  // chained backwards
    Layout layout = Lay(stream, order, 17);
    CPostingCursor cursor = layout.Cursor(16, 2);
    ASSERT_TRUE(cursor.ReadEntryHead());
    EXPECT_EQ(cursor.PositionBytesLeft(), kMaxPositionBytes);
    ASSERT_TRUE(cursor.SkipEntry());
    ASSERT_TRUE(cursor.ReadEntryHead());
    EXPECT_EQ(cursor.Document(), 2u);
    cursor.SetPosition(0);
    ASSERT_TRUE(cursor.ReadPosition());
    EXPECT_EQ(cursor.Position(), 6u);
}

// Reads heads (and every position) until the list ends or fails; the number of
// steps is bounded so that a cursor that never stops fails the test instead.
std::vector<std::uint32_t> WalkDocuments(CPostingCursor cursor, bool& finished) {
    std::vector<std::uint32_t> docs;
    finished = false;
    for (int step = 0; step < 1000000; ++step) {
        if (!cursor.ReadEntryHead()) {
            finished = true;
            return docs;
        }
        docs.push_back(cursor.Document());
        while (cursor.ReadPosition()) {
        }
        if (cursor.AtLastEntry() || !cursor.SkipEntry()) {
            finished = true;
            return docs;
        }
    }
    return docs;
}

TEST(PostingCursor, DamagedListsEndWithoutLeavingTheBytes) {
    // A list of 2,000 entries over several blocks, every document listed.
    std::vector<Entry> entries;
    for (std::uint32_t i = 0; i < 2000; ++i) entries.push_back({i == 0 ? 0u : 1u, {i % 200, 3}});
    const ByteString stream = Encode(entries);
    const std::uint32_t used =
        static_cast<std::uint32_t>((stream.size() + kPostingBlockSize - 1) / kPostingBlockSize);
    std::vector<std::uint32_t> order;
    for (std::uint32_t b = 0; b < used; ++b) order.push_back(b);
    const Layout good = Lay(stream, order, used);

    struct Case {
        const char* name;
        std::uint32_t firstBlock;
        std::uint32_t lastDoc;
        void (*damage)(Layout&);
        bool complete;  // all 2,000 documents still read
    };
    const Case cases[] = {
        {"Intact", 0, 1999, [](Layout&) {}, true},
        {"ChainEndsEarly", 0, 1999, [](Layout& l) { l.chain[0] = kNoBlock; }, false},
        {"ChainPointsPastFile", 0, 1999, [](Layout& l) { l.chain[0] = 1000; }, false},
        {"ChainLoopsToItself", 0, 1999, [](Layout& l) { l.chain[1] = 1; }, false},
        {"ChainLoopsToStart", 0, 1999,
         [](Layout& l) {
             l.chain.back() = 0;
             l.chain[1] = 0;
         },
         false},
        {"ChainTableMissing", 0, 1999, [](Layout& l) { l.chain.clear(); }, false},
        {"LastBlockCut", 0, 1999,
         [](Layout& l) {
             l.bytes.erase(l.bytes.end() - std::min<std::ptrdiff_t>(3000, std::ssize(l.bytes)),
                           l.bytes.end());
         },
         false},
        {"FirstBlockPastFile", 5000, 1999, [](Layout&) {}, false},
        {"LastDocNeverReached", 0, 0xFFFFFFF0u, [](Layout&) {}, true},
        // What the chain says after a list's last block is never used.
        {"EndEntryPointsBackToStart", 0, 1999, [](Layout& l) { l.chain.back() = 0; }, true},
        {"PositionCountPastEnd", 0, 1999,
         [](Layout& l) {
             l.bytes[1] = 0xFF;
             l.bytes[2] = 0xFF;
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Layout layout = good;
        c.damage(layout);
        bool finished = false;
        const auto docs = WalkDocuments(layout.Cursor(c.firstBlock, c.lastDoc), finished);
        EXPECT_TRUE(finished);
        if (c.complete) {
            ASSERT_GE(docs.size(), 2000u);
            for (std::uint32_t i = 0; i < 2000; ++i) ASSERT_EQ(docs[i], i);
        } else {
            // A list cut short keeps what was read before the cut, and nothing else.
            EXPECT_LT(docs.size(), 2000u);
            for (std::size_t i = 0; i < docs.size(); ++i) ASSERT_EQ(docs[i], i);
        }
    }
}

// The walk from first, block by block, until it ends or repeats a block: the first
// repeated block and the number of blocks from it until it comes again.
ChainCycle WalkUntilRepeat(const std::vector<std::uint32_t>& chain, std::uint32_t first) {
    std::vector<std::uint32_t> path;
    std::uint32_t block = first;
    while (block != kNoBlock) {
        const auto seen = std::find(path.begin(), path.end(), block);
        if (seen != path.end()) return {block, static_cast<std::uint32_t>(path.end() - seen)};
        path.push_back(block);
        block = block < chain.size() ? chain[block] : kNoBlock;
    }
    return {};
}

TEST(PostingCursor, FindChainCycle) {
    const std::vector<std::uint32_t> chain = {1, 2, 0, 0, kNoBlock, 5, 99, 8, 7, 7};
    struct Case {
        std::uint32_t first, entry, length;
    } const cases[] = {
        {0, 0, 3}, {2, 2, 3}, {3, 0, 3},  {4, kNoBlock, 0}, {5, 5, 1},
        {6, kNoBlock, 0}, {9, 7, 2}, {99, kNoBlock, 0}, {kNoBlock, kNoBlock, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "first block " << c.first);
        const ChainCycle cycle = FindChainCycle(chain, c.first);
        EXPECT_EQ(cycle.entry, c.entry);
        EXPECT_EQ(cycle.length, c.length);
    }
    EXPECT_EQ(FindChainCycle({}, 0).entry, kNoBlock);

    // Random chains with long tails and cycles of every length, from every block.
    std::mt19937 rng(4242);
    for (int round = 0; round < 200; ++round) {
        const std::uint32_t size = std::uniform_int_distribution<std::uint32_t>(1, 300)(rng);
        std::vector<std::uint32_t> random(size);
        for (std::uint32_t b = 0; b < size; ++b) {
            const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
            random[b] = kind == 0   ? kNoBlock
                        : kind == 1 ? size + 5
                        : kind < 6  ? (b + 1) % size
                                    : std::uniform_int_distribution<std::uint32_t>(0, size - 1)(rng);
        }
        for (std::uint32_t first = 0; first < size; ++first) {
            const ChainCycle expected = WalkUntilRepeat(random, first);
            const ChainCycle cycle = FindChainCycle(random, first);
            ASSERT_EQ(cycle.entry, expected.entry) << "round " << round << " first " << first;
            ASSERT_EQ(cycle.length, expected.length) << "round " << round << " first " << first;
        }
    }
}

TEST(PostingCursor, PositionNumberLongerThanItsCountEndsTheEntry) {
    // The count says 1 byte, but the packed number claims 3; the head of the next
    // entry must still be read where the count puts it.
    ByteString stream = {0x00, 0x01, 0x00, 0xC1, 0x05, 0x01, 0x00, 0x07};
    Layout layout = Lay(stream, {0}, 1);
    CPostingCursor cursor = layout.Cursor(0, 5);
    ASSERT_TRUE(cursor.ReadEntryHead());
    cursor.SetPosition(0);
    EXPECT_FALSE(cursor.ReadPosition());
    EXPECT_EQ(cursor.PositionBytesLeft(), 0u);
    EXPECT_FALSE(cursor.Exhausted());
    ASSERT_TRUE(cursor.SkipEntry());
    ASSERT_TRUE(cursor.ReadEntryHead());
    EXPECT_EQ(cursor.Document(), 5u);
    EXPECT_EQ(cursor.PositionBytesLeft(), 1u);
}

TEST(PostingCursor, EmptyPostingBytesExhaustAtOnce) {
    CPostingCursor cursor(PostingView{}, 0, 0);
    EXPECT_TRUE(cursor.Exhausted());
    EXPECT_FALSE(cursor.ReadEntryHead());
    EXPECT_FALSE(cursor.SkipEntry());
}

}  // namespace
}  // namespace vyn
