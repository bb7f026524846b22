// CMessageSink: where the core sends the fixed warnings meant for the user.
#pragma once

#include <string_view>

namespace vyn {

// Implemented by the user of the core: the reader shows a modal warning box, a tool
// prints the text to stderr, tests record it. The core calls Warning synchronously,
// on the thread that called the failing operation, with a fixed UTF-8 sentence.
class CMessageSink {
public:
    virtual ~CMessageSink() = default;
    virtual void Warning(std::string_view utf8) = 0;
};

}  // namespace vyn
