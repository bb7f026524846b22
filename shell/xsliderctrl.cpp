#include "shell/xsliderctrl.h"

#include <QHelpEvent>
#include <algorithm>
#include <cstdlib>
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

// The colour of hits on the pages.
const QColor kMarkColour(255, 0, 0);
constexpr int kMarkHalfWidth = 3;
constexpr int kMarkHeight = 5;

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
    if (!m_background.Load(id)) return false;
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

void CXSliderCtrl::SetMarks(const QList<PageSliderMark>& marks) {
    m_marks = marks;
    // Read out to those who cannot see the marks.
    QStringList pages;
    for (const PageSliderMark& mark : marks) pages.append(mark.toolTip);
    setAccessibleDescription(pages.isEmpty() ? QString()
                                             : QStringLiteral("検索結果のある頁：") + pages.join(u'、'));
    update();
}

CXSliderCtrl::Track CXSliderCtrl::GetTrack() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    return {groove.x() + handle.width() / 2, std::max(groove.width() - handle.width(), 0), option.upsideDown};
}

int CXSliderCtrl::PageX(int page, const Track& track) const {
    return track.start + QStyle::sliderPositionFromValue(minimum(), maximum(), page, track.span, track.upsideDown);
}

int CXSliderCtrl::PageX(int page) const { return PageX(page, GetTrack()); }

int CXSliderCtrl::MarkAt(int x) const {
    const Track track = GetTrack();
    int best = -1;
    int bestDistance = kMarkHalfWidth + 2;
    for (int i = 0; i < m_marks.size(); ++i) {
        const int distance = std::abs(PageX(m_marks[i].page, track) - x);
        if (distance <= bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

bool CXSliderCtrl::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !m_marks.isEmpty()) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int at = MarkAt(help->pos().x());
        if (at >= 0) {
            QToolTip::showText(help->globalPos(), m_marks[at].toolTip, this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QSlider::event(event);
}

void CXSliderCtrl::paintEvent(QPaintEvent* event) {
    if (m_background.IsSet()) {
        QPainter painter(this);
        FillWithTexture(painter, this, rect(), m_background.Brush());
    }
    QSlider::paintEvent(event);
    if (m_marks.isEmpty() || maximum() <= minimum()) return;
    // Small triangles pointing up at the groove from below, over the ticks.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kMarkColour);
    const int bottom = height() - 1;
    const Track track = GetTrack();
    for (const PageSliderMark& mark : m_marks) {
        if (mark.page < minimum() || mark.page > maximum()) continue;
        const int x = PageX(mark.page, track);
        const QPoint triangle[3] = {QPoint(x, bottom - kMarkHeight), QPoint(x - kMarkHalfWidth, bottom),
                                    QPoint(x + kMarkHalfWidth, bottom)};
        painter.drawPolygon(triangle, 3);
    }
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
