// CDataGeneration: one build of a data folder, held open for a reader.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/indexformat.h"
#include "textstore/catalog.h"
#include "textstore/lockedfile.h"

namespace vyn {

// Owns a descriptor of every data file of one build of a folder: the text store, the
// header and posting files of the three index scopes, the catalog and the variant
// table, all opened under one hold of the folder's shared lock (CFolderLock), so that
// they come from one build. A build replaces files by renaming new ones over them and
// never rewrites one, so the descriptors go on reading the build they were opened on
// for as long as the object lives, whatever the folder holds meanwhile. Engines
// (CIndex::Open), the catalog (CCatalog::LoadCatalog) and the variant table are
// opened from it; they take descriptors or mappings of their own and do not need the
// object afterwards.
// Open and Close need the object to themselves; between them it does not change, and
// its const calls may come from several threads at once (reads are positional).
class CDataGeneration {
public:
    // The files of a generation.
    enum class File : int {
        kDirectory,      // baseName + "-fl.h"
        kContent,        // baseName + "-fl.cnt"
        kWholeHeader,    // baseName + "-idx.h"
        kWholePostings,  // baseName + "-idx.m"
        kNotesHeader,    // baseName + "_desc-idx.h"
        kNotesPostings,
        kMainHeader,  // baseName + "_content-idx.h"
        kMainPostings,
        kCatalog,   // "vyn.dir"
        kVariants,  // "yitizi.txt"
    };
    static constexpr std::size_t kFileCount = 10;

    CDataGeneration() = default;
    ~CDataGeneration() = default;
    CDataGeneration(const CDataGeneration&) = delete;
    CDataGeneration& operator=(const CDataGeneration&) = delete;

    // Opens every file of folder (closing what was open) while holding the folder's
    // shared lock, waiting up to CFolderLock::kReaderWait for a build that is moving
    // files in. A file that is missing or cannot be opened is absent: what needs it
    // fails to open from this generation, the rest works. False, nothing open, when
    // the lock is not had in time or the folder cannot be opened. A folder that is no
    // data folder but holds some (LibraryMembers) opens as a library: each member is
    // opened so, one after another; false when one fails, or when the library's
    // records pass the largest signed 32-bit page number.
    bool Open(const std::filesystem::path& folder, std::string_view baseName = kIndexBaseName);
    void Close();
    bool IsOpen() const { return m_open; }

    // The folder and base name of the last Open (also a failed one).
    const std::filesystem::path& Folder() const { return m_folder; }
    const std::string& BaseName() const { return m_baseName; }

    // A library (see index/library.h): the generations of its data folders in library
    // order, each opened as Open opens a data folder; empty for a data folder. A
    // library's own files are all absent.
    const std::vector<std::unique_ptr<CDataGeneration>>& Members() const { return m_members; }
    bool IsLibrary() const { return !m_members.empty(); }
    // The titles of the members (FolderTitle), parallel to Members().
    const std::vector<std::u16string>& MemberTitles() const { return m_titles; }
    // The number of store records: the header number of a data folder's store
    // directory (0 when it cannot be read); for a library, the sum over its members,
    // whose records follow each other: member m's first is MemberBase(m).
    std::uint32_t Records() const { return m_records; }
    std::uint32_t MemberBase(std::size_t m) const { return m_memberBase[m]; }
    const std::vector<std::uint32_t>& MemberBases() const { return m_memberBase; }

    // The open file; a closed object when it is absent or the generation is closed.
    const CLockedFile& FileOf(File file) const { return m_files[static_cast<std::size_t>(file)]; }
    static File HeaderFile(IndexScope scope);
    static File PostingFile(IndexScope scope);
    // The file's name in the folder, e.g. "Index_desc-idx.m".
    static std::string FileName(File file, std::string_view baseName);

    // True when the folder holds files of another build (for a library: when a member
    // does, or the library's data folders are others now): a file of the generation was
    // replaced, removed or changed, or one that was missing is there now (told by
    // device, inode, size and modification time). False on a closed generation.
    // Changes nothing; one stat per file, no lock, so a build still moving files in
    // already counts.
    bool Superseded() const;

private:
    // What the folder held under a file's name when the generation was opened.
    struct Stamp {
        bool present = false;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedSeconds = 0;
        std::int64_t modifiedNanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };
    // The stamp of what path names now (absent when nothing, or no regular file).
    static Stamp StampOfPath(const std::string& path);

    std::filesystem::path m_folder;
    std::string m_baseName;
    std::array<CLockedFile, kFileCount> m_files;
    std::array<Stamp, kFileCount> m_stamps;
    bool m_open = false;
    std::vector<std::unique_ptr<CDataGeneration>> m_members;
    std::vector<std::u16string> m_titles;
    std::vector<std::uint32_t> m_memberBase;
    std::uint32_t m_records = 0;
};

// Loads the catalog of data into catalog: the data folder's (CCatalog::LoadCatalog),
// or a library's folders as one (CCatalog::LoadLibrary), writing the listing to
// listingFile. Returns what the load returns.
bool LoadCatalogOf(const CDataGeneration& data, CCatalog& catalog, const std::filesystem::path& listingFile);

}  // namespace vyn
