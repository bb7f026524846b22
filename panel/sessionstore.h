// CSessionStore: where the reading session keeps the reader's lists between runs,
// as named entries of UTF-8 text. The desktop program keeps them in its profile;
// tests keep them in memory.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vyn {

// Implementations decide where entries live; the session names them and owns their
// text. Several stores (in several processes) may share the entries: Update is the
// way to change an entry without losing what another writer put there. Used from one
// thread at a time.
class CSessionStore {
public:
    virtual ~CSessionStore() = default;

    // The text of entry name; empty when there is none or it cannot be read.
    virtual std::string Read(std::string_view name) const = 0;
    // Replaces the text of entry name; false when it could not be written.
    virtual bool Write(std::string_view name, std::string_view text) = 0;

    // Replaces the text of entry name with change(its text as stored now), no other
    // writer of the store coming in between; the entry is written only when the text
    // changed. change is called once, unless the store cannot be locked or read: false
    // then, with nothing called or written. False also when the new text could not be
    // written. This implementation takes no lock: enough for entries that one thread
    // alone uses.
    virtual bool Update(std::string_view name, const std::function<std::string(const std::string&)>& change) {
        const std::string stored = Read(name);
        const std::string text = change(stored);
        return text == stored || Write(name, text);
    }
};

}  // namespace vyn
