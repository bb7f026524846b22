// The byte string in which pages travel (UTF-8).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vyn {

using ByteString = std::vector<std::uint8_t>;

inline void Append(ByteString& out, std::string_view bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

inline void Append(ByteString& out, const std::uint8_t* first, const std::uint8_t* last) {
    out.insert(out.end(), first, last);
}

inline std::string_view AsView(const ByteString& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

inline ByteString ToBytes(std::string_view text) { return ByteString(text.begin(), text.end()); }

}  // namespace vyn
