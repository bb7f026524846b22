// The entry-table evaluation against the plain cursor walk: the same returns, pages,
// counts, order and totals for every query, combination mode and scope, on intact
// and on damaged index files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "builder/databuilder.h"
#include "builder/postingwriter.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/fixture.h"
#include "index/index.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using Pages = std::vector<std::uint32_t>;

// 國/国 and 龍/竜/龙 form variant groups; 甲 is frequent enough for lists of many
// blocks; "，" is indexed, "。" only takes a position.
const std::u32string kAlphabet = U"甲甲甲甲乙乙丙丁戊國国龍竜龙天地，";
const std::u32string kPunctuation = U"。";

std::string RandomText(std::mt19937& rng, int minLength, int maxLength) {
    std::string text;
    const int length = std::uniform_int_distribution<int>(minLength, maxLength)(rng);
    for (int i = 0; i < length; ++i) {
        const bool stop = std::uniform_int_distribution<int>(0, 11)(rng) == 0;
        const std::u32string& from = stop ? kPunctuation : kAlphabet;
        AppendUtf8(text, from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)]);
    }
    return text;
}

// Pages of main text and annotations over several volumes, one page whose 甲 entry
// holds more position data than a block, and one with paragraphs far apart.
void BuildRandomCorpus(const fs::path& folder, std::mt19937& rng) {
    Corpus corpus;
    corpus.variantGroups = {{0x570B, 0x56FD}, {0x9F8D, 0x7ADC, 0x9F99}};
    CorpusCategory category{"類", {}};
    for (int b = 0; b < 2; ++b) {
        CorpusBook book{"書" + std::to_string(b), {}};
        for (int v = 0; v < 4; ++v) {
            CorpusVolume volume{"卷" + std::to_string(v), static_cast<std::uint16_t>(1 + v), {}};
            for (int p = 0; p < 120; ++p) {
                CorpusPage page{"label", {}};
                const int paragraphs = std::uniform_int_distribution<int>(1, 4)(rng);
                for (int k = 0; k < paragraphs; ++k) {
                    Paragraph paragraph;
                    paragraph.runs.push_back({TextRun::kMain, RandomText(rng, 1, 60)});
                    if (std::uniform_int_distribution<int>(0, 2)(rng) == 0) {
                        paragraph.runs.push_back({TextRun::kNote, RandomText(rng, 1, 20)});
                        paragraph.runs.push_back({TextRun::kMain, RandomText(rng, 0, 10)});
                    }
                    page.paragraphs.push_back(std::move(paragraph));
                }
                if (b == 1 && v == 2 && p == 7) {
                    std::string longRun;
                    for (int i = 0; i < 5000; ++i) longRun += i % 7 == 6 ? "乙" : "甲";
                    page.paragraphs.push_back(Paragraph{{{TextRun::kMain, longRun}}});
                }
                if (p % 20 == 11) {
                    // Characters around the largest gap a "*" bridges.
                    std::string gap = "甲";
                    const int stops = std::uniform_int_distribution<int>(296, 303)(rng);
                    for (int i = 0; i < stops; ++i) gap += "。";
                    gap += p % 40 == 11 ? "乙" : "乙丙";
                    page.paragraphs.push_back(Paragraph{{{TextRun::kMain, gap}}});
                }
                if (b == 0 && v == 1 && p == 3) {
                    for (int i = 0; i < 40; ++i) {
                        page.paragraphs.push_back(Paragraph{{{TextRun::kMain, "甲乙"}}});
                    }
                }
                volume.pages.push_back(std::move(page));
            }
            book.volumes.push_back(std::move(volume));
        }
        category.books.push_back(std::move(book));
    }
    corpus.categories.push_back(std::move(category));
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(corpus, folder, stats)) << builder.GetReason();
}

// One call on the index and what it left.
struct Outcome {
    long long returned = 0;
    std::u16string query;  // as the call left it
    Pages pages, counts;
    std::uint32_t total = 0;
    bool operator==(const Outcome&) const = default;
};

using Step = std::function<Outcome(CIndex&)>;

std::uint32_t GetU32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

Outcome Observe(const CIndex& index, long long returned, std::u16string query = {}) {
    return {returned, std::move(query), index.GetHitPages(), index.GetHitCounts(),
            index.GetHitTotal()};
}

std::u16string RandomWord(std::mt19937& rng) {
    // Mostly corpus characters; sometimes wildcards, stars, a character of no list
    // (子), an unindexed one or an extension B character.
    static const std::u16string kUnits = u"甲甲甲乙乙丙丁戊國国龍竜天地，。??？**子";
    std::u16string word;
    const int length = std::uniform_int_distribution<int>(1, 5)(rng);
    for (int i = 0; i < length; ++i) {
        if (std::uniform_int_distribution<int>(0, 60)(rng) == 0) {
            word += u"\U00020001";
            continue;
        }
        word += kUnits[std::uniform_int_distribution<std::size_t>(0, kUnits.size() - 1)(rng)];
    }
    return word;
}

std::u16string RandomQuery(std::mt19937& rng) {
    std::u16string query;
    const int words = std::uniform_int_distribution<int>(1, 3)(rng);
    for (int w = 0; w < words; ++w) {
        if (w > 0) query += std::uniform_int_distribution<int>(0, 3)(rng) == 0 ? u"  " : u" ";
        query += RandomWord(rng);
    }
    if (std::uniform_int_distribution<int>(0, 40)(rng) == 0) query += u"a";  // invalid
    return query;
}

// A sequence of calls: it starts from an empty result, then mixes "and" and "or"
// queries with single words in every combination mode, counted or not.
std::vector<Step> RandomSequence(std::mt19937& rng) {
    std::vector<Step> steps;
    steps.push_back([](CIndex& index) {
        return Observe(index, index.SearchWord(u"", CIndex::CombineReplace, true, false));
    });
    const int length = std::uniform_int_distribution<int>(1, 5)(rng);
    for (int s = 0; s < length; ++s) {
        const bool count = std::uniform_int_distribution<int>(0, 3)(rng) != 0;
        const bool variants = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
        switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
            case 0:
            case 1: {
                const bool all = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
                steps.push_back([query = RandomQuery(rng), all, count, variants](CIndex& index) {
                    std::u16string text = query;
                    const int returned = all ? index.SearchAllWords(text, count, variants)
                                             : index.SearchAnyWord(text, count, variants);
                    return Observe(index, returned, text);
                });
                break;
            }
            default: {
                const auto mode =
                    static_cast<CIndex::CombineMode>(std::uniform_int_distribution<int>(0, 2)(rng));
                steps.push_back([word = RandomWord(rng), mode, count, variants](CIndex& index) {
                    return Observe(index, index.SearchWord(word, mode, count, variants));
                });
            }
        }
    }
    return steps;
}

// Runs steps with the plain walk and with the tables and expects the same outcome
// after every step. The tables are kept from earlier sequences, as in use.
void ExpectSameOutcomes(CIndex& index, const std::vector<Step>& steps) {
    std::vector<Outcome> plain, tables;
    index.SetPlainEvaluation(true);
    for (const Step& step : steps) plain.push_back(step(index));
    index.SetPlainEvaluation(false);
    for (const Step& step : steps) tables.push_back(step(index));
    ASSERT_EQ(plain.size(), tables.size());
    for (std::size_t s = 0; s < steps.size(); ++s) {
        SCOPED_TRACE(testing::Message() << "step " << s);
        EXPECT_EQ(tables[s].returned, plain[s].returned);
        EXPECT_EQ(tables[s].query, plain[s].query);
        EXPECT_EQ(tables[s].pages, plain[s].pages);
        EXPECT_EQ(tables[s].counts, plain[s].counts);
        EXPECT_EQ(tables[s].total, plain[s].total);
    }
}

class Evaluation : public testing::Test {
protected:
    void SetUp() override {
        BuildRandomCorpus(m_dir.path(), m_rng);
        m_header = test::ReadFile(m_dir / "Index-idx.h");
        m_postings = test::ReadFile(m_dir / "Index-idx.m");
    }

    test::TempDir m_dir;
    std::mt19937 m_rng{97531};
    std::string m_header, m_postings;
};

TEST_F(Evaluation, TablesAgreeWithThePlainWalkInEveryScope) {
    // The 甲 list must span blocks for the tables' in-block and gathered spans.
    const std::uint32_t kou = GetU32(m_header, 4 * CharSlot(U'甲'));
    ASSERT_NE(GetU32(m_header, kHeaderTablesSize + 4 * kou), kNoBlock);
    for (IndexScope scope : {IndexScope::kWhole, IndexScope::kNotes, IndexScope::kMain}) {
        SCOPED_TRACE(testing::Message() << "scope " << static_cast<int>(scope));
        CIndex index;
        ASSERT_TRUE(index.Open(m_dir.path(), "Index", scope));
        for (int q = 0; q < 250; ++q) {
            SCOPED_TRACE(testing::Message() << "sequence " << q);
            ExpectSameOutcomes(index, RandomSequence(m_rng));
            if (HasFailure()) return;
        }
    }
}

// "And" queries are evaluated all words at once; the results, counts and returns must
// be those of searching the words one after the other.
TEST_F(Evaluation, AndOfSeveralWordsAgreesWithTheWordByWordSearch) {
    const char16_t* kQueries[] = {
        u"甲 乙",      u"甲 乙 丙",   u"丙 甲乙",   u"甲乙 丙 甲", u"甲 甲",   u"國 龍",
        u"甲 子",      u"子 甲",      u"甲 。 乙",  u"甲? ?乙",    u"甲*乙 丙", u"甲 乙*丙 丁",
        u"戊 丁 丙 乙", u"天 地 ，",   u"甲 乙丙丁", u"，",        u"甲乙 國",
    };
    CIndex index;
    ASSERT_TRUE(index.Open(m_dir.path(), "Index", IndexScope::kWhole));
    for (std::size_t q = 0; q < std::size(kQueries); ++q) {
        const char16_t* query = kQueries[q];
        for (bool count : {false, true}) {
            for (bool variants : {false, true}) {
                SCOPED_TRACE(testing::Message() << "query " << q << " count " << count
                                                << " variants " << variants);
                ExpectSameOutcomes(index, {[query, count, variants](CIndex& in) {
                                       std::u16string text = query;
                                       const int returned = in.SearchAllWords(text, count, variants);
                                       return Observe(in, returned, text);
                                   }});
            }
        }
    }
}

TEST_F(Evaluation, TablesAgreeWithThePlainWalkOnDamagedFiles) {
    const std::size_t kouAt = 4 * static_cast<std::size_t>(CharSlot(U'甲'));
    const std::uint32_t kouFirst = GetU32(m_header, kouAt);
    struct Case {
        const char* name;
        void (*damage)(std::string& header, std::string& postings, std::uint32_t kouFirst,
                       std::size_t kouAt);
    };
    const Case cases[] = {
        {"ChainEndsEarly", [](std::string& h, std::string&, std::uint32_t b,
                              std::size_t) { PutU32(h, kHeaderTablesSize + 4 * b, kNoBlock); }},
        {"ChainPointsPastTheFile",
         [](std::string& h, std::string&, std::uint32_t b, std::size_t) {
             PutU32(h, kHeaderTablesSize + 4 * b, 9000000);
         }},
        {"ChainLoopsToItself", [](std::string& h, std::string&, std::uint32_t b,
                                  std::size_t) { PutU32(h, kHeaderTablesSize + 4 * b, b); }},
        {"ChainIntoAnotherList", [](std::string& h, std::string&, std::uint32_t b,
                                    std::size_t) { PutU32(h, kHeaderTablesSize + 4 * b, 0); }},
        {"LastDocumentNeverReached",
         [](std::string& h, std::string&, std::uint32_t, std::size_t at) {
             PutU32(h, kLastDocTableOffset + at, 0xFFFFFFF0);
         }},
        {"LastDocumentEarly", [](std::string& h, std::string&, std::uint32_t,
                                 std::size_t at) { PutU32(h, kLastDocTableOffset + at, 30); }},
        {"FirstBlockPastTheFile", [](std::string& h, std::string&, std::uint32_t,
                                     std::size_t at) { PutU32(h, at, 5000000); }},
        {"PositionCountPastTheEnd",
         [](std::string&, std::string& p, std::uint32_t b, std::size_t) {
             p[kPostingBlockSize * b + 1] = '\xFF';
             p[kPostingBlockSize * b + 2] = '\xFF';
         }},
        {"DocumentDeltaLarge", [](std::string&, std::string& p, std::uint32_t b,
                                  std::size_t) { p[kPostingBlockSize * b] = '\xFF'; }},
        {"PositionDataZeroed",
         [](std::string&, std::string& p, std::uint32_t b, std::size_t) {
             std::memset(p.data() + kPostingBlockSize * b + 100, 0, 300);
         }},
        {"PositionDataAllHigh",
         [](std::string&, std::string& p, std::uint32_t b, std::size_t) {
             std::memset(p.data() + kPostingBlockSize * b + 200, 0xC3, 500);
         }},
        {"PostingsCutInTheList",
         [](std::string&, std::string& p, std::uint32_t b, std::size_t) {
             p.resize(kPostingBlockSize * std::size_t{b} + 2500);
         }},
        {"PostingsCutAfterTheFirstBlock",
         [](std::string&, std::string& p, std::uint32_t b, std::size_t) {
             p.resize(kPostingBlockSize * (std::size_t{b} + 1) + 700);
         }},
        {"HeaderChainCut", [](std::string& h, std::string&, std::uint32_t b,
                              std::size_t) { h.resize(kHeaderTablesSize + 4 * b + 2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string header = m_header, postings = m_postings;
        c.damage(header, postings, kouFirst, kouAt);
        test::WriteFile(m_dir / "Index-idx.h", header);
        test::WriteFile(m_dir / "Index-idx.m", postings);
        CIndex index;
        ASSERT_TRUE(index.Open(m_dir.path(), "Index", IndexScope::kWhole));
        for (int q = 0; q < 40; ++q) ExpectSameOutcomes(index, RandomSequence(m_rng));
        if (HasFailure()) return;
    }

    // Random bit flips and cuts anywhere in the postings and in the tables of the
    // alphabet's slots.
    std::vector<std::size_t> slotsAt;
    for (char32_t c : std::u32string_view(U"甲乙丙丁戊國国龍竜龙天地，")) {
        slotsAt.push_back(4 * static_cast<std::size_t>(CharSlot(c)));
    }
    for (std::size_t g = 0; g < 2; ++g) slotsAt.push_back(4 * (kFirstVariantSlot + g));
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        std::string header = m_header, postings = m_postings;
        const std::size_t chainBytes = header.size() - kHeaderTablesSize;
        const int flips = std::uniform_int_distribution<int>(1, 8)(m_rng);
        for (int f = 0; f < flips; ++f) {
            const auto bit = static_cast<char>(1 << (m_rng() % 8));
            const std::size_t slotAt = slotsAt[m_rng() % slotsAt.size()];
            switch (m_rng() % 4) {
                case 0:
                    postings[m_rng() % postings.size()] ^= bit;
                    break;
                case 1:
                    header[slotAt + m_rng() % 4] ^= bit;
                    break;
                case 2:
                    header[kLastDocTableOffset + slotAt + m_rng() % 4] ^= bit;
                    break;
                default:
                    header[kHeaderTablesSize + m_rng() % chainBytes] ^= bit;
            }
        }
        if (m_rng() % 4 == 0) postings.resize(1 + m_rng() % postings.size());
        if (m_rng() % 6 == 0) header.resize(kHeaderTablesSize + m_rng() % chainBytes);
        test::WriteFile(m_dir / "Index-idx.h", header);
        test::WriteFile(m_dir / "Index-idx.m", postings);
        CIndex index;
        ASSERT_TRUE(index.Open(m_dir.path(), "Index", IndexScope::kWhole));
        for (int q = 0; q < 15; ++q) ExpectSameOutcomes(index, RandomSequence(m_rng));
        if (HasFailure()) return;
    }
}

TEST(EvaluationEdges, ValuesAtTheTopOfThePositionRangeAgree) {
    // Positions climb by the largest packed number up to 2^32 - 1, so aligned values
    // reach the largest value, and wrap past it for words with a trailing "?".
    test::Corpus corpus;
    // Page d: 甲 at 1023 - d + i * 4,194,303 up to 2^32 - 1 - d, 乙 one after each
    // but the last.
    for (std::uint32_t doc : {0u, 1u, 2u}) {
        for (std::uint32_t i = 0; i <= 1024; ++i) {
            const std::uint32_t position = 1023 - doc + i * kMaxPacked;
            corpus.Add(doc, position, U'甲');
            if (i < 1024) corpus.Add(doc, position + 1, U'乙');
        }
    }
    corpus.AddPage(3, u"甲乙甲乙");
    test::TempDir dir;
    ASSERT_TRUE(corpus.Write(dir.path()));
    CIndex index;
    ASSERT_TRUE(index.Open(dir.path(), "Index", IndexScope::kWhole));
    for (const char16_t* word : {u"甲", u"甲?", u"甲??", u"?甲", u"乙甲", u"甲乙", u"甲?乙",
                                 u"甲*乙", u"乙*甲", u"甲甲", u"甲 乙"}) {
        SCOPED_TRACE(testing::Message() << std::u16string_view(word).size());
        for (bool all : {true, false}) {
            for (bool count : {true, false}) {
                ExpectSameOutcomes(index, {[=](CIndex& i) {
                                       std::u16string text = word;
                                       const int returned =
                                           all ? i.SearchAllWords(text, count, false)
                                               : i.SearchAnyWord(text, count, false);
                                       return Observe(i, returned, text);
                                   }});
            }
        }
    }
    // The single character counts every position up to the largest value.
    std::u16string query = u"甲";
    index.SearchAllWords(query, true, false);
    EXPECT_EQ(index.GetHitPages(), (Pages{0, 1, 2, 3}));
    EXPECT_EQ(index.GetHitCounts(), (Pages{1025, 1025, 1025, 2}));
}

// Index files written byte by byte: for each character, entries of raw position
// deltas, the list on consecutive chained blocks of its own.
struct RawEntry {
    std::uint32_t docDelta;
    std::vector<std::uint32_t> positionDeltas;
};

void WriteRawIndex(const fs::path& folder,
                   const std::vector<std::pair<char32_t, std::vector<RawEntry>>>& lists) {
    std::string header(kHeaderTablesSize, '\0');
    for (std::size_t slot = 0; slot < kSlotTableEntries; ++slot) PutU32(header, 4 * slot, kNoBlock);
    std::string postings;
    std::vector<std::uint32_t> chain;
    for (const auto& [character, entries] : lists) {
        ByteString list;
        std::uint32_t doc = 0;
        for (const RawEntry& entry : entries) {
            ByteString positions;
            for (std::uint32_t delta : entry.positionDeltas) {
                CPostingWriter::PutPacked(positions, delta);
            }
            CPostingWriter::PutPacked(list, entry.docDelta);
            list.push_back(static_cast<std::uint8_t>(positions.size() & 0xFF));
            list.push_back(static_cast<std::uint8_t>(positions.size() >> 8));
            list.insert(list.end(), positions.begin(), positions.end());
            doc += entry.docDelta;
        }
        const auto slot = static_cast<std::size_t>(CharSlot(character));
        PutU32(header, 4 * slot, static_cast<std::uint32_t>(chain.size()));
        PutU32(header, kLastDocTableOffset + 4 * slot, doc);
        const std::size_t blocks = (list.size() + kPostingBlockSize - 1) / kPostingBlockSize;
        for (std::size_t b = 0; b < blocks; ++b) {
            chain.push_back(b + 1 < blocks ? static_cast<std::uint32_t>(chain.size() + 1)
                                           : kNoBlock);
        }
        postings.append(list.begin(), list.end());
        postings.resize(kPostingBlockSize * chain.size(), '\0');
    }
    for (std::uint32_t next : chain) {
        header.append(4, '\0');
        PutU32(header, header.size() - 4, next);
    }
    test::WriteFile(folder / "Index-idx.h", header);
    test::WriteFile(folder / "Index-idx.m", postings);
}

std::vector<std::uint32_t> Climb(std::uint32_t first, std::uint32_t after) {
    std::vector<std::uint32_t> deltas{first};
    for (int i = 0; i < 1024; ++i) deltas.push_back(kMaxPacked);
    deltas.push_back(after);
    return deltas;
}

TEST(EvaluationEdges, PositionsWrappingPastTheTopAgree) {
    // Page 0: 甲 climbs to 2^32 - 2 and 乙 to 2^32 - 1, so 甲乙 holds at the largest
    // aligned value; a further delta of 4 wraps both to where 甲乙 would hold again.
    // Page 1: the same for 甲乙丙 with 丙 at 2^32 - 1.
    test::Corpus store;
    store.AddPage(0, u"甲乙");
    store.AddPage(1, u"甲乙丙");
    test::TempDir dir;
    ASSERT_TRUE(store.Write(dir.path()));
    WriteRawIndex(dir.path(), {{U'甲', {{0, Climb(1022, 4)}, {1, Climb(1021, 5)}}},
                               {U'乙', {{0, Climb(1023, 4)}, {1, Climb(1022, 5)}}},
                               {U'丙', {{1, Climb(1023, 5)}}}});
    CIndex index;
    ASSERT_TRUE(index.Open(dir.path(), "Index", IndexScope::kWhole));
    for (const char16_t* word : {u"甲乙", u"甲乙丙", u"甲", u"甲?", u"乙??", u"甲*乙", u"甲 乙"}) {
        SCOPED_TRACE(testing::Message() << std::u16string_view(word).size());
        ExpectSameOutcomes(index, {[=](CIndex& i) {
                               std::u16string text = word;
                               return Observe(i, i.SearchAllWords(text, true, false), text);
                           }});
    }
    // Every step of the climb is a match; the search stops at the largest value, so
    // the wrapped match is not counted.
    std::u16string query = u"甲乙";
    index.SearchAllWords(query, true, false);
    EXPECT_EQ(index.GetHitPages(), (Pages{0, 1}));
    EXPECT_EQ(index.GetHitCounts().front(), 1025u);
}

}  // namespace
}  // namespace vyn
