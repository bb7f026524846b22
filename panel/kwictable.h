// CKwicTable: hit rows as a table, in the order and under the filter chosen, with
// the counts of their hit forms; and the orders and counts it is built on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "panel/kwicrows.h"

namespace vyn {

// What hit rows are ordered by: their place in the result list (the rows' own order),
// the left context read from the hit outward, the hit, or the right context.
enum class KwicSortKey { kLocation, kLeft, kHit, kRight };

// The text a row sorts by under key (empty for kLocation).
std::u16string KwicSortText(const KwicRow& row, KwicSortKey key);

// Sets order to the indexes of keys ascending by key, equal keys in index order.
// keepGoing is asked every few thousand comparisons; when it answers false the sort
// is abandoned and false returned, order then unspecified.
bool OrderByKeys(const std::vector<std::u16string>& keys, std::vector<std::uint32_t>& order,
                 const std::function<bool()>& keepGoing);

// A hit form and its number of rows.
using HitFormCount = std::pair<std::u16string, std::size_t>;

// The hit as the window shows it: up to kShownHitChars characters whole, a longer
// one (a "*" match) cut in the middle to its first and last characters around "…",
// kShownHitChars in all. A surrogate pair is one character and is never split.
inline constexpr std::size_t kShownHitChars = 12;
std::u16string ShortenedHit(std::u16string_view hit);

// Counts hit forms as they come.
class CHitForms {
public:
    void Add(const std::u16string& form);
    void Clear();
    // Each form with its count, most frequent first, equal counts in the order in
    // which their forms were first added.
    std::vector<HitFormCount> Ranked() const;

private:
    std::vector<HitFormCount> m_forms;                     // by first appearance
    std::unordered_map<std::u16string, std::size_t> m_at;  // form -> index in m_forms
};

// Each distinct hit text of rows with its number of rows, ranked as CHitForms ranks.
std::vector<HitFormCount> HitForms(const std::vector<KwicRow>& rows);

// Owns the rows. Rows arrive in batches at the end of the order. A sort by context or
// hit is made in two steps so that the ordering can run elsewhere: SortBy hands out a
// copy of the keys, ApplySort takes their order back, unless the rows were cleared or
// another order chosen meanwhile; rows appended during the sort follow the sorted
// ones in arrival order until the next sort. The view is the order under the filter.
// Not thread-safe; a SortJob belongs to whoever holds it.
class CKwicTable {
public:
    struct SortJob {
        std::uint64_t generation = 0;
        std::vector<std::u16string> keys;  // KwicSortText of each row, by row index
    };

    // Drops every row, the forms and the filter; a job handed out before is stale.
    // The order chosen stays.
    void Clear();
    // Appends rows, counts their forms and appends those the filter shows to the view.
    void Append(std::vector<KwicRow> rows);
    // True when the filter shows row.
    bool Shows(const KwicRow& row) const { return !m_filter || *m_filter == row.hit; }
    // Shows only the rows whose hit is form; nullopt shows all.
    void SetFilter(std::optional<std::u16string> form);

    // Chooses the order and makes every job handed out before stale. kLocation puts
    // the rows in arrival order at once and gives nullopt; another key gives the job
    // to order with OrderByKeys, and the table is sorting until ApplySort takes it.
    std::optional<SortJob> SortBy(KwicSortKey key);
    // True when a job of generation is still the one the table waits for.
    bool IsCurrent(std::uint64_t generation) const {
        return m_sorting && generation == m_generation;
    }
    // Takes order (OrderByKeys of the job's keys) and rebuilds the view. False, with
    // nothing changed, when the job is stale.
    bool ApplySort(std::uint64_t generation, std::vector<std::uint32_t> order);

    KwicSortKey SortedBy() const { return m_sortKey; }
    bool IsSorting() const { return m_sorting; }
    const std::optional<std::u16string>& Filter() const { return m_filter; }
    // The forms of all rows, filtered or not (see CHitForms::Ranked).
    std::vector<HitFormCount> Forms() const { return m_forms.Ranked(); }

    std::size_t ViewSize() const { return m_view.size(); }
    // The row at view row r. Requires: r < ViewSize(). Valid until the next change.
    const KwicRow& RowAt(std::size_t r) const { return m_rows[m_view[r]]; }
    // The rows of the view, in view order.
    std::vector<KwicRow> ShownRows() const;

private:
    void RebuildView();

    std::vector<KwicRow> m_rows;         // in arrival order
    std::vector<std::uint32_t> m_order;  // all rows: sorted ones, then later arrivals
    std::vector<std::uint32_t> m_view;   // m_order under the filter
    CHitForms m_forms;
    std::optional<std::u16string> m_filter;
    KwicSortKey m_sortKey = KwicSortKey::kLocation;
    bool m_sorting = false;
    std::uint64_t m_generation = 0;  // bumped by Clear and SortBy
};

}  // namespace vyn
