// The splitter in the running frame: the start-up layout and the saved layout.
#include <QDialog>
#include <QTimer>

#include "gui/resource.h"
#include "shelltest.h"

using namespace vyn;
using namespace vyn::test;

class SplitterTest : public QObject {
    Q_OBJECT

private slots:
    void startUsesTheSavedPanelWidth_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("panelWidth");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("nothing saved") << QString() << 260 << false;
        QTest::newRow("saved width") << QStringLiteral("-1 333 -1 700") << 333 << false;
        QTest::newRow("saved while hidden") << QStringLiteral("0 300 -1 700") << 300 << true;
        QTest::newRow("damaged entry") << QStringLiteral("-1 abc -1 700") << 260 << false;
        QTest::newRow("three numbers") << QStringLiteral("-1 333 -1") << 260 << false;
        QTest::newRow("width below minimum") << QStringLiteral("-1 3 -1 700") << 260 << false;
    }
    void startUsesTheSavedPanelWidth() {
        QFETCH(QString, saved);
        QFETCH(int, panelWidth);
        QFETCH(bool, hidden);
        CShellEnvironment env;
        CRecordingPresenter messages;
        if (!saved.isNull()) env.SetProfileValue(QStringLiteral("SplitterWnd/Panes_0"), saved);
        CProbeApp app;
        QVERIFY(app.InitInstance(kNoSplash));
        CMainFrame* frame = app.GetMainWnd();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        ST_SplitterWnd& splitter = frame->m_wndSplitter;
        QCOMPARE(splitter.IsColumnHidden(0), hidden);
        QCOMPARE(app.panel->isHidden(), hidden);
        // The active pane is one the user sees: the page view while the panel is hidden.
        QCOMPARE(frame->GetActiveView(), hidden ? static_cast<QWidget*>(frame->m_pBookView)
                                                : static_cast<QWidget*>(app.panel));
        if (hidden) {
            // 印刷設定 is the page view's: page setup, not the frame's print preview.
            QTemporaryDir pages;
            const QString page = WritePage(pages.path(), QStringLiteral("p.html"),
                                           QStringLiteral("<html><body>秦川</body></html>"));
            QVERIFY(NavigateAndWait(frame->m_pBookView, page));
            QString opened;
            QTimer::singleShot(0, frame, [&] {
                if (QWidget* dialog = QApplication::activeModalWidget()) {
                    opened = dialog->objectName();
                    static_cast<QDialog*>(dialog)->reject();
                }
            });
            QVERIFY(frame->OnCommand(ID_PRINT_SETUP));
            QCOMPARE(opened, QStringLiteral("pageSetupDialog"));
        }
        // A hidden panel comes back at its saved width.
        if (hidden) splitter.ToggleColumn(0);
        QTRY_COMPARE(splitter.sizes().value(0), panelWidth);
        QVERIFY(splitter.sizes().value(1) > 500);
    }

    void toggleColumnKeepsTheWidthAndIgnoresOtherColumns() {
        CShellEnvironment env;
        CRecordingPresenter messages;
        CProbeApp app;
        QVERIFY(app.InitInstance(kNoSplash));
        CMainFrame* frame = app.GetMainWnd();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        ST_SplitterWnd& splitter = frame->m_wndSplitter;
        const int total = splitter.sizes().value(0) + splitter.sizes().value(1);
        splitter.setSizes({310, total - 310});
        splitter.ToggleColumn(0);
        QVERIFY(splitter.IsColumnHidden(0));
        QCOMPARE(splitter.m_nSize[0], 310);
        splitter.ToggleColumn(1);  // not the hidden one: nothing happens
        QVERIFY(splitter.IsColumnHidden(0));
        QVERIFY(!frame->m_pBookView->isHidden());
        QTRY_COMPARE(frame->m_pBookView->width(), splitter.width());
        splitter.ToggleColumn(0);
        QVERIFY(!splitter.IsColumnHidden(0));
        QTRY_COMPARE(splitter.sizes().value(0), 310);
        QCOMPARE(splitter.GetColumnCount(), 2);
    }
};

QTEST_MAIN(SplitterTest)
#include "splittertest.moc"
