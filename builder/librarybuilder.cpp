#include "builder/librarybuilder.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <utility>

#include "builder/pagelayout.h"
#include "builder/readfault.h"
#include "encoding/utf.h"
#include "index/library.h"

namespace vyn {

namespace {

namespace fs = std::filesystem;

std::string NameText(const CatalogName& name) {
    if (const auto* utf8 = std::get_if<std::string>(&name)) return *utf8;
    ByteString bytes;
    Utf16ToUtf8(std::get<std::u16string>(name), bytes, kLenientConversion);
    return std::string(AsView(bytes));
}

// What a run of books adds to a folder.
struct Share {
    std::uint64_t records = 0;
    std::uint64_t pages = 0;
    std::uint64_t contentBytes = 0;

    Share& operator+=(const Share& other) {
        records += other.records;
        pages += other.pages;
        contentBytes += other.contentBytes;
        return *this;
    }
};

Share BookShare(const BookOutline& book) {
    return {1 + book.volumes, book.pages, book.contentBytes};
}

bool Within(const Share& share, const FolderCaps& caps) {
    return share.records <= caps.records && share.pages <= caps.pages &&
           share.contentBytes <= caps.contentBytes;
}

// Fills folders one after another in input order.
class CFolderFiller {
public:
    CFolderFiller(const FolderCaps& caps, std::vector<FolderPlan>& folders)
        : m_caps(caps), m_folders(folders) {}

    // Whether share fits beside what the folder being filled holds.
    bool Fits(const Share& share) const {
        Share together{m_open.records, m_open.pages, m_open.contentBytes};
        return Within(together += share, m_caps);
    }
    bool Empty() const { return m_open.parts.empty(); }
    // Whether the folder being filled holds books of category.
    bool HoldsCategory(std::size_t category) const {
        return !Empty() && m_open.parts.back().category == category;
    }

    // Adds books [first, end) of category with their share, which includes the
    // category's record unless the folder holds the category already.
    void Add(std::size_t category, std::size_t first, std::size_t end, const Share& share) {
        if (HoldsCategory(category)) {
            m_open.parts.back().endBook = end;
        } else {
            m_open.parts.push_back({category, first, end});
        }
        m_open.records += share.records;
        m_open.pages += share.pages;
        m_open.contentBytes += share.contentBytes;
    }

    void Close() {
        if (Empty()) return;
        m_folders.push_back(std::move(m_open));
        m_open = FolderPlan();
    }

private:
    const FolderCaps& m_caps;
    std::vector<FolderPlan>& m_folders;
    FolderPlan m_open;
};

std::string TooLarge(const CategoryOutline& category, const BookOutline& book, const Share& share,
                     const FolderCaps& caps) {
    std::string what;
    if (share.records > caps.records) {
        what = "it needs " + Grouped(share.records) +
               " catalog records (its category's, its own and one per volume), more than the " +
               Grouped(caps.records) + " a data folder holds";
    } else if (share.pages > caps.pages) {
        what = "it has " + Grouped(share.pages) + " pages, more than the " + Grouped(caps.pages) +
               " a data folder holds";
    } else {
        what = "its pages take " + Grouped(share.contentBytes) +
               " bytes as stored, more than the " + Grouped(caps.contentBytes) +
               " a data folder's text store holds";
    }
    return "book \"" + book.name + "\" of category \"" + category.name +
           "\" does not fit one data folder: " + what;
}

}  // namespace

bool FolderPlan::Holds(std::size_t category, std::size_t book) const {
    return std::any_of(parts.begin(), parts.end(), [&](const FolderPart& part) {
        return part.category == category && book >= part.firstBook && book < part.endBook;
    });
}

bool PlanFolders(const std::vector<CategoryOutline>& input, const FolderCaps& caps,
                 std::vector<FolderPlan>& folders, std::string& reason) {
    std::vector<FolderPlan> result;
    CFolderFiller filler(caps, result);
    for (std::size_t c = 0; c < input.size(); ++c) {
        const CategoryOutline& category = input[c];
        Share whole{1, 0, 0};
        for (const BookOutline& book : category.books) whole += BookShare(book);
        if (filler.Fits(whole)) {
            filler.Add(c, 0, category.books.size(), whole);
            continue;
        }
        if (Within(whole, caps)) {
            filler.Close();
            filler.Add(c, 0, category.books.size(), whole);
            continue;
        }
        // The category fits no folder whole: cut it between its books.
        for (std::size_t b = 0; b < category.books.size(); ++b) {
            Share share = BookShare(category.books[b]);
            if (!filler.HoldsCategory(c)) share.records += 1;
            if (!filler.Fits(share)) {
                if (filler.HoldsCategory(c)) share.records += 1;  // the category's record again
                filler.Close();
                if (!filler.Fits(share)) {
                    reason = TooLarge(category, category.books[b], share, caps);
                    return false;
                }
            }
            filler.Add(c, b, b + 1, share);
        }
    }
    filler.Close();
    folders = std::move(result);
    return true;
}

std::string LibraryTitle(const std::vector<std::string>& names) {
    if (names.empty()) return {};
    if (names.size() == 1) return names.front();
    return names.front() + (names.size() == 2 ? "・" : "〜") + names.back();
}

std::string LibraryFolderName(std::size_t index, std::size_t count) {
    const int width = std::max<int>(3, static_cast<int>(std::to_string(count).size()));
    char name[32];
    std::snprintf(name, sizeof name, "%0*zu", width, index + 1);
    return name;
}

bool CLibraryBuilder::Fail(std::string reason) {
    m_reason = std::move(reason);
    return false;
}

bool CLibraryBuilder::Build(const InputReader& read, const fs::path& folder, LibraryStats& stats) {
    m_reason.clear();
    try {
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) return Fail("not a folder: " + folder.string());
        std::vector<CategoryOutline> input;
        if (!Outline(read, input)) return false;
        std::vector<FolderPlan> plan;
        std::string reason;
        if (!PlanFolders(input, m_caps, plan, reason)) return Fail(reason);

        LibraryStats result;
        result.categories = input.size();
        for (const CategoryOutline& category : input) result.books += category.books.size();
        std::uint64_t pagesTotal = 0;
        for (const FolderPlan& planned : plan) pagesTotal += planned.pages;
        std::uint64_t pagesBefore = 0;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            LibraryFolder built;
            if (!BuildFolder(read, input, plan, i, pagesBefore, pagesTotal, folder, built)) {
                return false;
            }
            pagesBefore += plan[i].pages;
            result.folders.push_back(std::move(built));
        }
        stats = std::move(result);
        return true;
    } catch (...) {
        return Fail(BuildStopReason());
    }
}

bool CLibraryBuilder::Outline(const InputReader& read, std::vector<CategoryOutline>& input) {
    struct Measured {
        std::uint64_t pages = 0;
        std::uint64_t contentBytes = 0;
    };
    std::vector<Measured> volumes;  // in input order
    std::uint64_t pagesRead = 0;
    ReadScope scope;
    scope.oneFolder = false;
    scope.onVolume = [&](std::size_t, std::size_t, CorpusVolume& volume) {
        Measured measured{volume.pages.size(), 0};
        for (std::size_t i = 0; i < volume.pages.size(); ++i) {
            const auto pageNumber = static_cast<std::uint32_t>(volume.firstPage + i);
            LaidOutPage laid;
            std::string error;
            if (!LayOutPage(volume.pages[i], pageNumber, laid, error)) {
                throw Fault{"page " + std::to_string(pageNumber) + " of volume " +
                            NameText(volume.name) + ": " + error};
            }
            measured.contentBytes += laid.html.size();
        }
        volumes.push_back(measured);
        pagesRead += measured.pages;
        std::vector<CorpusPage>().swap(volume.pages);
        if (m_progress) m_progress({LibraryProgress::kReading, 0, 0, pagesRead, 0});
    };
    Corpus outline;
    std::string reason;
    if (!read(scope, outline, reason)) return Fail(reason);

    std::vector<CategoryOutline> result;
    std::size_t next = 0;
    for (const CorpusCategory& category : outline.categories) {
        CategoryOutline& out = result.emplace_back();
        out.name = NameText(category.name);
        for (const CorpusBook& book : category.books) {
            BookOutline& shape = out.books.emplace_back();
            shape.name = NameText(book.name);
            shape.volumes = book.volumes.size();
            for (std::size_t v = 0; v < book.volumes.size(); ++v, ++next) {
                if (next >= volumes.size()) return Fail("the input was not read volume by volume");
                shape.pages += volumes[next].pages;
                shape.contentBytes += volumes[next].contentBytes;
            }
        }
        if (out.books.empty()) return Fail("category \"" + out.name + "\" holds no book");
    }
    if (result.empty()) return Fail("the input holds no category");
    input = std::move(result);
    return true;
}

bool CLibraryBuilder::BuildFolder(const InputReader& read,
                                  const std::vector<CategoryOutline>& input,
                                  const std::vector<FolderPlan>& plan, std::size_t index,
                                  std::uint64_t pagesBefore, std::uint64_t pagesTotal,
                                  const fs::path& folder, LibraryFolder& built) {
    const FolderPlan& planned = plan[index];
    built.name = LibraryFolderName(index, plan.size());
    std::vector<std::string> names;
    std::size_t books = 0;
    for (const FolderPart& part : planned.parts) {
        names.push_back(input[part.category].name);
        books += part.endBook - part.firstBook;
    }
    built.title = LibraryTitle(names);
    built.categories = names.size();
    built.books = books;

    const fs::path dir = folder / built.name;
    std::error_code ec;
    if (!fs::create_directory(dir, ec)) {
        return Fail(ec ? "cannot create " + dir.string() : dir.string() + " exists already");
    }
    Corpus corpus;
    ReadScope scope;
    scope.oneFolder = false;
    scope.keepBook = [&](std::size_t category, std::size_t book) {
        return planned.Holds(category, book);
    };
    std::string reason;
    if (!read(scope, corpus, reason)) return Fail(reason);
    std::size_t booksRead = 0;
    std::uint64_t pagesRead = 0;
    for (const CorpusCategory& category : corpus.categories) {
        booksRead += category.books.size();
        for (const CorpusBook& book : category.books) {
            for (const CorpusVolume& volume : book.volumes) pagesRead += volume.pages.size();
        }
    }
    if (booksRead != books || pagesRead != planned.pages) {
        return Fail("the input changed while the library was built");
    }

    const std::size_t folders = plan.size();
    CDataBuilder builder([&](std::uint32_t done, std::uint32_t) {
        if (!m_progress) return;
        const std::uint64_t pagesDone = pagesBefore + done;
        m_progress({LibraryProgress::kBuilding, index + 1, folders, pagesDone, pagesTotal});
    });
    if (!builder.Build(corpus, dir, built.stats)) {
        return Fail("folder " + built.name + ": " + builder.GetReason());
    }
    if (!WriteFolderTitle(dir, built.title)) {
        return Fail("cannot write " + (dir / std::string(kFolderTitleFile)).string());
    }
    return true;
}

}  // namespace vyn
