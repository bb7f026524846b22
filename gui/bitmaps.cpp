#include "gui/bitmaps.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>

#include "gui/toolbarres.h"

namespace vyn {

namespace {

constexpr int kImageSide = 40;
constexpr int kImageCount = 10;
constexpr int kStateSide = 32;

// The reader's colours: paper, ink, vermilion and the indigo of a volume's cover.
const QColor kPaper(0xEF, 0xE5, 0xC8);
const QColor kPaperLight(0xFB, 0xF6, 0xE6);
const QColor kInk(0x2B, 0x25, 0x20);
const QColor kVermilion(0xB8, 0x32, 0x2A);
const QColor kIndigo(0x34, 0x47, 0x6B);
const QColor kFaded(0xB3, 0xA6, 0x8C);
const QColor kFadedLight(0xD9, 0xCF, 0xB8);

// What the images are painted with in one state.
struct Inks {
    QColor ink;
    QColor accent;
    QColor cover;
    QColor fill;  // inside of pages; transparent leaves the texture
};

const Inks kNormalInks{kInk, kVermilion, kIndigo, kPaperLight};
const Inks kDisabledInks{kFaded, kFadedLight, kFadedLight, Qt::transparent};

// A small deterministic generator, so that every run draws the same texture.
class CNoise {
public:
    explicit CNoise(std::uint32_t seed) : m_state(seed) {}
    std::uint32_t Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    double Unit() { return static_cast<double>(Next() & 0xFFFF) / 65535.0; }

private:
    std::uint32_t m_state;
};

QImage DrawBackground() {
    constexpr int w = 600;
    constexpr int h = 47;
    QImage image(w, h, QImage::Format_RGB32);
    CNoise noise(171);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int d = static_cast<int>(noise.Next() % 7) - 3;
            line[x] = qRgb(kPaper.red() + d, kPaper.green() + d, kPaper.blue() + d);
        }
    }
    // Fibres of the paper, drawn on a torus so that the texture tiles without seams.
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 140; ++i) {
        const QPointF start(noise.Unit() * w, noise.Unit() * h);
        const double length = 6 + noise.Unit() * 18;
        const double dy = (noise.Unit() - 0.5) * 5;
        const bool dark = noise.Next() % 3 != 0;
        QPainterPath fibre(start);
        fibre.quadTo(start + QPointF(length / 2, dy + (noise.Unit() - 0.5) * 4),
                     start + QPointF(length, dy));
        p.setPen(QPen(dark ? QColor(0xC9, 0xBA, 0x92, 70) : QColor(0xFF, 0xFB, 0xEE, 110),
                      0.6 + noise.Unit() * 0.6));
        for (int ox : {-w, 0, w}) {
            for (int oy : {-h, 0, h}) p.drawPath(fibre.translated(ox, oy));
        }
    }
    p.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

void DrawPage(QPainter& p, const QRectF& r, const Inks& inks, int columns) {
    p.setPen(QPen(inks.ink, 1.6));
    p.setBrush(inks.fill);
    p.drawRect(r);
    p.setPen(QPen(inks.ink, 1.8, Qt::SolidLine, Qt::FlatCap));
    const double step = r.width() / (columns + 1);
    for (int c = 1; c <= columns; ++c) {
        const double x = r.right() - c * step;
        const double bottom = r.bottom() - 4 - (c % 2) * r.height() * 0.25;
        p.drawLine(QPointF(x, r.top() + 4), QPointF(x, bottom));
    }
}

void DrawVolume(QPainter& p, const QRectF& r, const Inks& inks) {
    p.setPen(Qt::NoPen);
    p.setBrush(inks.cover);
    p.drawRoundedRect(r, 1.5, 1.5);
    // Title slip on the left, thread stitches along the spine on the right.
    p.setBrush(inks.fill.alpha() ? inks.fill : inks.ink);
    p.drawRect(QRectF(r.left() + 3, r.top() + 3, 5, r.height() * 0.6));
    p.setPen(QPen(inks.fill.alpha() ? inks.fill : inks.ink, 1.4));
    for (int i = 1; i <= 3; ++i) {
        const double y = r.top() + r.height() * i / 4;
        p.drawLine(QPointF(r.right() - 4, y), QPointF(r.right(), y));
    }
}

void DrawChevron(QPainter& p, QPointF tip, double dir, const QColor& colour, double width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QPointF back(-dir * 6, 0);
    QPolygonF line{tip + back + QPointF(0, -7), tip, tip + back + QPointF(0, 7)};
    p.drawPolyline(line);
}

void DrawLens(QPainter& p, const Inks& inks, double dir) {
    const QPointF centre(dir < 0 ? 22 : 18, 15);
    p.setBrush(inks.fill);
    p.setPen(QPen(inks.ink, 2.6));
    p.drawEllipse(centre, 9, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(inks.accent);
    p.drawRect(QRectF(centre.x() - 5, centre.y() - 1.5, 10, 3));
    p.setPen(QPen(inks.ink, 4, Qt::SolidLine, Qt::RoundCap));
    const QPointF handle = centre + QPointF(dir < 0 ? -7 : 7, 7);
    p.drawLine(handle, handle + QPointF(dir < 0 ? -7 : 7, 7));
    // A small pointer: which way the hit lies.
    p.setPen(Qt::NoPen);
    p.setBrush(inks.accent);
    const double x = dir < 0 ? 26 : 14;
    p.drawPolygon(QPolygonF{QPointF(x + dir * 10, 32), QPointF(x, 26), QPointF(x, 38)});
}

// Image n of the strips: the commands of toolbar 128 in order.
void DrawGlyph(QPainter& p, int n, const Inks& inks) {
    switch (n) {
        case 0: {  // select all
            DrawPage(p, QRectF(11, 8, 18, 24), inks, 3);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(inks.accent, 1.6, Qt::DashLine));
            p.drawRect(QRectF(5.5, 3.5, 29, 33));
            break;
        }
        case 1:  // copy
            DrawPage(p, QRectF(6, 4, 18, 24), inks, 2);
            DrawPage(p, QRectF(16, 12, 18, 24), inks, 3);
            break;
        case 2: {  // print
            DrawPage(p, QRectF(12, 4, 16, 12), inks, 0);
            p.setPen(Qt::NoPen);
            p.setBrush(inks.ink);
            p.drawRoundedRect(QRectF(4, 14, 32, 14), 3, 3);
            p.setBrush(inks.accent);
            p.drawEllipse(QPointF(31, 19), 1.8, 1.8);
            DrawPage(p, QRectF(11, 23, 18, 13), inks, 3);
            break;
        }
        case 3:  // previous volume
            DrawVolume(p, QRectF(17, 6, 18, 28), inks);
            DrawChevron(p, QPointF(4, 20), -1, inks.accent, 2.6);
            DrawChevron(p, QPointF(10, 20), -1, inks.accent, 2.6);
            break;
        case 4:  // previous page
            DrawPage(p, QRectF(17, 6, 18, 28), inks, 3);
            DrawChevron(p, QPointF(6, 20), -1, inks.accent, 3);
            break;
        case 5:  // next page
            DrawPage(p, QRectF(5, 6, 18, 28), inks, 3);
            DrawChevron(p, QPointF(34, 20), 1, inks.accent, 3);
            break;
        case 6:  // next volume
            DrawVolume(p, QRectF(5, 6, 18, 28), inks);
            DrawChevron(p, QPointF(30, 20), 1, inks.accent, 2.6);
            DrawChevron(p, QPointF(36, 20), 1, inks.accent, 2.6);
            break;
        case 7:  // previous search result
            DrawLens(p, inks, -1);
            break;
        case 8:  // next search result
            DrawLens(p, inks, 1);
            break;
        case 9: {  // information: a seal with an "i"
            p.setPen(Qt::NoPen);
            p.setBrush(inks.accent);
            p.drawRoundedRect(QRectF(8, 8, 24, 24), 3, 3);
            const QColor light = inks.fill.alpha() ? inks.fill : QColor(0xF3, 0xEC, 0xDC);
            p.setPen(QPen(light, 1.4));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(11, 11, 18, 18), 1.5, 1.5);
            p.setPen(Qt::NoPen);
            p.setBrush(light);
            p.drawEllipse(QPointF(20, 15), 2, 2);
            p.drawRect(QRectF(18.5, 18.5, 3, 8));
            break;
        }
        default:
            break;
    }
}

// Puts image (with alpha) into strip at column x as 24-bit pixels: fully transparent
// pixels become the mask colour; edge pixels are blended over the paper colour.
void PutMasked(QImage& strip, const QImage& image, int x) {
    for (int r = 0; r < image.height(); ++r) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(r));
        uchar* dst = strip.scanLine(r) + 3 * x;
        for (int j = 0; j < image.width(); ++j, dst += 3) {
            const QRgb px = src[j];  // premultiplied
            const int a = qAlpha(px);
            QRgb out = kMaskColour;
            if (a != 0) {
                const int inv = 255 - a;
                out = qRgb(qRed(px) + kPaper.red() * inv / 255, qGreen(px) + kPaper.green() * inv / 255,
                           qBlue(px) + kPaper.blue() * inv / 255);
                if (out == kMaskColour) out = qRgb(254, 0, 255);
            }
            dst[0] = static_cast<uchar>(qRed(out));
            dst[1] = static_cast<uchar>(qGreen(out));
            dst[2] = static_cast<uchar>(qBlue(out));
        }
    }
}

enum class StripKind { kNormal, kDisabled, kHot };

QImage DrawButtonStrip(StripKind kind) {
    QImage strip(kImageSide * kImageCount, kImageSide, QImage::Format_RGB888);
    for (int n = 0; n < kImageCount; ++n) {
        QImage image(kImageSide, kImageSide, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        if (kind == StripKind::kHot) {
            // Under the mouse the button lifts off the paper on a lighter slip.
            p.setPen(QPen(kVermilion, 1.2));
            p.setBrush(kPaperLight);
            p.drawRoundedRect(QRectF(1.5, 1.5, 37, 37), 6, 6);
        }
        DrawGlyph(p, n, kind == StripKind::kDisabled ? kDisabledInks : kNormalInks);
        p.end();
        PutMasked(strip, image, n * kImageSide);
    }
    return strip;
}

// The resource's own strip: twelve 16-colour images on the button face; the last two
// places (slider and page box) stay empty.
QImage DrawToolBarResourceStrip() {
    QImage strip(kImageSide * 12, kImageSide, QImage::Format_RGB32);
    strip.fill(QColor(192, 192, 192));
    const QImage normal = DrawButtonStrip(StripKind::kNormal);
    for (int y = 0; y < normal.height(); ++y) {
        const uchar* src = normal.constScanLine(y);
        auto* dst = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < normal.width(); ++x, src += 3) {
            const QRgb px = qRgb(src[0], src[1], src[2]);
            if (px != kMaskColour) dst[x] = px;
        }
    }
    static const QList<QRgb> kVga{
        qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return strip.convertToFormat(QImage::Format_Indexed8, kVga, Qt::ThresholdDither);
}

// The panel's "<" (dir -1) and ">" (dir 1): normal, pressed, hover and disabled, side
// by side. The corners are light grey, the colour that becomes the button face.
QImage DrawPageButtonStates(double dir) {
    QImage strip(kStateSide * 4, kStateSide, QImage::Format_RGB32);
    strip.fill(QColor(192, 192, 192));
    struct State {
        QColor fill, border, chevron;
        double borderWidth;
        QPointF shift;
    };
    const State states[4] = {
        {QColor(0xF4, 0xEC, 0xD6), QColor(0x8C, 0x7B, 0x5E), kInk, 1.0, {0, 0}},
        {QColor(0xE0, 0xD2, 0xAE), QColor(0x6F, 0x5F, 0x44), kInk, 1.4, {1, 1}},
        {kPaperLight, kVermilion, kVermilion, 1.6, {0, 0}},
        {QColor(0xEE, 0xE8, 0xD8), QColor(0xCF, 0xC3, 0xA6), QColor(0xBF, 0xB3, 0x9A), 1.0, {0, 0}},
    };
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int s = 0; s < 4; ++s) {
        const State& st = states[s];
        p.save();
        p.translate(s * kStateSide, 0);
        p.setPen(QPen(st.border, st.borderWidth));
        p.setBrush(st.fill);
        p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
        DrawChevron(p, QPointF(16 + dir * 4, 16) + st.shift, dir, st.chevron, 3);
        p.restore();
    }
    p.end();
    return strip.convertToFormat(QImage::Format_RGB888);
}

QPixmap DrawSliderCursor() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A mark hanging from the hot spot and a left-right arrow across it.
    QPainterPath path;
    path.moveTo(15.5, 0.5);
    path.lineTo(15.5, 14);
    path.moveTo(6, 8);
    path.lineTo(25, 8);
    QPainterPath heads;
    heads.addPolygon(QPolygonF{QPointF(1, 8), QPointF(8, 3), QPointF(8, 13), QPointF(1, 8)});
    heads.addPolygon(QPolygonF{QPointF(30, 8), QPointF(23, 3), QPointF(23, 13), QPointF(30, 8)});
    p.setPen(QPen(QColor(0xFF, 0xFB, 0xF0), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setBrush(QColor(0xFF, 0xFB, 0xF0));
    p.drawPath(heads);
    p.setPen(QPen(kInk, 1.8, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(kVermilion);
    p.drawPath(heads);
    p.end();
    return QPixmap::fromImage(image);
}

}  // namespace

QImage LoadBitmapResource(int id) {
    switch (id) {
        case IDB_TOOLBAR:
            return DrawToolBarResourceStrip();
        case IDB_TOOLBAR_BACK:
            return DrawBackground();
        case IDB_TOOLBAR_NORMAL:
            return DrawButtonStrip(StripKind::kNormal);
        case IDB_TOOLBAR_DISABLED:
            return DrawButtonStrip(StripKind::kDisabled);
        case IDB_TOOLBAR_HOT:
            return DrawButtonStrip(StripKind::kHot);
        case IDB_PREV_PAGE:
            return DrawPageButtonStates(-1);
        case IDB_NEXT_PAGE:
            return DrawPageButtonStates(1);
        default:
            return {};
    }
}

QImage LoadMappedBitmap(int id, const QPalette& palette) {
    QImage image = LoadBitmapResource(id);
    if (image.isNull()) return image;
    image = image.convertToFormat(QImage::Format_RGB32);
    const std::array<std::pair<QRgb, QRgb>, 4> map{{
        {qRgb(0, 0, 0), palette.color(QPalette::ButtonText).rgb()},
        {qRgb(128, 128, 128), palette.color(QPalette::Dark).rgb()},
        {qRgb(192, 192, 192), palette.color(QPalette::Button).rgb()},
        {qRgb(255, 255, 255), palette.color(QPalette::Light).rgb()},
    }};
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            for (const auto& [from, to] : map) {
                if ((line[x] & 0xFFFFFF) == (from & 0xFFFFFF)) {
                    line[x] = to;
                    break;
                }
            }
        }
    }
    return image;
}

QBrush LoadPatternBrush(int id) {
    const QImage image = LoadBitmapResource(id);
    if (image.isNull()) return QBrush(Qt::NoBrush);
    return QBrush(QPixmap::fromImage(image));
}

bool CBackgroundTexture::Load(int id) {
    QBrush brush = LoadPatternBrush(id);
    if (brush.style() == Qt::NoBrush) return false;
    m_id = id;
    m_brush = std::move(brush);
    return true;
}

void FillWithTexture(QPainter& painter, const QWidget* widget, const QRect& rect, const QBrush& brush) {
    const QWidget* bar = widget->parentWidget();
    while (bar && !bar->inherits("QToolBar")) bar = bar->parentWidget();
    painter.save();
    painter.setBrushOrigin(bar ? -widget->mapTo(bar, QPoint(0, 0)) : QPoint(0, 0));
    painter.fillRect(rect, brush);
    painter.restore();
}

QCursor LoadCursorResource(int id) {
    if (id != IDC_SLIDER_CURSOR) return QCursor(Qt::ArrowCursor);
    return QCursor(DrawSliderCursor(), 15, 0);
}

}  // namespace vyn
