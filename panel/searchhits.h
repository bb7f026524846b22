// CSearchHits: the hits of one search as hit rows, to be read away from the panel.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "panel/kwicrows.h"
#include "panel/searchcommand.h"

namespace vyn {

class CDataGeneration;
class CIndex;

// Holds a copy of a search's query and result entries, and where they were searched
// (the generation of the data and the text part). The rows come from an engine of its
// own opened on that generation, so they agree with the panel's pages however the
// folder is rebuilt meanwhile, and the object can go to a worker thread while the
// panel searches on. Move-only; one thread at a time.
class CSearchHits {
public:
    // No entries.
    CSearchHits();
    CSearchHits(std::shared_ptr<const CDataGeneration> data, TextPart part, KwicQuery query,
                std::vector<SearchNodeTag> entries);
    CSearchHits(CSearchHits&&) noexcept;
    CSearchHits& operator=(CSearchHits&&) noexcept;
    ~CSearchHits();

    // What the pages are rendered for; the entries in result list order.
    const KwicQuery& Query() const { return m_query; }
    const std::vector<SearchNodeTag>& Entries() const { return m_entries; }
    // The first records of a library's data folders (see ExportKwic); empty otherwise.
    std::vector<std::uint32_t> FolderBases() const;

    // Opens the engine the rows are read with. False when the data cannot be opened;
    // then every entry gives no rows.
    bool Open();
    // Appends the rows of entries [first, last) in entry order (see AppendKwicRows),
    // with up to context characters on either side. last is cut to the entry count.
    // Returns the number of rows appended; 0 before a successful Open.
    std::size_t AppendRows(std::size_t first, std::size_t last, std::size_t context,
                           std::vector<KwicRow>& rows);

private:
    std::shared_ptr<const CDataGeneration> m_data;  // null: no data
    TextPart m_part = TextPart::kWhole;
    KwicQuery m_query;
    std::vector<SearchNodeTag> m_entries;
    std::unique_ptr<CIndex> m_engine;  // open after a successful Open
};

}  // namespace vyn
