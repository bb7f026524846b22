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
constexpr std::string_view kLabelOpen = "<div style=\"font-size:small;color:#666666;\">";
constexpr std::string_view kDivClose = "</div>";

// "</p><p>" holds the paragraph tag that stops a "*" of hit marking, and its seven
// bytes are no multiple of three, so a run of "?" (three bytes each) cannot bridge
// a single paragraph break either.
constexpr std::string_view kFirstParagraph = "<p>";
constexpr std::string_view kParagraphBreak = "</p><p>";
constexpr std::string_view kLastParagraph = "</p>";

constexpr char32_t kIdeographicSpace = 0x3000;

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
    std::u32string text;
};

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
    std::string textCell(kTextOpen);
    std::optional<std::uint32_t> last;
    bool boundary = false;
    bool anyParagraph = false;
    for (const Paragraph& paragraph : page.paragraphs) {
        std::vector<CleanRun> runs;
        for (const TextRun& run : paragraph.runs) {
            std::u32string text;
            if (!Clean(run.text, true, text)) {
                error = "the page text is not valid UTF-8";
                return false;
            }
            if (text.empty()) continue;
            if (!runs.empty() && runs.back().kind == run.kind) {
                runs.back().text += text;
            } else {
                runs.push_back({run.kind, std::move(text)});
            }
        }
        if (runs.empty()) continue;
        textCell += anyParagraph ? kParagraphBreak : kFirstParagraph;
        anyParagraph = true;
        boundary = true;
        for (const CleanRun& run : runs) {
            const bool note = run.kind == TextRun::kNote;
            if (note) {
                textCell += kNoteOpen;
                boundary = true;
            }
            for (char32_t c : run.text) {
                std::uint64_t position = !last ? 0 : std::uint64_t{*last} + (boundary ? kBoundaryGap : 1);
                if (position > kMaxPosition) {
                    error = "the page text is too long for the index";
                    return false;
                }
                last = static_cast<std::uint32_t>(position);
                boundary = false;
                result.occurrences.push_back({c, *last, run.kind});
                AppendUtf8(textCell, c);
            }
            if (note) {
                textCell += kNoteClose;
                boundary = true;
            }
        }
    }
    if (anyParagraph) textCell += kLastParagraph;
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
