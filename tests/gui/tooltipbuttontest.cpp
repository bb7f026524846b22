// The panel's page buttons: the four states of the bitmap strip and the tool tip made
// on first need.
#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include "gui/bitmaps.h"
#include "gui/toolbarres.h"
#include "gui/tooltipresourcebutton.h"

using namespace vyn;

class ToolTipButtonTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QToolTip::hideText(); }

    void showsTheFourStates_data() {
        QTest::addColumn<int>("bitmap");
        QTest::newRow("previous page") << IDB_PREV_PAGE;
        QTest::newRow("next page") << IDB_NEXT_PAGE;
    }
    void showsTheFourStates() {
        QFETCH(int, bitmap);
        QWidget host;
        host.resize(200, 120);
        CToolTipResourceButton button(&host);
        button.move(40, 30);
        QVERIFY(button.LoadBitmap(bitmap));
        QCOMPARE(button.size(), QSize(32, 32));
        QCOMPARE(button.pos(), QPoint(40, 30));
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QTest::mouseMove(&host, QPoint(150, 100));

        const QImage strip = LoadMappedBitmap(bitmap, button.palette());
        const auto state = [&strip](int n) { return strip.copy(n * 32, 0, 32, 32); };
        const auto shown = [&button] { return button.grab().toImage().convertToFormat(QImage::Format_RGB32); };
        // The states differ, so that each comparison below tells them apart.
        for (int a = 0; a < 4; ++a) {
            for (int b = a + 1; b < 4; ++b) QVERIFY(state(a) != state(b));
        }

        QCOMPARE(shown(), state(0));
        QTest::mouseMove(&button, QPoint(16, 16));
        QTRY_COMPARE(shown(), state(2));
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(16, 16));
        QCOMPARE(shown(), state(1));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(16, 16));
        QCOMPARE(shown(), state(2));
        QTest::mouseMove(&host, QPoint(150, 100));
        QTRY_COMPARE(shown(), state(0));
        button.setEnabled(false);
        QCOMPARE(shown(), state(3));
        QVERIFY(!button.LoadBitmap(999));
        QCOMPARE(button.size(), QSize(32, 32));
    }

    void toolTipAppearsOnRequest_data() {
        QTest::addColumn<QStringList>("texts");  // given in turn
        QTest::addColumn<bool>("activate");
        QTest::addColumn<QString>("shown");      // empty: no tip
        QTest::newRow("previous") << QStringList{QStringLiteral("Previous Page")} << true << QStringLiteral("Previous Page");
        QTest::newRow("next") << QStringList{QStringLiteral("Next Page")} << true << QStringLiteral("Next Page");
        QTest::newRow("replaced") << QStringList{QStringLiteral("Old"), QStringLiteral("Next Page")} << true
                                  << QStringLiteral("Next Page");
        QTest::newRow("empty text keeps the tip") << QStringList{QStringLiteral("Next Page"), QString()} << true
                                                  << QStringLiteral("Next Page");
        QTest::newRow("inactive") << QStringList{QStringLiteral("Next Page")} << false << QString();
        QTest::newRow("never set") << QStringList{} << true << QString();
        QTest::newRow("only empty") << QStringList{QString()} << true << QString();
    }
    void toolTipAppearsOnRequest() {
        QFETCH(QStringList, texts);
        QFETCH(bool, activate);
        QFETCH(QString, shown);
        CToolTipResourceButton button;
        button.setToolTip(QStringLiteral("not this one"));
        QVERIFY(button.LoadBitmap(IDB_NEXT_PAGE));
        for (const QString& text : texts) button.SetToolTipText(text, activate);
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));

        QHelpEvent help(QEvent::ToolTip, QPoint(10, 10), button.mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(&button, &help);
        if (shown.isEmpty()) {
            QVERIFY(!QToolTip::isVisible());
        } else {
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), shown);
            QCOMPARE(button.accessibleName(), texts.first());
        }
    }
};

QTEST_MAIN(ToolTipButtonTest)
#include "tooltipbuttontest.moc"
