// CFolderLock: the lock that keeps readers from seeing a data folder half replaced.
#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>

namespace vyn {

// A flock on the data folder itself (its directory descriptor), so that no file is
// added to the folder. The builder holds it exclusively while it moves a new set of
// files into the folder; a reader holds it shared while it opens its files, then lets
// go: its open descriptors and mappings keep the files it opened, since the builder
// replaces files by renaming new ones over them and never rewrites one. Any number of
// readers share the folder. The lock is released when the process ends, however it
// ends; two objects in one process exclude each other as two processes do. Not
// thread-safe.
class CFolderLock {
public:
    // How long a reader waits for a builder to finish moving files in.
    static constexpr std::chrono::milliseconds kReaderWait{1000};

    CFolderLock() = default;
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

    // Takes the folder's lock shared, waiting up to `wait` for an exclusive holder.
    // False when the wait ran out or the folder cannot be opened.
    bool LockShared(const std::filesystem::path& folder,
                    std::chrono::milliseconds wait = kReaderWait);
    // Takes the lock exclusively, waiting up to `wait` for the holders. False when the
    // wait ran out or the folder cannot be opened.
    bool LockExclusive(const std::filesystem::path& folder, std::chrono::milliseconds wait);
    // Releases the lock. Safe when none is held.
    void Unlock();

private:
    bool Lock(const std::filesystem::path& folder, int operation, std::chrono::milliseconds wait);

    int m_fd = -1;
};

}  // namespace vyn
