// CFirstGroupMap: code point -> the first variant group holding it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vyn {

// Open addressing in two flat arrays, filled once per load of the variant table.
// Not thread-safe.
class CFirstGroupMap {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    void Clear();
    // Makes room for count code points; the map must be empty.
    void Reserve(std::size_t count);
    // Maps codePoint to group unless it is mapped already.
    void AddIfAbsent(std::uint32_t codePoint, std::uint32_t group);
    std::uint32_t Find(std::uint32_t codePoint) const;  // kNone when absent

private:
    std::size_t Home(std::uint32_t codePoint) const {
        return (codePoint * 0x9E3779B1u) >> m_shift & m_mask;
    }
    std::vector<std::uint32_t> m_keys;
    std::vector<std::uint32_t> m_groups;  // kNone: free
    std::size_t m_mask = 0;
    int m_shift = 0;
};

}  // namespace vyn
