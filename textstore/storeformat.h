// Constants of the text store and of rendered pages. The store files are described
// field by field at the top of textstore/filelist.cpp.
#pragma once

#include <cstdint>
#include <string_view>

namespace vyn {

// Every content-file byte is stored XOR-ed with this byte.
constexpr std::uint8_t kStoreMask = 0xA7;

constexpr std::uint32_t kDirectoryHeaderSize = 268;  // header number, name width, 260-byte block
constexpr std::uint32_t kHeaderBlockSize = 260;
constexpr std::uint32_t kMaxNameWidth = 260;
constexpr std::uint32_t kDefaultNameWidth = 100;
constexpr std::size_t kMaxPageNumberDigits = 11;

constexpr std::string_view kDirectorySuffix = "-fl.h";
constexpr std::string_view kContentSuffix = "-fl.cnt";

// Search scopes of page rendering.
enum class SearchScope : int { kWhole = 0, kMain = 1, kNotes = 2 };

// Annotation font tags.
constexpr std::string_view kNoteOpen = "<font size=-1 color=\"#993366\">";
constexpr std::string_view kNoteClose = "</font>";

// A printed line end inside a paragraph: LF, then the next line's indentation as
// ideographic spaces. The sequence is layout only: it takes no index position,
// hit marking matches across it and hits in context leave it out.
constexpr char kLineEndByte = '\n';
constexpr std::string_view kIndentSpace = "\xE3\x80\x80";  // U+3000

// Hit marks.
constexpr std::string_view kHighlightOpen = "<b style='color:red;background:#D9D9D9;'>";
constexpr std::string_view kHighlightClose = "</b>";
constexpr std::string_view kParagraphTag = "<p>";
constexpr std::string_view kHeadingTag = "<h4>";

// Page template: T1 + title + T2 + first cell + T3 + second cell + T4.
constexpr std::string_view kT1 =
    "<html><head>\t\t<meta http-equiv=\"Content-Type\" content=\"text/html; "
    "charset=UTF-8\"><title>";
constexpr std::string_view kT2 =
    "</title></head><div align=\"center\"><center><BODY>\t\t<TABLE border=1 cellPadding=0 "
    "cellSpacing=1 class=wd_gray height=477 width=635 bordercolor=\"#FFCC66\">\t\t<tr>  <TD "
    "height=477 width=80 vAlign=top align=\"center\" background=\"../Back.gif\">";
constexpr std::string_view kT3 = "</TD>\t\t<TD height=477 width=450 vAlign=top align=\"center\">";
constexpr std::string_view kT4 = "</TD> \t\t</tr></table></div></div>\t\t</center></BODY></html>";

static_assert(kNoteOpen.size() == 30);
static_assert(kHighlightOpen.size() == 41);

}  // namespace vyn
