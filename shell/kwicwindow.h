// CKwicWindow: the hit rows of the current search in context, one line per hit
// (書名, 巻, 頁, 前, 語, 後), sortable, filtered by hit form, exported and copied.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "panel/export.h"
#include "panel/kwicrows.h"
#include "panel/kwictable.h"
#include "panel/searchcommand.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace vyn {

// What the window shows the hits of: a search's result entries in list order and how
// their pages are rendered, on the data folder of the index searched.
struct KwicSearch {
    std::filesystem::path folder;
    TextPart part = TextPart::kWhole;
    KwicQuery query;
    std::vector<SearchNodeTag> entries;
};

// The rows of the window, in the order and under the filter chosen. Rows arrive in
// batches; a sort runs on a worker thread over a copy of its keys and is applied when
// it ends, unless rows or the order changed meanwhile. User-interface thread only.
class CKwicModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column : int { kBook, kVolume, kPage, kLeft, kHit, kRight, kColumnCount };
    enum class SortKey { kLocation, kLeft, kHit, kRight };

    explicit CKwicModel(QObject* parent = nullptr);
    ~CKwicModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Drops every row; cancels a running sort.
    void Clear();
    void AppendRows(std::vector<KwicRow> rows);
    // Orders the rows; the work runs in the background, sorted() tells when it is done.
    void SortBy(SortKey key);
    SortKey SortedBy() const { return m_sortKey; }
    bool IsSorting() const { return m_sorting; }
    // Shows only the rows whose hit is form; nullopt shows all.
    void SetFilter(std::optional<std::u16string> form);
    const std::optional<std::u16string>& Filter() const { return m_filter; }

    // The row shown at view row r. Requires: 0 <= r < rowCount().
    const KwicRow& RowAt(int r) const { return m_rows[m_view[static_cast<std::size_t>(r)]]; }
    // The rows shown, in view order.
    std::vector<KwicRow> ShownRows() const;
    // Hit forms of all rows with their counts, most frequent first.
    std::vector<std::pair<std::u16string, std::size_t>> Forms() const;

signals:
    void sorted();

private:
    void RebuildView();
    // Cancels a running sort and waits for its thread.
    void StopSort();
    void OnSortDone(std::uint64_t generation, std::vector<std::uint32_t> order);

    std::vector<KwicRow> m_rows;
    std::vector<std::uint32_t> m_order;  // all rows: sorted ones, then later arrivals
    std::vector<std::uint32_t> m_view;   // m_order under the filter
    std::unordered_map<std::u16string, std::size_t> m_formCounts;
    std::vector<std::u16string> m_formOrder;  // forms by first appearance
    std::optional<std::u16string> m_filter;
    SortKey m_sortKey = SortKey::kLocation;
    bool m_sorting = false;
    std::uint64_t m_generation = 0;  // bumped by every change a running sort misses
    std::shared_ptr<std::atomic<bool>> m_sortCancel;
    std::thread m_sortThread;
};

class CKwicWindow : public QWidget {
    Q_OBJECT

public:
    explicit CKwicWindow(QWidget* parent = nullptr);
    ~CKwicWindow() override;

    // Shows the hits of search, replacing what was shown: the first rows at once, the
    // rest from a worker thread with its own index on the same folder. A running fill
    // is cancelled first.
    void SetSearch(KwicSearch search);
    // Stops the fill, if any, and waits for the worker.
    void Cancel();
    bool IsFilling() const { return m_worker.joinable() && !m_fillDone; }

    CKwicModel& Model() { return m_model; }
    QTableView* View() const { return m_view; }
    // Writes the rows shown to path in format; false when the file cannot be written.
    bool ExportTo(const QString& path, ExportFormat format) const;
    // The file name an export suggests: the keyword with what a file name cannot hold
    // replaced, and the format's extension.
    QString SuggestedFileName(ExportFormat format) const;

signals:
    // The user asked for this hit's page, scrolled to the hit.
    void openHit(std::uint32_t record, int anchor);
    // The fill finished (or was cancelled) and every row of the search is in.
    void filled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnBatch(std::uint64_t fill, std::vector<KwicRow> rows, std::size_t entriesDone);
    void OnFillDone(std::uint64_t fill, bool opened);
    void OnActivated(const QModelIndex& index);
    void OnHeaderClicked(int section);
    void OnExport();
    void CopySelection() const;
    void UpdateForms();
    void UpdateStatus();

    CKwicModel m_model;
    QLabel* m_forms = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_export = nullptr;
    QTableView* m_view = nullptr;
    std::u16string m_keyword;
    std::size_t m_entryCount = 0;
    std::thread m_worker;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::uint64_t m_fill = 0;  // the fill whose batches are taken
    bool m_fillDone = true;
};

}  // namespace vyn
