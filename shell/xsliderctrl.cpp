#include "shell/xsliderctrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <QToolTip>

#include "gui/bitmaps.h"

namespace vyn {

namespace {

bool IsSliderKey(int key) {
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true;
        default:
            return false;
    }
}

}  // namespace

CXSliderCtrl::CXSliderCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::TicksBelow);
    setFocusPolicy(Qt::StrongFocus);
    // Moves without a button give the slider its own cursor back.
    setMouseTracking(true);
    connect(this, &QAbstractSlider::actionTriggered, this, &CXSliderCtrl::OnAction);
    connect(this, &QAbstractSlider::sliderReleased, this, [this] {
        QToolTip::hideText();
        emit scrolled(TB_THUMBPOSITION, sliderPosition());
    });
}

bool CXSliderCtrl::SetBackgroundBitmap(int id) {
    const QBrush brush = LoadPatternBrush(id);
    if (brush.style() == Qt::NoBrush) return false;
    m_nBackgroundId = id;
    m_brBackground = brush;
    update();
    return true;
}

void CXSliderCtrl::SetRange(int min, int max, bool redraw) {
    setRange(min, max);
    if (redraw) update();
}

// The action has moved the slider's position already; the value follows after.
void CXSliderCtrl::OnAction(int action) {
    int code = TB_THUMBTRACK;
    switch (action) {
        case SliderSingleStepAdd:
            code = TB_LINEDOWN;
            break;
        case SliderSingleStepSub:
            code = TB_LINEUP;
            break;
        case SliderPageStepAdd:
            code = TB_PAGEDOWN;
            break;
        case SliderPageStepSub:
            code = TB_PAGEUP;
            break;
        case SliderToMinimum:
            code = TB_TOP;
            break;
        case SliderToMaximum:
            code = TB_BOTTOM;
            break;
        case SliderMove:
            if (isSliderDown()) ShowPositionTip();
            break;
        default:
            return;
    }
    emit scrolled(code, sliderPosition());
}

void CXSliderCtrl::ShowPositionTip() {
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.sliderPosition = sliderPosition();
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    QToolTip::showText(mapToGlobal(QPoint(handle.center().x(), handle.top() - 24)),
                       QString::number(sliderPosition()), this);
}

void CXSliderCtrl::paintEvent(QPaintEvent* event) {
    if (m_nBackgroundId != 0) {
        QPainter painter(this);
        FillWithTexture(painter, this, rect(), m_brBackground);
    }
    QSlider::paintEvent(event);
}

void CXSliderCtrl::mousePressEvent(QMouseEvent* event) {
    QSlider::mousePressEvent(event);
    if (event->isAccepted() && event->button() == Qt::LeftButton) {
        m_bMouseDown = true;
        if (isSliderDown()) ShowPositionTip();
    }
}

void CXSliderCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton) unsetCursor();
    QSlider::mouseMoveEvent(event);
}

void CXSliderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (m_bMouseDown && event->button() == Qt::LeftButton) {
        m_bMouseDown = false;
        emit scrolled(TB_ENDTRACK, sliderPosition());
    }
}

void CXSliderCtrl::keyReleaseEvent(QKeyEvent* event) {
    QSlider::keyReleaseEvent(event);
    if (IsSliderKey(event->key()) && !event->isAutoRepeat()) {
        emit scrolled(TB_ENDTRACK, sliderPosition());
    }
}

// A turn of the wheel is a whole move: the page follows it at once.
void CXSliderCtrl::wheelEvent(QWheelEvent* event) {
    const int before = sliderPosition();
    QSlider::wheelEvent(event);
    if (event->isAccepted() && sliderPosition() != before) {
        emit scrolled(TB_ENDTRACK, sliderPosition());
    }
}

}  // namespace vyn
