#include "textstore/folderlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace vyn {

namespace {

constexpr std::chrono::milliseconds kPoll{5};

}  // namespace

CFolderLock::~CFolderLock() { Unlock(); }

bool CFolderLock::LockShared(const std::filesystem::path& folder, std::chrono::milliseconds wait) {
    Unlock();
    const std::filesystem::path path = folder / kLockFile;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT;
    return Lock(fd, LOCK_SH, wait);
}

bool CFolderLock::LockExclusive(const std::filesystem::path& folder,
                                std::chrono::milliseconds wait) {
    Unlock();
    const std::filesystem::path path = folder / kLockFile;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    return Lock(fd, LOCK_EX, wait);
}

bool CFolderLock::Lock(int fd, int operation, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    m_fd = fd;
    return true;
}

void CFolderLock::Unlock() {
    if (m_fd >= 0) {
        ::close(m_fd);  // releases the lock
        m_fd = -1;
    }
}

}  // namespace vyn
