// CKwicWindow: the hit rows of the current search in context, one line per hit
// (書名, 巻, 頁, 前, 語, 後), sortable, filtered by hit form, exported and copied.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <string_view>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "panel/cancellableworker.h"
#include "panel/export.h"
#include "panel/kwicrows.h"
#include "panel/kwictable.h"
#include "panel/searchhits.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace vyn {

// The table model of the window: adapts a CKwicTable, which owns the rows, the order
// and the filter, and runs its sorts by context or hit on a worker thread; a sort's
// order is taken when it ends unless the rows were cleared or another order chosen
// meanwhile. User-interface thread only.
class CKwicModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column : int { kBook, kVolume, kPage, kLeft, kHit, kRight, kColumnCount };

    // The order a click on column's heading chooses (the place columns choose
    // kLocation), and the column whose heading shows key.
    static KwicSortKey SortKeyOf(int column);
    static int ColumnOf(KwicSortKey key);

    explicit CKwicModel(QObject* parent = nullptr);
    ~CKwicModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The rows, order, filter and forms; changed only through the calls below.
    const CKwicTable& Table() const { return m_table; }

    // Drops every row and the filter; cancels a running sort.
    void Clear();
    void AppendRows(std::vector<KwicRow> rows);
    // Orders the rows; sorted() tells when the order is shown (at once for kLocation).
    void SortBy(KwicSortKey key);
    // Shows only the rows whose hit is form; nullopt shows all.
    void SetFilter(std::optional<std::u16string> form);

signals:
    void sorted();

private:
    void OnSortDone(std::uint64_t generation, std::vector<std::uint32_t> order);

    CKwicTable m_table;
    CCancellableWorker m_sorter;
};

class CKwicWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr std::string_view kFillCutMessage =
        "メモリが足りないため、文脈一覧をすべては作れませんでした。";
    explicit CKwicWindow(QWidget* parent = nullptr);
    ~CKwicWindow() override;

    // Shows the hits of a search, replacing what was shown; the rows are read on a
    // worker thread and come in batches, the first one small. A running fill is
    // cancelled first. When hits cannot open its data the window warns
    // "データを開けませんでした。" and shows no rows.
    void SetSearch(CSearchHits hits);
    // Stops the fill, if any, and waits for the worker.
    void Cancel();
    bool IsFilling() const { return m_filler.Running() && !m_fillDone; }

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
    // whole is false when the rows could not all be read (out of memory).
    void OnFillDone(std::uint64_t fill, bool opened, bool whole);
    void OnActivated(const QModelIndex& index);
    void OnHeaderClicked(int section);
    void OnExport();
    // The keyword as a file name, for exports.
    QString FileStem() const;
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
    std::vector<std::uint32_t> m_folderBases;  // the search's library folders, for export
    std::size_t m_entryCount = 0;
    CCancellableWorker m_filler;
    std::uint64_t m_fill = 0;  // the fill whose batches are taken
    bool m_fillDone = true;
};

}  // namespace vyn
