#include "shell/splashwnd.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "gui/platform.h"
#include "gui/toolbarres.h"
#include "shell/animationplayer.h"

namespace vyn {

namespace {

constexpr const char* kMovieFile = "main.swf";

bool IsPressThatEndsSplash(const QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick: {
            const Qt::MouseButton button = static_cast<const QMouseEvent*>(event)->button();
            return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
        }
        default:
            return false;
    }
}

}  // namespace

bool CSplashWnd::c_bShowSplashWnd = false;
CSplashWnd* CSplashWnd::c_pSplashWnd = nullptr;

CSplashWnd::CSplashWnd() : m_timer(this) {
    setObjectName(QStringLiteral("CSplashWnd"));
    setAccessibleName(QStringLiteral("起動画面"));
    m_timer.setObjectName(QStringLiteral("splashTimer"));
    m_timer.setSingleShot(true);
    m_timer.setInterval(kTimeoutMs);
    connect(&m_timer, &QTimer::timeout, this, &CSplashWnd::HideSplashScreen);
}

CSplashWnd::~CSplashWnd() {
    if (c_pSplashWnd == this) c_pSplashWnd = nullptr;
    if (m_owner) m_owner->removeEventFilter(this);
}

void CSplashWnd::EnableSplashScreen(bool enable) { c_bShowSplashWnd = enable; }

void CSplashWnd::ShowSplashScreen(QWidget* owner) {
    if (!c_bShowSplashWnd || c_pSplashWnd) return;
    c_pSplashWnd = new CSplashWnd;
    if (!c_pSplashWnd->Create(owner)) {
        delete c_pSplashWnd;
        return;
    }
    c_pSplashWnd->show();
    c_pSplashWnd->raise();
    c_pSplashWnd->repaint();
}

bool CSplashWnd::Create(QWidget* owner) {
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) m_rectScreen = screen->geometry();

    // A frameless window of its own, owned by owner: it dies with it and stays above it.
    setParent(owner, Qt::Window | Qt::FramelessWindowHint);
    setCursor(Qt::ArrowCursor);
    setGeometry(m_rectScreen);
    m_owner = owner;
    if (owner) owner->installEventFilter(this);
    m_timer.start();

    auto* player = new CAnimationPlayer;
    if (!player->Create(QStringLiteral("Flash"), QRect(QPoint(0, 0), m_rectScreen.size()), this, IDC_FLASH)) {
        delete player;
        return false;
    }
    m_pPlayer = player;
    m_pPlayer->SetMovie(FileBesideExecutable(QString::fromUtf8(kMovieFile)));
    m_pPlayer->Play();
    return true;
}

bool CSplashWnd::PreTranslateAppMessage(QObject*, QEvent* event) {
    if (!c_pSplashWnd) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the key, so that it comes as a key press instead of firing a shortcut.
        event->accept();
        return true;
    }
    if (!IsPressThatEndsSplash(event)) return false;
    c_pSplashWnd->HideSplashScreen();
    return true;
}

void CSplashWnd::HideSplashScreen() {
    if (m_pPlayer) m_pPlayer->Stop();
    m_timer.stop();
    if (c_pSplashWnd == this) c_pSplashWnd = nullptr;
    hide();
    deleteLater();
    if (m_owner) m_owner->window()->repaint();
}

// An owned window stays above its owner, also when the owner is shown after it.
bool CSplashWnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_owner && (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)) {
        raise();
    }
    return false;
}

}  // namespace vyn
