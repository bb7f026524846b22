// CSplashWnd: the splash screen. While the main window is being built it covers the
// screen and plays "main.swf" from the executable's folder. It goes at the first key
// or mouse-button press anywhere in the application (that press goes nowhere else) or
// after 50 seconds, and the main window is repainted at once. At most one per run;
// user-interface thread only.
#pragma once

#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

namespace vyn {

class CAnimationPlayer;

class CSplashWnd : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTimeoutMs = 50000;

    ~CSplashWnd() override;

    // Whether ShowSplashScreen may show the splash; off until start-up says so.
    static void EnableSplashScreen(bool enable);
    // Creates and shows the splash, owned by owner (it stays above it), if enabled and
    // none exists. Without an animation player the splash is silently left out.
    static void ShowSplashScreen(QWidget* owner);
    // To be called for every event of the application before anything else sees it.
    // A key press or a left, right or middle mouse press removes the splash and is
    // reported as handled (true); everything else false. False when there is no splash.
    static bool PreTranslateAppMessage(QObject* receiver, QEvent* event);
    // The splash being shown, nullptr when none is.
    static CSplashWnd* Current() { return c_pSplashWnd; }

    // Stops the movie, removes the window (the object goes once control returns to the
    // event loop) and repaints the owner's window at once.
    void HideSplashScreen();

    CAnimationPlayer* m_pPlayer = nullptr;  // child of the splash
    QRect m_rectScreen;                     // the screen, taken at creation

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CSplashWnd();
    bool Create(QWidget* owner);

    static bool c_bShowSplashWnd;
    static CSplashWnd* c_pSplashWnd;

    QPointer<QWidget> m_owner;
    QTimer m_timer;  // timer 1
};

}  // namespace vyn
