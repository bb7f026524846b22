// The splash screen: when it is shown, what it covers and plays, and how it goes: at
// the first press, which reaches nothing else, or after 50 seconds.
#include <QShortcut>
#include <QScreen>
#include <QTimerEvent>

#include "gui/gifwriter.h"
#include "shell/animationplayer.h"
#include "shell/splashwnd.h"
#include "shelltest.h"

using namespace vyn;
using namespace vyn::test;

namespace {

// Counts the events of some types that reach a widget.
class CEventCounter : public QObject {
public:
    explicit CEventCounter(QList<QEvent::Type> types) : m_types(std::move(types)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (m_types.contains(event->type())) ++count;
        return false;
    }
    int count = 0;

private:
    QList<QEvent::Type> m_types;
};

// A small movie of two frames as "main.swf".
bool WriteMovie(const QString& folder) {
    QImage a(64, 40, QImage::Format_RGB32);
    a.fill(qRgb(0xF6, 0xEF, 0xDC));
    QImage b = a;
    b.fill(qRgb(0x2A, 0x24, 0x20));
    return WriteAnimatedGif(folder + QStringLiteral("/main.swf"), {{a, 20}, {b, 20}}, true);
}

}  // namespace

class SplashTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        m_app.reset();
        m_messages.reset();
        m_env.reset();
        CAnimationPlayer::OverrideSupportedFormats(std::nullopt);
        QVERIFY(!CSplashWnd::Current());
    }

    void shownUnlessEmbeddedOrAutomated_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("movie");
        QTest::addColumn<bool>("shown");
        QTest::newRow("no switch") << QStringList{} << true << true;
        QTest::newRow("no switch, no movie") << QStringList{} << false << true;
        QTest::newRow("other switch") << QStringList{QStringLiteral("-Embeddings")} << true << true;
        QTest::newRow("-Embedding") << QStringList{QStringLiteral("-Embedding")} << true << false;
        QTest::newRow("/Embedding") << QStringList{QStringLiteral("/Embedding")} << true << false;
        QTest::newRow("-Automation") << QStringList{QStringLiteral("-Automation")} << true << false;
        QTest::newRow("/Automation") << QStringList{QStringLiteral("/Automation")} << true << false;
        QTest::newRow("/embedding") << QStringList{QStringLiteral("/embedding")} << true << false;
    }
    void shownUnlessEmbeddedOrAutomated() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, movie);
        QFETCH(bool, shown);
        m_env = std::make_unique<CShellEnvironment>();
        if (movie) QVERIFY(WriteMovie(m_env->ProgramFolder()));
        QVERIFY(Start(arguments));
        CSplashWnd* splash = CSplashWnd::Current();
        QCOMPARE(splash != nullptr, shown);
        if (!shown) return;

        QVERIFY(splash->isVisible());
        QVERIFY(splash->isWindow());
        QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(splash->parentWidget(), static_cast<QWidget*>(m_frame));
        QCOMPARE(splash->geometry(), QGuiApplication::primaryScreen()->geometry());
        QCOMPARE(splash->m_pPlayer->parentWidget(), static_cast<QWidget*>(splash));
        QCOMPARE(splash->m_pPlayer->objectName(), QStringLiteral("Flash"));
        QCOMPARE(splash->m_pPlayer->geometry(), QRect(QPoint(0, 0), splash->size()));
        QCOMPARE(splash->m_pPlayer->Movie()->fileName(), m_env->ProgramFolder() + QStringLiteral("/main.swf"));
        QCOMPARE(splash->m_pPlayer->Movie()->state() == QMovie::Running, movie);
        auto* timer = splash->findChild<QTimer*>(QStringLiteral("splashTimer"));
        QVERIFY(timer);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 50000);
        // The frame came up after the splash; the splash stays above it.
        QVERIFY(QTest::qWaitForWindowExposed(splash));
    }

    void withoutPlayerStartUpGoesOnWithoutSplash() {
        m_env = std::make_unique<CShellEnvironment>();
        QVERIFY(WriteMovie(m_env->ProgramFolder()));
        CAnimationPlayer::OverrideSupportedFormats(QList<QByteArray>{});
        QVERIFY(Start({}));
        QVERIFY(!CSplashWnd::Current());
        QVERIFY(m_frame->findChildren<CSplashWnd*>().isEmpty());
        QVERIFY(m_frame->isVisible());
        QCOMPARE(m_messages->messages, QStringList{QString::fromUtf8("データを開けませんでした。")});
    }

    // The first press only removes the splash: the widget under it, the accelerators
    // and the shortcuts see nothing of it. The next press is delivered as usual.
    void firstPressGoesNowhereElse_data() {
        QTest::addColumn<QString>("press");
        QTest::newRow("key") << QStringLiteral("key");
        QTest::newRow("F3 accelerator") << QStringLiteral("F3");
        QTest::newRow("shortcut") << QStringLiteral("shortcut");
        QTest::newRow("left button") << QStringLiteral("left");
        QTest::newRow("right button") << QStringLiteral("right");
        QTest::newRow("middle button") << QStringLiteral("middle");
        QTest::newRow("left button on the splash") << QStringLiteral("splash");
    }
    void firstPressGoesNowhereElse() {
        QFETCH(QString, press);
        m_env = std::make_unique<CShellEnvironment>();
        QVERIFY(WriteMovie(m_env->ProgramFolder()));
        QVERIFY(Start({}));
        QPointer<CSplashWnd> splash = CSplashWnd::Current();
        QVERIFY(splash);
        QMovie* movie = splash->m_pPlayer->Movie();
        QCOMPARE(movie->state(), QMovie::Running);
        QSignalSpy stopped(movie, &QMovie::stateChanged);
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame));
        QVERIFY(CSplashWnd::Current());
        QShortcut shortcut(QKeySequence(Qt::Key_F5), m_frame);
        QSignalSpy fired(&shortcut, &QShortcut::activated);
        QLineEdit* edit = m_app->panel->edit;
        edit->setFocus();
        CEventCounter reached({QEvent::KeyPress, QEvent::MouseButtonPress});
        edit->installEventFilter(&reached);
        QSignalSpy executed(m_frame, &CMainFrame::commandExecuted);

        const auto doPress = [&] {
            if (press == QLatin1String("key")) {
                QTest::keyClick(edit, Qt::Key_A);
            } else if (press == QLatin1String("F3")) {
                QTest::keyClick(edit, Qt::Key_F3);
            } else if (press == QLatin1String("shortcut")) {
                QTest::keyClick(edit, Qt::Key_F5);
            } else if (press == QLatin1String("left")) {
                QTest::mouseClick(edit, Qt::LeftButton);
            } else if (press == QLatin1String("right")) {
                QTest::mouseClick(edit, Qt::RightButton);
            } else if (press == QLatin1String("middle")) {
                QTest::mouseClick(edit, Qt::MiddleButton);
            }
        };
        if (press == QLatin1String("splash")) {
            QTest::mouseClick(splash->m_pPlayer, Qt::LeftButton);
        } else {
            doPress();
        }
        QVERIFY(!CSplashWnd::Current());
        QVERIFY(!splash->isVisible());
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(movie->state(), QMovie::NotRunning);
        QCOMPARE(reached.count, 0);
        QVERIFY(edit->text().isEmpty());
        QVERIFY(executed.isEmpty());
        QVERIFY(fired.isEmpty());
        QTRY_VERIFY(!splash);

        if (press == QLatin1String("splash")) return;
        doPress();
        if (press == QLatin1String("shortcut")) {
            QCOMPARE(fired.size(), 1);
            return;
        }
        QCOMPARE(reached.count, 1);
        if (press == QLatin1String("F3")) QCOMPARE(executed.size(), 1);
        if (press == QLatin1String("key")) QCOMPARE(edit->text(), QStringLiteral("a"));
    }

    void timerRemovesTheSplashAndRepaintsAtOnce() {
        m_env = std::make_unique<CShellEnvironment>();
        QVERIFY(WriteMovie(m_env->ProgramFolder()));
        QVERIFY(Start({}));
        QPointer<CSplashWnd> splash = CSplashWnd::Current();
        QVERIFY(splash);
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        QMovie* movie = splash->m_pPlayer->Movie();
        auto* timer = splash->findChild<QTimer*>(QStringLiteral("splashTimer"));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 50000);
        CEventCounter painted({QEvent::Paint});
        m_app->panel->installEventFilter(&painted);
        // Once the panel has been painted for the first time, anything more comes only
        // when asked for.
        m_app->panel->update();
        QTRY_VERIFY(painted.count > 0);
        painted.count = 0;

        // Fifty seconds are up.
        QTimerEvent expired(timer->timerId());
        QCoreApplication::sendEvent(timer, &expired);
        QVERIFY(!CSplashWnd::Current());
        QVERIFY(!splash->isVisible());
        QCOMPARE(movie->state(), QMovie::NotRunning);
        // The repaint is asked for at once; a window system that has not yet exposed
        // the uncovered window delivers it a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(painted.count > 0, 1000);
        QTRY_VERIFY(!splash);
    }

private:
    bool Start(const QStringList& switches) {
        if (!m_env) m_env = std::make_unique<CShellEnvironment>();
        m_messages = std::make_unique<CRecordingPresenter>();
        m_app = std::make_unique<CProbeApp>();
        if (!m_app->InitInstance(QStringList{QStringLiteral("vyn")} + switches)) return false;
        m_frame = m_app->GetMainWnd();
        return QTest::qWaitForWindowExposed(m_frame) || CSplashWnd::Current();
    }

    std::unique_ptr<CShellEnvironment> m_env;
    std::unique_ptr<CRecordingPresenter> m_messages;
    std::unique_ptr<CProbeApp> m_app;
    CMainFrame* m_frame = nullptr;
};

QTEST_MAIN(SplashTest)
#include "splashtest.moc"
