#include "index/datageneration.h"

#include <sys/stat.h>

#include <limits>

#include "index/library.h"
#include "textstore/catalogformat.h"
#include "textstore/folderlock.h"
#include "textstore/storeformat.h"

namespace vyn {

CDataGeneration::File CDataGeneration::HeaderFile(IndexScope scope) {
    switch (scope) {
        case IndexScope::kNotes:
            return File::kNotesHeader;
        case IndexScope::kMain:
            return File::kMainHeader;
        case IndexScope::kWhole:
            break;
    }
    return File::kWholeHeader;
}

CDataGeneration::File CDataGeneration::PostingFile(IndexScope scope) {
    switch (scope) {
        case IndexScope::kNotes:
            return File::kNotesPostings;
        case IndexScope::kMain:
            return File::kMainPostings;
        case IndexScope::kWhole:
            break;
    }
    return File::kWholePostings;
}

std::string CDataGeneration::FileName(File file, std::string_view baseName) {
    std::string name(baseName);
    switch (file) {
        case File::kDirectory:
            return name + std::string(kDirectorySuffix);
        case File::kContent:
            return name + std::string(kContentSuffix);
        case File::kWholeHeader:
        case File::kNotesHeader:
        case File::kMainHeader:
        case File::kWholePostings:
        case File::kNotesPostings:
        case File::kMainPostings: {
            const bool header = file == File::kWholeHeader || file == File::kNotesHeader ||
                                file == File::kMainHeader;
            const IndexScope scope =
                file == File::kNotesHeader || file == File::kNotesPostings ? IndexScope::kNotes
                : file == File::kMainHeader || file == File::kMainPostings ? IndexScope::kMain
                                                                           : IndexScope::kWhole;
            return name + std::string(IndexFileSuffix(scope)) +
                   std::string(header ? kHeaderFileSuffix : kPostingFileSuffix);
        }
        case File::kCatalog:
            return std::string(kCatalogFile);
        case File::kVariants:
            break;
    }
    return std::string(kVariantFile);
}

CDataGeneration::Stamp CDataGeneration::StampOfPath(const std::string& path) {
    struct stat st {};
    Stamp stamp;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
    stamp.present = true;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::int64_t>(st.st_size);
    stamp.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    stamp.modifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return stamp;
}

bool CDataGeneration::Open(const std::filesystem::path& folder, std::string_view baseName) {
    Close();
    try {
        m_folder = folder;
        m_baseName = std::string(baseName);
        if (const auto members = LibraryMembers(folder); !members.empty()) {
            std::uint64_t records = 0;
            for (const auto& path : members) {
                auto member = std::make_unique<CDataGeneration>();
                if (!member->Open(path, baseName)) {
                    Close();
                    return false;
                }
                m_memberBase.push_back(static_cast<std::uint32_t>(records));
                records += member->Records();
                if (records >= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
                    Close();
                    return false;
                }
                m_members.push_back(std::move(member));
                m_titles.push_back(FolderTitle(path));
            }
            m_records = static_cast<std::uint32_t>(records);
            m_open = true;
            return true;
        }
        CFolderLock lock;
        if (!lock.LockShared(folder)) return false;
        // The stamps are taken under the lock too: they name the files opened.
        for (std::size_t i = 0; i < kFileCount; ++i) {
            const std::string path = (folder / FileName(static_cast<File>(i), baseName)).string();
            m_files[i].Open(path);
            m_stamps[i] = StampOfPath(path);
        }
        std::uint8_t header[4];
        if (m_files[static_cast<std::size_t>(File::kDirectory)].ReadAt(0, header, sizeof header)) {
            m_records = std::uint32_t{header[0]} | std::uint32_t{header[1]} << 8 |
                        std::uint32_t{header[2]} << 16 | std::uint32_t{header[3]} << 24;
        }
        m_open = true;
        return true;
    } catch (...) {
        Close();
        return false;
    }
}

void CDataGeneration::Close() {
    for (CLockedFile& file : m_files) file.Close();
    m_stamps = {};
    m_open = false;
    m_members.clear();
    m_titles.clear();
    m_memberBase.clear();
    m_records = 0;
}

bool CDataGeneration::Superseded() const {
    if (!m_open) return false;
    try {
        if (!m_members.empty()) {
            const auto now = LibraryMembers(m_folder);
            if (now.size() != m_members.size()) return true;
            for (std::size_t m = 0; m < now.size(); ++m) {
                if (now[m] != m_members[m]->Folder() || m_members[m]->Superseded()) return true;
            }
            return false;
        }
        for (std::size_t i = 0; i < kFileCount; ++i) {
            const std::string path =
                (m_folder / FileName(static_cast<File>(i), m_baseName)).string();
            if (!(StampOfPath(path) == m_stamps[i])) return true;
        }
    } catch (...) {
        return false;
    }
    return false;
}

bool LoadCatalogOf(const CDataGeneration& data, CCatalog& catalog, const std::filesystem::path& listingFile) {
    if (!data.IsLibrary()) return catalog.LoadCatalog(data.FileOf(CDataGeneration::File::kCatalog), listingFile);
    std::vector<LibraryCatalogPart> parts;
    for (std::size_t m = 0; m < data.Members().size(); ++m) {
        const CDataGeneration& member = *data.Members()[m];
        parts.push_back({&member.FileOf(CDataGeneration::File::kCatalog), data.MemberTitles()[m],
                         data.MemberBase(m), member.Records()});
    }
    return catalog.LoadLibrary(parts, listingFile);
}

}  // namespace vyn
