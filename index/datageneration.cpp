#include "index/datageneration.h"

#include <sys/stat.h>

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
        CFolderLock lock;
        if (!lock.LockShared(folder)) return false;
        // The stamps are taken under the lock too: they name the files opened.
        for (std::size_t i = 0; i < kFileCount; ++i) {
            const std::string path = (folder / FileName(static_cast<File>(i), baseName)).string();
            m_files[i].Open(path);
            m_stamps[i] = StampOfPath(path);
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
}

bool CDataGeneration::Superseded() const {
    if (!m_open) return false;
    try {
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

}  // namespace vyn
