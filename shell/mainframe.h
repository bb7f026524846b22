// CMainFrame: the main window. It holds menu 128, the toolbar and the splitter with
// the panel (left) and the page view (right), routes the commands of the menu, the
// toolbar and accelerator table 128, and handles the commands that are not the
// panel's own: printing, copying, selecting, full display, help.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <QKeyEvent>
#include <functional>
#include <memory>

#include "gui/cmdtarget.h"
#include "shell/scrolltoolbar.h"
#include "shell/splitterwnd.h"

namespace vyn {

class CBookApp;
class CBookDoc;
class CBookView;
class CDataBar;
class CKwicWindow;
class CLeftForm;

class CMainFrame : public QMainWindow, public CCmdTarget {
    Q_OBJECT

public:
    using PanelFactory = std::function<CLeftForm*(QWidget* parent)>;

    // app and doc may be null (then their part of the route is empty); both must
    // outlive the frame. createPanel makes the panel of column 0.
    CMainFrame(CBookApp* app, CBookDoc* doc, PanelFactory createPanel);
    ~CMainFrame() override;

    // Builds the menu and then the window: the splitter with the panel and the page
    // view, the toolbar, the caption and the icon. False when the window could not be
    // made.
    bool LoadFrame();
    // Sends the panes their initial update in creation order, sets the title from the
    // document and makes the panel the active view.
    void InitialUpdateFrame();

    // Runs command id through the route if its update state allows it. True when a
    // handler ran.
    bool OnCommand(int id);
    // The state the route reports for id; a command without update handler is
    // enabled exactly when some command handler takes it.
    CCmdUI UpdateCommand(int id);
    // The route: active view, document, frame, application.
    bool OnCmdMsg(int id, CmdCode code, CCmdUI* ui) override;

    QWidget* GetActiveView() const { return m_wndSplitter.GetActivePane(); }
    void SetActiveView(QWidget* view) { m_wndSplitter.SetActivePane(view); }
    // The menu or toolbar action of command id, nullptr when none carries it.
    QAction* CommandAction(int id) const { return m_actions.value(id); }
    QAction* ToolBarAction(int id) const { return m_toolActions.value(id); }

    // Sees every event of the application's widgets before delivery (see .cpp).
    bool PreTranslateMessage(QObject* receiver, QEvent* event);

    // Members in the order of their construction; destroyed in reverse, the splitter
    // last, which writes the layout to the profile.
    ST_SplitterWnd m_wndSplitter;
    CBookView* m_pBookView = nullptr;
    CLeftForm* m_pLeftForm = nullptr;
    // The hits-in-context window, made when first asked for; it follows each search.
    QPointer<CKwicWindow> m_kwicWindow;
    CSCrollToolBar m_wndToolBar;
    // Below the toolbar, shown while the data folder holds a newer build.
    CDataBar* m_dataBar = nullptr;

signals:
    // After a command's handler ran.
    void commandExecuted(int id);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool OnCreate();
    bool OnCreateClient();
    void BuildMenu();
    bool CreateToolBar();
    QAction* MakeAction(int id, const QString& text, QWidget* owner);
    bool OnFrameCmdMsg(int id, CmdCode code, CCmdUI* ui);
    // The frame's own commands by menu: print, copy and select on the page; the view
    // menu; the list's windows; panes and help. Each answers false for ids not its own.
    bool OnPageCmdMsg(int id, CmdCode code, CCmdUI* ui);
    bool OnViewCmdMsg(int id, CmdCode code, CCmdUI* ui);
    bool OnListCmdMsg(int id, CmdCode code, CCmdUI* ui);
    bool OnWindowCmdMsg(int id, CmdCode code);
    // Copies the selection of the panel's focused line edit; false when there is none.
    bool CopyPanelFieldSelection();
    // Runs the frame's key pressed in a list popup over the frame; false when it is none.
    bool RunPopupKey(QWidget* widget, QKeyEvent* key);
    bool HasResults() const;
    // Shows the hits-in-context window on the panel's last search.
    void ShowKwicWindow();
    void ExportResults();
    // Lists the first bookmarks at the end of the bookmarks menu, replacing the last list.
    void ListBookmarks(QMenu* menu);
    void UpdateActions(const QList<QAction*>& actions);
    void DestroyWindow();
    void PostNcDestroy();

    CBookApp* m_pApp;
    CBookDoc* m_pDocument;
    PanelFactory m_createPanel;
    QMap<int, QAction*> m_actions;      // menu 128
    QMap<int, QAction*> m_toolActions;  // toolbar buttons
    QTimer m_idleUpdate;
    std::unique_ptr<QObject> m_keyFilter;
    bool m_destroyed = false;
    // The key press whose command ran, until its delivery is over: a command that
    // opens a dialog may leave no focus widget, and the press must not run again as
    // it passes up to the frame.
    const QEvent* m_handledKey = nullptr;
};

}  // namespace vyn
