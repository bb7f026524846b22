#include "panelui/sortlistctrl.h"

#include <QHeaderView>
#include <QSignalBlocker>

#include "gui/qtstrings.h"

namespace vyn {

CSortListCtrl::CSortListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, &CSortListCtrl::OnColumnClick);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const int row = SelectedRow();
        if (row >= 0) emit rowSelected(row, m_rows[static_cast<std::size_t>(row)].pageIndex);
    });
}

void CSortListCtrl::InsertColumn(const QString& heading, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    QTreeWidgetItem* head = headerItem();
    head->setText(column, heading);
    head->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(column, width);
}

void CSortListCtrl::SetRows(std::vector<ResultRow> rows) {
    m_rows = std::move(rows);
    Fill();
    // A new list page is read from its first row.
    scrollToTop();
}

void CSortListCtrl::Fill() {
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(m_rows.size()));
    for (const ResultRow& row : m_rows) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, FromUtf16(row.category));
        item->setText(1, FromUtf16(row.book));
        item->setText(2, FromUtf16(row.volume));
        item->setText(kPageColumn, FromUtf8(row.pageNo));
        if (!row.firstHit.empty()) {
            for (int column = 0; column < 4; ++column) item->setToolTip(column, FromUtf16(row.firstHit));
        }
        items.append(item);
    }
    addTopLevelItems(items);
}

int CSortListCtrl::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.first());
}

void CSortListCtrl::SortByPageColumn() {
    const int selected = SelectedRow();
    // A page appears once in a search's entries, so its index finds the row again.
    const bool hadSelection = selected >= 0;
    const std::uint32_t selectedPage = hadSelection ? m_rows[static_cast<std::size_t>(selected)].pageIndex : 0;
    const QSignalBlocker quiet(this);
    CResultList::SortRowsByPageNo(m_rows);
    Fill();
    if (!hadSelection) return;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].pageIndex == selectedPage) {
            setCurrentItem(topLevelItem(static_cast<int>(i)));
            break;
        }
    }
}

void CSortListCtrl::SelectPage(std::uint32_t pageIndex) {
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].pageIndex != pageIndex) continue;
        QTreeWidgetItem* item = topLevelItem(static_cast<int>(i));
        // Choosing the selected row again changes no selection: report it all the same.
        const bool alreadySelected = SelectedRow() == static_cast<int>(i);
        setCurrentItem(item);
        scrollToItem(item);
        if (alreadySelected) emit rowSelected(static_cast<int>(i), pageIndex);
        return;
    }
}

void CSortListCtrl::OnColumnClick(int column) {
    if (column == kPageColumn) SortByPageColumn();
}

}  // namespace vyn
