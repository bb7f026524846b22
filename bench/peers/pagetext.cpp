#include "bench/peers/pagetext.h"

#include <fstream>
#include <iterator>

#include "encoding/utf.h"

namespace vyn::peers {

namespace {

constexpr std::size_t kDirectoryHeader = 268;

std::uint32_t ReadU32(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<std::uint8_t>(bytes[offset + i]);
    }
    return value;
}

}  // namespace

bool CPageText::Open(const std::filesystem::path& folder) {
    // The store keeps record names to itself, so the directory is read here for
    // the page numbers that choose the text cell.
    std::string directory;
    {
        std::ifstream file(folder / "Index-fl.h", std::ios::binary);
        if (!file) return false;
        directory.assign(std::istreambuf_iterator<char>(file), {});
    }
    if (directory.size() < kDirectoryHeader) return false;
    const std::uint32_t width = ReadU32(directory, 4);
    if (width > 260) return false;
    const std::size_t stride = width + 8;
    std::vector<std::uint64_t> numbers;
    for (std::size_t offset = kDirectoryHeader; offset + stride <= directory.size();
         offset += stride) {
        std::string_view field(directory.data() + offset, width);
        field = field.substr(0, field.find('\0'));
        numbers.push_back(RecordPageNumber(field).value_or(0));
    }
    if (!m_store.Open(folder, "Index")) return false;
    m_pageNumbers = std::move(numbers);
    return true;
}

bool CPageText::Read(std::uint32_t recordIndex, std::vector<PositionedChar>& out) {
    if (recordIndex >= m_pageNumbers.size()) return false;
    ByteString page;
    if (!m_store.ReadPage(recordIndex, page)) return false;
    std::vector<HTMLNode> nodes;
    CFileList::ParsePage(page, nodes);
    const ByteString& cell = nodes[m_pageNumbers[recordIndex] % 2 == 0 ? 1 : 2].text;

    std::vector<PositionedChar> result;
    std::string run;
    bool tagBefore = false;
    auto flush = [&]() {
        std::u32string decoded;
        if (!DecodeUtf8(run, decoded)) return false;
        for (char32_t c : decoded) {
            std::uint32_t position = 0;
            if (!result.empty()) position = result.back().position + (tagBefore ? kMarkupGap : 1);
            result.push_back({c, position});
            tagBefore = false;
        }
        run.clear();
        return true;
    };
    std::string_view text = AsView(cell);
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '<') {
            run.push_back(text[i++]);
            continue;
        }
        if (!flush()) return false;
        const std::size_t close = text.find('>', i);
        i = close == std::string_view::npos ? text.size() : close + 1;
        tagBefore = true;
    }
    if (!flush()) return false;
    out = std::move(result);
    return true;
}

std::string PageLine(const std::vector<PositionedChar>& chars) {
    std::string line;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (i > 0 && chars[i].position != chars[i - 1].position + 1) line += kRunSeparator;
        AppendUtf8(line, chars[i].codePoint);
    }
    return line;
}

bool ParsePageLine(std::string_view line, std::vector<PositionedChar>& out) {
    std::vector<PositionedChar> result;
    bool separated = false;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(kRunSeparator, start);
        if (end == std::string_view::npos) end = line.size();
        std::u32string decoded;
        if (!DecodeUtf8(line.substr(start, end - start), decoded)) return false;
        if (decoded.empty() && (end < line.size() || separated)) return false;
        for (char32_t c : decoded) {
            std::uint32_t position = 0;
            if (!result.empty()) position = result.back().position + (separated ? kMarkupGap : 1);
            result.push_back({c, position});
            separated = false;
        }
        separated = true;
        start = end + 1;
    }
    out = std::move(result);
    return true;
}

}  // namespace vyn::peers
