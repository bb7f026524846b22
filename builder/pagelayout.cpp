#include "builder/pagelayout.h"

#include <optional>
#include <string_view>

#include "encoding/utf.h"
#include "textstore/storeformat.h"

namespace vyn {

namespace {

// The cell tags stay upper case: the page parse only recognises "<TD" and "</TD".
constexpr std::string_view kPageOpen =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"
    "<title>";
constexpr std::string_view kTitleClose =
    "</title></head><body><table border=0 cellpadding=6 cellspacing=0><tr><TD valign=top>";
constexpr std::string_view kBetweenCells = "</TD><TD valign=top>";
constexpr std::string_view kPageClose = "</TD></tr></table></body></html>";

// Only what lies inside the cells reaches a rendered hit page, so the cells carry
// their own inline styles. The text block is wide enough to stay readable in the
// template's 80-pixel first column, which grows to fit it.
constexpr std::string_view kTextOpen =
    "<div style=\"width:440px;text-align:left;line-height:1.8;\">";
// Text with printed lines keeps its line ends (LF) as line breaks; ideographic
// spaces never collapse.
constexpr std::string_view kLinedTextOpen =
    "<div style=\"width:440px;text-align:left;line-height:1.8;white-space:pre-line;\">";
constexpr std::string_view kLabelOpen = "<div style=\"font-size:small;color:#666666;\">";
constexpr std::string_view kDivClose = "</div>";

// "</p><p>" holds the paragraph tag that stops a "*" of hit marking, and its seven
// bytes are no multiple of three, so a run of "?" (three bytes each) cannot bridge
// a single paragraph break either.
constexpr std::string_view kFirstParagraph = "<p>";
constexpr std::string_view kParagraphBreak = "</p><p>";
constexpr std::string_view kLastParagraph = "</p>";

constexpr char32_t kIdeographicSpace = 0x3000;

// A glyph without a code point: the geta mark, its name as the tool tip.
constexpr char32_t kGlyphMark = 0x3013;
constexpr std::string_view kGlyphOpen = "<span title=\"";
constexpr std::string_view kGlyphMiddle = "\">";
constexpr std::string_view kGlyphClose = "</span>";

bool IsAsciiSpace(char32_t c) { return c == 0x20 || (c >= 0x09 && c <= 0x0D); }

// Maps decoded text to what the page shows; nullopt drops the character. Entities
// are avoided: a hit is marked byte for byte, and "&lt;" would be four characters
// to the marker but one to the index.
std::optional<char32_t> Shown(char32_t c, bool inText) {
    switch (c) {
        case U'<': return 0xFF1C;
        case U'>': return 0xFF1E;
        case U'&': return 0xFF06;
        default: break;
    }
    if (IsAsciiSpace(c)) return inText ? kIdeographicSpace : U' ';
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return std::nullopt;
    return c;
}

// Appends the shown form of utf8 to out; out is left changed on false.
bool Clean(std::string_view utf8, bool inText, std::u32string& out) {
    const std::size_t start = out.size();
    if (!DecodeUtf8(utf8, out)) return false;
    std::size_t kept = start;
    for (std::size_t i = start; i < out.size(); ++i) {
        if (auto shown = Shown(out[i], inText)) out[kept++] = *shown;
    }
    out.resize(kept);
    return true;
}

struct CleanRun {
    TextRun::Kind kind;
    TextRun::Form form;
    std::u32string text;  // kGlyph: the name, checked to need no escaping
};

bool IsGlyphName(std::u32string_view name) {
    if (name.empty()) return false;
    for (char32_t c : name) {
        const bool ok = (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') ||
                        c == U'_' || c == U'-';
        if (!ok) return false;
    }
    return true;
}

// A paragraph's runs as they are shown: text cleaned, empty runs dropped, adjacent
// text runs of one kind joined, line ends only between shown characters. False with
// error on text that cannot be shown.
bool CleanParagraph(const Paragraph& paragraph, std::vector<CleanRun>& runs, std::string& error) {
    bool lineEndPending = false;
    std::u32string indent;
    for (const TextRun& run : paragraph.runs) {
        std::u32string text;
        if (!Clean(run.text, true, text)) {
            error = "the page text is not valid UTF-8";
            return false;
        }
        if (run.form == TextRun::kLineEnd) {
            for (char32_t c : text) {
                if (c != kIdeographicSpace) {
                    error = "a line end holds more than its indentation";
                    return false;
                }
            }
            // Two line ends in a row show as one; the later indentation counts.
            if (!runs.empty()) {
                lineEndPending = true;
                indent = std::move(text);
            }
            continue;
        }
        if (run.form == TextRun::kGlyph && !IsGlyphName(text)) {
            error = "a glyph name holds other than ASCII letters, digits, \"_\" and \"-\"";
            return false;
        }
        if (text.empty()) continue;
        if (lineEndPending) {
            runs.push_back({run.kind, TextRun::kLineEnd, std::move(indent)});
            indent.clear();
            lineEndPending = false;
        }
        if (run.form == TextRun::kText && !runs.empty() && runs.back().kind == run.kind &&
            runs.back().form == TextRun::kText) {
            runs.back().text += text;
        } else {
            runs.push_back({run.kind, run.form, std::move(text)});
        }
    }
    return true;
}

}  // namespace

bool LayOutPage(const CorpusPage& page, std::uint32_t pageNumber, LaidOutPage& out,
                std::string& error) {
    std::u32string label;
    if (!Clean(page.title, false, label)) {
        error = "the page title is not valid UTF-8";
        return false;
    }
    std::string labelCell(kLabelOpen);
    for (char32_t c : label) AppendUtf8(labelCell, c);
    labelCell += kDivClose;

    LaidOutPage result;
    std::string textCell;
    std::optional<std::uint32_t> last;
    bool boundary = false;
    bool anyParagraph = false;
    bool anyLineEnd = false;
    for (const Paragraph& paragraph : page.paragraphs) {
        std::vector<CleanRun> runs;
        if (!CleanParagraph(paragraph, runs, error)) return false;
        if (runs.empty()) continue;
        textCell += anyParagraph ? kParagraphBreak : kFirstParagraph;
        anyParagraph = true;
        boundary = true;
        bool noteOpen = false;
        auto closeNote = [&] {
            if (!noteOpen) return;
            textCell += kNoteClose;
            noteOpen = false;
            boundary = true;
        };
        auto place = [&](char32_t c, TextRun::Kind kind) {
            const std::uint64_t position = !last ? 0 : std::uint64_t{*last} + (boundary ? kBoundaryGap : 1);
            if (position > kMaxPosition) return false;
            last = static_cast<std::uint32_t>(position);
            boundary = false;
            result.occurrences.push_back({c, *last, kind});
            return true;
        };
        for (const CleanRun& run : runs) {
            if (run.form == TextRun::kLineEnd) {
                // Neither markup nor a position: the phrase runs on over the break.
                closeNote();
                textCell += kLineEndByte;
                for (char32_t c : run.text) AppendUtf8(textCell, c);
                anyLineEnd = true;
                continue;
            }
            const bool note = run.kind == TextRun::kNote;
            if (!note) closeNote();
            if (note && !noteOpen) {
                textCell += kNoteOpen;
                noteOpen = true;
                boundary = true;
            }
            if (run.form == TextRun::kGlyph) {
                textCell += kGlyphOpen;
                for (char32_t c : run.text) AppendUtf8(textCell, c);
                textCell += kGlyphMiddle;
                boundary = true;
                if (!place(kGlyphMark, run.kind)) {
                    error = "the page text is too long for the index";
                    return false;
                }
                AppendUtf8(textCell, kGlyphMark);
                textCell += kGlyphClose;
                boundary = true;
                continue;
            }
            for (char32_t c : run.text) {
                if (!place(c, run.kind)) {
                    error = "the page text is too long for the index";
                    return false;
                }
                AppendUtf8(textCell, c);
            }
        }
        closeNote();
    }
    if (anyParagraph) textCell += kLastParagraph;
    textCell.insert(0, anyLineEnd ? kLinedTextOpen : kTextOpen);
    textCell += kDivClose;

    const bool textFirst = pageNumber % 2 == 0;
    std::string& html = result.html;
    html.reserve(kPageOpen.size() + label.size() * 3 + textCell.size() + labelCell.size() + 200);
    html += kPageOpen;
    for (char32_t c : label) AppendUtf8(html, c);
    html += kTitleClose;
    html += textFirst ? textCell : labelCell;
    html += kBetweenCells;
    html += textFirst ? labelCell : textCell;
    html += kPageClose;
    out = std::move(result);
    return true;
}

}  // namespace vyn
