#include "bench/peers/fts5peer.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>

#include "bench/peers/pagetext.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"

namespace vyn::peers {

namespace {

constexpr int kRunBits = 20;
constexpr char kAnyToken[] = "?";

// Decodes one UTF-8 sequence at text[i]; the pages were written by PageLine, so the
// input is well formed, but a bad byte still only advances by one.
char32_t NextCodePoint(const char* text, int size, int& i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    int length = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
    if (i + length > size) length = 1;
    char32_t c = length == 1 ? b0 : b0 & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k) c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    return c;
}

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

int CreateTokenizer(void*, const char**, int, Fts5Tokenizer** out) {
    static int instance;
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void DeleteTokenizer(Fts5Tokenizer*) {}

// Documents: each character as itself (when it has a slot) plus "?" at the same
// position. Queries: "?" is the any-character token and "[...]" lists alternatives
// for one position.
int Tokenize(Fts5Tokenizer*, void* context, int flags, const char* text, int size,
             TokenCallback token) {
    const bool document = (flags & FTS5_TOKENIZE_DOCUMENT) != 0;
    bool inAlternatives = false;
    bool firstAlternative = false;
    for (int i = 0; i < size;) {
        const int start = i;
        const char32_t c = NextCodePoint(text, size, i);
        int rc = SQLITE_OK;
        if (document) {
            if (CharSlot(c) != kNotIndexed) {
                rc = token(context, 0, text + start, i - start, start, i);
                if (rc == SQLITE_OK) {
                    rc = token(context, FTS5_TOKEN_COLOCATED, kAnyToken, 1, start, i);
                }
            } else {
                rc = token(context, 0, kAnyToken, 1, start, i);
            }
        } else if (c == U' ') {
            continue;
        } else if (c == U'[') {
            inAlternatives = firstAlternative = true;
        } else if (c == U']') {
            inAlternatives = false;
        } else {
            const int tokenFlags = inAlternatives && !firstAlternative ? FTS5_TOKEN_COLOCATED : 0;
            firstAlternative = false;
            rc = token(context, tokenFlags, text + start, i - start, start, i);
        }
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

// vyn_chain(t): 1 when the row's phrase instances hold a chain that keeps the
// current word's order and gaps.
void ChainFunction(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int,
                   sqlite3_value**) {
    auto* peer = static_cast<CFts5Peer*>(api->xUserData(fts));
    const PeerWord* word = peer->CurrentWord();
    int count = 0;
    if (!word || api->xInstCount(fts, &count) != SQLITE_OK) {
        sqlite3_result_error(result, "vyn_chain without a word", -1);
        return;
    }
    std::vector<std::vector<std::uint32_t>> starts(word->parts.size());
    for (int i = 0; i < count; ++i) {
        int phrase = 0, column = 0, offset = 0;
        if (api->xInst(fts, i, &phrase, &column, &offset) != SQLITE_OK) continue;
        if (phrase >= 0 && static_cast<std::size_t>(phrase) < starts.size()) {
            starts[phrase].push_back(static_cast<std::uint32_t>(offset));
        }
    }
    for (auto& s : starts) std::sort(s.begin(), s.end());
    sqlite3_result_int(result, HasChain(*word, starts) ? 1 : 0);
}

fts5_api* FtsApi(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK) {
        return nullptr;
    }
    sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    return api;
}

std::string UnitText(const Unit& unit) {
    std::string text;
    if (unit.IsAny()) return kAnyToken;
    if (unit.alternatives.size() > 1) text += '[';
    for (char32_t c : unit.alternatives) AppendUtf8(text, c);
    if (unit.alternatives.size() > 1) text += ']';
    return text;
}

struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

}  // namespace

CFts5Peer::CFts5Peer() = default;

CFts5Peer::~CFts5Peer() { sqlite3_close_v2(m_db); }

bool CFts5Peer::Fail(std::string reason) {
    m_reason = std::move(reason);
    if (m_db) m_reason += std::string(": ") + sqlite3_errmsg(m_db);
    return false;
}

bool CFts5Peer::Exec(const char* sql) {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK || Fail(sql);
}

bool CFts5Peer::OpenConnection(const std::filesystem::path& dbPath, bool create) {
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    const int flags = create ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(dbPath.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        return Fail("cannot open " + dbPath.string());
    }
    fts5_api* api = FtsApi(m_db);
    if (!api) return Fail("SQLite has no FTS5");
    static fts5_tokenizer tokenizer{CreateTokenizer, DeleteTokenizer, Tokenize};
    if (api->xCreateTokenizer(api, "vynchar", nullptr, &tokenizer, nullptr) != SQLITE_OK ||
        api->xCreateFunction(api, "vyn_chain", this, ChainFunction, nullptr) != SQLITE_OK) {
        return Fail("cannot register the tokenizer");
    }
    // Queries are served from memory, as vyn's are from its mapping.
    return Exec("PRAGMA mmap_size=4000000000") && Exec("PRAGMA cache_size=-1000000");
}

bool CFts5Peer::Build(const std::filesystem::path& textPath, const std::filesystem::path& dbPath) {
    std::ifstream text(textPath, std::ios::binary);
    if (!text) return Fail("cannot read " + textPath.string());
    std::error_code ec;
    std::filesystem::remove(dbPath, ec);
    if (!OpenConnection(dbPath, true)) return false;
    if (!Exec("PRAGMA journal_mode=OFF") || !Exec("PRAGMA synchronous=OFF") ||
        !Exec("CREATE VIRTUAL TABLE t USING fts5(x, content='', columnsize=0, "
              "tokenize='vynchar')") ||
        !Exec("BEGIN")) {
        return false;
    }
    Statement insert;
    if (sqlite3_prepare_v2(m_db, "INSERT INTO t(rowid, x) VALUES(?1, ?2)", -1, &insert.handle,
                           nullptr) != SQLITE_OK) {
        return Fail("cannot prepare the insert");
    }
    std::string line;
    for (std::int64_t page = 0; std::getline(text, line); ++page) {
        std::int64_t run = 0;
        std::size_t start = 0;
        while (start < line.size()) {
            std::size_t end = line.find(kRunSeparator, start);
            if (end == std::string::npos) end = line.size();
            sqlite3_bind_int64(insert.handle, 1, page << kRunBits | run++);
            sqlite3_bind_text(insert.handle, 2, line.data() + start, static_cast<int>(end - start),
                              SQLITE_STATIC);
            if (sqlite3_step(insert.handle) != SQLITE_DONE) return Fail("insert failed");
            sqlite3_reset(insert.handle);
            start = end + 1;
        }
    }
    return Exec("COMMIT") && Exec("INSERT INTO t(t) VALUES('optimize')") &&
           OpenConnection(dbPath, false);
}

bool CFts5Peer::Open(const std::filesystem::path& dbPath) { return OpenConnection(dbPath, false); }

std::string CFts5Peer::MatchText(const PeerWord& word) {
    std::string text;
    std::uint64_t between = 0;
    for (std::size_t k = 0; k < word.parts.size(); ++k) {
        if (k > 0) text += ' ';
        text += '"';
        for (const Unit& unit : word.parts[k]) text += UnitText(unit);
        text += '"';
        if (k > 0) between += word.maxGap[k - 1];
        if (k > 0 && k + 1 < word.parts.size()) between += word.parts[k].size();
    }
    if (word.parts.size() > 1) text = "NEAR(" + text + ", " + std::to_string(between) + ")";
    return text;
}

std::vector<std::uint32_t> CFts5Peer::SearchWord(const PeerWord& word) {
    std::vector<std::uint32_t> pages;
    if (word.parts.empty() || !m_db) return pages;
    const bool chained = word.parts.size() > 1;
    Statement select;
    const char* sql = chained ? "SELECT rowid, vyn_chain(t) FROM t WHERE t MATCH ?1"
                              : "SELECT rowid FROM t WHERE t MATCH ?1";
    if (sqlite3_prepare_v2(m_db, sql, -1, &select.handle, nullptr) != SQLITE_OK) return pages;
    const std::string match = MatchText(word);
    sqlite3_bind_text(select.handle, 1, match.data(), static_cast<int>(match.size()),
                      SQLITE_STATIC);
    m_current = &word;
    while (sqlite3_step(select.handle) == SQLITE_ROW) {
        if (chained && sqlite3_column_int(select.handle, 1) == 0) continue;
        const auto page =
            static_cast<std::uint32_t>(sqlite3_column_int64(select.handle, 0) >> kRunBits);
        if (pages.empty() || pages.back() != page) pages.push_back(page);
    }
    m_current = nullptr;
    return pages;
}

std::vector<std::uint32_t> CFts5Peer::Search(const PeerQuery& query) {
    std::vector<std::uint32_t> result;
    bool first = true;
    for (const PeerWord& word : query.words) {
        CombinePages(result, SearchWord(word), query.any, first);
        first = false;
    }
    return result;
}

}  // namespace vyn::peers
