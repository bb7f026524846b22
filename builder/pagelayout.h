// The layout of one stored page and the index positions of its characters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builder/corpus.h"
#include "index/indexformat.h"
#include "textstore/kwic.h"

namespace vyn {

// Positions of neighbouring characters that markup, a paragraph break or a switch
// between main text and annotation separates differ by at least this much. A word
// search bridges fewer than 600 positions (300 around a "*" plus the "?" of a word
// of at most 298 units), so no search match crosses such a boundary, just as no hit
// marking does.
constexpr std::uint32_t kBoundaryGap = 1000;
// Hits in context number a rendered cell the same way.
static_assert(kBoundaryGap == kKwicBoundaryGap);

// The largest position the index can hold as the first position of an entry.
constexpr std::uint32_t kMaxPosition = kMaxPacked;

// One positioned character of a page's text cell.
struct Occurrence {
    char32_t codePoint = 0;
    std::uint32_t position = 0;
    TextRun::Kind kind = TextRun::kMain;
};

struct LaidOutPage {
    std::string html;                     // the stored page, UTF-8
    std::vector<Occurrence> occurrences;  // in position order
};

// Lays page out as the stored page of a record with page number pageNumber: a
// complete HTML page with a title and two cells, the text in the first cell when
// pageNumber is even and in the second when it is odd, the label in the other.
// Every character of the text cell gets a position; consecutive characters get
// consecutive positions unless markup stands between them (kBoundaryGap).
// In text, "<", ">" and "&" become U+FF1C, U+FF1E and U+FF06; ASCII white space
// becomes U+3000 in the text and a space in the label; other control characters
// are dropped. Paragraphs left without text are dropped; adjacent runs of one kind
// are joined. False with a reason in error, out untouched, when the page holds
// malformed UTF-8 or needs a position above kMaxPosition.
bool LayOutPage(const CorpusPage& page, std::uint32_t pageNumber, LaidOutPage& out,
                std::string& error);

}  // namespace vyn
