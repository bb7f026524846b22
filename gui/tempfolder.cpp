#include "gui/tempfolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace vyn {

namespace {

constexpr const char* kPagesFolder = "pages";
// Written under the lock into each folder this program makes: "<pid> <start time>",
// the owner and its start time in clock ticks after boot (a pid may be reused). Only
// a folder holding it is ever removed by another reader.
constexpr const char* kOwnerFile = ".vyn-owner";
constexpr std::string_view kFolderPrefix = "vyn-";
// A folder younger than this may belong to a reader between mkdtemp and its lock.
constexpr std::time_t kStaleAfterSeconds = 10;

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

// The start time of process pid in clock ticks after boot (field 22 of its stat);
// 0 when it cannot be read.
unsigned long long StartTimeOf(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[1024];
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (n <= 0) return 0;
    const std::string stat(buffer, static_cast<std::size_t>(n));
    // The command name may hold blanks and parentheses: fields count from the last ")".
    std::size_t at = stat.rfind(')');
    if (at == std::string::npos) return 0;
    for (int field = 2; field < 22 && at != std::string::npos; ++field) at = stat.find(' ', at + 1);
    if (at == std::string::npos) return 0;
    return std::strtoull(stat.c_str() + at + 1, nullptr, 10);
}

std::string OwnerText() {
    const pid_t pid = getpid();
    return std::to_string(pid) + ' ' + std::to_string(StartTimeOf(pid)) + '\n';
}

// True when the folder behind fd holds our owner file and the process it names is
// gone: no process with that pid, or one that started at another time.
bool OwnerIsGone(int fd) {
    const int file = openat(fd, kOwnerFile, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (file < 0) return false;
    struct stat st {};
    char buffer[64] = {};
    const bool plain = fstat(file, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
    const ssize_t n = plain ? read(file, buffer, sizeof buffer - 1) : -1;
    close(file);
    if (n <= 0) return false;
    char* end = nullptr;
    const long pid = std::strtol(buffer, &end, 10);
    if (pid <= 0 || end == buffer) return false;
    const unsigned long long started = std::strtoull(end, nullptr, 10);
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return true;
    // A process has the pid: the owner only if it started when the owner did.
    const unsigned long long now = StartTimeOf(static_cast<pid_t>(pid));
    return started != 0 && now != 0 && now != started;
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

// Removes the folder `name` in the folder behind baseFd when it is a private folder
// that a reader of ours marked as its own and whose process is gone: a live reader
// holds the lock of its folder's descriptor until it exits, however it exits, and its
// owner file names it. A folder without the mark (another program's, or a reader's
// from before the mark) stays.
bool RemoveIfStale(int baseFd, const std::string& name, std::time_t now) {
    struct stat st {};
    if (fstatat(baseFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 0077) != 0) return false;
    if (now - st.st_mtime < kStaleAfterSeconds) return false;
    const int fd = openat(baseFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || !OwnerIsGone(fd)) {
        close(fd);
        return false;
    }
    const int pagesFd = openat(fd, kPagesFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (pagesFd >= 0) {
        EmptyAndClose(pagesFd);
        unlinkat(fd, kPagesFolder, AT_REMOVEDIR);
    }
    EmptyAndClose(fd);
    return unlinkat(baseFd, name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace

int CTempFolder::RemoveStale() {
    const std::string base = BaseFolder().string();
    const int baseFd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (baseFd < 0) return 0;
    DIR* dir = fdopendir(baseFd);
    if (!dir) {
        close(baseFd);
        return 0;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        // mkdtemp's names: the prefix and six characters.
        if (name.size() == kFolderPrefix.size() + 6 && name.starts_with(kFolderPrefix)) {
            names.emplace_back(name);
        }
    }
    const std::time_t now = std::time(nullptr);
    int removed = 0;
    for (const std::string& name : names) removed += RemoveIfStale(dirfd(dir), name, now) ? 1 : 0;
    closedir(dir);
    return removed;
}

CTempFolder::~CTempFolder() { Remove(); }

bool CTempFolder::Create() {
    if (IsCreated()) return true;
    RemoveStale();
    std::string pattern = (BaseFolder() / (std::string(kFolderPrefix) + "XXXXXX")).string();
    // mkdtemp makes a new folder with mode 0700 and a name nobody could predict.
    if (!mkdtemp(pattern.data())) return false;
    const int rootFd = open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    // Held until the descriptor closes, also when the process is killed: it tells
    // RemoveStale of other readers that this folder is in use.
    if (rootFd < 0 || flock(rootFd, LOCK_EX | LOCK_NB) != 0) {
        if (rootFd >= 0) close(rootFd);
        rmdir(pattern.c_str());
        return false;
    }
    int pagesFd = -1;
    const std::string owner = OwnerText();
    const bool marked = Write(rootFd, kOwnerFile,
                              {reinterpret_cast<const std::uint8_t*>(owner.data()), owner.size()});
    if (marked && mkdirat(rootFd, kPagesFolder, 0700) == 0) {
        pagesFd = openat(rootFd, kPagesFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (pagesFd < 0) {
        unlinkat(rootFd, kPagesFolder, AT_REMOVEDIR);
        unlinkat(rootFd, kOwnerFile, 0);
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
    if (name == kPagesFolder || name == kOwnerFile) return false;
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
