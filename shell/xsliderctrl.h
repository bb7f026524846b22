// CXSliderCtrl: a horizontal slider drawn on a background texture, reporting its moves
// as trackbar notifications. Its position tool tip shows the value while it is dragged.
// User-interface thread only.
#pragma once

#include <QBrush>
#include <QList>
#include <QSlider>

#include "gui/pageslider.h"
#include "gui/bitmaps.h"

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

    // Small red marks under the groove at these pages, each with its tool tip, also
    // listed in the accessible description; none clears them.
    void SetMarks(const QList<PageSliderMark>& marks);
    const QList<PageSliderMark>& Marks() const { return m_marks; }
    // The x coordinate of page on the groove, as the handle's centre would stand there.
    int PageX(int page) const;
    // The mark nearest to x within a few pixels; -1 when there is none.
    int MarkAt(int x) const;

signals:
    // Every move: a step, a page, a drag, and TB_ENDTRACK once the move is over (mouse
    // button or key released, wheel turned). position is the slider's new position.
    void scrolled(int code, int position);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Where the handle's centre can stand: from start, span pixels on.
    struct Track {
        int start;
        int span;
        bool upsideDown;
    };
    Track GetTrack() const;
    int PageX(int page, const Track& track) const;
    void OnAction(int action);
    void ShowPositionTip();

    CBackgroundTexture m_background;
    bool m_bMouseDown = false;
    QList<PageSliderMark> m_marks;
};

}  // namespace vyn
