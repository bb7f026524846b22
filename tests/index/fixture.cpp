#include "index/fixture.h"

#include <cstdio>

#include "builder/postingwriter.h"
#include "builder/storewriter.h"
#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/indexformat.h"
#include "support/tempdir.h"

namespace vyn::test {

std::vector<std::uint32_t> CodePoints(std::u16string_view text) {
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        out.push_back(unit);
    }
    return out;
}

void Corpus::AddPage(std::uint32_t doc, std::u16string_view text) {
    m_texts[doc] = std::u16string(text);
    std::uint32_t position = 0;
    for (std::uint32_t codePoint : CodePoints(text)) Add(doc, position++, codePoint);
    m_docs[doc];  // a page without characters still exists
}

void Corpus::Add(std::uint32_t doc, std::uint32_t position, std::uint32_t codePoint) {
    m_docs[doc][position] = codePoint;
}

bool Corpus::WriteIndexOnly(const std::filesystem::path& folder,
                            std::string_view baseWithSuffix) const {
    CPostingWriter writer;
    for (const auto& [doc, positions] : m_docs) {
        for (const auto& [position, codePoint] : positions) {
            if (std::int32_t slot = CharSlot(codePoint); slot != kNotIndexed) {
                if (!writer.Add(slot, doc, position)) return false;
            }
            for (std::size_t g = 0; g < groups.size() && g < kMaxVariantGroups; ++g) {
                for (std::uint32_t member : groups[g]) {
                    if (member != codePoint) continue;
                    if (!writer.Add(kFirstVariantSlot + static_cast<std::int32_t>(g), doc,
                                    position)) {
                        return false;
                    }
                    break;
                }
            }
        }
    }
    std::string error;
    return writer.Write(folder, baseWithSuffix, error);
}

bool Corpus::Write(const std::filesystem::path& folder, std::string_view suffix,
                   std::string_view base) const {
    if (!WriteIndexOnly(folder, std::string(base) + std::string(suffix))) return false;
    CStoreWriter store;
    store.SetHeaderNumber(77);
    const std::uint32_t pages = m_texts.empty() ? 1 : m_texts.rbegin()->first + 1;
    for (std::uint32_t doc = 0; doc < pages; ++doc) {
        auto it = m_texts.find(doc);
        char name[32];
        std::snprintf(name, sizeof name, "vol\\%04u.htm", doc);
        if (!store.AddPage(name, PageHtml(it == m_texts.end() ? u"" : it->second))) return false;
    }
    std::string error;
    if (!store.Write(folder, base, error)) return false;
    if (!groups.empty()) WriteVariantTable(folder, groups);
    return true;
}

std::string PageHtml(std::u16string_view text) {
    ByteString utf8;
    Utf16ToUtf8(text, utf8, kLenientConversion);
    const std::string body(AsView(utf8));
    return "<html><head><title>page</title></head><body><table><tr><TD>" + body + "</TD><TD>" +
           body + "</TD></tr></table></body></html>";
}

void WriteVariantTable(const std::filesystem::path& folder,
                       const std::vector<std::vector<std::uint32_t>>& groups) {
    std::string text;
    for (const auto& group : groups) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            char field[16];
            std::snprintf(field, sizeof field, "%s%X", i > 0 ? "," : "", group[i]);
            text += field;
        }
        text += "\n";
    }
    WriteFile(folder / "yitizi.txt", text);
}

}  // namespace vyn::test
