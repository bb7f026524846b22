#include "builder/sourcereader.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <istream>
#include <new>
#include <string_view>
#include <vector>

#include "builder/pagelayout.h"
#include "builder/readfault.h"
#include "encoding/utf.h"
#include "index/indexformat.h"
#include "textstore/catalogformat.h"

namespace vyn {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCatalogFile = "catalog.txt";
constexpr std::string_view kVariantFile = "variants.txt";
constexpr std::string_view kPageBreak = "---";
constexpr std::string_view kLabelMark = "# ";
constexpr char32_t kIdeographicSpace = 0x3000;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Source text for a message, cut short so that a message stays one readable line.
std::string Quoted(std::string_view text) {
    constexpr std::size_t kShown = 60;  // bytes
    std::string quoted(1, '"');
    if (text.size() <= kShown) {
        quoted.append(text);
    } else {
        std::size_t end = kShown;
        while (end > 0 && IsContinuationByte(text[end])) --end;
        quoted.append(text.substr(0, end));
        quoted.append("...");
    }
    quoted.push_back('"');
    return quoted;
}

// Splits a file into lines, reading it in blocks so that no line over
// kMaxLineBytes is ever held whole. Lines come without "\n", a trailing "\r" and,
// on line 1, a byte-order mark.
class CLineReader {
public:
    CLineReader(std::istream& in, std::string_view file) : m_in(in), m_file(file) {}

    // False at the end of the file. Fails on a read error or an over-long line.
    bool Next(std::string& line) {
        for (;;) {
            const std::size_t newline = m_buffer.find('\n', std::max(m_pos, m_scanned));
            const std::size_t end = newline == std::string::npos ? m_buffer.size() : newline;
            if (end - m_pos > CSourceReader::kMaxLineBytes) {
                FailAt(m_file, m_number + 1,
                       "line longer than " + std::to_string(CSourceReader::kMaxLineBytes) + " bytes");
            }
            if (newline != std::string::npos || (m_eof && m_pos < m_buffer.size())) {
                line.assign(m_buffer, m_pos, end - m_pos);
                m_pos = newline == std::string::npos ? end : end + 1;
                m_scanned = m_pos;
                if (++m_number == 1 && line.starts_with(kByteOrderMark)) {
                    line.erase(0, kByteOrderMark.size());
                }
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return true;
            }
            if (m_eof) return false;
            m_buffer.erase(0, m_pos);
            m_scanned = m_buffer.size();
            m_pos = 0;
            char block[1 << 16];
            m_in.read(block, sizeof block);
            if (m_in.bad()) FailAt(m_file, m_number + 1, "read error");
            m_buffer.append(block, static_cast<std::size_t>(m_in.gcount()));
            if (!m_in) m_eof = true;
        }
    }

    std::uint64_t Number() const { return m_number; }

private:
    std::istream& m_in;
    std::string_view m_file;
    std::string m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_scanned = 0;  // m_buffer holds no "\n" in [m_pos, m_scanned)
    std::uint64_t m_number = 0;
    bool m_eof = false;
};

bool IsControl(char32_t c) { return (c < 0x20 && c != U'\t') || (c >= 0x7F && c <= 0x9F); }

// Decodes a line into decoded, replacing what it held; fails on malformed UTF-8
// and on control characters but TAB.
void CheckText(std::string_view line, std::string_view file, std::uint64_t number,
               std::u32string& decoded) {
    decoded.clear();
    if (!DecodeUtf8(line, decoded)) FailAt(file, number, "not valid UTF-8");
    for (char32_t c : decoded) {
        if (IsControl(c)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            FailAt(file, number, std::string("control character ") + code);
        }
    }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void StripTrailingBlanks(std::string& line) {
    while (!line.empty() && IsBlank(line.back())) line.pop_back();
}

// Characters of valid UTF-8 text.
std::uint64_t CharacterCount(std::string_view text) {
    return static_cast<std::uint64_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuationByte(c); }));
}

// UTF-16 code units of valid UTF-8 text: four-byte sequences need two.
std::uint64_t Utf16Units(std::string_view text) {
    std::uint64_t units = 0;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t at = line.find(separator);
        fields.push_back(line.substr(0, at));
        if (at == std::string_view::npos) return fields;
        line.remove_prefix(at + 1);
    }
}

// A relative path of plain names joined by "/": nothing that could climb out.
bool IsPlainRelativePath(std::string_view path) {
    if (path.find('\\') != std::string_view::npos) return false;
    for (std::string_view part : Split(path, '/')) {
        if (part.empty() || part == "." || part == "..") return false;
    }
    return true;
}

bool IsInside(const fs::path& inner, const fs::path& root) {
    auto [r, i] = std::mismatch(root.begin(), root.end(), inner.begin(), inner.end());
    return r == root.end() && i != inner.end();
}

// Opens root/relative for reading. Empty on success, else what is wrong with the
// file. root is canonical; symbolic links are followed but must stay inside it.
std::string OpenInside(const fs::path& root, std::string_view relative, std::ifstream& in) {
    std::error_code ec;
    const fs::path full = fs::canonical(root / fs::path(relative), ec);
    if (ec) return "does not exist";
    if (!IsInside(full, root)) return "leads outside the source folder";
    if (!fs::is_regular_file(full, ec)) return "is not a regular file";
    in.open(full, std::ios::binary);
    if (!in) return "cannot be opened";
    return {};
}

// The highest index position the page's characters take, as LayOutPage assigns
// them: consecutive within a run, kBoundaryGap apart between runs, since every
// run after the first starts a paragraph or enters or leaves an annotation.
std::uint64_t LastPosition(const CorpusPage& page) {
    std::uint64_t characters = 0;
    std::uint64_t runs = 0;
    for (const Paragraph& paragraph : page.paragraphs) {
        for (const TextRun& run : paragraph.runs) {
            characters += CharacterCount(run.text);
            ++runs;
        }
    }
    if (runs == 0) return 0;
    return characters - runs + (runs - 1) * kBoundaryGap;
}

// Reads the source: the catalog with its volumes, then the variant table.
class CSourceParser {
public:
    CSourceParser(fs::path root, const ReadScope& scope)
        : m_root(std::move(root)), m_scope(scope) {}

    void ReadCatalog(Corpus& corpus);
    void ReadVariants(Corpus& corpus);
    // Leaves out the books the scope does not keep, and categories left without one.
    void DropUnkept(Corpus& corpus) const;

private:
    void ReadVolume(std::istream& in, const std::string& file, const std::string& bookName,
                    CorpusVolume& volume);
    std::string CheckedName(std::string_view name, std::uint64_t line) const;
    void CloseBook(const Corpus& corpus) const;
    void CloseCategory(const Corpus& corpus) const;
    bool Keeps(std::size_t category, std::size_t book) const {
        return !m_scope.keepBook || m_scope.keepBook(category, book);
    }

    fs::path m_root;
    const ReadScope& m_scope;
    std::uint64_t m_categoryLine = 0;
    std::uint64_t m_bookLine = 0;
};

std::string CSourceParser::CheckedName(std::string_view name, std::uint64_t line) const {
    if (name.empty()) FailAt(kCatalogFile, line, "empty name");
    if (Utf16Units(name) > kMaxCatalogNameUnits) {
        FailAt(kCatalogFile, line,
               "name longer than " + std::to_string(kMaxCatalogNameUnits) +
                   " UTF-16 code units");
    }
    return std::string(name);
}

void CSourceParser::CloseBook(const Corpus& corpus) const {
    if (corpus.categories.empty() || corpus.categories.back().books.empty()) return;
    const CorpusBook& book = corpus.categories.back().books.back();
    if (book.volumes.empty()) {
        FailAt(kCatalogFile, m_bookLine,
               "book " + Quoted(std::get<std::string>(book.name)) + " has no volume");
    }
}

void CSourceParser::CloseCategory(const Corpus& corpus) const {
    CloseBook(corpus);
    if (corpus.categories.empty()) return;
    const CorpusCategory& category = corpus.categories.back();
    if (category.books.empty()) {
        FailAt(kCatalogFile, m_categoryLine,
               "category " + Quoted(std::get<std::string>(category.name)) + " has no book");
    }
}

void CSourceParser::ReadCatalog(Corpus& corpus) {
    std::ifstream in;
    if (std::string problem = OpenInside(m_root, kCatalogFile, in); !problem.empty()) {
        FailFile(kCatalogFile, problem);
    }
    CLineReader reader(in, kCatalogFile);
    std::string line;
    std::u32string decoded;
    std::uint64_t entries = 0;
    while (reader.Next(line)) {
        const std::uint64_t number = reader.Number();
        CheckText(line, kCatalogFile, number, decoded);
        StripTrailingBlanks(line);
        if (line.empty() || line.front() == '#') continue;
        const std::vector<std::string_view> fields = Split(line, '\t');
        const std::string_view kind = fields[0];
        if (kind != "category" && kind != "book" && kind != "volume") {
            FailAt(kCatalogFile, number,
                   "unknown entry " + Quoted(kind) + "; expected category, book or volume");
        }
        if (++entries > kMaxCatalogRecords && m_scope.oneFolder) {
            FailAt(kCatalogFile, number,
                   "more than " + std::to_string(kMaxCatalogRecords) +
                       " catalog entries");
        }
        if (kind == "category") {
            if (fields.size() != 2) FailAt(kCatalogFile, number, "expected category<TAB>NAME");
            CloseCategory(corpus);
            corpus.categories.push_back({CheckedName(fields[1], number), {}});
            m_categoryLine = number;
        } else if (kind == "book") {
            if (fields.size() != 2) FailAt(kCatalogFile, number, "expected book<TAB>NAME");
            if (corpus.categories.empty()) FailAt(kCatalogFile, number, "book before any category");
            CloseBook(corpus);
            corpus.categories.back().books.push_back({CheckedName(fields[1], number), {}});
            m_bookLine = number;
        } else {
            if (fields.size() != 3 && fields.size() != 4) {
                FailAt(kCatalogFile, number, "expected volume<TAB>NAME<TAB>FILE[<TAB>FIRST-PAGE]");
            }
            if (corpus.categories.empty() || corpus.categories.back().books.empty()) {
                FailAt(kCatalogFile, number, "volume before any book");
            }
            CorpusBook& book = corpus.categories.back().books.back();
            CorpusVolume volume;
            volume.name = CheckedName(fields[1], number);
            const std::string file(fields[2]);
            if (!IsPlainRelativePath(file)) {
                FailAt(kCatalogFile, number,
                       "file " + Quoted(file) +
                           " is not a relative path of names joined by \"/\" inside the source folder");
            }
            if (fields.size() == 4) {
                const std::string_view text = fields[3];
                std::uint32_t first = 0;
                auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), first);
                if (text.empty() || text.front() < '0' || text.front() > '9' || ec != std::errc() ||
                    end != text.data() + text.size() || first < 1 ||
                    first > kMaxPageNumber) {
                    FailAt(kCatalogFile, number,
                           "first page " + Quoted(text) + " is not a number from 1 to " +
                               std::to_string(kMaxPageNumber));
                }
                volume.firstPage = static_cast<std::uint16_t>(first);
            }
            // A volume of a book left out keeps its place, without pages, until
            // DropUnkept; its file is not read.
            const std::size_t categoryIndex = corpus.categories.size() - 1;
            const std::size_t bookIndex = corpus.categories.back().books.size() - 1;
            if (Keeps(categoryIndex, bookIndex)) {
                std::ifstream volumeIn;
                if (std::string problem = OpenInside(m_root, file, volumeIn); !problem.empty()) {
                    FailAt(kCatalogFile, number, Quoted(file) + " " + problem);
                }
                ReadVolume(volumeIn, file, std::get<std::string>(book.name), volume);
                if (m_scope.onVolume) m_scope.onVolume(categoryIndex, bookIndex, volume);
            }
            book.volumes.push_back(std::move(volume));
        }
    }
    if (corpus.categories.empty()) FailFile(kCatalogFile, "no category");
    CloseCategory(corpus);
}

void CSourceParser::ReadVolume(std::istream& in, const std::string& file,
                               const std::string& bookName, CorpusVolume& volume) {
    const std::string& volumeName = std::get<std::string>(volume.name);
    CorpusPage page;
    bool labelled = false;
    std::uint64_t pageLine = 0;  // the page's first line with content
    bool anyBreak = false;
    // Ends the page being read at a break on line breakLine (0: at the end of the
    // file). Breaks before the first page and after the last are let pass.
    auto finishPage = [&](std::uint64_t breakLine) {
        if (page.paragraphs.empty()) {
            if (labelled) FailAt(file, pageLine, "page label without text");
            if (breakLine == 0) {
                if (volume.pages.empty()) FailFile(file, "holds no page");
                return;
            }
            if (!anyBreak && volume.pages.empty()) return;
            FailAt(file, breakLine, "empty page");
        }
        const std::uint64_t pageNumber = std::uint64_t{volume.firstPage} + volume.pages.size();
        if (pageNumber > kMaxPageNumber) {
            FailAt(file, pageLine,
                   "page number " + std::to_string(pageNumber) + " is over " +
                       std::to_string(kMaxPageNumber));
        }
        if (LastPosition(page) > kMaxPosition) FailAt(file, pageLine, "page too long for the index");
        if (!labelled) page.title = bookName + " " + volumeName + " " + std::to_string(pageNumber);
        volume.pages.push_back(std::move(page));
        page = CorpusPage();
        labelled = false;
        pageLine = 0;
    };

    CLineReader reader(in, file);
    std::string line;
    std::u32string decoded;
    while (reader.Next(line)) {
        const std::uint64_t number = reader.Number();
        CheckText(line, file, number, decoded);
        StripTrailingBlanks(line);
        if (line == kPageBreak) {
            finishPage(number);
            anyBreak = true;
            continue;
        }
        if (line.empty()) continue;
        if (pageLine == 0) pageLine = number;
        if (!labelled && page.paragraphs.empty() && line.starts_with(kLabelMark)) {
            std::string_view label(line);
            label.remove_prefix(kLabelMark.size());
            while (!label.empty() && IsBlank(label.front())) label.remove_prefix(1);
            if (label.empty()) FailAt(file, number, "empty page label");
            for (char c : label) {
                if (c == '<' || c == '>' || c == '&' || c == '{' || c == '}') {
                    FailAt(file, number, Quoted(std::string(1, c)) + " in a page label");
                }
            }
            page.title = std::string(label);
            labelled = true;
            continue;
        }
        Paragraph paragraph;
        std::string run;
        bool inNote = false;
        auto flush = [&](TextRun::Kind kind) {
            if (run.empty()) return;
            if (!paragraph.runs.empty() && paragraph.runs.back().kind == kind) {
                paragraph.runs.back().text += run;
            } else {
                paragraph.runs.push_back({kind, std::move(run)});
            }
            run.clear();
        };
        for (char c : line) {
            switch (c) {
                case '{':
                    if (inNote) FailAt(file, number, "\"{\" inside an annotation");
                    flush(TextRun::kMain);
                    inNote = true;
                    break;
                case '}':
                    if (!inNote) FailAt(file, number, "\"}\" without \"{\"");
                    flush(TextRun::kNote);
                    inNote = false;
                    break;
                case '<':
                case '>':
                case '&':
                    FailAt(file, number, Quoted(std::string(1, c)) + " in the text");
                default:
                    run.push_back(c);
            }
        }
        if (inNote) FailAt(file, number, "\"{\" without \"}\"");
        flush(TextRun::kMain);
        if (!paragraph.runs.empty()) page.paragraphs.push_back(std::move(paragraph));
    }
    finishPage(0);
}

void CSourceParser::DropUnkept(Corpus& corpus) const {
    if (!m_scope.keepBook) return;
    std::vector<CorpusCategory> kept;
    for (std::size_t c = 0; c < corpus.categories.size(); ++c) {
        CorpusCategory& category = corpus.categories[c];
        std::vector<CorpusBook> books;
        for (std::size_t b = 0; b < category.books.size(); ++b) {
            if (Keeps(c, b)) books.push_back(std::move(category.books[b]));
        }
        if (books.empty()) continue;
        category.books = std::move(books);
        kept.push_back(std::move(category));
    }
    corpus.categories = std::move(kept);
}

void CSourceParser::ReadVariants(Corpus& corpus) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(m_root / kVariantFile, ec))) return;
    std::ifstream in;
    if (std::string problem = OpenInside(m_root, kVariantFile, in); !problem.empty()) {
        FailFile(kVariantFile, problem);
    }
    CLineReader reader(in, kVariantFile);
    std::string line;
    std::u32string decoded;
    while (reader.Next(line)) {
        const std::uint64_t number = reader.Number();
        CheckText(line, kVariantFile, number, decoded);
        StripTrailingBlanks(line);
        if (line.empty() || line.front() == '#') continue;
        std::vector<std::uint32_t> group;
        for (char32_t c : decoded) {
            if (c == U' ' || c == U'\t' || c == kIdeographicSpace) continue;
            if (std::find(group.begin(), group.end(), c) != group.end()) {
                std::string shown;
                AppendUtf8(shown, c);
                FailAt(kVariantFile, number, Quoted(shown) + " twice in one group");
            }
            group.push_back(c);
        }
        if (group.size() < 2) {
            FailAt(kVariantFile, number, "a variant group needs at least two characters");
        }
        if (corpus.variantGroups.size() >= kMaxVariantGroups) {
            FailAt(kVariantFile, number,
                   "more than " + std::to_string(kMaxVariantGroups) +
                       " variant groups");
        }
        corpus.variantGroups.push_back(std::move(group));
    }
}

}  // namespace

bool CSourceReader::Read(const std::filesystem::path& folder, Corpus& corpus,
                         const ReadScope& scope) {
    m_reason.clear();
    try {
        std::error_code ec;
        fs::path root = fs::canonical(folder, ec);
        if (ec || !fs::is_directory(root, ec)) {
            m_reason = folder.string() + ": not a folder";
            return false;
        }
        Corpus result;
        CSourceParser parser(std::move(root), scope);
        parser.ReadCatalog(result);
        parser.DropUnkept(result);
        parser.ReadVariants(result);
        corpus = std::move(result);
        return true;
    } catch (const Fault& fault) {
        m_reason = fault.message;
    } catch (const std::bad_alloc&) {
        m_reason = "not enough memory to read the source";
    } catch (const std::exception& e) {
        m_reason = std::string("cannot read the source: ") + e.what();
    } catch (...) {
        m_reason = "cannot read the source";
    }
    return false;
}

}  // namespace vyn
