#include "builder/kanriporeader.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "builder/readfault.h"
#include "encoding/utf.h"
#include "index/indexformat.h"
#include "textstore/catalogformat.h"

namespace vyn {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCatalogFolder = "KR-Catalog";
constexpr std::string_view kCatalogReadme = "README.org";
constexpr std::string_view kTextReadme = "Readme.org";
constexpr std::string_view kTitleKey = "#+TITLE:";
constexpr std::string_view kPageBreakOpen = "<pb:";
constexpr char32_t kLineEndMark = U'¶';
constexpr char32_t kIdeographicSpace = 0x3000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }

// "KR1a0002": "KR", a digit, a letter, four digits.
bool IsTextNumber(std::string_view name) {
    return name.size() == 8 && name.starts_with("KR") && IsDigit(name[2]) && IsLower(name[3]) &&
           std::all_of(name.begin() + 4, name.end(), IsDigit);
}

std::string_view Trim(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Text without blanks or ideographic spaces at either end.
std::string TrimWide(std::string_view text) {
    constexpr std::string_view kWide = "\xE3\x80\x80";
    for (;;) {
        const std::string_view before = text;
        text = Trim(text);
        if (text.starts_with(kWide)) text.remove_prefix(kWide.size());
        if (text.ends_with(kWide)) text.remove_suffix(kWide.size());
        if (text == before) return std::string(text);
    }
}

// The lines of a file: without "\n", a trailing "\r" and, on line 1, a byte-order
// mark; each checked to be UTF-8.
std::vector<std::string> ReadLines(const fs::path& path, std::string_view file) {
    std::ifstream in(path, std::ios::binary);
    if (!in) FailFile(file, "cannot be opened");
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) FailFile(file, "read error");
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lines.empty() && line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
        std::u32string decoded;
        if (!DecodeUtf8(line, decoded)) FailAt(file, lines.size() + 1, "not valid UTF-8");
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
}

// The links of an org file, "[[file:NAME::…][DESCRIPTION]]" or "[[file:NAME][…]]":
// NAME's first description.
std::map<std::string, std::string> OrgFileLinks(const std::vector<std::string>& lines) {
    std::map<std::string, std::string> links;
    for (std::string_view line : lines) {
        for (std::size_t at = line.find("[[file:"); at != std::string_view::npos;
             at = line.find("[[file:", at + 1)) {
            const std::size_t middle = line.find("][", at);
            const std::size_t end = line.find("]]", at);
            if (middle == std::string_view::npos || end == std::string_view::npos || end < middle) continue;
            std::string_view target = line.substr(at + 7, middle - at - 7);
            target = target.substr(0, target.find("::"));
            const std::string description = TrimWide(line.substr(middle + 2, end - middle - 2));
            links.emplace(std::string(target), description);
        }
    }
    return links;
}

// The names of the catalog's sections ("KR1" 經部) and classes ("KR1a" 易類), from
// its headlines "** KR1 經部" and "*** [[file:KR/KR1a.txt][KR1a 易類]]".
std::map<std::string, std::string> CatalogNames(const std::vector<std::string>& lines) {
    std::map<std::string, std::string> names;
    for (std::string_view line : lines) {
        if (!line.starts_with('*')) continue;
        line.remove_prefix(line.find_first_not_of('*') == std::string_view::npos ? line.size()
                                                                                  : line.find_first_not_of('*'));
        line = Trim(line);
        if (line.starts_with("[[")) {
            const std::size_t middle = line.find("][");
            const std::size_t end = line.rfind("]]");
            if (middle == std::string_view::npos || end == std::string_view::npos || end < middle) continue;
            line = line.substr(middle + 2, end - middle - 2);
        }
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos) continue;
        const std::string_view code = line.substr(0, space);
        const std::string name = TrimWide(line.substr(space + 1));
        const bool section = code.size() == 3 && code.starts_with("KR") && IsDigit(code[2]);
        const bool kind = code.size() == 4 && code.starts_with("KR") && IsDigit(code[2]) && IsLower(code[3]);
        if ((section || kind) && !name.empty()) names.emplace(std::string(code), name);
    }
    return names;
}

bool IsNumeralText(std::string_view text) {
    std::u32string decoded;
    if (text.empty() || !DecodeUtf8(text, decoded)) return false;
    constexpr std::u32string_view kNumerals = U"0123456789０１２３４５６７８９〇一二三四五六七八九十百千零";
    return std::all_of(decoded.begin(), decoded.end(),
                       [&](char32_t c) { return kNumerals.find(c) != std::u32string_view::npos; });
}

// One text file read into pages.
class CTextFile {
public:
    CTextFile(std::string_view file, std::string bookTitle, std::string volumeName)
        : m_file(file), m_bookTitle(std::move(bookTitle)), m_volumeName(std::move(volumeName)) {}

    // Parses lines into volume's pages.
    void Parse(const std::vector<std::string>& lines, CorpusVolume& volume) {
        m_volume = &volume;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            m_line = i + 1;
            ParseLine(lines[i]);
        }
        EndPage();
    }

private:
    void ParseLine(std::string_view line) {
        if (line.starts_with('#')) return;  // file properties and comments
        if (Trim(line).empty()) {
            EndParagraph();
            return;
        }
        const std::size_t stars = line.find_first_not_of('*');
        if (stars > 0 && (stars == std::string_view::npos || line[stars] == ' ')) {
            // A headline: its words are a paragraph of their own.
            EndParagraph();
            ParseText(stars == std::string_view::npos ? std::string_view() : Trim(line.substr(stars)));
            EndParagraph();
            return;
        }
        ParseText(line);
    }

    void ParseText(std::string_view line) {
        std::u32string text;
        DecodeUtf8(line, text);  // checked when read
        m_noteOpen = false;
        m_noteSlash = false;
        m_lineStart = true;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char32_t c = text[i];
            if (c == U'<') {
                const std::size_t close = text.find(U'>', i);
                if (close == std::u32string::npos) FailAt(m_file, m_line, "\"<\" without \">\"");
                std::string tag;
                for (std::size_t k = i; k <= close; ++k) AppendUtf8(tag, text[k]);
                if (!tag.starts_with(kPageBreakOpen)) FailAt(m_file, m_line, "stray markup " + Quoted(tag));
                if (m_noteOpen) FailAt(m_file, m_line, "a page break inside a note");
                StartPage(Folio(tag));
                i = close;
                continue;
            }
            if (c == U'&') {
                const std::size_t semicolon = text.find(U';', i);
                std::string name;
                if (semicolon != std::u32string::npos) {
                    for (std::size_t k = i + 1; k < semicolon; ++k) AppendUtf8(name, text[k]);
                }
                if (!IsGlyphName(name)) FailAt(m_file, m_line, "\"&\" that names no glyph (write &NAME;)");
                AddRun(TextRun::kGlyph, std::move(name));
                i = semicolon;
                continue;
            }
            switch (c) {
                case U'>': FailAt(m_file, m_line, "stray \">\"");
                case U'(':
                    if (m_noteOpen) FailAt(m_file, m_line, "\"(\" inside a note");
                    m_noteOpen = true;
                    m_noteSlash = false;
                    continue;
                case U')':
                    if (!m_noteOpen) FailAt(m_file, m_line, "\")\" without \"(\"");
                    m_noteOpen = false;
                    continue;
                case U'/':
                    if (m_noteOpen) {
                        // Column a ends; column b follows it in the note's text.
                        if (m_noteSlash) FailAt(m_file, m_line, "a note with more than one \"/\"");
                        m_noteSlash = true;
                        continue;
                    }
                    break;
                case kLineEndMark:
                    if (m_noteOpen) FailAt(m_file, m_line, "\"(\" without \")\" before \"¶\"");
                    EndPrintedLine();
                    continue;
                default: break;
            }
            if ((c < 0x20 && c != U'\t') || (c >= 0x7F && c <= 0x9F)) {
                FailAt(m_file, m_line, "control character U+" + Hex(c));
            }
            AddCharacter(c);
        }
        if (m_noteOpen) FailAt(m_file, m_line, "\"(\" without \")\"");
    }

    static std::string Hex(char32_t c) {
        char code[16];
        std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(c));
        return code;
    }

    static std::string Quoted(std::string_view text) {
        constexpr std::size_t kShown = 40;
        if (text.size() > kShown) {
            std::size_t end = kShown;
            while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
            return "\"" + std::string(text.substr(0, end)) + "...\"";
        }
        return "\"" + std::string(text) + "\"";
    }

    static bool IsGlyphName(std::string_view name) {
        return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
            return IsDigit(c) || IsLower(c) || (c >= 'A' && c <= 'Z') || c == '_' || c == '-';
        });
    }

    // "<pb:KR1a0002_WYG_001-1b>": "1b", the folio and side after the last "-".
    std::string Folio(std::string_view tag) const {
        const std::string_view id = tag.substr(kPageBreakOpen.size(), tag.size() - kPageBreakOpen.size() - 1);
        const std::size_t dash = id.rfind('-');
        const std::string_view folio = dash == std::string_view::npos ? std::string_view() : id.substr(dash + 1);
        const bool plain = !folio.empty() && folio.size() <= 16 &&
                           std::all_of(folio.begin(), folio.end(), [](char c) { return IsDigit(c) || IsLower(c); });
        if (!plain) FailAt(m_file, m_line, "page break " + Quoted(tag) + " names no folio (\"…-1a\")");
        return std::string(folio);
    }

    void AddCharacter(char32_t c) {
        const bool space = c == U' ' || c == U'\t' || c == kIdeographicSpace;
        if (m_lineEndPending && m_lineStart && space) {
            AppendUtf8(m_indent, kIdeographicSpace);  // the printed line's indentation
            return;
        }
        m_lineStart = false;
        std::string text;
        AppendUtf8(text, c);
        AddRun(TextRun::kText, std::move(text));
    }

    void AddRun(TextRun::Form form, std::string text) {
        m_lineStart = false;
        const TextRun::Kind kind = m_noteOpen ? TextRun::kNote : TextRun::kMain;
        std::vector<TextRun>& runs = m_paragraph.runs;
        if (m_lineEndPending) {
            runs.push_back({kind, std::move(m_indent), TextRun::kLineEnd});
            m_indent.clear();
            m_lineEndPending = false;
        }
        if (form == TextRun::kText && !runs.empty() && runs.back().form == TextRun::kText && runs.back().kind == kind) {
            runs.back().text += text;
        } else {
            runs.push_back({kind, std::move(text), form});
        }
    }

    void EndPrintedLine() {
        if (!m_paragraph.runs.empty()) m_lineEndPending = true;
        m_indent.clear();
        m_lineStart = true;
    }

    void EndParagraph() {
        m_lineEndPending = false;
        m_indent.clear();
        if (!m_paragraph.runs.empty()) m_page.paragraphs.push_back(std::move(m_paragraph));
        m_paragraph = {};
    }

    void StartPage(std::string folio) {
        EndPage();
        m_folio = std::move(folio);
    }

    void EndPage() {
        EndParagraph();
        if (m_page.paragraphs.empty()) return;  // a page without text makes no page
        if (m_volume->pages.size() >= kMaxPageNumber) {
            FailAt(m_file, m_line, "more than " + Grouped(kMaxPageNumber) + " pages in one file");
        }
        const std::string place = m_folio.empty() ? std::to_string(m_volume->pages.size() + 1) : m_folio;
        m_page.title = m_bookTitle + " " + m_volumeName + " " + place;
        m_volume->pages.push_back(std::move(m_page));
        m_page = {};
    }

    std::string_view m_file;
    std::string m_bookTitle;
    std::string m_volumeName;
    CorpusVolume* m_volume = nullptr;
    std::uint64_t m_line = 0;
    CorpusPage m_page;
    std::string m_folio;  // of the page being read; empty before the first page break
    Paragraph m_paragraph;
    bool m_lineEndPending = false;  // a "¶" ended a line with text before it
    bool m_lineStart = true;
    std::string m_indent;
    bool m_noteOpen = false;
    bool m_noteSlash = false;
};

struct TextFolder {
    std::string number;  // KR1a0002
    fs::path path;
    std::string shown;  // relative to the source folder, for messages
};

struct VolumeFile {
    unsigned number = 0;
    std::string name;  // file name
};

// The text folders of source: directories named by a KR number, in it or one level
// down, in KR order.
std::vector<TextFolder> FindTextFolders(const fs::path& source) {
    std::vector<TextFolder> found;
    std::error_code ec;
    auto look = [&](const fs::path& folder, const std::string& shownPrefix, bool descend) {
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            entries.push_back(it->path());
        }
        if (ec) FailFile(shownPrefix.empty() ? "." : shownPrefix, "cannot be listed");
        std::sort(entries.begin(), entries.end());
        std::vector<fs::path> deeper;
        for (const fs::path& entry : entries) {
            const std::string name = entry.filename().string();
            if (name.starts_with('.') || !fs::is_directory(entry, ec)) continue;
            if (IsTextNumber(name)) {
                found.push_back({name, entry, shownPrefix + name});
            } else if (descend && name != kCatalogFolder) {
                deeper.push_back(entry);
            }
        }
        return deeper;
    };
    for (const fs::path& folder : look(source, "", true)) {
        look(folder, folder.filename().string() + "/", false);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const TextFolder& a, const TextFolder& b) { return a.number < b.number; });
    for (std::size_t i = 1; i < found.size(); ++i) {
        if (found[i].number == found[i - 1].number) {
            FailFile(found[i].shown, "a second folder of " + found[i].number + " (the first is " +
                                         found[i - 1].shown + ")");
        }
    }
    return found;
}

// The volume files of a text folder, "KR1a0002_001.txt", by file number.
std::vector<VolumeFile> FindVolumeFiles(const TextFolder& text) {
    std::vector<VolumeFile> files;
    std::error_code ec;
    const std::string prefix = text.number + "_";
    for (fs::directory_iterator it(text.path, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(prefix) || !name.ends_with(".txt")) continue;
        const std::string_view digits = std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.empty() || digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), IsDigit)) continue;
        if (!fs::is_regular_file(it->path(), ec)) continue;
        files.push_back({static_cast<unsigned>(std::stoul(std::string(digits))), name});
    }
    if (ec) FailFile(text.shown, "cannot be listed");
    std::sort(files.begin(), files.end(), [](const VolumeFile& a, const VolumeFile& b) {
        return a.number != b.number ? a.number < b.number : a.name < b.name;
    });
    return files;
}

// The file's "#+TITLE:" value.
std::optional<std::string> FileTitle(const std::vector<std::string>& lines, std::string_view file) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].starts_with(kTitleKey)) continue;
        std::string title = TrimWide(std::string_view(lines[i]).substr(kTitleKey.size()));
        if (title.empty()) FailAt(file, i + 1, "#+TITLE names nothing");
        return title;
    }
    return std::nullopt;
}

// A volume's name: the Readme's entry with the book title in front taken off; "卷"
// and the file number in numerals when there is no entry or only a number is left,
// "卷首" for file 0.
std::string VolumeName(const std::map<std::string, std::string>& entries, const VolumeFile& file,
                       const std::string& bookTitle) {
    if (const auto entry = entries.find(file.name); entry != entries.end()) {
        std::string_view name = entry->second;
        if (name.starts_with(bookTitle)) name.remove_prefix(bookTitle.size());
        const std::string left = TrimWide(name);
        if (!left.empty() && !IsNumeralText(left)) return left;
    }
    if (file.number == 0) return "卷首";
    return "卷" + ChineseNumeral(file.number);
}

// Reads a text folder into a book; onVolume, when set, sees each volume first.
CorpusBook ReadBook(const TextFolder& text, const std::function<void(CorpusVolume&)>& onVolume) {
    const std::vector<VolumeFile> files = FindVolumeFiles(text);
    if (files.empty()) FailFile(text.shown, "holds no text file (" + text.number + "_001.txt …)");
    std::map<std::string, std::string> entries;
    std::error_code ec;
    const fs::path readme = text.path / kTextReadme;
    if (fs::is_regular_file(readme, ec)) {
        entries = OrgFileLinks(ReadLines(readme, text.shown + "/" + std::string(kTextReadme)));
    }
    CorpusBook book;
    std::string bookTitle;
    for (const VolumeFile& file : files) {
        const std::string shown = text.shown + "/" + file.name;
        const std::vector<std::string> lines = ReadLines(text.path / file.name, shown);
        const std::optional<std::string> title = FileTitle(lines, shown);
        if (!title) FailFile(shown, "has no #+TITLE line");
        if (bookTitle.empty()) bookTitle = *title;
        CorpusVolume volume;
        const std::string name = VolumeName(entries, file, bookTitle);
        volume.name = name;
        CTextFile(shown, bookTitle, name).Parse(lines, volume);
        if (volume.pages.empty()) FailFile(shown, "holds no text");
        if (onVolume) onVolume(volume);
        book.volumes.push_back(std::move(volume));
    }
    book.name = bookTitle;
    return book;
}

}  // namespace

std::string ChineseNumeral(unsigned n) {
    constexpr const char* kDigits[] = {"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    constexpr const char* kUnits[] = {"千", "百", "十", ""};
    constexpr unsigned kValues[] = {1000, 100, 10, 1};
    std::string out;
    bool zero = false;
    for (std::size_t u = 0; u < 4; ++u) {
        const unsigned digit = n / kValues[u] % 10;
        if (digit == 0) {
            zero = !out.empty();
            continue;
        }
        if (zero) out += "零";
        zero = false;
        // Ten to nineteen read 十, 十一 …; in larger numbers the one is written.
        if (!(u == 2 && digit == 1 && out.empty())) out += kDigits[digit];
        out += kUnits[u];
    }
    return out;
}

bool CheckCorpusLimits(const Corpus& corpus, std::string& reason) {
    std::uint64_t entries = 0;
    std::uint64_t pages = 0;
    for (const CorpusCategory& category : corpus.categories) {
        entries += 1 + category.books.size();
        for (const CorpusBook& book : category.books) {
            entries += book.volumes.size();
            for (const CorpusVolume& volume : book.volumes) pages += volume.pages.size();
        }
    }
    if (entries > kMaxCatalogRecords) {
        reason = "the catalog would need " + Grouped(entries) + " entries, " + Grouped(entries - kMaxCatalogRecords) +
                 " more than the " + Grouped(kMaxCatalogRecords) + " it can hold";
        return false;
    }
    const std::uint64_t maxPages = std::uint64_t{kMaxPacked} + 1;
    if (pages > maxPages) {
        reason = "the texts make " + Grouped(pages) + " pages, " + Grouped(pages - maxPages) + " more than the " +
                 Grouped(maxPages) + " the index can number";
        return false;
    }
    return true;
}

bool CKanripoReader::Read(const std::filesystem::path& folder, Corpus& corpus,
                          const ReadScope& scope) {
    m_reason.clear();
    try {
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) FailFile(folder.string(), "is not a folder");
        std::map<std::string, std::string> names;
        const fs::path catalog = folder / kCatalogFolder / kCatalogReadme;
        if (fs::is_regular_file(catalog, ec)) {
            names = CatalogNames(ReadLines(catalog, std::string(kCatalogFolder) + "/" + std::string(kCatalogReadme)));
        }
        const std::vector<TextFolder> texts = FindTextFolders(folder);
        if (texts.empty()) FailFile(folder.string(), "holds no text folder (named by a KR number, as KR1a0002)");
        Corpus result;
        std::string currentClass;
        std::size_t category = 0;  // in the input
        std::size_t book = 0;      // in its category
        bool categoryKept = false;
        for (std::size_t t = 0; t < texts.size(); ++t) {
            const TextFolder& text = texts[t];
            const std::string kind = text.number.substr(0, 4);
            if (kind != currentClass) {
                if (t > 0) ++category;
                book = 0;
                categoryKept = false;
                currentClass = kind;
            } else {
                ++book;
            }
            if (scope.keepBook && !scope.keepBook(category, book)) continue;
            if (!categoryKept) {
                const auto section = names.find(kind.substr(0, 3));
                const auto named = names.find(kind);
                std::string name = kind;
                if (named != names.end()) {
                    name = section != names.end() ? section->second + " " + named->second : named->second;
                }
                result.categories.push_back({name, {}});
                categoryKept = true;
            }
            std::function<void(CorpusVolume&)> onVolume;
            if (scope.onVolume) {
                onVolume = [&](CorpusVolume& volume) { scope.onVolume(category, book, volume); };
            }
            result.categories.back().books.push_back(ReadBook(text, onVolume));
        }
        corpus = std::move(result);
        return true;
    } catch (const Fault& fault) {
        m_reason = fault.message;
    } catch (const std::bad_alloc&) {
        m_reason = "not enough memory";
    } catch (const std::exception& e) {
        m_reason = std::string("cannot read the texts: ") + e.what();
    } catch (...) {
        m_reason = "cannot read the texts";
    }
    return false;
}

}  // namespace vyn
