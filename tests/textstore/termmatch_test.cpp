#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "textstore/filelist.h"
#include "textstore/storeformat.h"

namespace vyn {
namespace {

const std::string A = "甲", B = "乙", C = "丙", X = "丁", W = "\u3000";

std::string Anchor(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "<a name=\"%04d\"></a>", n);
    return text;
}
std::string Hl(const std::string& s) {
    return std::string(kHighlightOpen) + s + std::string(kHighlightClose);
}
std::string Str(const ByteString& b) { return std::string(AsView(b)); }

struct MarkCase {
    const char* name;
    std::string segment;
    std::string term;
    int counterIn;
    std::string expected;
    int matches;
    int counterOut;
};

TEST(MarkTerm, WritesAnchorsAndHighlightsByteForByte) {
    const std::string open(kHighlightOpen), close(kHighlightClose);
    const MarkCase cases[] = {
        {"two plain matches", X + A + X + A, A, 0,
         X + Anchor(0) + Hl(A) + X + Anchor(1) + Hl(A), 2, 2},
        {"phrase absent", X + A + X + B, A + B, 0, X + A + X + B, 0, 0},
        {"star spans unmarked text", A + X + X + B, A + "*" + B, 0,
         Anchor(0) + Hl(A) + X + X + Anchor(1) + Hl(B), 1, 2},
        {"star does not cross a paragraph tag", A + "<p>" + B, A + "*" + B, 0, A + "<p>" + B, 0,
         0},
        {"star does not cross a heading tag", A + "<h4>" + B, A + "*" + B, 0, A + "<h4>" + B, 0,
         0},
        {"star with the later piece missing", A + X + A, A + "*" + B, 0, A + X + A, 0, 0},
        {"question mark is one marked character", A + X + B, A + "?" + B, 0,
         Anchor(0) + Hl(A) + open + Anchor(1) + X + close + Anchor(2) + Hl(B), 1, 3},
        {"one question mark does not span two characters", A + X + X + B, A + "?" + B, 0,
         A + X + X + B, 0, 0},
        {"two question marks span two characters", A + X + X + B, A + "??" + B, 0,
         Anchor(0) + Hl(A) + open + Anchor(1) + X + X + close + Anchor(2) + Hl(B), 1, 3},
        {"skip failure falls back behind the leading piece", A + X + C + A + X + B,
         A + "?" + B, 0,
         A + X + C + Anchor(0) + Hl(A) + open + Anchor(1) + X + close + Anchor(2) + Hl(B), 1, 3},
        {"leading question mark is dropped", X + A + X + A, "?" + A, 0,
         X + Anchor(0) + Hl(A) + X + Anchor(1) + Hl(A), 2, 2},
        {"trailing question mark is dropped", X + A + X + A, A + "?", 0,
         X + Anchor(0) + Hl(A) + X + Anchor(1) + Hl(A), 2, 2},
        {"trailing star is dropped", X + A + X + A, A + "*", 0,
         X + Anchor(0) + Hl(A) + X + Anchor(1) + Hl(A), 2, 2},
        {"leading star stops at tags and resumes after them", X + "<p>" + A + "<h4>" + A,
         "*" + A, 0, X + "<p>" + Anchor(0) + Hl(A) + "<h4>" + Anchor(1) + Hl(A), 2, 2},
        {"plain term across the same tags", X + "<p>" + A + "<h4>" + A, A, 0,
         X + "<p>" + Anchor(0) + Hl(A) + "<h4>" + Anchor(1) + Hl(A), 2, 2},
        {"only question marks mark nothing", X + A, "??", 5, X + A, 0, 5},
        {"only a star marks nothing", X + A, "*", 5, X + A, 0, 5},
        {"empty segment", "", A, 3, "", 0, 3},
        {"match as the last bytes", X + A, A, 7, X + Anchor(7) + Hl(A), 1, 8},
        {"anchors continue from the counter", A + A, A, 42, Anchor(42) + Hl(A) + Anchor(43) + Hl(A),
         2, 44},
        {"anchor numbers past four digits stay unique", A + A, A, 9999,
         Anchor(9999) + Hl(A) + Anchor(10000) + Hl(A), 2, 10001},
        {"matches do not overlap", A + A + A, A + A, 0, Anchor(0) + Hl(A + A) + A, 1, 1},
        {"star then question mark", A + X + X + C + B, A + "*?" + B, 0,
         Anchor(0) + Hl(A) + X + X + C + Anchor(1) + Hl(B), 1, 2},
        {"star takes the first later piece and is not retried", A + X + B + C + C + X + X + A,
         A + "?" + B + "*" + C + "??" + A, 0, A + X + B + C + C + X + X + A, 0, 0},
        {"four pieces", A + X + B + X + C + X + X + A, A + "?" + B + "*" + C + "??" + A, 0,
         Anchor(0) + Hl(A) + open + Anchor(1) + X + close + Anchor(2) + Hl(B) + X +
             Anchor(3) + Hl(C) + open + Anchor(4) + X + X + close + Anchor(5) + Hl(A),
         1, 6},
        {"tags in the text are matched byte for byte", "<b>" + A + "</b>", "b>" + A, 0,
         "<" + Anchor(0) + Hl("b>" + A) + "</b>", 1, 1},
        // A printed line end (LF and indentation) is not there for matching; the bytes
        // written are the segment's, the line end outside the highlight where it can be.
        {"a phrase over a line end", X + A + "\n" + W + B, A + B, 0,
         X + Anchor(0) + Hl(A + "\n" + W + B), 1, 1},
        {"a line end before and after a match stays unmarked", A + "\n" + W + B + "\n" + C, B, 0,
         A + "\n" + W + Anchor(0) + Hl(B) + "\n" + C, 1, 1},
        {"a line end at either end of the segment", "\n" + A + B + "\n" + W, A + B, 0,
         "\n" + Anchor(0) + Hl(A + B) + "\n" + W, 1, 1},
        {"a question mark over a line end", A + "\n" + X + B, A + "?" + B, 0,
         Anchor(0) + Hl(A) + open + Anchor(1) + "\n" + X + close + Anchor(2) + Hl(B), 1, 3},
        {"a star over a line end", A + X + "\n" + W + W + B, A + "*" + B, 0,
         Anchor(0) + Hl(A) + X + "\n" + W + W + Anchor(1) + Hl(B), 1, 2},
        {"indentation without a line end is text", A + W + B, A + B, 0, A + W + B, 0, 0},
        {"a failed phrase keeps its line ends", A + "\n" + W + X + "\n" + B, A + B, 0,
         A + "\n" + W + X + "\n" + B, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteString out = ToBytes("prefix|");
        int counter = c.counterIn;
        int matches = CFileList::MarkTerm(ToBytes(c.segment), ToBytes(c.term), out, counter);
        EXPECT_EQ(Str(out), "prefix|" + c.expected);
        EXPECT_EQ(matches, c.matches);
        EXPECT_EQ(counter, c.counterOut);
    }
}

struct PieceShape {
    int kind;
    std::string literal;
    int count;  // checked for skip pieces only
};

TEST(CompileTerm, SplitsAtStarsAndQuestionMarks) {
    const struct {
        const char* name;
        std::string term;
        std::vector<PieceShape> pieces;
    } cases[] = {
        {"plain", A + B, {{Seg::kLeading, A + B, 0}}},
        {"one question mark", A + "?" + B, {{Seg::kLeading, A, 0}, {Seg::kSkip, B, 1}}},
        {"two question marks", A + "??" + B, {{Seg::kLeading, A, 0}, {Seg::kSkip, B, 2}}},
        {"leading question mark", "?" + A, {{Seg::kLeading, A, 0}}},
        {"trailing question marks", A + "??", {{Seg::kLeading, A, 0}}},
        {"star", A + "*" + B, {{Seg::kLeading, A, 0}, {Seg::kFloating, B, 0}}},
        {"double star", A + "**" + B, {{Seg::kLeading, A, 0}, {Seg::kFloating, B, 0}}},
        {"leading star", "*" + A, {{Seg::kFloating, A, 0}}},
        {"star then question mark", A + "*?" + B, {{Seg::kLeading, A, 0}, {Seg::kFloating, B, 0}}},
        {"mixed",
         A + "?" + B + "*" + C + "??" + X,
         {{Seg::kLeading, A, 0}, {Seg::kSkip, B, 1}, {Seg::kFloating, C, 0}, {Seg::kSkip, X, 2}}},
        {"wildcards only", "*?*??", {}},
        {"empty", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TermPattern pattern = CFileList::CompileTerm(ToBytes(c.term));
        ASSERT_EQ(pattern.size(), c.pieces.size());
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            EXPECT_EQ(pattern[i].kind, c.pieces[i].kind) << i;
            EXPECT_EQ(Str(pattern[i].literal), c.pieces[i].literal) << i;
            if (pattern[i].kind == Seg::kSkip) {
                EXPECT_EQ(pattern[i].count, c.pieces[i].count) << i;
            }
        }
    }
}

}  // namespace
}  // namespace vyn
