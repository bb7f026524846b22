// Writes an animated GIF (GIF89a): the frames share one palette of at most 256
// colours chosen by median cut; each frame after the first stores only the rectangle
// that changed. Used to make the splash movie at build time. Any thread.
#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace vyn {

struct CGifFrame {
    QImage image;     // all frames of one size; converted to 32-bit colour
    int delayCs = 10; // display time in hundredths of a second
};

// Writes frames to path, repeating forever when loop is true. False when frames is
// empty, the sizes differ or the file cannot be written.
bool WriteAnimatedGif(const QString& path, const QList<CGifFrame>& frames, bool loop);

}  // namespace vyn
