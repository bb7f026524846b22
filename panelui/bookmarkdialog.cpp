#include "panelui/bookmarkdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/qtstrings.h"

namespace vyn {

CBookmarkDialog::CBookmarkDialog(QWidget* parent, const CBookmarks* marks,
                                 std::function<void(std::size_t)> open, std::function<bool(std::size_t)> remove)
    : QDialog(parent),
      m_marks(marks),
      m_open(std::move(open)),
      m_remove(std::move(remove)),
      m_list(new QTreeWidget(this)),
      m_openButton(new QPushButton(QStringLiteral("開く"), this)),
      m_removeButton(new QPushButton(QStringLiteral("削除"), this)) {
    setObjectName(QStringLiteral("bookmarkDialog"));
    setWindowTitle(QStringLiteral("しおり一覧"));
    setAccessibleName(QStringLiteral("しおり一覧"));
    resize(640, 360);

    m_list->setObjectName(QStringLiteral("bookmarkList"));
    m_list->setAccessibleName(QStringLiteral("しおり"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("書名"), QStringLiteral("巻"), QStringLiteral("頁"),
                             QStringLiteral("追加日"), QStringLiteral("メモ")});
    m_list->header()->setStretchLastSection(true);
    m_list->installEventFilter(this);
    m_openButton->setObjectName(QStringLiteral("bookmarkOpen"));
    m_removeButton->setObjectName(QStringLiteral("bookmarkRemove"));
    m_openButton->setDefault(true);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_openButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_removeButton, QDialogButtonBox::DestructiveRole);
    buttons->addButton(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_openButton, &QPushButton::clicked, this, &CBookmarkDialog::OpenSelected);
    connect(m_removeButton, &QPushButton::clicked, this, &CBookmarkDialog::RemoveSelected);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { OpenSelected(); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] {
        const bool chosen = m_list->currentItem() != nullptr;
        m_openButton->setEnabled(chosen);
        m_removeButton->setEnabled(chosen);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    Refresh();
}

void CBookmarkDialog::Refresh() {
    const int row = std::max(m_list->indexOfTopLevelItem(m_list->currentItem()), 0);
    m_list->clear();
    for (const Bookmark& b : m_marks->Items()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, FromUtf16(b.book));
        item->setText(1, FromUtf16(b.volume));
        item->setText(2, QString::number(b.place.pageNumber));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(3, FromUtf8(b.added));
        item->setText(4, FromUtf16(b.note));
    }
    for (int column = 0; column < 4; ++column) m_list->resizeColumnToContents(column);
    if (m_list->topLevelItemCount() > 0) {
        m_list->setCurrentItem(m_list->topLevelItem(std::min(row, m_list->topLevelItemCount() - 1)));
    }
    const bool chosen = m_list->currentItem() != nullptr;
    m_openButton->setEnabled(chosen);
    m_removeButton->setEnabled(chosen);
}

void CBookmarkDialog::OpenSelected() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0) return;
    // Opening may show a message whose event loop deletes the closed dialog: nothing
    // of it is used after accept.
    const std::function<void(std::size_t)> open = m_open;
    accept();
    if (open) open(static_cast<std::size_t>(row));
}

void CBookmarkDialog::RemoveSelected() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || !m_remove || !m_remove(static_cast<std::size_t>(row))) return;
    Refresh();
}

bool CBookmarkDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        RemoveSelected();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace vyn
