// CAboutDlg: the about box, a borderless modal pop-up showing bitmap 168 over its
// whole area. A left-button release anywhere on it, Enter or Esc closes it.
#pragma once

#include <QDialog>

namespace vyn {

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    // 334 x 216 dialog units of the classic 8-point dialog font.
    static constexpr int kWidth = 501;
    static constexpr int kHeight = 351;

    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace vyn
