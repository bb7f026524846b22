// Wildcard terms and hit marking. Everything is byte-exact: "?" stands for exactly
// three bytes, "*" for any run that crosses no "<p>" or "<h4>" tag. A printed line
// end (LF and the indentation after it) is not there for matching.
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "textstore/filelist.h"
#include "textstore/storeformat.h"

namespace vyn {

namespace {

constexpr std::size_t kQuestionWidth = 3;

// First occurrence of needle in text[from, end), or end.
std::size_t FindIn(std::string_view text, std::size_t from, std::size_t end,
                   std::string_view needle) {
    if (from >= end) return end;
    std::size_t f = text.substr(0, end).find(needle, from);
    return f == std::string_view::npos ? end : f;
}

void WriteAnchor(ByteString& out, int& anchorCounter) {
    char anchor[40];
    int n = std::snprintf(anchor, sizeof anchor, "<a name=\"%04d\"></a>", anchorCounter++);
    Append(out, std::string_view(anchor, static_cast<std::size_t>(n)));
}

}  // namespace

void CFileList::AddQuestionPieces(std::string_view run, TermPattern& pattern) {
    int gap = 1;
    std::size_t a = 0;
    while (a < run.size()) {
        std::size_t d = run.find('?', a);
        if (d == std::string_view::npos) d = run.size();
        if (d > a) {
            Seg& last = pattern.back();
            Append(last.literal, run.substr(a, d - a));
            last.count = gap;
            pattern.push_back(Seg{Seg::kSkip, {}, 0});
            gap = 1;
        } else {
            gap += 1;
        }
        a = d < run.size() ? d + 1 : run.size();
    }
    pattern.pop_back();
}

TermPattern CFileList::CompileTerm(const ByteString& term) {
    TermPattern pattern;
    std::string_view text = AsView(term);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t star = text.find('*', start);
        if (star == std::string_view::npos) star = text.size();
        if (star > start) {
            pattern.push_back(Seg{start == 0 ? Seg::kLeading : Seg::kFloating, {}, 0});
            AddQuestionPieces(text.substr(start, star - start), pattern);
        }
        start = star + 1;
    }
    return pattern;
}

int CFileList::MarkTerm(const ByteString& segment, ByteString term, ByteString& out,
                        int& anchorCounter) {
    const TermPattern pattern = CompileTerm(term);
    if (pattern.empty()) {
        out.insert(out.end(), segment.begin(), segment.end());
        return 0;
    }
    // Matching runs on the segment without its line ends; origin maps each byte
    // matched back to the segment, whose bytes are written. Without line ends the
    // two are the same.
    const std::uint8_t* bytes = segment.data();
    ByteString joined;
    std::vector<std::size_t> origin;
    const bool lined = std::find(segment.begin(), segment.end(), kLineEndByte) != segment.end();
    if (lined) {
        const std::string_view all = AsView(segment);
        joined.reserve(segment.size());
        origin.reserve(segment.size() + 1);
        for (std::size_t i = 0; i < all.size();) {
            if (all[i] == kLineEndByte) {
                ++i;
                while (all.substr(i).starts_with(kIndentSpace)) i += kIndentSpace.size();
                continue;
            }
            joined.push_back(bytes[i]);
            origin.push_back(i);
            ++i;
        }
        origin.push_back(segment.size());
    }
    const std::string_view text = AsView(lined ? joined : segment);
    const std::size_t end = text.size();
    // Where a piece starts in the segment (after any line end before it), and where
    // one ends (before any line end after it).
    auto startAt = [&](std::size_t i) { return lined ? origin[i] : i; };
    auto endAt = [&](std::size_t i) { return lined && i > 0 ? origin[i - 1] + 1 : i; };
    std::vector<std::size_t> positions;
    positions.reserve(pattern.size());
    std::size_t start = 0, pos = 0;
    std::size_t written = 0;  // segment bytes written so far
    auto copyTo = [&](std::size_t to) {
        if (to > written) Append(out, bytes + written, bytes + to);
        written = std::max(written, to);
    };
    int matches = 0;
    while (start < end) {
        positions.clear();
        for (const Seg& seg : pattern) {
            const std::string_view literal = AsView(seg.literal);
            if (seg.kind == Seg::kLeading) {
                std::size_t f = FindIn(text, pos, end, literal);
                pos = f;
                if (f != end) {
                    positions.push_back(f);
                    pos = std::min(f + literal.size(), end);
                }
            } else if (seg.kind == Seg::kFloating) {
                if (pos == end) continue;
                std::size_t f = FindIn(text, pos, end, literal);
                std::size_t p = FindIn(text, pos, end, kParagraphTag);
                std::size_t h = FindIn(text, pos, end, kHeadingTag);
                if (p < f) {
                    pos = std::min(p + kParagraphTag.size(), end);
                } else if (h < f) {
                    pos = std::min(h + kHeadingTag.size(), end);
                } else if (f != end) {
                    positions.push_back(f);
                    pos = std::min(f + literal.size(), end);
                } else {
                    pos = end;
                }
            } else {
                const std::size_t skip = kQuestionWidth * static_cast<std::size_t>(seg.count);
                if (pos == end || pos + skip >= end) continue;
                const std::size_t from = pos + skip;
                std::size_t f = FindIn(text, from, end, literal);
                if (f == from) {
                    positions.push_back(f);
                    pos = std::min(f + literal.size(), end);
                } else if (f != end) {
                    pos = from - skip;
                } else {
                    pos = end;
                }
            }
        }
        if (positions.size() == pattern.size()) {
            ++matches;
            copyTo(startAt(positions[0]));
            for (std::size_t i = 0; i < pattern.size(); ++i) {
                const std::size_t m = positions[i];
                const std::size_t l = pattern[i].literal.size();
                WriteAnchor(out, anchorCounter);
                Append(out, kHighlightOpen);
                copyTo(endAt(m + l));
                Append(out, kHighlightClose);
                if (i + 1 == pattern.size()) break;
                if (pattern[i + 1].kind == Seg::kSkip) {
                    Append(out, kHighlightOpen);
                    WriteAnchor(out, anchorCounter);
                    copyTo(startAt(positions[i + 1]));
                    Append(out, kHighlightClose);
                } else {
                    copyTo(startAt(positions[i + 1]));
                }
            }
        } else {
            copyTo(pos == end ? segment.size() : startAt(pos));
        }
        start = pos;
    }
    copyTo(segment.size());
    return matches;
}

}  // namespace vyn
