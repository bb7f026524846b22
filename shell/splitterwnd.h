// ST_SplitterWnd: the main window's two-column splitter whose left column can be
// hidden and shown again and whose layout is written to the profile at destruction.
#pragma once

#include <QPointer>
#include <QSplitter>
#include <QString>
#include <functional>

namespace vyn {

// Owns its two panes (as their parent widget) and knows which pane is active. The
// layout goes to the profile entry "Panes_<level>" of section "SplitterWnd" as
// "%d %d %d %d": hidden column (-1 or 0), width of column 0, hidden row (-1), width
// of column 1. User-interface thread only.
class ST_SplitterWnd : public QSplitter {
    Q_OBJECT

public:
    using PaneFactory = std::function<QWidget*(QWidget* parent)>;

    static constexpr int kInitialFirstWidth = 260;
    static constexpr int kInitialSecondWidth = 100;

    explicit ST_SplitterWnd(int level = 0);
    ~ST_SplitterWnd() override;

    // Makes the splitter a child of parent and creates the panes: the first in column
    // 0 with the ideal width 260, then the second in column 1, which takes the rest.
    // Always returns true; a missing factory leaves its column empty.
    bool Create(QWidget* parent, const PaneFactory& first, const PaneFactory& second,
                bool horizontal = true, int id = 0xE900);

    // The pane at (0, col), hidden or not; nullptr when there is none.
    QWidget* GetPane(int row, int col) const;
    int GetColumnCount() const;  // shown columns
    bool IsColumnHidden(int col) const { return m_nHiddenCol == col; }

    // Hides column col, or shows it again when it is the hidden one; else nothing.
    void ToggleColumn(int col);
    // Copies the current and minimum widths of both columns into m_nSize and
    // m_nMinSize, unless a column is hidden.
    void RememberSize();
    // Writes the profile entry; failures are ignored.
    void SaveToProfile();
    // Puts the saved panel width back from the profile entry when it is well formed;
    // false leaves the layout as created. A panel saved hidden is hidden again.
    bool RestorePanelWidth();

    // Pane activation. SetActivePane ignores widgets that are not shown panes.
    QWidget* GetActivePane() const { return m_activePane; }
    void SetActivePane(QWidget* pane);
    // Activates the next (or previous) shown pane and gives it the keyboard focus.
    void ActivateNext(bool previous);

    // Called when the frame destroys its windows: keeps the last layout for
    // SaveToProfile, then deletes the panes.
    void DestroyPanes();

    int m_nHiddenCol = -1;
    int m_nHiddenRow = -1;
    int m_nSize[2] = {100, 100};
    int m_nMinSize[2] = {10, 10};
    bool m_bHorizontal = true;
    QString m_strSection = QStringLiteral("SplitterWnd");
    int m_nLevel;

signals:
    void activePaneChanged(QWidget* pane);

private:
    void HideColumn(int col);
    void ShowColumn();
    bool ColumnInfo(int col, int& current, int& minimum) const;
    QString EntryName() const;

    QPointer<QWidget> m_activePane;
    int m_keptSize[2] = {-1, -1};  // layout kept by DestroyPanes
    int m_keptMin[2] = {-1, -1};
    bool m_panesGone = false;
};

}  // namespace vyn
