// Little-endian output and whole-file writes shared by the data-file writers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "encoding/bytestring.h"

namespace vyn {

inline void PutU32(ByteString& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Replaces the file at path by bytes. False with "cannot write PATH" in error.
bool WriteBytes(const std::filesystem::path& path, const ByteString& bytes, std::string& error);

}  // namespace vyn
