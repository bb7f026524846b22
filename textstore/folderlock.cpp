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
    return Lock(folder, LOCK_SH, wait);
}

bool CFolderLock::LockExclusive(const std::filesystem::path& folder,
                                std::chrono::milliseconds wait) {
    return Lock(folder, LOCK_EX, wait);
}

bool CFolderLock::Lock(const std::filesystem::path& folder, int operation,
                       std::chrono::milliseconds wait) {
    Unlock();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
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
