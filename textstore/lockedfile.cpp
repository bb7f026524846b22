#include "textstore/lockedfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vyn {

CLockedFile::~CLockedFile() { Close(); }

bool CLockedFile::Open(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool CLockedFile::OpenDuplicate(const CLockedFile& other) {
    Close();
    if (other.m_fd < 0) return false;
    const int fd = ::fcntl(other.m_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return false;
    m_fd = fd;
    return true;
}

void CLockedFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);  // releases the lock
        m_fd = -1;
    }
}

bool CLockedFile::Size(std::uint64_t& size) const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || st.st_size < 0) return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool CLockedFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
    if (m_fd < 0) return false;
    auto* out = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        ssize_t n = ::pread(m_fd, out, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace vyn
