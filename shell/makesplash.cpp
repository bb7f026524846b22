// Makes the splash movie "main.swf": an animated GIF of a page of a classical book on
// which ink characters appear column by column, right to left, followed by the
// reader's name and a vermilion seal. Run at build time:
//
//   vyn-makesplash OUT
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdio>

#include "gui/gifwriter.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;

const QColor kPaper(0xF6, 0xEF, 0xDC);
const QColor kPaperEdge(0xEA, 0xDC, 0xB8);
const QColor kInk(0x2A, 0x24, 0x20);
const QColor kRule(0xC0, 0x56, 0x3F);
const QColor kFrame(0x7A, 0x2F, 0x25);
const QColor kSeal(0xB8, 0x32, 0x2A);

// Three columns of seven characters, read from the right.
const char* const kColumns[] = {"學而時習之不亦", "說乎有朋自遠方", "來不亦樂乎人不"};
constexpr int kColumnCount = 3;
constexpr int kRowCount = 7;
constexpr int kColumnWidth = 52;
constexpr int kTextTop = 58;
constexpr int kCharStep = 42;

QString Family(const QStringList& wanted) {
    const QStringList families = QFontDatabase::families();
    for (const QString& name : wanted) {
        if (families.contains(name)) return name;
    }
    return QString();
}

QImage Paper() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient ground(0, 0, 0, kHeight);
    ground.setColorAt(0, kPaper);
    ground.setColorAt(1, kPaperEdge);
    p.fillRect(image.rect(), ground);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kFrame, 3));
    p.drawRect(QRectF(18, 18, kWidth - 36, kHeight - 36));
    p.setPen(QPen(kFrame, 1));
    p.drawRect(QRectF(25, 25, kWidth - 50, kHeight - 50));
    // Column rules of the right half and the fold in the middle.
    p.setPen(QPen(kRule, 1));
    const int right = kWidth - 25;
    for (int c = 0; c <= kColumnCount + 1; ++c) {
        const double x = right - c * kColumnWidth;
        p.drawLine(QPointF(x, 25), QPointF(x, kHeight - 25));
    }
    p.setPen(QPen(kFrame, 1));
    p.drawLine(QPointF(kWidth / 2.0, 25), QPointF(kWidth / 2.0, kHeight - 25));
    QPainterPath fishTail;
    fishTail.moveTo(kWidth / 2.0 - 12, 62);
    fishTail.lineTo(kWidth / 2.0, 74);
    fishTail.lineTo(kWidth / 2.0 + 12, 62);
    fishTail.lineTo(kWidth / 2.0 + 12, 54);
    fishTail.lineTo(kWidth / 2.0 - 12, 54);
    fishTail.closeSubpath();
    p.fillPath(fishTail, kFrame);
    return image;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vyn-makesplash OUT\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString serif = Family({"Noto Serif CJK JP", "Noto Serif CJK TC", "Noto Sans CJK JP"});

    QList<vyn::CGifFrame> frames;
    QImage done = Paper();
    frames.append({done, 60});

    QFont charFont(serif);
    charFont.setPixelSize(34);
    const int right = kWidth - 25;
    for (int c = 0; c < kColumnCount; ++c) {
        const QString column = QString::fromUtf8(kColumns[c]);
        for (int r = 0; r < kRowCount && r < column.size(); ++r) {
            const QRectF cell(right - (c + 1) * kColumnWidth, kTextTop + r * kCharStep, kColumnWidth, kCharStep);
            // Ink soaks in: faint, darker, full.
            for (const double opacity : {0.25, 0.6, 1.0}) {
                QImage frame = done;
                QPainter p(&frame);
                p.setRenderHint(QPainter::TextAntialiasing);
                p.setOpacity(opacity);
                p.setFont(charFont);
                p.setPen(kInk);
                p.drawText(cell, Qt::AlignCenter, column.mid(r, 1));
                p.end();
                frames.append({frame, opacity < 1.0 ? 4 : 8});
                if (opacity == 1.0) done = frame;
            }
        }
        frames.last().delayCs = 30;
    }

    // The reader's name and subject on the left half.
    for (const double opacity : {0.35, 0.7, 1.0}) {
        QImage frame = done;
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setOpacity(opacity);
        const QString name = QStringLiteral("Velmora--Tessaline");
        const QString series = QString::fromUtf8("シリーズ⑦（Corvath）");
        // The name stays clear of the fold in the middle, with a margin.
        const double room = kWidth / 2.0 - 12 - 52;
        QFont title(serif);
        title.setBold(true);
        for (int size = 26; size > 12; --size) {
            title.setPixelSize(size);
            const QFontMetricsF metrics(title);
            if (std::max(metrics.horizontalAdvance(name), metrics.horizontalAdvance(series)) <= room) break;
        }
        p.setFont(title);
        p.setPen(kInk);
        p.drawText(QPointF(52, 130), name);
        p.drawText(QPointF(52, 168), series);
        p.setPen(QPen(kFrame, 1.5));
        p.drawLine(QPointF(52, 188), QPointF(290, 188));
        QFont subtitle(serif);
        subtitle.setPixelSize(18);
        p.setFont(subtitle);
        p.setPen(kInk);
        p.drawText(QPointF(52, 222), QString::fromUtf8("古典籍の閲覧と全文検索"));
        p.end();
        frames.append({frame, 6});
        if (opacity == 1.0) done = frame;
    }

    // The seal is pressed last.
    for (const double opacity : {0.5, 1.0}) {
        QImage frame = done;
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setOpacity(opacity);
        const QRectF seal(220, 262, 64, 64);
        p.setPen(Qt::NoPen);
        p.setBrush(kSeal);
        p.drawRoundedRect(seal, 6, 6);
        p.setPen(QPen(QColor(0xF8, 0xE6, 0xDA), 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(seal.adjusted(7, 7, -7, -7), 2, 2);
        QFont sealFont(serif);
        sealFont.setPixelSize(28);
        sealFont.setBold(true);
        p.setFont(sealFont);
        p.drawText(seal, Qt::AlignCenter, QString::fromUtf8("閲"));
        p.end();
        frames.append({frame, opacity < 1.0 ? 5 : 400});
        if (opacity == 1.0) done = frame;
    }

    if (!vyn::WriteAnimatedGif(QString::fromLocal8Bit(argv[1]), frames, true)) {
        std::fprintf(stderr, "vyn-makesplash: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
