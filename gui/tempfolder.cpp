#include "gui/tempfolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace vyn {

namespace {

constexpr const char* kPagesFolder = "pages";

// A folder other users can neither read nor write into: ours, not a link, mode 0700.
bool IsPrivateFolder(const char* path) {
    struct stat st {};
    if (lstat(path, &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 0077) == 0;
}

std::filesystem::path BaseFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && IsPrivateFolder(runtime)) return runtime;
    const char* tmp = std::getenv("TMPDIR");
    if (tmp && tmp[0] == '/') return tmp;
    return "/tmp";
}

bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

// Unlinks every entry of the folder behind fd (files, and empty folders someone put
// there) and closes fd.
void EmptyAndClose(int fd) {
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    for (const std::string& name : names) {
        if (unlinkat(dirfd(dir), name.c_str(), 0) != 0 && errno == EISDIR) {
            unlinkat(dirfd(dir), name.c_str(), AT_REMOVEDIR);
        }
    }
    closedir(dir);
}

}  // namespace

CTempFolder::~CTempFolder() { Remove(); }

bool CTempFolder::Create() {
    if (IsCreated()) return true;
    std::string pattern = (BaseFolder() / "vyn-XXXXXX").string();
    // mkdtemp makes a new folder with mode 0700 and a name nobody could predict.
    if (!mkdtemp(pattern.data())) return false;
    const int rootFd = open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (rootFd < 0) {
        rmdir(pattern.c_str());
        return false;
    }
    int pagesFd = -1;
    if (mkdirat(rootFd, kPagesFolder, 0700) == 0) {
        pagesFd = openat(rootFd, kPagesFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (pagesFd < 0) {
        unlinkat(rootFd, kPagesFolder, AT_REMOVEDIR);
        close(rootFd);
        rmdir(pattern.c_str());
        return false;
    }
    m_root = pattern;
    m_rootFd = rootFd;
    m_pagesFd = pagesFd;
    return true;
}

std::filesystem::path CTempFolder::PagePath(std::string_view name) const {
    if (!IsCreated()) return {};
    return m_root / kPagesFolder / std::string(name);
}

bool CTempFolder::WritePage(std::string_view name, std::span<const std::uint8_t> bytes) {
    return Write(m_pagesFd, name, bytes);
}

bool CTempFolder::WriteShared(std::string_view name, std::span<const std::uint8_t> bytes) {
    if (name == kPagesFolder) return false;
    return Write(m_rootFd, name, bytes);
}

bool CTempFolder::Write(int dirFd, std::string_view name, std::span<const std::uint8_t> bytes) {
    if (dirFd < 0 || !IsPlainName(name)) return false;
    const std::string fileName(name);
    // Whatever stands at the name is removed, never opened: a hard link would let the
    // write reach another file, and opening a FIFO would block. A folder stays and
    // fails the write.
    if (unlinkat(dirFd, fileName.c_str(), 0) != 0 && errno != ENOENT) return false;
    const int fd = openat(dirFd, fileName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return close(fd) == 0;
}

void CTempFolder::Remove() {
    if (!IsCreated()) return;
    EmptyAndClose(m_pagesFd);
    unlinkat(m_rootFd, kPagesFolder, AT_REMOVEDIR);
    EmptyAndClose(m_rootFd);
    rmdir(m_root.c_str());
    m_pagesFd = -1;
    m_rootFd = -1;
    m_root.clear();
}

}  // namespace vyn
