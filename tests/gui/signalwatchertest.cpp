// Termination signals reach the program as a Qt signal instead of ending it.
#include <signal.h>

#include <QSignalSpy>
#include <QTest>

#include "gui/signalwatcher.h"

using namespace vyn;

class SignalWatcherTest : public QObject {
    Q_OBJECT

private slots:
    void signalBecomesARequest_data() {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM: kill, logout") << int(SIGTERM);
        QTest::newRow("SIGINT: Ctrl+C in a terminal") << int(SIGINT);
        QTest::newRow("SIGHUP: terminal closed") << int(SIGHUP);
    }

    void signalBecomesARequest() {
        QFETCH(int, number);
        CSignalWatcher watcher;
        QVERIFY(watcher.IsWatching());
        QSignalSpy spy(&watcher, &CSignalWatcher::terminationRequested);
        QCOMPARE(raise(number), 0);  // would end the test without the watcher
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), number);
    }

    void oneWatcherAtATimeAndHandlersComeBack() {
        struct sigaction before {};
        sigaction(SIGTERM, nullptr, &before);
        {
            CSignalWatcher first;
            CSignalWatcher second;
            QVERIFY(first.IsWatching());
            QVERIFY(!second.IsWatching());
        }
        struct sigaction after {};
        sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler == before.sa_handler);
        CSignalWatcher again;
        QVERIFY(again.IsWatching());
    }
};

QTEST_GUILESS_MAIN(SignalWatcherTest)
#include "signalwatchertest.moc"
