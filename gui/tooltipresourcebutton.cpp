#include "gui/tooltipresourcebutton.h"

#include <QPainter>

#include "gui/bitmaps.h"

namespace vyn {

CToolTipResourceButton::CToolTipResourceButton(QWidget* parent) : CToolTipButton(parent) {
    // Moves without a pressed button are what starts the hover tracking.
    setMouseTracking(true);
}

bool CToolTipResourceButton::LoadBitmap(int id) {
    const QImage strip = LoadMappedBitmap(id, palette());
    if (strip.isNull()) return false;
    m_bmpStates = QPixmap::fromImage(strip);
    m_sizeState = QSize(strip.width() / 4, strip.height());
    setFixedSize(m_sizeState);
    update();
    return true;
}

void CToolTipResourceButton::paintEvent(QPaintEvent*) {
    if (m_bmpStates.isNull()) return;
    int state = 0;
    if (!isEnabled()) {
        state = 3;
    } else if (isDown()) {
        state = 1;
    } else if (m_bHover) {
        state = 2;
    }
    QPainter painter(this);
    painter.drawPixmap(QPoint(0, 0), m_bmpStates,
                       QRect(QPoint(state * m_sizeState.width(), 0), m_sizeState));
}

void CToolTipResourceButton::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bTracking) {
        // The hover report would follow after 1 ms of rest; nothing can tell the two
        // moments apart, so the first move counts as the hover.
        m_bTracking = true;
        OnMouseHover();
    }
    CToolTipButton::mouseMoveEvent(event);
}

void CToolTipResourceButton::OnMouseHover() {
    m_bHover = true;
    update();
}

void CToolTipResourceButton::leaveEvent(QEvent* event) {
    m_bTracking = false;
    m_bHover = false;
    update();
    CToolTipButton::leaveEvent(event);
}

}  // namespace vyn
