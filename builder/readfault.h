// What the source readers (CSourceReader, CKanripoReader) share: the fault their
// parse throws, and the pieces of their messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vyn {

// The UTF-8 byte-order mark, dropped from the start of a file's first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Carries a finished message from deep in a parse to the reader's Read, which
// catches it; it never leaves the reader.
struct Fault {
    std::string message;
};

// Throws Fault{"FILE:LINE: message"}.
[[noreturn]] void FailAt(std::string_view file, std::uint64_t line, const std::string& message);

// Throws Fault{"FILE: message"}, for a fault with a whole file or folder.
[[noreturn]] void FailFile(std::string_view file, const std::string& message);

// value in decimal with a comma between groups of three digits: "4,194,304".
std::string Grouped(std::uint64_t value);

}  // namespace vyn
