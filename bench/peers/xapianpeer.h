// The Xapian peer: one positional term per character, one document per page.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/peers/peerquery.h"

namespace vyn::peers {

// A Xapian database over the page lines of a text file: page p is document p + 1,
// and a character at index position q is indexed at term position q + 1 as itself
// (when it has a slot) and as "?", the any-character term. Positions keep the
// index's markup gaps, so phrases never cross them. Not thread-safe.
class CXapianPeer {
public:
    CXapianPeer();
    ~CXapianPeer();
    CXapianPeer(const CXapianPeer&) = delete;
    CXapianPeer& operator=(const CXapianPeer&) = delete;

    bool Build(const std::filesystem::path& textPath, const std::filesystem::path& dbPath);
    bool Open(const std::filesystem::path& dbPath);
    const std::string& GetReason() const { return m_reason; }

    // Pages holding the query, ascending. A word is OP_PHRASE over its characters;
    // two single characters around "*" a windowed OP_PHRASE; any other word with
    // "*" is a windowed phrase of all its units whose matches are checked for order
    // and gaps against the position lists. Words are joined with OP_AND or OP_OR.
    std::vector<std::uint32_t> Search(const PeerQuery& query);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_reason;
};

}  // namespace vyn::peers
