#include "shell/animationplayer.h"

#include <QPainter>

namespace vyn {

namespace {

std::optional<QList<QByteArray>>& FormatsOverride() {
    static std::optional<QList<QByteArray>> formats;
    return formats;
}

// Shown where the movie leaves room, and alone when there is no movie.
const QColor kPaper(0xF6, 0xEF, 0xDC);

}  // namespace

CAnimationPlayer::CAnimationPlayer() {
    connect(&m_movie, &QMovie::frameChanged, this, [this] { update(); });
}

void CAnimationPlayer::OverrideSupportedFormats(std::optional<QList<QByteArray>> formats) {
    FormatsOverride() = std::move(formats);
}

bool CAnimationPlayer::Create(const QString& name, const QRect& rect, QWidget* parent, int id) {
    const QList<QByteArray> formats = FormatsOverride() ? *FormatsOverride() : QMovie::supportedFormats();
    if (formats.isEmpty()) return false;
    setObjectName(name);
    setAccessibleName(name);
    setProperty("controlId", id);
    setParent(parent);
    setGeometry(rect);
    show();
    return true;
}

void CAnimationPlayer::SetMovie(const QString& path) {
    m_movie.stop();
    m_movie.setFileName(path);
    update();
}

void CAnimationPlayer::Play() { m_movie.start(); }

void CAnimationPlayer::Stop() { m_movie.stop(); }

void CAnimationPlayer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kPaper);
    const QPixmap frame = m_movie.currentPixmap();
    if (frame.isNull()) return;
    QSize size = frame.size();
    size.scale(this->size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, frame);
}

}  // namespace vyn
