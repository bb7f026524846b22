#include "builder/librarybuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "index/library.h"
#include "support/librarycheck.h"
#include "support/tempdir.h"

namespace vyn {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A book and the pages of each of its volumes; outlines give each page 100 bytes as
// stored.
struct ShelfBook {
    std::string name;
    std::vector<std::uint64_t> volumePages;
};

struct ShelfCategory {
    std::string name;
    std::vector<ShelfBook> books;
};

// 經部 6 records, 5 pages; 史部 7 records, 6 pages; 子部 and 集部 3 records and 1
// and 2 pages: 19 records, 14 pages in all.
const std::vector<ShelfCategory> kShelf = {
    {"經部", {{"周易", {2, 1}}, {"尚書", {2}}}},
    {"史部", {{"史記", {3}}, {"漢書", {1}}, {"後漢書", {2}}}},
    {"子部", {{"老子", {1}}}},
    {"集部", {{"楚辭", {2}}}},
};

// A small category before one that fits no folder of 4 pages or 6 records whole.
const std::vector<ShelfCategory> kSmallThenLarge = {
    {"甲", {{"a1", {1}}}},
    {"乙", {{"b1", {2}}, {"b2", {2}}, {"b3", {2}}}},
};

std::vector<CategoryOutline> Outline(const std::vector<ShelfCategory>& shelf) {
    std::vector<CategoryOutline> input;
    for (const ShelfCategory& category : shelf) {
        CategoryOutline& out = input.emplace_back();
        out.name = category.name;
        for (const ShelfBook& book : category.books) {
            BookOutline shape{book.name, book.volumePages.size(), 0, 0};
            for (std::uint64_t pages : book.volumePages) shape.pages += pages;
            shape.contentBytes = 100 * shape.pages;
            out.books.push_back(shape);
        }
    }
    return input;
}

// The plan as "CATEGORY(BOOK,BOOK) CATEGORY(BOOK) | ...", a folder between bars.
std::string Show(const std::vector<CategoryOutline>& input, const std::vector<FolderPlan>& plan) {
    std::string out;
    for (const FolderPlan& folder : plan) {
        if (!out.empty()) out += " | ";
        for (std::size_t p = 0; p < folder.parts.size(); ++p) {
            const FolderPart& part = folder.parts[p];
            out += (p > 0 ? " " : "") + input[part.category].name + "(";
            for (std::size_t b = part.firstBook; b < part.endBook; ++b) {
                out += (b > part.firstBook ? "," : "") + input[part.category].books[b].name;
            }
            out += ")";
        }
    }
    return out;
}

TEST(PlanFoldersTest, SplitsBetweenCategoriesAndCutsOnlyACategoryTooLargeForAFolder) {
    const struct {
        const char* name;
        const std::vector<ShelfCategory>& shelf;
        FolderCaps caps;
        std::string plan;
    } cases[] = {
        {"everything fits one folder",
         kShelf,
         {},
         "經部(周易,尚書) 史部(史記,漢書,後漢書) 子部(老子) 集部(楚辭)"},
        {"records: two categories exactly at the cap",
         kShelf,
         {13, kMaxFolderPages, kMaxContentBytes},
         "經部(周易,尚書) 史部(史記,漢書,後漢書) | 子部(老子) 集部(楚辭)"},
        {"records: one under moves the category on",
         kShelf,
         {12, kMaxFolderPages, kMaxContentBytes},
         "經部(周易,尚書) | 史部(史記,漢書,後漢書) 子部(老子) | 集部(楚辭)"},
        {"pages",
         kShelf,
         {kMaxCatalogRecords, 6, kMaxContentBytes},
         "經部(周易,尚書) | 史部(史記,漢書,後漢書) | 子部(老子) 集部(楚辭)"},
        {"content bytes exactly at the cap",
         kShelf,
         {kMaxCatalogRecords, kMaxFolderPages, 1100},
         "經部(周易,尚書) 史部(史記,漢書,後漢書) | 子部(老子) 集部(楚辭)"},
        {"content bytes one under",
         kShelf,
         {kMaxCatalogRecords, kMaxFolderPages, 1099},
         "經部(周易,尚書) | 史部(史記,漢書,後漢書) 子部(老子) 集部(楚辭)"},
        {"categories over the cap are cut between their books",
         kShelf,
         {kMaxCatalogRecords, 4, kMaxContentBytes},
         "經部(周易) | 經部(尚書) | 史部(史記,漢書) | 史部(後漢書) 子部(老子) | 集部(楚辭)"},
        {"a cut category starts in the folder being filled",
         kSmallThenLarge,
         {kMaxCatalogRecords, 4, kMaxContentBytes},
         "甲(a1) 乙(b1) | 乙(b2,b3)"},
        {"the category's record counts in every folder it opens",
         kSmallThenLarge,
         {4, kMaxFolderPages, kMaxContentBytes},
         "甲(a1) | 乙(b1) | 乙(b2) | 乙(b3)"},
        {"the same by records",
         kSmallThenLarge,
         {6, kMaxFolderPages, kMaxContentBytes},
         "甲(a1) 乙(b1) | 乙(b2,b3)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<CategoryOutline> input = Outline(c.shelf);
        std::vector<FolderPlan> plan;
        std::string reason;
        ASSERT_TRUE(PlanFolders(input, c.caps, plan, reason)) << reason;
        EXPECT_EQ(Show(input, plan), c.plan);
        // Each folder's size, counted afresh, is the one planned and within the caps;
        // every book is in exactly one folder, in order.
        std::vector<std::pair<std::size_t, std::size_t>> books;
        for (const FolderPlan& folder : plan) {
            std::uint64_t records = 0, pages = 0, bytes = 0;
            for (const FolderPart& part : folder.parts) {
                ++records;
                for (std::size_t b = part.firstBook; b < part.endBook; ++b) {
                    const BookOutline& book = input[part.category].books[b];
                    records += 1 + book.volumes;
                    pages += book.pages;
                    bytes += book.contentBytes;
                    books.emplace_back(part.category, b);
                    EXPECT_TRUE(folder.Holds(part.category, b));
                }
            }
            EXPECT_EQ(folder.records, records);
            EXPECT_EQ(folder.pages, pages);
            EXPECT_EQ(folder.contentBytes, bytes);
            EXPECT_LE(records, c.caps.records);
            EXPECT_LE(pages, c.caps.pages);
            EXPECT_LE(bytes, c.caps.contentBytes);
        }
        std::vector<std::pair<std::size_t, std::size_t>> all;
        for (std::size_t c2 = 0; c2 < input.size(); ++c2) {
            for (std::size_t b = 0; b < input[c2].books.size(); ++b) all.emplace_back(c2, b);
        }
        EXPECT_EQ(books, all);
    }
}

TEST(PlanFoldersTest, ABookTooLargeForAFolderAloneIsNamed) {
    const struct {
        const char* name;
        FolderCaps caps;
        std::string reason;
    } cases[] = {
        {"records",
         {3, kMaxFolderPages, kMaxContentBytes},
         "book \"周易\" of category \"經部\" does not fit one data folder: it needs 4 catalog "
         "records (its category's, its own and one per volume), more than the 3 a data "
         "folder holds"},
        {"pages",
         {kMaxCatalogRecords, 2, kMaxContentBytes},
         "book \"周易\" of category \"經部\" does not fit one data folder: it has 3 pages, more "
         "than the 2 a data folder holds"},
        {"content bytes",
         {kMaxCatalogRecords, kMaxFolderPages, 250},
         "book \"周易\" of category \"經部\" does not fit one data folder: its pages take 300 "
         "bytes as stored, more than the 250 a data folder's text store holds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FolderPlan> plan(1);
        std::string reason;
        EXPECT_FALSE(PlanFolders(Outline(kShelf), c.caps, plan, reason));
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(plan.size(), 1u);
    }
    // A book after others that were placed.
    std::vector<ShelfCategory> shelf = kShelf;
    shelf[2].books[0].volumePages = {5};
    std::vector<FolderPlan> plan;
    std::string reason;
    EXPECT_FALSE(
        PlanFolders(Outline(shelf), {kMaxCatalogRecords, 4, kMaxContentBytes}, plan, reason));
    EXPECT_EQ(reason,
              "book \"老子\" of category \"子部\" does not fit one data folder: it has 5 pages, "
              "more than the 4 a data folder holds");
}

TEST(LibraryNamesTest, TitlesAndFolderNames) {
    const struct {
        std::vector<std::string> names;
        std::string title;
    } titles[] = {
        {{"經部"}, "經部"},
        {{"經部", "史部"}, "經部・史部"},
        {{"經部", "史部", "子部"}, "經部〜子部"},
        {{"經部 易類", "經部 書類", "史部 正史類", "集部 楚辭類"}, "經部 易類〜集部 楚辭類"},
    };
    for (const auto& t : titles) EXPECT_EQ(LibraryTitle(t.names), t.title);

    const struct {
        std::size_t index;
        std::size_t count;
        std::string name;
    } names[] = {
        {0, 1, "001"}, {9, 12, "010"}, {998, 999, "999"}, {0, 1000, "0001"}, {999, 1000, "1000"},
    };
    for (const auto& n : names) {
        EXPECT_EQ(LibraryFolderName(n.index, n.count), n.name) << n.index << "/" << n.count;
    }
}

// The corpus of a shelf: page k of a volume reads "BOOK VOLUME k" and a line of its
// own, so that every page differs.
Corpus ShelfCorpus(const std::vector<ShelfCategory>& shelf) {
    Corpus corpus;
    for (const ShelfCategory& category : shelf) {
        CorpusCategory& out = corpus.categories.emplace_back();
        out.name = category.name;
        for (const ShelfBook& book : category.books) {
            CorpusBook& bookOut = out.books.emplace_back();
            bookOut.name = book.name;
            for (std::size_t v = 0; v < book.volumePages.size(); ++v) {
                CorpusVolume& volume = bookOut.volumes.emplace_back();
                volume.name = "卷" + std::to_string(v + 1);
                volume.firstPage = static_cast<std::uint16_t>(v + 1);
                for (std::uint64_t p = 0; p < book.volumePages[v]; ++p) {
                    const std::string label =
                        book.name + " 卷" + std::to_string(v + 1) + " " + std::to_string(p);
                    volume.pages.push_back({label, {{{{TextRun::kMain, label + " 天地玄黃"}}}}});
                }
            }
        }
    }
    corpus.variantGroups = {{0x9AD4, 0x4F53}};
    return corpus;
}

// Reads a corpus held in memory as the source readers read files: keeps what the
// scope keeps and shows each kept volume to onVolume. Records the pages each
// corpus it gives holds.
struct MemoryInput {
    Corpus whole;
    std::vector<std::uint64_t> pagesGiven;
    std::vector<bool> filtered;  // per read: whether the scope kept only some books

    InputReader Reader() {
        return [this](const ReadScope& scope, Corpus& corpus, std::string&) {
            Corpus result;
            result.variantGroups = whole.variantGroups;
            for (std::size_t c = 0; c < whole.categories.size(); ++c) {
                CorpusCategory category{whole.categories[c].name, {}};
                for (std::size_t b = 0; b < whole.categories[c].books.size(); ++b) {
                    if (scope.keepBook && !scope.keepBook(c, b)) continue;
                    CorpusBook book = whole.categories[c].books[b];
                    for (CorpusVolume& volume : book.volumes) {
                        if (scope.onVolume) scope.onVolume(c, b, volume);
                    }
                    category.books.push_back(std::move(book));
                }
                if (!category.books.empty()) result.categories.push_back(std::move(category));
            }
            std::uint64_t pages = 0;
            for (const auto& category : result.categories) {
                for (const auto& book : category.books) {
                    for (const auto& volume : book.volumes) pages += volume.pages.size();
                }
            }
            pagesGiven.push_back(pages);
            filtered.push_back(static_cast<bool>(scope.keepBook));
            corpus = std::move(result);
            return true;
        };
    }
};

TEST(LibraryBuilderTest, BuildsOneFolderAtATimeFromItsShareOfTheInput) {
    const struct {
        const char* name;
        FolderCaps caps;
        std::vector<std::string> titles;
        std::vector<std::uint64_t> pages;  // per folder
    } cases[] = {
        {"one folder", {}, {"經部〜集部"}, {14}},
        {"split by records",
         {12, kMaxFolderPages, kMaxContentBytes},
         {"經部", "史部・子部", "集部"},
         {5, 7, 2}},
        {"split by pages, categories cut",
         {kMaxCatalogRecords, 4, kMaxContentBytes},
         {"經部", "經部", "史部", "史部・子部", "集部"},
         {3, 2, 4, 3, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryInput input{ShelfCorpus(kShelf), {}, {}};
        TempDir out;
        std::vector<LibraryProgress> progress;
        CLibraryBuilder builder([&](const LibraryProgress& at) { progress.push_back(at); }, c.caps);
        LibraryStats stats;
        ASSERT_TRUE(builder.Build(input.Reader(), out.path(), stats)) << builder.GetReason();

        // The first read measures and drops every page; each later read holds one
        // folder's pages only.
        std::vector<std::uint64_t> given = {0};
        given.insert(given.end(), c.pages.begin(), c.pages.end());
        EXPECT_EQ(input.pagesGiven, given);
        std::vector<bool> filtered(given.size(), true);
        filtered[0] = false;
        EXPECT_EQ(input.filtered, filtered);

        std::vector<fs::path> folders = LibraryMembers(out.path());
        ASSERT_EQ(folders.size(), c.titles.size());
        ASSERT_EQ(stats.folders.size(), c.titles.size());
        for (std::size_t i = 0; i < folders.size(); ++i) {
            EXPECT_EQ(folders[i].filename().string(), LibraryFolderName(i, folders.size()));
            EXPECT_EQ(stats.folders[i].title, c.titles[i]);
            EXPECT_EQ(test::ReadFile(folders[i] / std::string(kFolderTitleFile)),
                      c.titles[i] + "\n");
            EXPECT_EQ(stats.folders[i].stats.pages, c.pages[i]);
        }
        EXPECT_EQ(stats.categories, 4u);
        EXPECT_EQ(stats.books, 7u);

        TempDir whole;
        CDataBuilder one;
        BuildStats wholeStats;
        ASSERT_TRUE(one.Build(ShelfCorpus(kShelf), whole.path(), wholeStats)) << one.GetReason();
        test::ExpectSameAsWhole(folders, whole.path());

        // Reading, then building over the whole input, folder by folder.
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.front().phase, LibraryProgress::kReading);
        const LibraryProgress& last = progress.back();
        EXPECT_EQ(last.phase, LibraryProgress::kBuilding);
        EXPECT_EQ(last.folder, c.titles.size());
        EXPECT_EQ(last.folders, c.titles.size());
        EXPECT_EQ(last.pagesDone, 14u);
        EXPECT_EQ(last.pagesTotal, 14u);
        EXPECT_TRUE(
            std::is_sorted(progress.begin(), progress.end(), [](const auto& a, const auto& b) {
                return a.phase == b.phase ? a.pagesDone < b.pagesDone : a.phase < b.phase;
            }));
    }
}

TEST(LibraryBuilderTest, FailuresNameTheirCause) {
    const FolderCaps byPages{kMaxCatalogRecords, 6, kMaxContentBytes};
    const struct {
        const char* name;
        FolderCaps caps;
        // Called before read number `call`; may change the input or fail the read.
        std::size_t call;
        std::function<bool(Corpus& whole, std::string& reason)> before;
        bool existing001;
        std::string reason;
    } cases[] = {
        {"the first read fails", byPages, 0,
         [](Corpus&, std::string& reason) {
             reason = "catalog.txt:3: empty name";
             return false;
         },
         false, "catalog.txt:3: empty name"},
        {"a later read fails", byPages, 2,
         [](Corpus&, std::string& reason) {
             reason = "a/b.txt: does not exist";
             return false;
         },
         false, "a/b.txt: does not exist"},
        {"the input grows between the passes", byPages, 2,
         [](Corpus& whole, std::string&) {
             whole.categories[1].books[0].volumes[0].pages.push_back(
                 whole.categories[1].books[0].volumes[0].pages[0]);
             return true;
         },
         false, "the input changed while the library was built"},
        {"a book too large",
         {kMaxCatalogRecords, 2, kMaxContentBytes},
         99,
         nullptr,
         false,
         "book \"周易\" of category \"經部\" does not fit one data folder: it has 3 pages, more "
         "than the 2 a data folder holds"},
        {"a folder in the way", byPages, 99, nullptr, true, "001 exists already"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryInput input{ShelfCorpus(kShelf), {}, {}};
        InputReader plain = input.Reader();
        std::size_t calls = 0;
        InputReader reader = [&](const ReadScope& scope, Corpus& corpus, std::string& reason) {
            if (calls++ == c.call && !c.before(input.whole, reason)) return false;
            return plain(scope, corpus, reason);
        };
        TempDir out;
        if (c.existing001) fs::create_directory(out / "001");
        CLibraryBuilder builder({}, c.caps);
        LibraryStats stats;
        stats.books = 99;
        EXPECT_FALSE(builder.Build(reader, out.path(), stats));
        EXPECT_TRUE(builder.GetReason().ends_with(c.reason)) << builder.GetReason();
        EXPECT_EQ(stats.books, 99u);
    }

    // What the progress callback throws stops the build.
    MemoryInput input{ShelfCorpus(kShelf), {}, {}};
    TempDir out;
    CLibraryBuilder builder(
        [](const LibraryProgress& at) {
            if (at.phase == LibraryProgress::kBuilding && at.folder == 2) throw 1;
        },
        byPages);
    LibraryStats stats;
    EXPECT_FALSE(builder.Build(input.Reader(), out.path(), stats));
    EXPECT_TRUE(builder.GetReason().starts_with("folder 002: build stopped"))
        << builder.GetReason();
}

}  // namespace
}  // namespace vyn
