#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "builder/postingwriter.h"
#include "encoding/charslot.h"
#include "index/fixture.h"
#include "index/index.h"
#include "textstore/folderlock.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

using test::Corpus;
using Pages = std::vector<std::uint32_t>;
namespace fs = std::filesystem;

constexpr std::string_view kOpenFailed = "データを開けませんでした。";

Pages Find(CIndex& index, std::u16string query) {
    index.SearchAllWords(query, true, false);
    return index.GetHitPages();
}

void Resize(const fs::path& path, std::uintmax_t size) { fs::resize_file(path, size); }

std::uint32_t ReadU32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

TEST(IndexOpen, OpensScopeFilesAndPassesPagesThrough) {
    test::TempDir dir;
    Corpus whole, notes, main;
    whole.AddPage(0, u"甲");
    whole.AddPage(2, u"乙丙");
    notes.AddPage(1, u"丁");
    main.AddPage(2, u"乙");
    ASSERT_TRUE(whole.Write(dir.path()));  // also the store, shared by all scopes
    ASSERT_TRUE(notes.WriteIndexOnly(dir.path(), "Index_desc"));
    ASSERT_TRUE(main.WriteIndexOnly(dir.path(), "Index_content"));

    struct Case {
        IndexScope scope;
        std::u16string present;
        Pages pages;
        std::u16string absent;
    };
    const Case cases[] = {
        {IndexScope::kWhole, u"甲", {0}, u"丁"},
        {IndexScope::kNotes, u"丁", {1}, u"甲"},
        {IndexScope::kMain, u"乙", {2}, u"丙"},
        {static_cast<IndexScope>(7), u"甲", {0}, u"丁"},  // any other value: whole text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.scope));
        test::RecordingSink sink;
        CIndex index(&sink);
        ASSERT_TRUE(index.Open(dir.path(), "Index", c.scope));
        EXPECT_TRUE(sink.messages.empty());
        EXPECT_EQ(Find(index, c.present), c.pages);
        EXPECT_EQ(Find(index, c.absent), Pages{});

        EXPECT_EQ(index.GetHeaderNumber(), 77u);
        std::int64_t record = -1;
        EXPECT_TRUE(index.FindPage(0, 2, record));
        EXPECT_EQ(record, 2);
        ByteString page;
        std::uint32_t length = 0;
        ASSERT_TRUE(index.GetPageLength(2, length));
        ASSERT_TRUE(index.ReadPage(2, page));
        EXPECT_EQ(std::string(AsView(page)), test::PageHtml(u"乙丙"));
        EXPECT_EQ(length, page.size());
        ByteString rendered;
        EXPECT_EQ(index.RenderHitPage(2, rendered, u"丙", SearchScope::kWhole, false), 1);
    }
}

// The search scope that marks a text and the index that holds it are numbered apart.
TEST(IndexOpen, EachSearchScopeOpensTheIndexOfItsText) {
    const struct {
        SearchScope search;
        IndexScope index;
        std::string_view suffix;
    } cases[] = {
        {SearchScope::kWhole, IndexScope::kWhole, ""},
        {SearchScope::kMain, IndexScope::kMain, "_content"},
        {SearchScope::kNotes, IndexScope::kNotes, "_desc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.search));
        EXPECT_EQ(IndexScopeFor(c.search), c.index);
        EXPECT_EQ(IndexFileSuffix(c.index), c.suffix);
    }
}

TEST(IndexOpen, CharacterSlotsReachTheirLists) {
    struct Case {
        const char* name;
        std::uint32_t codePoint;
        std::int32_t slot;  // kNotIndexed: dropped from queries
    };
    const Case cases[] = {
        {"FirstUnified", 0x3400, 0},
        {"LastUnified", 0x9FFF, 27647},
        {"CompatibilityTakesSecondRow", 0xF900, 27904},
        {"LastCompatibility", 0xFAFF, 28415},
        {"SmallA", 0x3041, kNotIndexed},
        {"FirstKana", 0x3042, 75776},
        {"LastKana", 0x30F6, 75956},
        {"AfterKana", 0x30F7, kNotIndexed},
        {"PrivateUse", 0xE000, 75957},
        {"FullWidthA", 0xFF21, 0xFF21 + 0x48B5},
        {"FirstExtensionB", 0x20000, 32512},
        {"LastExtensionB", 0x2A6DF, 75231},
        {"ExtensionC", 0x2A6E0, kNotIndexed},
        {"CompatibilitySupplement", 0x2F800, 75232},
        {"Hangul", 0xAC00, kNotIndexed},
    };
    // Each indexed character gets a list on its own page under the expected slot.
    CPostingWriter writer;
    for (std::uint32_t i = 0; i < std::size(cases); ++i) {
        if (cases[i].slot != kNotIndexed) {
            ASSERT_TRUE(writer.Add(cases[i].slot, i, 0));
        }
    }
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(writer.Write(dir.path(), "Index", error));
    Corpus store;
    store.AddPage(0, u"");
    ASSERT_TRUE(store.Write(dir.path(), "_unused"));
    CIndex index;
    ASSERT_TRUE(index.Open(dir.path(), "Index", IndexScope::kWhole));
    for (std::uint32_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CharSlot(c.codePoint), c.slot);
        std::u16string query;
        if (c.codePoint > 0xFFFF) {
            query += static_cast<char16_t>(0xD800 + ((c.codePoint - 0x10000) >> 10));
            query += static_cast<char16_t>(0xDC00 + ((c.codePoint - 0x10000) & 0x3FF));
        } else {
            query += static_cast<char16_t>(c.codePoint);
        }
        EXPECT_EQ(Find(index, query), c.slot == kNotIndexed ? Pages{} : Pages{i});
    }
}

class IndexFiles : public testing::Test {
protected:
    void SetUp() override {
        // 甲 on every even page: a list over several blocks. 乙 fits one block.
        for (std::uint32_t doc = 0; doc < 6000; doc += 2) m_corpus.Add(doc, doc % 1000, U'甲');
        m_corpus.AddPage(1, u"乙丙");
        m_corpus.AddPage(3, u"乙");
        ASSERT_TRUE(m_corpus.Write(m_dir.path()));
        for (std::uint32_t doc = 0; doc < 6000; doc += 2) m_allKou.push_back(doc);
        m_header = test::ReadFile(Header());
        m_postings = test::ReadFile(Postings());
        ASSERT_GT(m_postings.size(), 4u * kPostingBlockSize);
    }
    fs::path Header() const { return m_dir / "Index-idx.h"; }
    fs::path Postings() const { return m_dir / "Index-idx.m"; }
    std::size_t FirstBlockAt(char16_t c) const {
        return 4u * static_cast<std::size_t>(CharSlot(c));
    }
    std::size_t LastDocAt(char16_t c) const { return kLastDocTableOffset + FirstBlockAt(c); }
    std::size_t ChainAt(std::uint32_t block) const { return kHeaderTablesSize + 4u * block; }

    // Opens; when it succeeds, searches must end and give a prefix of the true pages.
    void ExpectCleanOutcome(bool mayOpen) {
        test::RecordingSink sink;
        CIndex index(&sink);
        if (!index.Open(m_dir.path(), "Index", IndexScope::kWhole)) {
            EXPECT_EQ(sink.messages, std::vector<std::string>{std::string(kOpenFailed)});
            EXPECT_FALSE(index.IsOpen());
            return;
        }
        EXPECT_TRUE(mayOpen);
        const Pages kou = Find(index, u"甲");
        ASSERT_LE(kou.size(), m_allKou.size());
        EXPECT_TRUE(std::equal(kou.begin(), kou.end(), m_allKou.begin()));
    }

    test::TempDir m_dir;
    Corpus m_corpus;
    Pages m_allKou;
    std::string m_header, m_postings;
};

TEST_F(IndexFiles, HeaderSizes) {
    struct Case {
        const char* name;
        std::uintmax_t size;
        bool opens;
    };
    const Case cases[] = {
        {"Empty", 0, false},
        {"OneShort", kHeaderTablesSize - 1, false},
        {"HalfTables", kHeaderTablesSize / 2, false},
        {"NoChain", kHeaderTablesSize, true},
        {"ChainPartOfAnEntry", kHeaderTablesSize + 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(Header(), m_header);
        Resize(Header(), c.size);
        test::RecordingSink sink;
        CIndex index(&sink);
        EXPECT_EQ(index.Open(m_dir.path(), "Index", IndexScope::kWhole), c.opens);
        EXPECT_EQ(index.IsOpen(), c.opens);
        if (!c.opens) {
            EXPECT_EQ(sink.messages, std::vector<std::string>{std::string(kOpenFailed)});
            EXPECT_EQ(Find(index, u"乙"), Pages{});
            continue;
        }
        EXPECT_TRUE(sink.messages.empty());
        // Without a chain only lists that fit their first block read whole.
        EXPECT_EQ(Find(index, u"乙"), (Pages{1, 3}));
        const Pages kou = Find(index, u"甲");
        EXPECT_GT(kou.size(), 0u);
        EXPECT_LT(kou.size(), m_allKou.size());
        EXPECT_TRUE(std::equal(kou.begin(), kou.end(), m_allKou.begin()));
    }
}

TEST_F(IndexFiles, MissingOrEmptyFilesFailWithTheMessage) {
    const fs::path files[] = {Header(), Postings(), m_dir / "Index-fl.h", m_dir / "Index-fl.cnt"};
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string bytes = test::ReadFile(file);
        // The store accepts an empty content file; no index file may be empty.
        const bool mayBeEmpty = file.extension() == ".cnt";
        for (bool remove : {true, false}) {
            if (!remove && mayBeEmpty) continue;
            if (remove)
                fs::remove(file);
            else
                Resize(file, 0);
            test::RecordingSink sink;
            CIndex index(&sink);
            EXPECT_FALSE(index.Open(m_dir.path(), "Index", IndexScope::kWhole));
            EXPECT_EQ(sink.messages, std::vector<std::string>{std::string(kOpenFailed)});
            EXPECT_FALSE(index.IsOpen());
            test::WriteFile(file, bytes);
        }
    }
    CIndex index;
    EXPECT_TRUE(index.Open(m_dir.path(), "Index", IndexScope::kWhole));
}

TEST_F(IndexFiles, ReadersShareTheFilesAndWaitForABuildToFinish) {
    test::RecordingSink sink;
    CIndex first, second(&sink);
    ASSERT_TRUE(first.Open(m_dir.path(), "Index", IndexScope::kWhole));
    ASSERT_TRUE(second.Open(m_dir.path(), "Index", IndexScope::kWhole));
    EXPECT_EQ(Find(first, u"乙"), (Pages{1, 3}));
    EXPECT_EQ(Find(second, u"乙"), (Pages{1, 3}));
    first.Close();
    first.Close();  // harmless twice
    second.Close();

    // While a build moves files in, a reader opening the folder gives up after its
    // wait with the usual message, and opens once the build is done.
    CFolderLock build;
    ASSERT_TRUE(build.LockExclusive(m_dir.path(), std::chrono::milliseconds(0)));
    EXPECT_FALSE(second.Open(m_dir.path(), "Index", IndexScope::kWhole));
    EXPECT_EQ(sink.messages, std::vector<std::string>{std::string(kOpenFailed)});
    build.Unlock();
    EXPECT_TRUE(second.Open(m_dir.path(), "Index", IndexScope::kWhole));
    EXPECT_EQ(Find(second, u"乙"), (Pages{1, 3}));
}

TEST_F(IndexFiles, CloseKeepsResultAndOpenEmptiesPages) {
    CIndex index;
    ASSERT_TRUE(index.Open(m_dir.path(), "Index", IndexScope::kWhole));
    ASSERT_EQ(Find(index, u"乙"), (Pages{1, 3}));
    index.Close();
    EXPECT_EQ(index.GetHitPages(), (Pages{1, 3}));
    EXPECT_EQ(index.GetHitTotal(), 2u);
    EXPECT_EQ(Find(index, u"乙"), Pages{});  // closed: nothing found
    ASSERT_EQ(index.SearchWord(u"乙", CIndex::CombineUnion, false, false), 0u);
    ASSERT_TRUE(index.Open(m_dir.path(), "Index", IndexScope::kWhole));
    EXPECT_TRUE(index.GetHitPages().empty());
    EXPECT_EQ(index.GetHitTotal(), 0u);
}

TEST_F(IndexFiles, DamagedTablesEndListsEarly) {
    const std::uint32_t kouFirst = ReadU32(m_header, FirstBlockAt(u'甲'));
    struct Case {
        const char* name;
        void (*damage)(std::string& header, std::string& postings, std::uint32_t kouFirst);
        bool kouFound;  // some pages of 甲 are still found
    };
    const Case cases[] = {
        {"FirstBlockPastEnd",
         [](std::string& h, std::string&, std::uint32_t) {
             PutU32(h, 4 * CharSlot(u'甲'), 100000);
         },
         false},
        {"FirstBlockHuge",
         [](std::string& h, std::string&, std::uint32_t) {
             PutU32(h, 4 * CharSlot(u'甲'), 0xFFFFFFFE);
         },
         false},
        {"ChainEntryPastEnd",
         [](std::string& h, std::string&, std::uint32_t b) {
             PutU32(h, kHeaderTablesSize + 4 * b, 5000000);
         },
         true},
        {"ChainEntryEndsEarly",
         [](std::string& h, std::string&, std::uint32_t b) {
             PutU32(h, kHeaderTablesSize + 4 * b, kNoBlock);
         },
         true},
        {"ChainLoopsToItself",
         [](std::string& h, std::string&, std::uint32_t b) {
             PutU32(h, kHeaderTablesSize + 4 * b, b);
         },
         true},
        {"LastDocUnreachable",
         [](std::string& h, std::string&, std::uint32_t) {
             PutU32(h, kLastDocTableOffset + 4 * CharSlot(u'甲'), 0xFFFFFFFF);
         },
         true},
        {"PositionCountPastEnd",
         [](std::string&, std::string& p, std::uint32_t b) {
             p[kPostingBlockSize * b + 1] = '\xFF';
             p[kPostingBlockSize * b + 2] = '\xFF';
         },
         true},
        {"PostingsCutMidBlock",
         [](std::string&, std::string& p, std::uint32_t b) {
             p.resize(kPostingBlockSize * (b + 1) + 1000);
         },
         true},
        {"HeaderChainCut",
         [](std::string& h, std::string&, std::uint32_t b) {
             h.resize(kHeaderTablesSize + 4 * b + 2);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string header = m_header, postings = m_postings;
        c.damage(header, postings, kouFirst);
        test::WriteFile(Header(), header);
        test::WriteFile(Postings(), postings);
        CIndex index;
        ASSERT_TRUE(index.Open(m_dir.path(), "Index", IndexScope::kWhole));
        const Pages kou = Find(index, u"甲");
        EXPECT_EQ(!kou.empty(), c.kouFound);
        EXPECT_LE(kou.size(), m_allKou.size());
        EXPECT_TRUE(std::equal(kou.begin(), kou.end(), m_allKou.begin()));
        std::u16string or_query = u"乙 甲乙 甲?甲 甲*甲";
        index.SearchAnyWord(or_query, true, false);
    }
}

TEST_F(IndexFiles, RandomDamageNeverCrashesOrHangs) {
    std::mt19937 random(4242);
    const std::size_t kouSlotAt = FirstBlockAt(u'甲');
    const std::size_t otsuSlotAt = FirstBlockAt(u'乙');
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        std::string header = m_header, postings = m_postings;
        const std::size_t chainBytes = header.size() - kHeaderTablesSize;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int f = 0; f < flips; ++f) {
            const auto bit = static_cast<char>(1 << (random() % 8));
            switch (random() % 5) {
                case 0:
                    postings[random() % postings.size()] ^= bit;
                    break;
                case 1:
                    header[kouSlotAt + random() % 4] ^= bit;
                    break;
                case 2:
                    header[otsuSlotAt + random() % 4] ^= bit;
                    break;
                case 3:
                    header[kHeaderTablesSize + random() % chainBytes] ^= bit;
                    break;
                default:
                    header[kLastDocTableOffset + kouSlotAt + random() % 4] ^= bit;
                    break;
            }
        }
        if (random() % 4 == 0) postings.resize(random() % postings.size());
        if (random() % 6 == 0) header.resize(kHeaderTablesSize + random() % chainBytes);
        test::WriteFile(Header(), header);
        test::WriteFile(Postings(), postings);
        CIndex index;
        if (!index.Open(m_dir.path(), "Index", IndexScope::kWhole)) continue;  // an empty posting file
        for (std::u16string query : {u"甲", u"乙", u"甲乙 甲", u"甲*甲 乙?丙", u"甲甲*甲"}) {
            index.SearchAllWords(query, true, false);
            query = std::u16string(query.size(), u'?');
            index.SearchAnyWord(query, true, false);
        }
        const Pages& pages = index.GetHitPages();
        EXPECT_TRUE(std::adjacent_find(pages.begin(), pages.end(),
                                       [](auto a, auto b) { return a >= b; }) == pages.end());
    }
}

}  // namespace
}  // namespace vyn
