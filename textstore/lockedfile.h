// A read-only file held under a shared advisory lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vyn {

// Owns one file descriptor. Open takes a non-blocking shared flock: any number of
// readers open the same file; only an exclusive holder (none of ours takes one on a
// data file) would make Open fail.
// Not thread-safe; reads are positional and leave no file position behind.
class CLockedFile {
public:
    CLockedFile() = default;
    ~CLockedFile();
    CLockedFile(const CLockedFile&) = delete;
    CLockedFile& operator=(const CLockedFile&) = delete;

    // Opens an existing regular file for reading. False when it is missing, not a
    // regular file, unreadable or locked exclusively; the object is then closed.
    bool Open(const std::string& path);
    // Opens a second descriptor of other's open file: the same file and lock, also
    // after the path names another file. False, the object closed, when other is
    // closed or the descriptor cannot be duplicated. Safe on other from any thread.
    bool OpenDuplicate(const CLockedFile& other);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Current size in bytes; false on a closed file or a failed stat.
    bool Size(std::uint64_t& size) const;

    // Reads exactly `length` bytes at `offset`; false on a short read or an error.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const;

    int Descriptor() const { return m_fd; }

private:
    int m_fd = -1;
};

}  // namespace vyn
