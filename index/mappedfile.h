// CMappedFile: a read-only memory view of a whole open file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vyn {

// Owns one private read-only mapping; unmaps it in Unmap and in its destructor.
// The view stays valid until Unmap. Not thread-safe.
class CMappedFile {
public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // Maps the first `size` bytes of the open descriptor fd (unmapping any earlier
    // view). False, nothing mapped, when size is 0, does not fit the address space,
    // or the mapping fails.
    bool Map(int fd, std::uint64_t size);
    void Unmap();

    std::span<const std::uint8_t> Bytes() const { return {m_address, m_size}; }

private:
    const std::uint8_t* m_address = nullptr;
    std::size_t m_size = 0;
};

}  // namespace vyn
