// CSortListCtrl: the result list, a report list of four columns ("類別", "書名",
// "巻", "頁") with single, full-row selection, showing the rows of one list page.
// Each row carries its page index as item data. A click on the "頁" header orders
// the rows ascending by page number; clicks on the other headers do nothing.
// User-interface thread only.
#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <vector>

#include "panel/resultlist.h"

namespace vyn {

class CSortListCtrl : public QTreeWidget {
    Q_OBJECT

public:
    static constexpr int kPageColumn = 3;

    explicit CSortListCtrl(QWidget* parent = nullptr);

    // Adds a column at the end with its header text and width in pixels.
    void InsertColumn(const QString& heading, int width);
    // Replaces all rows, in order; nothing is selected afterwards.
    void SetRows(std::vector<ResultRow> rows);
    void DeleteAllItems() { SetRows({}); }

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // The rows in the order shown.
    const std::vector<ResultRow>& Rows() const { return m_rows; }
    // The first selected row, -1 when none is.
    int SelectedRow() const;

    // Selects the row of pageIndex, when there is one, and reports it (rowSelected),
    // also when it was the selected row already.
    void SelectPage(std::uint32_t pageIndex);

    // Orders the rows by page number (stable); the selection stays with its row and
    // is not reported again.
    void SortByPageColumn();

signals:
    // Row became selected; its item data is pageIndex.
    void rowSelected(int row, std::uint32_t pageIndex);

private:
    void Fill();
    void OnColumnClick(int column);

    std::vector<ResultRow> m_rows;
};

}  // namespace vyn
