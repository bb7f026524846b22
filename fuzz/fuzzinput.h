// Shared by the fuzz targets and the seed maker: the framing of a fuzz input into
// several files, and a private scratch folder the targets write those files into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vyn::fuzz {

// Parts of one input are separated by this marker; missing parts are empty.
inline constexpr std::string_view kSplit = "#VYN#";

inline std::vector<std::string_view> SplitInput(const std::uint8_t* data, std::size_t size,
                                                std::size_t parts) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> out;
    while (out.size() + 1 < parts) {
        std::size_t at = rest.find(kSplit);
        if (at == std::string_view::npos) break;
        out.push_back(rest.substr(0, at));
        rest.remove_prefix(at + kSplit.size());
    }
    out.push_back(rest);
    out.resize(parts);
    return out;
}

inline std::string JoinParts(const std::vector<std::string>& parts) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += kSplit;
        out += parts[i];
    }
    return out;
}

// UTF-16 text from raw bytes, two bytes a unit, low byte first; an odd last byte is
// dropped. Any unit goes through, lone surrogates and NULs included.
inline std::u16string Utf16FromBytes(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                             (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
    }
    return text;
}

inline std::string BytesFromUtf16(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// A folder of this process under /dev/shm when there is one (the targets rewrite
// their files on every input), removed with its contents at exit.
const std::filesystem::path& ScratchFolder();

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vyn::fuzz
