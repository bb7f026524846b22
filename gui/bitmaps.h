// The pictures of the toolbar, the page buttons and the slider cursor, drawn by code:
// bitmaps 128, 171 to 174, 184 and 185 and cursor 149 (see toolbarres.h).
#pragma once

#include <QBrush>
#include <QCursor>
#include <QImage>
#include <QPalette>
#include <QRgb>

class QPainter;
class QWidget;

namespace vyn {

// The mask colour of the true-colour button strips: where it stands, the toolbar
// background shows through.
inline constexpr QRgb kMaskColour = qRgb(255, 0, 255);

// Bitmap id as stored: 171 to 174, 184 and 185 as 24-bit images (QImage::Format_RGB888),
// 128 as a 16-colour indexed image. A null image for an unknown id.
QImage LoadBitmapResource(int id);

// Bitmap id with the system's 3-D colour mapping: black, dark grey (128), light grey
// (192) and white become the button text, shadow, face and light colours of palette.
// A null image for an unknown id.
QImage LoadMappedBitmap(int id, const QPalette& palette);

// A pattern brush of bitmap id, repeating from the painter's brush origin; Qt::NoBrush
// for an unknown id.
QBrush LoadPatternBrush(int id);

// Fills rect of widget with brush, its pattern lined up with the toolbar that holds
// the widget (or with the widget itself when no toolbar holds it).
void FillWithTexture(QPainter& painter, const QWidget* widget, const QRect& rect, const QBrush& brush);

// A widget's background texture: the bitmap chosen and its pattern brush.
class CBackgroundTexture {
public:
    // Takes bitmap id; false, the texture unchanged, for an unknown id.
    bool Load(int id);
    bool IsSet() const { return m_id != 0; }
    const QBrush& Brush() const { return m_brush; }

private:
    int m_id = 0;
    QBrush m_brush;
};

// Cursor id (149); the arrow cursor for an unknown id.
QCursor LoadCursorResource(int id);

}  // namespace vyn
