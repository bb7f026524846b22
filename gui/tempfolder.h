// CTempFolder: the reader's private temporary folder for rendered pages.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace vyn {

// Owns a folder made fresh for this process under the user's runtime folder
// ($XDG_RUNTIME_DIR when it is a private folder of the user, else $TMPDIR or /tmp),
// named "vyn-" and random characters, mode 0700. Page files go into its "pages"
// subfolder; the folder itself holds what pages reach as "../name" (Back.gif).
// Files are written through descriptors of the two folders, each write removing what
// stands at the name and creating the file anew (O_EXCL, O_NOFOLLOW): a symbolic
// link, hard link or FIFO put in place of a file is never written through. The destructor removes
// the files written and both folders. While the folder exists its descriptor holds an
// exclusive flock, which tells other readers that the folder is in use, and the folder
// holds an owner file naming this process; a folder left behind by a reader that was
// killed is removed by the next reader's Create. Not thread-safe.
class CTempFolder {
public:
    CTempFolder() = default;
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // Removes stale folders (see RemoveStale), then makes the folder. True on success;
    // false leaves the object without a folder. Does nothing and returns true when the
    // folder exists already.
    bool Create();
    // Removes the folders "vyn-" and six characters in the base folder that are this
    // user's, private, not links, last changed over 10 seconds ago, not locked, and
    // marked by a reader whose process is gone, with their contents. Returns how many
    // it removed.
    static int RemoveStale();
    bool IsCreated() const { return m_rootFd >= 0; }

    // Full path of a page file; empty before Create succeeded.
    std::filesystem::path PagePath(std::string_view name) const;

    // Replaces the page file name (a plain file name: no "/", not "." or "..") with
    // bytes. False when the folder is missing, the name is not plain, a folder stands
    // at the name, or the file cannot be written; a partial file may then remain.
    bool WritePage(std::string_view name, std::span<const std::uint8_t> bytes);
    // The same for a file beside the "pages" subfolder.
    bool WriteShared(std::string_view name, std::span<const std::uint8_t> bytes);

    // Removes everything written and both folders. Safe to call again.
    void Remove();

private:
    bool Write(int dirFd, std::string_view name, std::span<const std::uint8_t> bytes);

    std::filesystem::path m_root;
    int m_rootFd = -1;
    int m_pagesFd = -1;
};

}  // namespace vyn
