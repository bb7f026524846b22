#include "shell/xedit.h"

#include <QPainter>

#include "gui/bitmaps.h"

namespace vyn {

CXEdit::CXEdit(QWidget* parent) : QLineEdit(parent) {}

bool CXEdit::SetBackgroundBitmap(int id) {
    const QBrush brush = LoadPatternBrush(id);
    if (brush.style() == Qt::NoBrush) return false;
    m_nBackgroundId = id;
    m_brBackground = brush;
    // The text goes straight onto the texture.
    QPalette clear = palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    setPalette(clear);
    update();
    return true;
}

void CXEdit::paintEvent(QPaintEvent* event) {
    if (m_nBackgroundId != 0) {
        QPainter painter(this);
        FillWithTexture(painter, this, rect(), m_brBackground);
    }
    QLineEdit::paintEvent(event);
}

}  // namespace vyn
