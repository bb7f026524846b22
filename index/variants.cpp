// Variant table ("yitizi.txt"): ASCII text, one group per line. Lines end at LF;
// runs of LF count as one break, so empty lines form no group, while a line holding
// only a CR does (its one field reads as 0). Fields are separated by commas; runs of
// commas count as one. Each field is one member, a hexadecimal code point read like
// strtoul base 16: leading white space, an optional sign ("-" negates modulo 2^32),
// an optional "0x"/"0X", then digits up to the first other byte; no digits give 0,
// more than 32 bits give 0xFFFFFFFF. Group g (from 0, in file order) owns the index
// slot kFirstVariantSlot + g.
#include <cstdio>
#include <memory>
#include <new>

#include "encoding/charslot.h"
#include "encoding/utf.h"
#include "index/index.h"

namespace vyn {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::uint32_t ParseMember(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && IsSpace(field[i])) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    if (i + 2 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
        HexDigit(field[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < field.size() && HexDigit(field[i]) >= 0; ++i) {
        value = value * 16 + static_cast<std::uint64_t>(HexDigit(field[i]));
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
    }
    if (overflow) return 0xFFFFFFFFu;
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? 0u - result : result;
}

// Calls f for each non-empty piece of text between separators.
template <typename F>
void ForEachPiece(std::string_view text, char separator, F f) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) f(text.substr(start, end - start));
        start = end + 1;
    }
}

// The bytes of the file at path; false when it cannot be opened or read. C stdio
// rather than a file stream: no locale to set up for a plain read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) return false;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, got);
    return !std::ferror(file.get());
}

void AppendCodePoint(std::u16string& out, std::uint32_t codePoint) {
    AppendUtf16(out, codePoint > 0x10FFFF ? U'\uFFFD' : codePoint);  // no UTF-16 form above
}

}  // namespace

void CFirstGroupMap::Clear() {
    m_keys.clear();
    m_groups.clear();
    m_mask = 0;
    m_shift = 0;
}

void CFirstGroupMap::Reserve(std::size_t count) {
    std::size_t capacity = 16;
    int bits = 4;
    while (capacity < 2 * count) {
        capacity *= 2;
        ++bits;
    }
    m_keys.assign(capacity, 0);
    m_groups.assign(capacity, kNone);
    m_mask = capacity - 1;
    m_shift = 32 - bits;
}

void CFirstGroupMap::AddIfAbsent(std::uint32_t codePoint, std::uint32_t group) {
    for (std::size_t at = Home(codePoint);; at = (at + 1) & m_mask) {
        if (m_groups[at] == kNone) {
            m_keys[at] = codePoint;
            m_groups[at] = group;
            return;
        }
        if (m_keys[at] == codePoint) return;
    }
}

std::uint32_t CFirstGroupMap::Find(std::uint32_t codePoint) const {
    if (m_groups.empty()) return kNone;
    for (std::size_t at = Home(codePoint);; at = (at + 1) & m_mask) {
        if (m_groups[at] == kNone || m_keys[at] == codePoint) return m_groups[at];
    }
}

void CIndex::LoadVariants(const std::filesystem::path& folder) {
    std::string text;
    try {
        if (!ReadWholeFile(folder / kVariantFile, text)) text.clear();
    } catch (...) {
        text.clear();
    }
    ParseVariants(text);
}

void CIndex::LoadVariants(const CLockedFile& file) {
    std::string text;
    try {
        std::uint64_t size = 0;
        if (file.IsOpen() && file.Size(size) && size > 0) {
            if (size > text.max_size()) throw std::bad_alloc();
            text.resize(static_cast<std::size_t>(size));
            if (!file.ReadAt(0, text.data(), text.size())) text.clear();
        }
    } catch (...) {
        text.clear();
    }
    ParseVariants(text);
}

void CIndex::ParseVariants(std::string_view text) {
    m_variantMembers.clear();
    m_groupStart.assign(1, 0);
    m_firstGroupOf.Clear();
    m_variantGroups.clear();
    m_variantGroupsMade = false;
    try {
        std::vector<std::uint32_t> members;
        std::vector<std::uint32_t> groupStart{0};
        ForEachPiece(text, '\n', [&](std::string_view line) {
            ForEachPiece(line, ',',
                         [&](std::string_view field) { members.push_back(ParseMember(field)); });
            groupStart.push_back(static_cast<std::uint32_t>(members.size()));
        });
        CFirstGroupMap firstGroupOf;
        firstGroupOf.Reserve(members.size());
        for (std::size_t g = 0; g + 1 < groupStart.size(); ++g) {
            for (std::uint32_t m = groupStart[g]; m < groupStart[g + 1]; ++m) {
                firstGroupOf.AddIfAbsent(members[m], static_cast<std::uint32_t>(g));
            }
        }
        m_variantMembers = std::move(members);
        m_groupStart = std::move(groupStart);
        m_firstGroupOf = std::move(firstGroupOf);
    } catch (...) {
        m_variantMembers.clear();
        m_groupStart.assign(1, 0);
        m_firstGroupOf.Clear();
    }
}

const std::vector<std::vector<std::uint32_t>>& CIndex::GetVariantGroups() const {
    if (!m_variantGroupsMade) {
        m_variantGroups.clear();
        for (std::size_t g = 0; g + 1 < m_groupStart.size(); ++g) {
            m_variantGroups.emplace_back(m_variantMembers.begin() + m_groupStart[g],
                                         m_variantMembers.begin() + m_groupStart[g + 1]);
        }
        m_variantGroupsMade = true;
    }
    return m_variantGroups;
}

bool CIndex::VariantSlot(std::uint32_t codePoint, std::int32_t& slot) const {
    const std::uint32_t group = m_firstGroupOf.Find(codePoint);
    if (group == CFirstGroupMap::kNone || group >= kMaxVariantGroups) return false;
    slot = kFirstVariantSlot + static_cast<std::int32_t>(group);
    return true;
}

std::vector<std::uint32_t> CIndex::VariantsOf(std::uint32_t codePoint) const {
    const std::uint32_t group = m_firstGroupOf.Find(codePoint);
    if (group == CFirstGroupMap::kNone) return {codePoint};
    return {m_variantMembers.begin() + m_groupStart[group],
            m_variantMembers.begin() + m_groupStart[group + 1]};
}

std::vector<std::u16string> CIndex::ExpandVariants(std::u16string_view keywords) const {
    std::vector<std::vector<std::uint32_t>> choices;
    for (std::size_t i = 0; i < keywords.size();) choices.push_back(VariantsOf(NextCodePoint(keywords, i)));
    std::vector<std::u16string> strings;
    if (choices.empty()) return strings;
    // An odometer over the choices, the last position turning fastest.
    std::vector<std::size_t> pick(choices.size(), 0);
    while (strings.size() < kMaxExpansion) {
        std::u16string text;
        for (std::size_t k = 0; k < choices.size(); ++k) AppendCodePoint(text, choices[k][pick[k]]);
        strings.push_back(std::move(text));
        std::size_t k = choices.size();
        while (k > 0 && ++pick[k - 1] == choices[k - 1].size()) {
            pick[k - 1] = 0;
            --k;
        }
        if (k == 0) break;
    }
    return strings;
}

}  // namespace vyn
