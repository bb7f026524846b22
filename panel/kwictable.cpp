#include "panel/kwictable.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace vyn {

std::u16string KwicSortText(const KwicRow& row, KwicSortKey key) {
    switch (key) {
        case KwicSortKey::kLeft:
            return {row.left.rbegin(), row.left.rend()};
        case KwicSortKey::kHit:
            return row.hit;
        case KwicSortKey::kRight:
            return row.right;
        case KwicSortKey::kLocation:
            break;
    }
    return {};
}

bool OrderByKeys(const std::vector<std::u16string>& keys, std::vector<std::uint32_t>& order,
                 const std::function<bool()>& keepGoing) {
    struct Abandoned {};
    order.resize(keys.size());
    std::iota(order.begin(), order.end(), 0u);
    std::size_t calls = 0;
    try {
        std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            if ((++calls & 0xFFF) == 0 && keepGoing && !keepGoing()) throw Abandoned{};
            return keys[a] < keys[b];
        });
    } catch (const Abandoned&) {
        return false;
    }
    return true;
}

void CHitForms::Add(const std::u16string& form) {
    auto [it, added] = m_at.try_emplace(form, m_forms.size());
    if (added) m_forms.emplace_back(form, 0);
    ++m_forms[it->second].second;
}

void CHitForms::Clear() {
    m_forms.clear();
    m_at.clear();
}

std::vector<HitFormCount> CHitForms::Ranked() const {
    std::vector<HitFormCount> forms = m_forms;
    std::stable_sort(forms.begin(), forms.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return forms;
}

std::u16string ShortenedHit(std::u16string_view hit) {
    std::vector<std::size_t> starts;  // UTF-16 index of each character
    for (std::size_t i = 0; i < hit.size(); ++i) {
        if ((hit[i] & 0xFC00) != 0xDC00 || i == 0 || (hit[i - 1] & 0xFC00) != 0xD800) starts.push_back(i);
    }
    if (starts.size() <= kShownHitChars) return std::u16string(hit);
    const std::size_t tail = (kShownHitChars - 1) / 2;
    const std::size_t head = kShownHitChars - 1 - tail;
    std::u16string out(hit.substr(0, starts[head]));
    out += u'…';
    out += hit.substr(starts[starts.size() - tail]);
    return out;
}

std::vector<HitFormCount> HitForms(const std::vector<KwicRow>& rows) {
    CHitForms forms;
    for (const KwicRow& row : rows) forms.Add(row.hit);
    return forms.Ranked();
}

void CKwicTable::Clear() {
    ++m_generation;
    m_sorting = false;
    m_rows.clear();
    m_order.clear();
    m_view.clear();
    m_forms.Clear();
    m_filter.reset();
}

void CKwicTable::Append(std::vector<KwicRow> rows) {
    m_rows.reserve(m_rows.size() + rows.size());
    for (KwicRow& row : rows) {
        const auto index = static_cast<std::uint32_t>(m_rows.size());
        m_forms.Add(row.hit);
        if (Shows(row)) m_view.push_back(index);
        m_order.push_back(index);
        m_rows.push_back(std::move(row));
    }
}

void CKwicTable::SetFilter(std::optional<std::u16string> form) {
    m_filter = std::move(form);
    RebuildView();
}

std::optional<CKwicTable::SortJob> CKwicTable::SortBy(KwicSortKey key) {
    m_sortKey = key;
    ++m_generation;
    if (key == KwicSortKey::kLocation) {
        m_sorting = false;
        m_order.resize(m_rows.size());
        std::iota(m_order.begin(), m_order.end(), 0u);
        RebuildView();
        return std::nullopt;
    }
    // The keys are copied so that rows may keep arriving while the job runs.
    SortJob job{m_generation, std::vector<std::u16string>(m_rows.size())};
    for (std::size_t i = 0; i < m_rows.size(); ++i) job.keys[i] = KwicSortText(m_rows[i], key);
    m_sorting = true;
    return job;
}

bool CKwicTable::ApplySort(std::uint64_t generation, std::vector<std::uint32_t> order) {
    if (!IsCurrent(generation)) return false;
    assert(order.size() <= m_rows.size());
    for (std::size_t i = order.size(); i < m_rows.size(); ++i)
        order.push_back(static_cast<std::uint32_t>(i));
    m_order = std::move(order);
    m_sorting = false;
    RebuildView();
    return true;
}

void CKwicTable::RebuildView() {
    m_view.clear();
    for (std::uint32_t index : m_order) {
        if (Shows(m_rows[index])) m_view.push_back(index);
    }
}

std::vector<KwicRow> CKwicTable::ShownRows() const {
    std::vector<KwicRow> rows;
    rows.reserve(m_view.size());
    for (std::uint32_t index : m_view) rows.push_back(m_rows[index]);
    return rows;
}

}  // namespace vyn
