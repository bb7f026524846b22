#include "shell/bookapp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QSessionManager>
#include <QThread>

#include "gui/platform.h"
#include "gui/resource.h"
#include "gui/signalwatcher.h"
#include "gui/translations.h"
#include "panelui/leftform.h"
#include "shell/aboutdlg.h"
#include "shell/bookdoc.h"
#include "shell/mainframe.h"
#include "shell/splashwnd.h"

namespace vyn {

namespace {

// QApplication::exec() runs the main event loop at this level; a dialog's exec() runs
// its own above it.
constexpr int kMainLoopLevel = 1;
// How often a close that waits for nested event loops to return looks again.
constexpr int kCloseRetryMs = 20;

// Rejects every dialog shown and closes the popup menus.
void RejectDialogs() {
    QList<QPointer<QDialog>> dialogs;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog && dialog->isVisible()) dialogs.append(dialog);
    }
    for (const QPointer<QDialog>& dialog : dialogs) {
        // Rejecting one dialog may have closed another.
        if (dialog && dialog->isVisible()) dialog->reject();
    }
    for (int i = 0; i < 16 && QApplication::activePopupWidget(); ++i) QApplication::activePopupWidget()->close();
}

}  // namespace

void CCommandLineInfo::ParseCommandLine(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--data") && i + 1 < arguments.size()) {
            m_dataFolder = QDir(arguments[++i]).absolutePath();
            continue;
        }
        if (arg.startsWith(QLatin1String("--data="))) {
            m_dataFolder = QDir(arg.mid(7)).absolutePath();
            continue;
        }
        if (arg.size() < 2 || (arg[0] != u'-' && arg[0] != u'/')) continue;
        const QString flag = arg.mid(1);
        if (flag.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0 ||
            flag.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0) {
            m_bShowSplash = false;
        }
    }
}

CBookApp::CBookApp() { setObjectName(QStringLiteral("CBookApp")); }

CBookApp::~CBookApp() { ExitInstance(); }

CMainFrame* CBookApp::GetMainWnd() const { return m_pMainWnd; }

bool CBookApp::InitInstance(const QStringList& arguments) {
    m_cmdInfo.ParseCommandLine(arguments);
    if (!m_cmdInfo.m_dataFolder.isEmpty()) SetDataFolder(m_cmdInfo.m_dataFolder);
    InstallQtTranslations();
    CSplashWnd::EnableSplashScreen(m_cmdInfo.m_bShowSplash);
    if (!ProcessShellCommand()) return false;
    // A request to end the program closes the frame as 終了 does: the layout is
    // written, the page files removed and the companion program started.
    m_signals = std::make_unique<CSignalWatcher>();
    connect(m_signals.get(), &CSignalWatcher::terminationRequested, this, [this] { OnEndRequested(); });
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { OnEndRequested(); });
    }
    m_closeRetry.setInterval(kCloseRetryMs);
    connect(&m_closeRetry, &QTimer::timeout, this, [this] { OnEndRequested(); });
    // Without a window manager nothing maximizes the window: start at full size.
    if (const QScreen* screen = m_pMainWnd->screen()) {
        m_pMainWnd->setGeometry(screen->availableGeometry());
    }
    m_pMainWnd->showMaximized();
    m_pMainWnd->update();
    return true;
}

bool CBookApp::ProcessShellCommand() {
    auto document = std::make_unique<CBookDoc>();
    if (!document->OnNewDocument()) return false;
    m_pDocument = std::move(document);
    auto* frame = new CMainFrame(this, m_pDocument.get(),
                                 [this](QWidget* parent) { return CreatePanel(parent); });
    if (!frame->LoadFrame()) {
        delete frame;
        m_pDocument.reset();
        return false;
    }
    m_pMainWnd = frame;
    frame->InitialUpdateFrame();
    return true;
}

// A dialog run by exec() has its caller below it on the stack, and the caller goes on
// once the dialog returns: the message box's caller finishes its search on the panel,
// the save dialog's caller is the hits-in-context window. Closing the frame from a
// dialog's event loop would delete them under their callers. So the dialogs are
// rejected, and the frame is closed from the main event loop (or from no loop at all),
// once every nested loop has returned and with it every caller.
void CBookApp::OnEndRequested() {
    if (QThread::currentThread()->loopLevel() > kMainLoopLevel) {
        // Also a dialog that a caller opened on its way out.
        RejectDialogs();
        m_closeRetry.start();
        return;
    }
    m_closeRetry.stop();
    RejectDialogs();
    OnCmdMsg(ID_APP_EXIT, CmdCode::kCommand, nullptr);
}

int CBookApp::ExitInstance() {
    m_closeRetry.stop();
    m_signals.reset();
    if (m_pMainWnd) m_pMainWnd->close();
    // The frame deletes itself once its window is gone.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete m_pMainWnd.data();
    m_pDocument.reset();
    return 0;
}

CLeftForm* CBookApp::CreatePanel(QWidget* parent) { return new CLeftForm(parent); }

bool CBookApp::OnCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    (void)ui;
    switch (id) {
        case ID_APP_ABOUT:
            if (code == CmdCode::kCommand) OnAppAbout();
            return code != CmdCode::kUpdate;
        case ID_APP_EXIT:
            if (code == CmdCode::kCommand && m_pMainWnd) m_pMainWnd->close();
            return code != CmdCode::kUpdate;
        default:
            return false;
    }
}

void CBookApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainWnd);
    dialog.exec();
}

}  // namespace vyn
