// The reader's pictures: icons 128 and 143 and bitmap 168, drawn from the vector
// images of the resources, and the page column background.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QPixmap>

namespace vyn {

// The frame's icon: icon 143 for the small sizes, icon 128 for the large ones.
QIcon LoadFrameIcon();
// Bitmap id rendered at size (device-independent pixels); a null pixmap when unknown.
QPixmap LoadBitmap(int id, const QSize& size, qreal devicePixelRatio = 1.0);
// PNG bytes of the page template's column background ("Back.gif"); browsers go by the
// content, not the name.
QByteArray PageBackgroundImage();

}  // namespace vyn
