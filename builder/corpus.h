// The in-memory corpus that CDataBuilder turns into data files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace vyn {

// A catalog display name as the caller has it: UTF-16, or UTF-8 in a std::string.
using CatalogName = std::variant<std::u16string, std::string>;

// A stretch of a paragraph's text in UTF-8: main text or an annotation.
//
// form says what the stretch is. kText: characters. kLineEnd: the end of a printed
// line inside the paragraph; text holds the next line's indentation (ideographic
// spaces), shown but neither indexed nor given positions, so that a phrase runs on
// over the break. kGlyph: one glyph that has no code point, shown as U+3013 (one
// position, no character slot); text holds its name.
struct TextRun {
    enum Kind : int { kMain = 0, kNote = 1 };
    enum Form : int { kText = 0, kLineEnd = 1, kGlyph = 2 };
    Kind kind = kMain;
    std::string text;
    Form form = kText;
};

struct Paragraph {
    std::vector<TextRun> runs;
};

// One page: its label (shown in the page's title and beside its text, never
// indexed) and its body.
struct CorpusPage {
    std::string title;  // UTF-8
    std::vector<Paragraph> paragraphs;
};

// A volume: a run of pages numbered firstPage, firstPage + 1, ...
struct CorpusVolume {
    CatalogName name;
    std::uint16_t firstPage = 1;  // the catalog's curFileName
    std::vector<CorpusPage> pages;
};

struct CorpusBook {
    CatalogName name;
    std::vector<CorpusVolume> volumes;
};

struct CorpusCategory {
    CatalogName name;
    std::vector<CorpusBook> books;
};

// The whole corpus in reading order, plus the variant groups: each group lists the
// code points that a variant search treats as one character. Group g (0-based) gets
// index slot kFirstVariantSlot + g.
struct Corpus {
    std::vector<CorpusCategory> categories;
    std::vector<std::vector<std::uint32_t>> variantGroups;
};

// How much of its input a source reader keeps. Categories and books are numbered
// from 0 in input order, the same however much is kept.
struct ReadScope {
    // The books kept; the others are left out of the corpus with their files unread,
    // and so is a category left without a book. Empty: every book.
    std::function<bool(std::size_t category, std::size_t book)> keepBook;
    // Called with each volume kept, in input order, once it is read and checked and
    // before it joins the corpus. It may take the volume's pages (to measure and drop
    // them); what it throws leaves the read failed.
    std::function<void(std::size_t category, std::size_t book, CorpusVolume& volume)> onVolume;
    // Whether the whole input must fit the catalog of one data folder, at most
    // kMaxCatalogRecords entries: CSourceReader checks it as it reads; for
    // CKanripoReader its caller does (CheckCorpusLimits). A library splits its input
    // instead.
    bool oneFolder = true;
};

}  // namespace vyn
