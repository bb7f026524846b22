#include "textstore/kwic.h"

#include <algorithm>
#include <string_view>

#include "encoding/utf.h"
#include "textstore/storeformat.h"

namespace vyn {

namespace {

// A table cell read as visible characters, with where each anchor and highlight lies.
struct Cell {
    std::u32string text;
    // Per character of text: its position as the index numbers the cell's characters
    // (kNoPosition for a paragraph mark) and whether it stands in an annotation.
    std::vector<std::uint32_t> positions;
    std::vector<bool> notes;
    bool inNote = false;
    bool boundary = true;  // markup since the last positioned character
    std::uint32_t nextPosition = 0;
    static constexpr std::size_t kNone = std::u32string::npos;
    struct Anchor {
        int number = 0;
        std::size_t at = 0;  // character index in text
        // The highlight after it: [hitBegin, hitEnd), kNone while not met.
        std::size_t hitBegin = kNone, hitEnd = kNone;
    };
    bool inHighlight = false;
    bool breakPending = false;  // a paragraph break before the next visible character

    // Writes a pending paragraph break.
    void FlushBreak() {
        if (breakPending) {
            text.push_back(kKwicParagraphMark);
            positions.push_back(kNoPosition);
            notes.push_back(inNote);
        }
        breakPending = false;
    }

    // Appends visible characters, numbered as the index numbers them: consecutive
    // characters one apart, characters with markup between them kBoundaryGap apart.
    void AddVisible(std::u32string_view visible) {
        FlushBreak();
        for (char32_t c : visible) {
            if (boundary && !positions.empty()) nextPosition += kKwicBoundaryGap - 1;
            boundary = false;
            text.push_back(c);
            positions.push_back(nextPosition++);
            notes.push_back(inNote);
        }
    }

    // Ends an open highlight at the current end of the text.
    void CloseHighlight() {
        if (inHighlight) anchors.back().hitEnd = text.size();
        inHighlight = false;
    }
    std::vector<Anchor> anchors;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// True when tag (the text between < and >) is the named element's tag: the name
// followed by the end, white space or "/".
bool IsTag(std::string_view tag, std::string_view name) {
    if (!StartsWithNoCase(tag, name)) return false;
    if (tag.size() == name.size()) return true;
    const char next = tag[name.size()];
    return next == ' ' || next == '\t' || next == '\n' || next == '\r' || next == '/';
}

// The value of `name="…"` in an <a> tag, as a number; -1 when absent.
int AnchorNumber(std::string_view tag) {
    const std::size_t at = tag.find("name=\"");
    if (at == std::string_view::npos) return -1;
    int number = 0;
    bool digits = false;
    for (std::size_t i = at + 6; i < tag.size() && tag[i] >= '0' && tag[i] <= '9'; ++i) {
        if (number > 99999999) return -1;
        number = number * 10 + (tag[i] - '0');
        digits = true;
    }
    return digits ? number : -1;
}

// Decodes the character reference at text[i] == '&'; on success appends the character
// and advances i past the ';'.
bool DecodeReference(std::string_view text, std::size_t& i, std::u32string& out) {
    const std::size_t end = text.find(';', i);
    if (end == std::string_view::npos || end - i > 12) return false;
    const std::string_view name = text.substr(i + 1, end - i - 1);
    char32_t value = 0;
    if (name.size() >= 2 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return false;
        for (char c : digits) {
            int d = -1;
            if (c >= '0' && c <= '9') d = c - '0';
            if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
            if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
            if (d < 0) return false;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
            if (value > 0x10FFFF) return false;
        }
        if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return false;
    } else if (name == "amp") {
        value = U'&';
    } else if (name == "lt") {
        value = U'<';
    } else if (name == "gt") {
        value = U'>';
    } else if (name == "quot") {
        value = U'"';
    } else if (name == "apos") {
        value = U'\'';
    } else if (name == "nbsp") {
        value = 0xA0;
    } else {
        return false;
    }
    out.push_back(value);
    i = end + 1;
    return true;
}

// Appends the UTF-8 run text as characters; a malformed byte stands for U+FFFD.
void AppendText(std::string_view text, std::u32string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == kLineEndByte) {
            // A printed line end reads on: the phrase is one line of context.
            ++i;
            while (text.substr(i).starts_with(kIndentSpace)) i += kIndentSpace.size();
            continue;
        }
        if (text[i] == '&') {
            if (DecodeReference(text, i, out)) continue;
            out.push_back(U'&');
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() && text[end] != '&' && text[end] != kLineEndByte) ++end;
        const std::string_view run = text.substr(i, end - i);
        std::u32string decoded;
        if (DecodeUtf8(run, decoded)) {
            out += decoded;
        } else {
            // Decode byte by byte so that one bad byte spoils only itself.
            for (std::size_t k = 0; k < run.size();) {
                std::size_t length = 1;
                while (length < 4 && k + length < run.size() &&
                       (static_cast<unsigned char>(run[k + length]) & 0xC0) == 0x80) {
                    ++length;
                }
                decoded.clear();
                if (DecodeUtf8(run.substr(k, length), decoded)) {
                    out += decoded;
                } else {
                    out.push_back(0xFFFD);
                }
                k += length;
            }
        }
        i = end;
    }
}

// The page's table cells, in page order.
std::vector<Cell> ReadCells(const ByteString& page) {
    const std::string_view text(reinterpret_cast<const char*>(page.data()), page.size());
    std::vector<Cell> cells;
    Cell* cell = nullptr;
    const std::string_view highlight = kHighlightOpen.substr(1, kHighlightOpen.size() - 2);
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '<') {
            std::size_t end = text.find('<', i);
            if (end == std::string_view::npos) end = text.size();
            if (cell) {
                std::u32string visible;
                AppendText(text.substr(i, end - i), visible);
                if (!visible.empty()) cell->AddVisible(visible);
            }
            i = end;
            continue;
        }
        std::size_t close = text.find('>', i);
        if (close == std::string_view::npos) close = text.size();
        const std::string_view tag = text.substr(i + 1, close - i - 1);
        i = close + 1;
        if (IsTag(tag, "td")) {
            if (cell) cell->CloseHighlight();
            cells.emplace_back();
            cell = &cells.back();
            continue;
        }
        if (IsTag(tag, "/td")) {
            if (cell) cell->CloseHighlight();
            cell = nullptr;
            continue;
        }
        if (!cell) continue;
        // Hit marks are no markup of the stored text; every other tag parts the
        // characters around it (paragraphs, annotations, glyphs).
        if (!IsTag(tag, "a") && !IsTag(tag, "/a") && tag != highlight && !IsTag(tag, "/b")) {
            cell->boundary = true;
        }
        if (IsTag(tag, "font")) cell->inNote = true;
        if (IsTag(tag, "/font")) cell->inNote = false;
        if (IsTag(tag, "p") || IsTag(tag, "br") || IsTag(tag, "h4") || IsTag(tag, "div")) {
            if (!cell->text.empty()) cell->breakPending = true;
        } else if (IsTag(tag, "a")) {
            const int number = AnchorNumber(tag);
            if (number >= 0) {
                cell->CloseHighlight();
                cell->FlushBreak();
                cell->anchors.push_back({number, cell->text.size()});
            }
        } else if (tag == highlight) {
            if (!cell->anchors.empty() && cell->anchors.back().hitBegin == Cell::kNone) {
                cell->anchors.back().hitBegin = cell->text.size();
                cell->inHighlight = true;
            }
        } else if (IsTag(tag, "/b")) {
            cell->CloseHighlight();
        }
    }
    if (cell) cell->CloseHighlight();
    return cells;
}

std::u16string ToUtf16(std::u32string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char32_t c : text) AppendUtf16(out, c);
    return out;
}

KwicHit HitOf(std::u32string_view text, int anchor, std::size_t begin, std::size_t end,
              std::size_t contextChars) {
    const std::size_t leftFrom = begin - std::min(begin, contextChars);
    KwicHit hit;
    hit.anchor = anchor;
    hit.left = ToUtf16(text.substr(leftFrom, begin - leftFrom));
    hit.hit = ToUtf16(text.substr(begin, end - begin));
    hit.right = ToUtf16(text.substr(end, std::min(contextChars, text.size() - end)));
    return hit;
}

}  // namespace

std::vector<KwicCell> ReadKwicCells(const ByteString& page) {
    std::vector<KwicCell> out;
    for (Cell& cell : ReadCells(page)) {
        KwicCell k;
        k.text = std::move(cell.text);
        k.positions = std::move(cell.positions);
        k.notes = std::move(cell.notes);
        for (const Cell::Anchor& anchor : cell.anchors) k.anchors.push_back({anchor.number, anchor.at});
        out.push_back(std::move(k));
    }
    return out;
}

KwicHit KwicHitIn(const KwicCell& cell, int anchor, std::size_t begin, std::size_t end,
                  std::size_t contextChars) {
    end = std::min(end, cell.text.size());
    begin = std::min(begin, end);
    return HitOf(cell.text, anchor, begin, end, contextChars);
}

std::vector<KwicHit> ExtractKwic(const ByteString& page, std::size_t contextChars) {
    std::vector<KwicHit> hits;
    for (const Cell& cell : ReadCells(page)) {
        for (const Cell::Anchor& anchor : cell.anchors) {
            // An anchor whose highlight never opened marks an empty hit at itself.
            const bool marked = anchor.hitBegin != Cell::kNone;
            const std::size_t begin = marked ? anchor.hitBegin : anchor.at;
            const std::size_t end = marked ? anchor.hitEnd : anchor.at;
            hits.push_back(HitOf(cell.text, anchor.number, begin, end, contextChars));
        }
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const KwicHit& a, const KwicHit& b) { return a.anchor < b.anchor; });
    return hits;
}

std::u16string VisibleCellText(const ByteString& page) {
    std::u32string text;
    for (const Cell& cell : ReadCells(page)) text += cell.text;
    return ToUtf16(text);
}

}  // namespace vyn
