#include "shell/xedit.h"

#include <QPainter>

#include "gui/bitmaps.h"

namespace vyn {

CXEdit::CXEdit(QWidget* parent) : QLineEdit(parent) {}

bool CXEdit::SetBackgroundBitmap(int id) {
    if (!m_background.Load(id)) return false;
    // The text goes straight onto the texture.
    QPalette clear = palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    setPalette(clear);
    update();
    return true;
}

void CXEdit::paintEvent(QPaintEvent* event) {
    if (m_background.IsSet()) {
        QPainter painter(this);
        FillWithTexture(painter, this, rect(), m_background.Brush());
    }
    QLineEdit::paintEvent(event);
}

}  // namespace vyn
