// CFolderLock: the lock that keeps readers from seeing a data folder half replaced.
#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>

namespace vyn {

// The lock file "vyn.lock" in a data folder. The builder holds it exclusively while it
// moves a new set of files into the folder; a reader holds it shared while it opens
// its files, then lets go: its open descriptors and mappings keep the files it opened,
// since the builder replaces files by renaming new ones over them and never rewrites
// one. Any number of readers share the folder. Locks are flocks on the lock file, so
// they are released when the process ends, however it ends; two objects in one
// process exclude each other as two processes do. Not thread-safe.
class CFolderLock {
public:
    static constexpr std::string_view kLockFile = "vyn.lock";
    // How long a reader waits for a builder to finish moving files in.
    static constexpr std::chrono::milliseconds kReaderWait{1000};

    CFolderLock() = default;
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

    // Takes the folder's lock shared, waiting up to `wait` for an exclusive holder.
    // True when held, and also when the folder has no lock file (a folder built
    // before the lock existed, or read-only): there is then nothing to wait for.
    // False when the wait ran out or the lock file cannot be opened.
    bool LockShared(const std::filesystem::path& folder,
                    std::chrono::milliseconds wait = kReaderWait);
    // Takes the lock exclusively, creating the lock file when missing and waiting up to
    // `wait` for the holders. False when the wait ran out or the file cannot be made.
    bool LockExclusive(const std::filesystem::path& folder, std::chrono::milliseconds wait);
    // Releases the lock. Safe when none is held.
    void Unlock();

private:
    bool Lock(int fd, int operation, std::chrono::milliseconds wait);

    int m_fd = -1;
};

}  // namespace vyn
