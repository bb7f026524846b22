#include "index/mappedfile.h"

#include <sys/mman.h>

#include <limits>

namespace vyn {

CMappedFile::~CMappedFile() { Unmap(); }

bool CMappedFile::Map(int fd, std::uint64_t size) {
    Unmap();
    if (fd < 0 || size == 0 || size > std::numeric_limits<std::size_t>::max()) return false;
    const auto length = static_cast<std::size_t>(size);
    void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    if (address == MAP_FAILED) return false;
    m_address = static_cast<const std::uint8_t*>(address);
    m_size = length;
    return true;
}

void CMappedFile::Unmap() {
    if (m_address) {
        ::munmap(const_cast<std::uint8_t*>(m_address), m_size);
        m_address = nullptr;
        m_size = 0;
    }
}

}  // namespace vyn
