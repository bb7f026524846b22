// CLibraryBuilder: builds an input into a library, a folder of numbered data
// folders, each within what one data folder can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "builder/corpus.h"
#include "builder/databuilder.h"
#include "index/indexformat.h"
#include "textstore/catalogformat.h"

namespace vyn {

// The most pages one data folder holds: the index numbers documents 0 to kMaxPacked.
constexpr std::uint64_t kMaxFolderPages = std::uint64_t{kMaxPacked} + 1;
// The most bytes a text store's content file holds: page ends are 32-bit offsets.
constexpr std::uint64_t kMaxContentBytes = 0xFFFFFFFF;

// How much one data folder of a library may hold; by default all the format allows.
struct FolderCaps {
    std::uint64_t records = kMaxCatalogRecords;  // catalog records
    std::uint64_t pages = kMaxFolderPages;
    std::uint64_t contentBytes = kMaxContentBytes;  // stored pages, in the content file
};

// A book as the split sees it.
struct BookOutline {
    std::string name;  // UTF-8
    std::uint64_t volumes = 0;
    std::uint64_t pages = 0;
    std::uint64_t contentBytes = 0;  // its pages as stored
};

struct CategoryOutline {
    std::string name;  // UTF-8
    std::vector<BookOutline> books;
};

// Books [firstBook, endBook) of input category `category`, in one folder.
struct FolderPart {
    std::size_t category = 0;
    std::size_t firstBook = 0;
    std::size_t endBook = 0;
};

// What one folder holds: runs of books in input order, and their size with a
// record for each category the folder holds.
struct FolderPlan {
    std::vector<FolderPart> parts;
    std::uint64_t records = 0;
    std::uint64_t pages = 0;
    std::uint64_t contentBytes = 0;

    bool Holds(std::size_t category, std::size_t book) const;
};

// Splits input, in order, over folders within caps. Each folder is filled as far as
// the next category fits whole; a category that fits no folder whole is cut between
// its books, starting in the folder being filled, and its record repeats in every
// folder that holds some of its books. True with the folders in folders; false with
// a reason in reason when a book, with its category's record, passes a cap alone
// (folders untouched). Requires: every category holds a book.
bool PlanFolders(const std::vector<CategoryOutline>& input, const FolderCaps& caps,
                 std::vector<FolderPlan>& folders, std::string& reason);

// The title of a folder holding categories named names, in order: the one name;
// two joined by "・"; from three on the first and the last joined by "〜".
std::string LibraryTitle(const std::vector<std::string>& names);

// The name of folder index (0-based) of count: index + 1 in decimal, zero-padded to
// three digits or as many as count needs, so that name order is library order.
std::string LibraryFolderName(std::size_t index, std::size_t count);

// Reads the input, as much of it as scope keeps, into corpus. False with a one-line
// reason in reason.
using InputReader =
    std::function<bool(const ReadScope& scope, Corpus& corpus, std::string& reason)>;

// Where a library build is, over the whole input.
struct LibraryProgress {
    enum Phase { kReading, kBuilding };
    Phase phase = kReading;
    std::size_t folder = 0;   // 1-based, while building
    std::size_t folders = 0;  // known once building
    std::uint64_t pagesDone = 0;
    std::uint64_t pagesTotal = 0;  // known once building
};

struct LibraryFolder {
    std::string name;   // "001"
    std::string title;  // as written to its title file
    std::size_t categories = 0;
    std::size_t books = 0;
    BuildStats stats;
};

struct LibraryStats {
    std::size_t categories = 0;  // of the input
    std::size_t books = 0;
    std::vector<LibraryFolder> folders;
};

// Builds an input into a library in two passes: the first reads the whole input a
// volume at a time, measuring each page as stored and dropping its text, and plans
// the folders (PlanFolders); the second reads and builds one folder's books at a
// time, so that memory holds one folder's share of the input, never the whole. One
// object per thread.
class CLibraryBuilder {
public:
    // progress is called as volumes are read in the first pass and as pages are
    // built in the second.
    explicit CLibraryBuilder(std::function<void(const LibraryProgress&)> progress = {},
                             FolderCaps caps = {})
        : m_progress(std::move(progress)), m_caps(caps) {}

    // Builds the input that read gives into numbered subfolders of folder, which
    // must exist (LibraryFolderName), each holding the data files of CDataBuilder
    // and a title file (index/library.h) with LibraryTitle of its categories. True
    // with stats on success. False with a one-line reason in GetReason() when a read
    // or a build fails, a book alone passes a cap, a subfolder exists already, or
    // the input changes between the passes; the folders built so far then remain,
    // and stats is untouched. Nothing is thrown, not even by progress or read.
    bool Build(const InputReader& read, const std::filesystem::path& folder, LibraryStats& stats);

    const std::string& GetReason() const { return m_reason; }

private:
    bool Outline(const InputReader& read, std::vector<CategoryOutline>& input);
    bool BuildFolder(const InputReader& read, const std::vector<CategoryOutline>& input,
                     const std::vector<FolderPlan>& plan, std::size_t index,
                     std::uint64_t pagesBefore, std::uint64_t pagesTotal,
                     const std::filesystem::path& folder, LibraryFolder& built);
    bool Fail(std::string reason);

    std::function<void(const LibraryProgress&)> m_progress;
    FolderCaps m_caps;
    std::string m_reason;
};

}  // namespace vyn
