#include "gui/images.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "gui/resource.h"

namespace vyn {

namespace {

QPixmap Render(const QString& resource, const QSize& size, qreal ratio) {
    QSvgRenderer renderer(resource);
    if (!renderer.isValid()) return {};
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(image);
}

}  // namespace

QIcon LoadFrameIcon() {
    QIcon icon;
    for (int side : {16, 20, 24, 32}) {
        icon.addPixmap(Render(QStringLiteral(":/res/icon143.svg"), QSize(side, side), 1.0));
    }
    for (int side : {48, 64, 128, 256}) {
        icon.addPixmap(Render(QStringLiteral(":/res/icon128.svg"), QSize(side, side), 1.0));
    }
    return icon;
}

QPixmap LoadBitmap(int id, const QSize& size, qreal devicePixelRatio) {
    switch (id) {
        case IDB_ABOUT:
            return Render(QStringLiteral(":/res/about168.svg"), size, devicePixelRatio);
        case IDB_TREE_SELECTED:
            return Render(QStringLiteral(":/res/tree159.svg"), size, devicePixelRatio);
        case IDB_TREE_NORMAL:
            return Render(QStringLiteral(":/res/tree160.svg"), size, devicePixelRatio);
        default:
            return {};
    }
}

QByteArray PageBackgroundImage() {
    // Laid paper: a warm ground with faint horizontal chain lines.
    QImage image(80, 24, QImage::Format_RGB32);
    image.fill(QColor(0xF6, 0xEF, 0xDC));
    QPainter painter(&image);
    painter.setPen(QColor(0xEC, 0xE2, 0xC6));
    for (int y = 3; y < image.height(); y += 6) painter.drawLine(0, y, image.width(), y);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace vyn
