#include "bench/peers/xapianpeer.h"

#include <xapian.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "bench/peers/pagetext.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"

namespace vyn::peers {

namespace {

const std::string kAnyTerm = "?";

std::string Term(char32_t c) {
    std::string term;
    AppendUtf8(term, c);
    return term;
}

Xapian::Query UnitQuery(const Unit& unit) {
    if (unit.IsAny()) return Xapian::Query(kAnyTerm);
    if (unit.alternatives.size() == 1) return Xapian::Query(Term(unit.alternatives[0]));
    std::vector<Xapian::Query> terms;
    for (char32_t c : unit.alternatives) terms.emplace_back(Term(c));
    return Xapian::Query(Xapian::Query::OP_OR, terms.begin(), terms.end());
}

// Whether the word needs its matches checked beyond what OP_PHRASE expresses.
bool NeedsCheck(const PeerWord& word) {
    if (word.parts.size() <= 1) return false;
    return !(word.parts.size() == 2 && word.parts[0].size() == 1 && word.parts[1].size() == 1 &&
             word.minGap[0] == 0);
}

Xapian::Query WordQuery(const PeerWord& word) {
    std::vector<Xapian::Query> units;
    std::uint64_t span = 0;
    for (std::size_t k = 0; k < word.parts.size(); ++k) {
        for (const Unit& unit : word.parts[k]) units.push_back(UnitQuery(unit));
        span += word.parts[k].size();
        if (k > 0) span += word.maxGap[k - 1];
    }
    if (units.size() == 1) return units[0];
    // The window is the number of positions the whole match may span.
    return Xapian::Query(Xapian::Query::OP_PHRASE, units.begin(), units.end(),
                         static_cast<Xapian::termcount>(span));
}

}  // namespace

struct CXapianPeer::Impl {
    Xapian::Database db;

    std::vector<std::uint32_t> Pages(const Xapian::Query& query) {
        Xapian::Enquire enquire(db);
        enquire.set_query(query);
        enquire.set_weighting_scheme(Xapian::BoolWeight());
        enquire.set_docid_order(Xapian::Enquire::ASCENDING);
        Xapian::MSet matches = enquire.get_mset(0, db.get_doccount());
        std::vector<std::uint32_t> pages;
        pages.reserve(matches.size());
        for (auto it = matches.begin(); it != matches.end(); ++it) pages.push_back(*it - 1);
        std::sort(pages.begin(), pages.end());
        return pages;
    }

    std::vector<std::uint32_t> Positions(Xapian::docid doc, const Unit& unit) {
        std::vector<std::uint32_t> positions;
        for (char32_t c : unit.alternatives) {
            const std::string term = Term(c);
            for (auto it = db.positionlist_begin(doc, term); it != db.positionlist_end(doc, term);
                 ++it) {
                positions.push_back(*it);
            }
        }
        std::sort(positions.begin(), positions.end());
        return positions;
    }

    bool Check(Xapian::docid doc, const PeerWord& word) {
        std::vector<std::vector<std::uint32_t>> starts;
        for (const auto& part : word.parts) {
            std::vector<std::uint32_t> candidates = Positions(doc, part.front());
            for (std::size_t u = 1; u < part.size() && !candidates.empty(); ++u) {
                if (part[u].IsAny()) continue;  // inside a run every position holds one
                const std::vector<std::uint32_t> at = Positions(doc, part[u]);
                std::erase_if(candidates, [&](std::uint32_t s) {
                    return !std::binary_search(at.begin(), at.end(), s + u);
                });
            }
            starts.push_back(std::move(candidates));
        }
        return HasChain(word, starts);
    }
};

CXapianPeer::CXapianPeer() : m_impl(std::make_unique<Impl>()) {}
CXapianPeer::~CXapianPeer() = default;

bool CXapianPeer::Build(const std::filesystem::path& textPath,
                        const std::filesystem::path& dbPath) {
    try {
        std::ifstream text(textPath, std::ios::binary);
        if (!text) {
            m_reason = "cannot read " + textPath.string();
            return false;
        }
        if (!std::getenv("XAPIAN_FLUSH_THRESHOLD")) setenv("XAPIAN_FLUSH_THRESHOLD", "100000", 0);
        Xapian::WritableDatabase db(dbPath.string(), Xapian::DB_CREATE_OR_OVERWRITE);
        std::string line;
        std::vector<PositionedChar> chars;
        for (Xapian::docid doc = 1; std::getline(text, line); ++doc) {
            if (!ParsePageLine(line, chars)) {
                m_reason = "malformed line " + std::to_string(doc);
                return false;
            }
            Xapian::Document document;
            for (const PositionedChar& c : chars) {
                if (CharSlot(c.codePoint) != kNotIndexed) {
                    document.add_posting(Term(c.codePoint), c.position + 1);
                }
                document.add_posting(kAnyTerm, c.position + 1);
            }
            db.replace_document(doc, document);
        }
        db.commit();
        db.close();
        return Open(dbPath);
    } catch (const Xapian::Error& e) {
        m_reason = e.get_description();
        return false;
    }
}

bool CXapianPeer::Open(const std::filesystem::path& dbPath) {
    try {
        m_impl->db = Xapian::Database(dbPath.string());
        return true;
    } catch (const Xapian::Error& e) {
        m_reason = e.get_description();
        return false;
    }
}

std::vector<std::uint32_t> CXapianPeer::Search(const PeerQuery& query) {
    try {
        std::vector<Xapian::Query> plain;
        std::vector<std::vector<std::uint32_t>> checked;
        for (const PeerWord& word : query.words) {
            if (word.parts.empty()) {
                if (!query.any) return {};
                continue;
            }
            if (!NeedsCheck(word)) {
                plain.push_back(WordQuery(word));
                continue;
            }
            std::vector<std::uint32_t> pages = m_impl->Pages(WordQuery(word));
            std::erase_if(pages, [&](std::uint32_t p) { return !m_impl->Check(p + 1, word); });
            checked.push_back(std::move(pages));
        }
        std::vector<std::uint32_t> result;
        bool first = true;
        if (!plain.empty()) {
            result = m_impl->Pages(
                Xapian::Query(query.any ? Xapian::Query::OP_OR : Xapian::Query::OP_AND,
                              plain.begin(), plain.end()));
            first = false;
        }
        for (const auto& pages : checked) {
            CombinePages(result, pages, query.any, first);
            first = false;
        }
        return result;
    } catch (const Xapian::Error&) {
        return {};
    }
}

}  // namespace vyn::peers
