// Index fixtures: a small corpus written as index files, text store and variant table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "textstore/messagesink.h"

namespace vyn::test {

// Collects the warnings an index sends.
class RecordingSink : public CMessageSink {
public:
    void Warning(std::string_view utf8) override { messages.emplace_back(utf8); }
    std::vector<std::string> messages;
};

// Code points of each document at their positions, and the variant groups. Every
// occurrence is indexed under its CharSlot and under the slot of each group that
// lists it, as a real index is.
class Corpus {
public:
    // Page doc holds text: its code points take positions 0, 1, 2, ... (every
    // character counts, indexed or not) and the text goes into the store as well.
    void AddPage(std::uint32_t doc, std::u16string_view text);
    // One occurrence, without store text (for large document or position numbers).
    void Add(std::uint32_t doc, std::uint32_t position, std::uint32_t codePoint);

    // Writes folder/base+suffix "-idx.h" and "-idx.m", the store folder/base with one
    // page per document 0..max paged document (at least one page), and
    // folder/"yitizi.txt" when there are groups. False on a write failure.
    bool Write(const std::filesystem::path& folder, std::string_view suffix = "",
               std::string_view base = "Index") const;
    bool WriteIndexOnly(const std::filesystem::path& folder, std::string_view baseWithSuffix) const;

    const std::map<std::uint32_t, std::map<std::uint32_t, std::uint32_t>>& Docs() const {
        return m_docs;
    }

    std::vector<std::vector<std::uint32_t>> groups;

private:
    std::map<std::uint32_t, std::map<std::uint32_t, std::uint32_t>> m_docs;
    std::map<std::uint32_t, std::u16string> m_texts;
};

// The page the store holds for text: a title and the text in both cells.
std::string PageHtml(std::u16string_view text);

// Writes groups as "yitizi.txt" lines of hex members.
void WriteVariantTable(const std::filesystem::path& folder,
                       const std::vector<std::vector<std::uint32_t>>& groups);

std::vector<std::uint32_t> CodePoints(std::u16string_view text);

}  // namespace vyn::test
