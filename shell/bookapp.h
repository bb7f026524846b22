// CBookApp: starts the reader (document, main frame, panes), owns them while it runs
// and routes the application's commands (about box, exit). One per process; it uses
// the QApplication made by main() or by a test.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "gui/cmdtarget.h"

class QWidget;

namespace vyn {

class CBookDoc;
class CLeftForm;
class CMainFrame;

// The result of the standard command-line parse: the splash is shown unless the
// process was started for embedding or automation.
struct CCommandLineInfo {
    bool m_bShowSplash = true;
    QString m_dataFolder;  // --data DIR (or --data=DIR), made absolute; empty without it
    void ParseCommandLine(const QStringList& arguments);
};

class CSignalWatcher;

class CBookApp : public QObject, public CCmdTarget {
    Q_OBJECT

public:
    CBookApp();
    ~CBookApp() override;

    // Parses arguments (the first is the program), loads Qt's Japanese texts, creates
    // the empty document and the main frame with its panes, sends the initial updates
    // and shows the frame maximized. From then on SIGTERM, SIGINT and SIGHUP and the
    // end of the desktop session close the frame as 終了 does, after rejecting the
    // dialogs open then and letting their callers return. False when the frame could
    // not be made; nothing is shown then.
    bool InitInstance(const QStringList& arguments);
    // Closes the frame if it is still open and deletes what remains. Returns 0.
    int ExitInstance();

    CMainFrame* GetMainWnd() const;

    bool OnCmdMsg(int id, CmdCode code, CCmdUI* ui) override;

protected:
    // The panel of the template, created in column 0 of the frame's splitter.
    virtual CLeftForm* CreatePanel(QWidget* parent);

private:
    bool ProcessShellCommand();
    void OnAppAbout();
    // A signal or the end of the session asks the program to end (see .cpp); called
    // again by m_closeRetry while nested event loops run.
    void OnEndRequested();

    CCommandLineInfo m_cmdInfo;
    std::unique_ptr<CSignalWatcher> m_signals;
    QTimer m_closeRetry;
    std::unique_ptr<CBookDoc> m_pDocument;
    QPointer<CMainFrame> m_pMainWnd;
};

}  // namespace vyn
