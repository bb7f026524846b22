// CToolTipResourceButton: an owner-drawn CToolTipButton showing one of four states of
// a bitmap strip: normal, pressed, under the mouse, disabled. The panel's "<" and ">"
// use it with bitmaps 184 and 185:
//
//   auto* prev = new CToolTipResourceButton(this);
//   prev->LoadBitmap(IDB_PREV_PAGE);
//   prev->SetToolTipText("Previous Page");
//
// User-interface thread only.
#pragma once

#include <QPixmap>

#include "gui/tooltipbutton.h"

namespace vyn {

class CToolTipResourceButton : public CToolTipButton {
    Q_OBJECT

public:
    explicit CToolTipResourceButton(QWidget* parent = nullptr);

    // Loads strip id (four states side by side) with the 3-D colour mapping of the
    // button's palette and fixes the button to the size of one state, keeping its
    // position. False, and nothing changed, for an unknown id.
    bool LoadBitmap(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void OnMouseHover();

    QPixmap m_bmpStates;
    QSize m_sizeState;
    bool m_bHover = false;     // from the first hover report until the mouse leaves
    bool m_bTracking = false;  // hover and leave reports asked for
};

}  // namespace vyn
