// CXSliderCtrl: a horizontal slider drawn on a background texture, reporting its moves
// as trackbar notifications. Its position tool tip shows the value while it is dragged.
// User-interface thread only.
#pragma once

#include <QBrush>
#include <QSlider>

namespace vyn {

class CXSliderCtrl : public QSlider {
    Q_OBJECT

public:
    // Trackbar notification codes.
    enum ScrollCode {
        TB_LINEUP = 0,
        TB_LINEDOWN = 1,
        TB_PAGEUP = 2,
        TB_PAGEDOWN = 3,
        TB_THUMBPOSITION = 4,
        TB_THUMBTRACK = 5,
        TB_TOP = 6,
        TB_BOTTOM = 7,
        TB_ENDTRACK = 8,
    };

    explicit CXSliderCtrl(QWidget* parent = nullptr);

    // Paints bitmap id behind the slider, lined up with the texture of the toolbar
    // that holds it. False, background unchanged, for an unknown id.
    bool SetBackgroundBitmap(int id);
    void SetRange(int min, int max, bool redraw = false);
    void SetPos(int pos) { setValue(pos); }

signals:
    // Every move: a step, a page, a drag, and TB_ENDTRACK once the move is over (mouse
    // button or key released, wheel turned). position is the slider's new position.
    void scrolled(int code, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void OnAction(int action);
    void ShowPositionTip();

    int m_nBackgroundId = 0;
    QBrush m_brBackground;
    bool m_bMouseDown = false;
};

}  // namespace vyn
