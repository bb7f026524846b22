#include "shell/splitterwnd.h"

#include <QApplication>
#include <QRegularExpression>

#include "gui/profile.h"

namespace vyn {

ST_SplitterWnd::ST_SplitterWnd(int level) : m_nLevel(level) {
    setObjectName(QStringLiteral("ST_SplitterWnd"));
    setAccessibleName(QStringLiteral("分割"));
    setChildrenCollapsible(false);
}

ST_SplitterWnd::~ST_SplitterWnd() { SaveToProfile(); }

bool ST_SplitterWnd::Create(QWidget* parent, const PaneFactory& first, const PaneFactory& second,
                            bool horizontal, int id) {
    m_bHorizontal = horizontal;
    setOrientation(horizontal ? Qt::Horizontal : Qt::Vertical);
    setParent(parent);
    setProperty("controlId", id);
    if (first) {
        if (QWidget* pane = first(this)) {
            addWidget(pane);
            setStretchFactor(indexOf(pane), 0);
        }
    }
    if (second) {
        if (QWidget* pane = second(this)) {
            addWidget(pane);
            setStretchFactor(indexOf(pane), 1);
        }
    }
    setSizes({kInitialFirstWidth, kInitialSecondWidth});
    show();
    return true;
}

QWidget* ST_SplitterWnd::GetPane(int row, int col) const {
    if (row != 0 || col < 0 || col >= count()) return nullptr;
    return widget(col);
}

int ST_SplitterWnd::GetColumnCount() const { return count() - (m_nHiddenCol >= 0 ? 1 : 0); }

void ST_SplitterWnd::ToggleColumn(int col) {
    if (m_nHiddenCol == -1) {
        HideColumn(col);
    } else if (m_nHiddenCol == col) {
        ShowColumn();
    }
}

void ST_SplitterWnd::HideColumn(int col) {
    if (m_nHiddenCol != -1 || col < 0 || col >= count()) return;
    RememberSize();
    m_nHiddenCol = col;
    QWidget* pane = widget(col);
    if (m_activePane == pane || !m_activePane) {
        const int next = col + 1 < count() ? col + 1 : 0;
        if (next != col) SetActivePane(widget(next));
    }
    // Hiding the pane that holds the focus would leave the keys nowhere.
    if (pane->isAncestorOf(QApplication::focusWidget()) && m_activePane) m_activePane->setFocus();
    pane->hide();
}

void ST_SplitterWnd::ShowColumn() {
    const int col = m_nHiddenCol;
    m_nHiddenCol = -1;
    QWidget* pane = widget(col);
    pane->show();
    // The column comes back at the width remembered when it was hidden; the last
    // column takes the rest.
    QList<int> widths = sizes();
    int total = 0;
    for (int w : widths) total += w;
    if (widths.size() == 2) {
        const int kept = std::min(m_nSize[col], std::max(total - 1, 1));
        widths[col] = kept;
        widths[1 - col] = std::max(total - kept, 1);
        setSizes(widths);
    }
}

bool ST_SplitterWnd::ColumnInfo(int col, int& current, int& minimum) const {
    if (m_panesGone) {
        current = m_keptSize[col];
        minimum = m_keptMin[col];
        return true;
    }
    if (col >= count()) return false;
    current = sizes().value(col, -1);
    minimum = widget(col)->minimumWidth();
    return true;
}

void ST_SplitterWnd::RememberSize() {
    if (m_nHiddenCol != -1) return;
    for (int col = 0; col < 2; ++col) {
        int current = -1;
        int minimum = -1;
        if (!ColumnInfo(col, current, minimum)) continue;
        m_nSize[col] = current;
        m_nMinSize[col] = minimum;
    }
}

QString ST_SplitterWnd::EntryName() const { return QStringLiteral("Panes_%1").arg(m_nLevel); }

void ST_SplitterWnd::SaveToProfile() {
    RememberSize();
    for (int& size : m_nSize) {
        if (size == -1) size = 100;
    }
    const QString value = QStringLiteral("%1 %2 %3 %4")
                              .arg(m_nHiddenCol)
                              .arg(m_nSize[0])
                              .arg(m_nHiddenRow)
                              .arg(m_nSize[1]);
    CProfile::WriteProfileString(m_strSection, EntryName(), value);
}

bool ST_SplitterWnd::RestorePanelWidth() {
    const QString value = CProfile::GetProfileString(m_strSection, EntryName());
    static const QRegularExpression kFourNumbers(
        QStringLiteral("^\\s*(-?\\d{1,6})\\s+(-?\\d{1,6})\\s+(-?\\d{1,6})\\s+(-?\\d{1,6})\\s*$"));
    const QRegularExpressionMatch match = kFourNumbers.match(value);
    if (!match.hasMatch() || count() != 2 || m_nHiddenCol != -1) return false;
    const int width = match.captured(2).toInt();
    if (width < m_nMinSize[0]) return false;
    setSizes({width, kInitialSecondWidth});
    // A panel hidden with 全表示 when the reader closed comes back hidden.
    if (match.captured(1).toInt() == 0) HideColumn(0);
    return true;
}

void ST_SplitterWnd::SetActivePane(QWidget* pane) {
    if (!pane || indexOf(pane) < 0 || pane->isHidden() || pane == m_activePane) return;
    m_activePane = pane;
    emit activePaneChanged(pane);
}

void ST_SplitterWnd::ActivateNext(bool previous) {
    const int n = count();
    if (n == 0) return;
    int col = m_activePane ? indexOf(m_activePane) : 0;
    for (int step = 0; step < n; ++step) {
        col = (col + (previous ? n - 1 : 1)) % n;
        if (!widget(col)->isHidden()) break;
    }
    QWidget* pane = widget(col);
    SetActivePane(pane);
    pane->setFocus(Qt::OtherFocusReason);
}

void ST_SplitterWnd::DestroyPanes() {
    if (m_panesGone) return;
    for (int col = 0; col < 2; ++col) ColumnInfo(col, m_keptSize[col], m_keptMin[col]);
    m_panesGone = true;
    m_activePane = nullptr;
    while (count() > 0) delete widget(0);
}

}  // namespace vyn
