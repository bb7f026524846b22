// The GIF writer of the splash movie, checked against Qt's own GIF reader.
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "gui/gifwriter.h"

using namespace vyn;

namespace {

// count colours of noise; a fixed seed keeps every run the same.
QImage Noise(QSize size, int colours, quint32 seed) {
    QRandomGenerator random(seed);
    QList<QRgb> palette;
    for (int i = 0; i < colours; ++i) palette.append(qRgb(random.bounded(256), random.bounded(256), random.bounded(256)));
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, palette[random.bounded(colours)]);
    }
    return image;
}

int Distance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

}  // namespace

class GifWriterTest : public QObject {
    Q_OBJECT

private slots:
    void readsBackWhatWasWritten_data() {
        QTest::addColumn<QList<QImage>>("images");
        QTest::addColumn<int>("tolerance");  // largest colour distance allowed per pixel
        QImage pixel(1, 1, QImage::Format_RGB32);
        pixel.fill(qRgb(12, 34, 56));
        QTest::newRow("one pixel") << QList<QImage>{pixel} << 0;
        // Far more codes than the table holds: the encoder must restart it.
        QTest::newRow("noise of 256 colours") << QList<QImage>{Noise({300, 200}, 256, 1)} << 0;
        QTest::newRow("noise of 2 colours") << QList<QImage>{Noise({257, 3}, 2, 2)} << 0;
        QImage gradient(256, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 256; ++x) gradient.setPixel(x, y, qRgb(x, y * 4, 255 - x));
        }
        QTest::newRow("gradient of 16384 colours") << QList<QImage>{gradient} << 24;

        // Later frames differ in a small rectangle, or not at all.
        const QImage first = Noise({120, 90}, 40, 3);
        QImage second = first;
        for (int y = 40; y < 47; ++y) {
            for (int x = 70; x < 75; ++x) second.setPixel(x, y, first.pixel(x - 60, y - 30));
        }
        QImage third = second;
        third.setPixel(119, 89, first.pixel(0, 0));
        QTest::newRow("frames that change in part") << QList<QImage>{first, second, second, third} << 0;
    }
    void readsBackWhatWasWritten() {
        QFETCH(QList<QImage>, images);
        QFETCH(int, tolerance);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("movie.gif"));
        QList<CGifFrame> frames;
        for (qsizetype i = 0; i < images.size(); ++i) frames.append({images[i], static_cast<int>(5 + i)});
        QVERIFY(WriteAnimatedGif(path, frames, true));

        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("gif"));
        QCOMPARE(reader.imageCount(), images.size());
        QCOMPARE(reader.loopCount(), -1);
        for (qsizetype i = 0; i < images.size(); ++i) {
            const QImage read = reader.read().convertToFormat(QImage::Format_RGB32);
            const int delay = reader.nextImageDelay();  // of the frame just read
            QVERIFY2(!read.isNull(), qPrintable(reader.errorString()));
            QCOMPARE(read.size(), images[i].size());
            QCOMPARE(delay, static_cast<int>(5 + i) * 10);
            int worst = 0;
            for (int y = 0; y < read.height(); ++y) {
                for (int x = 0; x < read.width(); ++x) worst = std::max(worst, Distance(read.pixel(x, y), images[i].pixel(x, y)));
            }
            QVERIFY2(worst <= tolerance, qPrintable(QStringLiteral("frame %1 off by %2").arg(i).arg(worst)));
        }
    }

    void playsOnceWithoutLoop() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("once.gif"));
        QVERIFY(WriteAnimatedGif(path, {{Noise({8, 8}, 4, 4), 10}, {Noise({8, 8}, 4, 5), 10}}, false));
        QImageReader reader(path);
        QCOMPARE(reader.loopCount(), 0);
    }

    void refusesWhatItCannotWrite_data() {
        QTest::addColumn<QList<QImage>>("images");
        QTest::addColumn<bool>("writablePath");
        QTest::newRow("no frames") << QList<QImage>{} << true;
        QTest::newRow("sizes differ") << QList<QImage>{Noise({8, 8}, 2, 6), Noise({8, 9}, 2, 7)} << true;
        QTest::newRow("empty image") << QList<QImage>{QImage()} << true;
        QTest::newRow("folder missing") << QList<QImage>{Noise({8, 8}, 2, 8)} << false;
    }
    void refusesWhatItCannotWrite() {
        QFETCH(QList<QImage>, images);
        QFETCH(bool, writablePath);
        QTemporaryDir dir;
        const QString path = dir.filePath(writablePath ? QStringLiteral("x.gif") : QStringLiteral("missing/x.gif"));
        QList<CGifFrame> frames;
        for (const QImage& image : images) frames.append({image, 10});
        QVERIFY(!WriteAnimatedGif(path, frames, true));
        if (writablePath) QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(GifWriterTest)
#include "gifwritertest.moc"
