// CSessionStore: where the reading session keeps the reader's lists between runs,
// as named entries of UTF-8 text. The desktop program keeps them in its profile;
// tests keep them in memory.
#pragma once

#include <string>
#include <string_view>

namespace vyn {

// Implementations decide where entries live; the session names them and owns their
// text. Used from one thread at a time.
class CSessionStore {
public:
    virtual ~CSessionStore() = default;

    // The text of entry name; empty when there is none or it cannot be read.
    virtual std::string Read(std::string_view name) const = 0;
    // Replaces the text of entry name; false when it could not be written.
    virtual bool Write(std::string_view name, std::string_view text) = 0;
};

}  // namespace vyn
