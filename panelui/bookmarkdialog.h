// CBookmarkDialog: しおり一覧…, the bookmarks with book, volume, page, the date each
// was added and its note; a bookmark opens with 開く, Enter or a double-click, and goes
// with 削除 or Delete without a question (しおり > しおりの削除を元に戻す brings it
// back). User-interface thread only.
#pragma once

#include <QDialog>
#include <cstddef>
#include <functional>

#include "panel/bookmarks.h"

class QPushButton;
class QTreeWidget;

namespace vyn {

class CBookmarkDialog : public QDialog {
    Q_OBJECT

public:
    // marks must outlive the dialog. open opens bookmark at; remove removes it,
    // false when it did not.
    CBookmarkDialog(QWidget* parent, const CBookmarks* marks, std::function<void(std::size_t)> open,
                    std::function<bool(std::size_t)> remove);

    QTreeWidget* List() const { return m_list; }
    // Fills the list again from the bookmarks.
    void Refresh();
    void OpenSelected();
    void RemoveSelected();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const CBookmarks* m_marks;
    std::function<void(std::size_t)> m_open;
    std::function<bool(std::size_t)> m_remove;
    QTreeWidget* m_list;
    QPushButton* m_openButton;
    QPushButton* m_removeButton;
};

}  // namespace vyn
