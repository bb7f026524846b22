// Search and highlighting agree: every page that a search finds renders with at
// least one anchor for the same keywords, part and variant setting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "builder/databuilder.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/index.h"
#include "support/tempdir.h"
#include "textstore/filelist.h"
#include "textstore/storeformat.h"

namespace vyn {
namespace {

// Characters of the random text; 國/国 and 龍/竜/龙 are variant groups. "，" is
// indexed, "。" takes a position without being indexed.
const std::vector<std::string> kAlphabet = {"天", "地", "玄", "黃", "宇", "宙", "洪", "荒",
                                            "國", "国", "龍", "竜", "龙", "日", "月"};
const std::vector<std::string> kPunctuation = {"，", "。"};

std::u16string ToU16(const std::string& utf8) {
    std::u16string out;
    Utf8ToUtf16(utf8, out);
    return out;
}

struct Fixture {
    test::TempDir dir;
    // Paragraph texts per page and part (0 main, 1 notes), for drawing words.
    std::vector<std::vector<std::string>> mainRuns, noteRuns;
};

void BuildRandomCorpus(Fixture& f, std::mt19937& rng) {
    auto pick = [&](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    };
    auto run = [&](int minLen, int maxLen) {
        std::string text;
        int n = std::uniform_int_distribution<int>(minLen, maxLen)(rng);
        for (int i = 0; i < n; ++i) {
            text += std::uniform_int_distribution<int>(0, 9)(rng) == 0 ? pick(kPunctuation)
                                                                       : pick(kAlphabet);
        }
        return text;
    };
    Corpus corpus;
    corpus.variantGroups = {{0x570B, 0x56FD}, {0x9F8D, 0x7ADC, 0x9F99}};
    CorpusCategory category{"類", {}};
    CorpusBook book{"書", {}};
    for (int v = 0; v < 3; ++v) {
        CorpusVolume volume{"卷" + std::to_string(v), static_cast<std::uint16_t>(1 + v), {}};
        for (int p = 0; p < 25; ++p) {
            CorpusPage page{"label", {}};
            std::vector<std::string> mains, notes;
            int paragraphs = std::uniform_int_distribution<int>(1, 4)(rng);
            for (int k = 0; k < paragraphs; ++k) {
                Paragraph paragraph;
                std::string text = run(3, 40);
                mains.push_back(text);
                paragraph.runs.push_back({TextRun::kMain, text});
                if (std::uniform_int_distribution<int>(0, 2)(rng) == 0) {
                    std::string note = run(2, 15);
                    notes.push_back(note);
                    paragraph.runs.push_back({TextRun::kNote, note});
                    std::string after = run(1, 10);
                    mains.push_back(after);
                    paragraph.runs.push_back({TextRun::kMain, after});
                }
                page.paragraphs.push_back(std::move(paragraph));
            }
            f.mainRuns.push_back(mains);
            f.noteRuns.push_back(notes);
            volume.pages.push_back(std::move(page));
        }
        book.volumes.push_back(std::move(volume));
    }
    category.books.push_back(std::move(book));
    corpus.categories.push_back(std::move(category));
    CDataBuilder builder;
    BuildStats stats;
    ASSERT_TRUE(builder.Build(corpus, f.dir.path(), stats)) << builder.GetReason();
}

// Splits UTF-8 text into characters.
std::vector<std::string> Characters(const std::string& text) {
    std::u32string cps;
    DecodeUtf8(text, cps);
    std::vector<std::string> out;
    for (char32_t c : cps) {
        std::string s;
        AppendUtf8(s, c);
        out.push_back(s);
    }
    return out;
}

// A word drawn from the text: 1 to 4 indexed characters in a row, plain, with one
// inner character replaced by "?", or two such pieces joined by "*".
std::string DrawWord(const std::vector<std::string>& runs, std::mt19937& rng) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        const auto chars =
            Characters(runs[std::uniform_int_distribution<std::size_t>(0, runs.size() - 1)(rng)]);
        if (chars.empty()) continue;
        std::size_t len = std::uniform_int_distribution<std::size_t>(1, 4)(rng);
        if (len > chars.size()) continue;
        std::size_t start = std::uniform_int_distribution<std::size_t>(0, chars.size() - len)(rng);
        std::vector<std::string> piece(chars.begin() + start, chars.begin() + start + len);
        bool clean = true;
        for (const auto& c : piece) clean &= c != "。";
        if (!clean) continue;
        int form = std::uniform_int_distribution<int>(0, 2)(rng);
        std::string word;
        if (form == 1 && len >= 3) {
            piece[std::uniform_int_distribution<std::size_t>(1, len - 2)(rng)] = "?";
        } else if (form == 2 && len >= 2) {
            std::size_t cut = std::uniform_int_distribution<std::size_t>(1, len - 1)(rng);
            piece.insert(piece.begin() + cut, "*");
            // Let the star span more than nothing: drop characters after the cut.
            if (piece.size() > 3 && piece[cut + 1] != "*") piece.erase(piece.begin() + cut + 1);
        }
        for (const auto& c : piece) word += c;
        return word;
    }
    return "天";
}

TEST(SearchAndHighlight, EveryPageFoundRendersWithAnAnchor) {
    std::mt19937 rng(20261210);
    Fixture f;
    BuildRandomCorpus(f, rng);
    if (HasFatalFailure()) return;

    const struct {
        SearchScope scope;
        const char* name;
    } parts[] = {{SearchScope::kWhole, "whole"}, {SearchScope::kMain, "main"},
                 {SearchScope::kNotes, "notes"}};
    int pagesChecked = 0;
    for (const auto& part : parts) {
        CIndex index;
        ASSERT_TRUE(index.Open(f.dir.path(), "Index", IndexScopeFor(part.scope))) << part.name;
        for (int q = 0; q < 400; ++q) {
            const auto& pageRuns = part.scope == SearchScope::kNotes ? f.noteRuns : f.mainRuns;
            std::size_t page =
                std::uniform_int_distribution<std::size_t>(0, pageRuns.size() - 1)(rng);
            if (pageRuns[page].empty()) continue;
            int words = std::uniform_int_distribution<int>(1, 2)(rng);
            std::string query;
            for (int w = 0; w < words; ++w) {
                if (w > 0) query += ' ';
                query += DrawWord(pageRuns[page], rng);
            }
            const bool any = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
            const bool variants = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
            std::u16string keywords = ToU16(query);
            std::u16string typed = keywords;
            if (any) {
                index.SearchAnyWord(typed, true, variants);
            } else {
                index.SearchAllWords(typed, true, variants);
            }
            SCOPED_TRACE(testing::Message()
                         << part.name << " query " << query << (any ? " or" : " and")
                         << (variants ? " variants" : ""));
            EXPECT_GT(index.GetHitTotal(), 0u) << "a word drawn from the text is found";
            for (std::uint32_t hit : index.GetHitPages()) {
                ByteString out;
                EXPECT_GT(index.RenderHitPage(hit, out, keywords, part.scope, variants), 0)
                    << "page " << hit;
                ++pagesChecked;
            }
        }
    }
    EXPECT_GT(pagesChecked, 1000);
}

// The text of a stored page's cells, cut into runs of indexed characters at every
// tag and every character without a slot.
std::vector<std::string> IndexedRuns(const ByteString& page) {
    std::vector<HTMLNode> nodes;
    CFileList::ParsePage(page, nodes);
    std::vector<std::string> runs;
    for (std::size_t n = 1; n < nodes.size(); ++n) {
        std::string text(AsView(nodes[n].text));
        std::u32string codePoints;
        DecodeUtf8(text, codePoints);
        std::string current;
        bool inTag = false;
        for (char32_t c : codePoints) {
            if (c == '<') inTag = true;
            // Only 3-byte characters: a "?" of the marker stands for three bytes.
            bool indexed = !inTag && c >= 0x800 && c < 0x10000 && CharSlot(c) >= 0;
            if (c == '>') inTag = false;
            if (indexed) {
                AppendUtf8(current, c);
            } else if (!current.empty()) {
                runs.push_back(current);
                current.clear();
            }
        }
        if (!current.empty()) runs.push_back(current);
    }
    return runs;
}

// Runs on a real data folder when VYN_AGREEMENT_DATA names one (the test script
// points it at the demo corpus): words drawn from the pages' own text.
TEST(SearchAndHighlight, HoldsOnTheDataFolderFromTheEnvironment) {
    const char* folder = std::getenv("VYN_AGREEMENT_DATA");
    if (!folder) GTEST_SKIP() << "VYN_AGREEMENT_DATA is not set";
    const char* countText = std::getenv("VYN_AGREEMENT_QUERIES");
    const int queries = countText ? std::atoi(countText) : 3000;
    CIndex index;
    ASSERT_TRUE(index.Open(folder, "Index", IndexScope::kWhole));
    const std::uint32_t pageCount = index.GetHeaderNumber();
    ASSERT_GT(pageCount, 0u);
    std::mt19937 rng(4242);
    int found = 0, rendered = 0;
    for (int q = 0; q < queries; ++q) {
        std::uint32_t record = std::uniform_int_distribution<std::uint32_t>(0, pageCount - 1)(rng);
        ByteString page;
        ASSERT_TRUE(index.ReadPage(record, page)) << record;
        auto runs = IndexedRuns(page);
        if (runs.empty()) continue;
        std::string query = DrawWord(runs, rng);
        if (std::uniform_int_distribution<int>(0, 3)(rng) == 0) {
            query += ' ';
            query += DrawWord(runs, rng);
        }
        const bool any = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
        const bool variants = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
        std::u16string keywords = ToU16(query);
        std::u16string typed = keywords;
        if (any) {
            index.SearchAnyWord(typed, true, variants);
        } else {
            index.SearchAllWords(typed, true, variants);
        }
        SCOPED_TRACE(testing::Message() << "query " << query << (any ? " or" : " and")
                                        << (variants ? " variants" : ""));
        const auto& hits = index.GetHitPages();
        found += hits.empty() ? 0 : 1;
        // Every page of small results, a sample of large ones.
        std::size_t step = hits.size() / 50 + 1;
        for (std::size_t i = 0; i < hits.size(); i += step) {
            ByteString out;
            EXPECT_GT(index.RenderHitPage(hits[i], out, keywords, SearchScope::kWhole, variants), 0)
                << "page " << hits[i];
            ++rendered;
        }
    }
    EXPECT_GT(found, queries / 2) << "words drawn from the text are mostly found";
    std::printf("%d queries, %d found, %d pages rendered\n", queries, found, rendered);
}

}  // namespace
}  // namespace vyn
