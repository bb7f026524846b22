// The SQLite FTS5 peer: every character one token, one row per run of a page.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/peers/peerquery.h"

struct sqlite3;

namespace vyn::peers {

// A contentless FTS5 table over the page lines of a text file. Each run of a page
// (the characters between two markup gaps) is a row with rowid page << 20 | run, so
// token positions are character offsets within the run; a search never crosses a
// run, as none crosses the index's gaps. A character with an index slot is indexed
// as itself with the token "?" at the same position; any other character as "?"
// alone, so "?" matches one character of any kind. Not thread-safe.
class CFts5Peer {
public:
    CFts5Peer();
    ~CFts5Peer();
    CFts5Peer(const CFts5Peer&) = delete;
    CFts5Peer& operator=(const CFts5Peer&) = delete;

    // Writes a new database at dbPath from the page lines of textPath and merges it
    // into one segment. False with a reason on failure.
    bool Build(const std::filesystem::path& textPath, const std::filesystem::path& dbPath);
    bool Open(const std::filesystem::path& dbPath);
    const std::string& GetReason() const { return m_reason; }

    // Pages holding the query, ascending. Words are searched one by one and their
    // pages joined here; a word with "*" is matched with NEAR and checked for order
    // and gaps by an auxiliary function.
    std::vector<std::uint32_t> Search(const PeerQuery& query);

    // The MATCH expression for a word.
    static std::string MatchText(const PeerWord& word);

    // Used by the auxiliary function.
    const PeerWord* CurrentWord() const { return m_current; }

private:
    bool OpenConnection(const std::filesystem::path& dbPath, bool create);
    bool Exec(const char* sql);
    bool Fail(std::string reason);
    std::vector<std::uint32_t> SearchWord(const PeerWord& word);

    sqlite3* m_db = nullptr;
    const PeerWord* m_current = nullptr;
    std::string m_reason;
};

}  // namespace vyn::peers
