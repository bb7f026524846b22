// Hits in context: each hit of a rendered result page with the visible text before and
// after it, as a keyword-in-context line shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "encoding/bytestring.h"

namespace vyn {

// One hit of a page: its anchor number (the NNNN of <a name="NNNN">), the visible text
// inside the highlight that the anchor opens, and up to N visible characters of the
// same table cell before and after it.
struct KwicHit {
    int anchor = 0;
    std::u16string left;
    std::u16string hit;
    std::u16string right;
};

// The paragraph mark of visible text: one character for each paragraph break.
inline constexpr char16_t kKwicParagraphMark = u'／';

// Positions as the index numbers a cell's characters (see KwicCell).
inline constexpr std::uint32_t kNoPosition = 0xFFFFFFFF;
inline constexpr std::uint32_t kKwicBoundaryGap = 1000;

// One table cell of a rendered page as visible text (as ExtractKwic reads it), with
// per character its index position and whether it stands in an annotation, and the
// hit anchors in page order. Positions start at 0 and grow by one from character to
// character, by kKwicBoundaryGap where markup other than a hit mark stands between
// (a paragraph, an annotation, a glyph), as the index numbers them; a paragraph mark
// has kNoPosition. text, positions and notes have the same length.
struct KwicCell {
    struct Anchor {
        int number = 0;
        std::size_t at = 0;  // character index in text where the anchor stands
    };
    std::u32string text;
    std::vector<std::uint32_t> positions;
    std::vector<bool> notes;
    std::vector<Anchor> anchors;
};

// The table cells of a page in page order; read as ExtractKwic reads them.
std::vector<KwicCell> ReadKwicCells(const ByteString& page);

// The hit text[begin, end) of cell under anchor, with up to contextChars characters
// on either side. begin and end are cut to the text.
KwicHit KwicHitIn(const KwicCell& cell, int anchor, std::size_t begin, std::size_t end,
                  std::size_t contextChars);

// The hits of a page rendered with hit marks (CFileList::RenderHitPage), in anchor
// order. Visible text is the text of the anchor's table cell with tags removed and
// character references decoded; annotation text is visible text; a paragraph break
// (a <p>, <br>, <h4> or <div> between visible text of the cell) is one
// kKwicParagraphMark; a printed line end (LF and its indentation) is left out.
// left and right hold at most contextChars characters (a surrogate pair is one
// character); hit holds the highlight's whole text. An anchor
// without a highlight after it in its cell gives an empty hit. Malformed markup (an
// unclosed tag, a bad reference) is read leniently and never read past the end.
std::vector<KwicHit> ExtractKwic(const ByteString& page, std::size_t contextChars);

// The visible text of a page's table cells, joined in page order, with paragraph
// marks as above: what left + hit + right of every hit stands in. Tests check the
// rows of ExtractKwic against it.
std::u16string VisibleCellText(const ByteString& page);

}  // namespace vyn
