#include "shell/mainframe.h"

#include <QApplication>
#include <QDebug>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QStandardPaths>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>

#include "shell/exportdialog.h"
#include "gui/images.h"
#include "gui/launcher.h"
#include "gui/messagebox.h"
#include "gui/platform.h"
#include "gui/qtstrings.h"
#include "gui/resource.h"
#include "gui/resources.h"
#include "panelui/leftform.h"
#include "shell/bookapp.h"
#include "shell/bookdoc.h"
#include "shell/bookview.h"
#include "shell/databar.h"
#include "shell/kwicwindow.h"
#include "shell/splashwnd.h"

namespace vyn {

namespace {

// How often toolbar buttons follow their commands' states.
constexpr int kIdleUpdateMs = 200;

// Hands every event of the application to the frame before it is delivered.
class CMessageFilter : public QObject {
public:
    explicit CMessageFilter(CMainFrame* frame) : m_frame(frame) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The splash sees every event first.
        if (CSplashWnd::PreTranslateAppMessage(watched, event)) return true;
        return m_frame->PreTranslateMessage(watched, event);
    }

private:
    CMainFrame* m_frame;
};

// The menu text of a bookmark: where it leads and its note; "&" shown as itself.
QString BookmarkMenuText(const Bookmark& bookmark) {
    QString text = FromUtf16(BookmarkTitle(bookmark));
    if (!bookmark.note.empty()) text += QStringLiteral("　") + FromUtf16(bookmark.note);
    constexpr int kMaxMenuText = 60;
    if (text.size() > kMaxMenuText) text = text.left(kMaxMenuText - 1) + u'…';
    return text.replace(u'&', QStringLiteral("&&"));
}

bool IsInside(const QWidget* pane, const QWidget* widget) {
    return pane && widget && (pane == widget || pane->isAncestorOf(widget));
}

}  // namespace

CMainFrame::CMainFrame(CBookApp* app, CBookDoc* doc, PanelFactory createPanel)
    : m_wndSplitter(0), m_pApp(app), m_pDocument(doc), m_createPanel(std::move(createPanel)) {
    setObjectName(QStringLiteral("CMainFrame"));
    setAccessibleName(AppName());
    m_idleUpdate.setInterval(kIdleUpdateMs);
    connect(&m_idleUpdate, &QTimer::timeout, this,
            [this] { UpdateActions(m_toolActions.values()); });
}

CMainFrame::~CMainFrame() {
    DestroyWindow();
    removeToolBar(&m_wndToolBar);
}

bool CMainFrame::LoadFrame() {
    BuildMenu();
    return OnCreate();
}

void CMainFrame::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menu128"));
    bar->setAccessibleName(QStringLiteral("メニュー"));
    for (const PopupMenu& popup : MainMenu()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(popup.caption));
        menu->setObjectName(QStringLiteral("menu_%1").arg(menu->title()));
        menu->setAccessibleName(menu->title());
        menu->setToolTipsVisible(true);
        for (const MenuItem& item : popup.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = MakeAction(item.id, QString::fromUtf8(item.text), menu);
            // The keys are shown beside the caption. They act only while the menu
            // is open: otherwise the accelerator filter runs them (PreTranslateMessage).
            action->setShortcuts(KeysOf(item.id));
            action->setShortcutContext(Qt::WidgetShortcut);
            // A menu shows the first key only; the tool tip names them all.
            if (action->shortcuts().size() > 1) {
                QStringList keys;
                for (const QKeySequence& key : action->shortcuts()) keys << key.toString(QKeySequence::NativeText);
                action->setToolTip(QString(action->text()).remove(u'&') + QStringLiteral("（") +
                                   keys.join(QStringLiteral(" / ")) + QStringLiteral("）"));
            }
            menu->addAction(action);
            m_actions.insert(item.id, action);
        }
        if (m_actions.contains(ID_BOOKMARK_ADD) && m_actions.value(ID_BOOKMARK_ADD)->parent() == menu) {
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { ListBookmarks(menu); });
        }
        // Menus show the states of the moment they open.
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateActions(menu->actions()); });
    }
}

QAction* CMainFrame::MakeAction(int id, const QString& text, QWidget* owner) {
    auto* action = new QAction(text, owner);
    action->setObjectName(QStringLiteral("command_%1").arg(id));
    const CommandPrompt prompt = PromptOf(id);
    if (!prompt.toolTip.isEmpty()) action->setToolTip(prompt.toolTip);
    if (!prompt.prompt.isEmpty()) action->setStatusTip(prompt.prompt);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return action;
}

void CMainFrame::ListBookmarks(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (action->property("bookmarkItem").toBool()) {
            menu->removeAction(action);
            delete action;
        }
    }
    if (!m_pLeftForm) return;
    m_pLeftForm->ReloadBookmarks();
    if (m_pLeftForm->Bookmarks().Items().empty()) return;
    const std::vector<Bookmark>& items = m_pLeftForm->Bookmarks().Items();
    menu->addSeparator()->setProperty("bookmarkItem", true);
    for (std::size_t i = 0; i < items.size() && i < static_cast<std::size_t>(kBookmarkMenuItems); ++i) {
        QAction* action = MakeAction(ID_BOOKMARK_FIRST + static_cast<int>(i), BookmarkMenuText(items[i]), menu);
        action->setProperty("bookmarkItem", true);
        menu->addAction(action);
    }
}

bool CMainFrame::CreateToolBar() {
    m_wndToolBar.setObjectName(QStringLiteral("toolBar128"));
    m_wndToolBar.setAccessibleName(QStringLiteral("ツールバー"));
    m_wndToolBar.setWindowTitle(QStringLiteral("ツールバー"));
    m_wndToolBar.setProperty("controlId", AFX_IDW_TOOLBAR);
    if (!m_wndToolBar.Create()) return false;
    for (int i = 0; i < m_wndToolBar.GetCount(); ++i) {
        const int id = m_wndToolBar.GetItemID(i);
        if (QAction* action = m_wndToolBar.CommandAction(id)) m_toolActions.insert(id, action);
    }
    connect(&m_wndToolBar, &CXToolBar::commandIssued, this, [this](int id) { OnCommand(id); });
    if (m_wndToolBar.m_pLeftForm) m_wndToolBar.m_pLeftForm->AttachPageSlider(&m_wndToolBar);
    return true;
}

bool CMainFrame::OnCreate() {
    // From here on every event of the application passes the frame, and the splash
    // before it.
    m_keyFilter = std::make_unique<CMessageFilter>(this);
    qApp->installEventFilter(m_keyFilter.get());
    CSplashWnd::ShowSplashScreen(this);
    OnCreateClient();
    // The panes install application filters of their own (the panel's Enter); the
    // last one installed runs first, and the splash must see a key before them.
    qApp->removeEventFilter(m_keyFilter.get());
    qApp->installEventFilter(m_keyFilter.get());

    if (!CreateToolBar()) {
        qDebug("Failed to create toolbar\n");
        return false;
    }
    m_wndToolBar.setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    m_wndToolBar.setMovable(true);
    addToolBar(Qt::TopToolBarArea, &m_wndToolBar);
    m_dataBar = new CDataBar(this);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_dataBar);
    m_dataBar->Watch([this] { return m_pLeftForm && m_pLeftForm->NewerDataThere(); });
    connect(m_dataBar, &CDataBar::reopenRequested, this, [this] {
        if (m_pLeftForm) m_pLeftForm->ReopenData();
    });

    setWindowTitle(QString::fromUtf8(kFrameCaption));
    setWindowIcon(LoadFrameIcon());

    m_idleUpdate.start();
    return true;
}

bool CMainFrame::OnCreateClient() {
    m_wndSplitter.Create(
        this, [this](QWidget* parent) -> QWidget* { return m_createPanel ? m_createPanel(parent) : nullptr; },
        [](QWidget* parent) -> QWidget* { return new CBookView(parent); }, true, AFX_IDW_PANE_FIRST);
    setCentralWidget(&m_wndSplitter);
    m_pLeftForm = qobject_cast<CLeftForm*>(m_wndSplitter.GetPane(0, 0));
    m_pBookView = qobject_cast<CBookView*>(m_wndSplitter.GetPane(0, 1));
    // The toolbar's window does not exist yet; it will show pages through the panel.
    m_wndToolBar.m_pLeftForm = dynamic_cast<CPageSliderTarget*>(m_pLeftForm);
    if (m_pLeftForm && m_pBookView) {
        connect(m_pLeftForm, &CLeftForm::navigateRequested, m_pBookView, &CBookView::Navigate2);
        connect(m_pLeftForm, &CLeftForm::searchCompleted, this, [this] {
            if (m_kwicWindow && m_kwicWindow->isVisible()) ShowKwicWindow();
        });
        // The hits of the former build go with its search.
        connect(m_pLeftForm, &CLeftForm::dataReopened, this, [this] {
            if (m_kwicWindow) m_kwicWindow->SetSearch(m_pLeftForm->Logic().HitsOfSearch());
        });
        m_pBookView->SetCitationSource([this] { return m_pLeftForm ? m_pLeftForm->CitationText() : QString(); });
        m_pBookView->SetFrameCommands([this](int id) { return UpdateCommand(id).m_bEnabled; },
                                      [this](int id) { OnCommand(id); });
    }
    // A user who widened the panel wants it back at that width.
    m_wndSplitter.RestorePanelWidth();
    return true;
}

void CMainFrame::InitialUpdateFrame() {
    for (int col = 0; col < 2; ++col) {
        if (auto* view = dynamic_cast<CPaneView*>(m_wndSplitter.GetPane(0, col))) {
            view->OnInitialUpdate();
        }
    }
    const QString docTitle = m_pDocument ? m_pDocument->GetTitle() : QString();
    const QString baseTitle = QString::fromUtf8(kDocString).section(u'\n', 0, 0);
    QString caption = docTitle + QStringLiteral(" - ") + baseTitle;
    for (int col = 0; col < 2; ++col) {
        if (auto* view = dynamic_cast<CPaneView*>(m_wndSplitter.GetPane(0, col))) {
            if (!view->Caption().isEmpty()) caption = view->Caption();
        }
    }
    setWindowTitle(caption);
    // The panel is the active pane, unless it came back hidden: then the page view is.
    QWidget* panel = m_wndSplitter.GetPane(0, 0);
    SetActiveView(panel && !m_wndSplitter.IsColumnHidden(0) ? panel : m_wndSplitter.GetPane(0, 1));
}

bool CMainFrame::OnCommand(int id) {
    const CCmdUI state = UpdateCommand(id);
    if (!state.m_bEnabled) return false;
    if (!OnCmdMsg(id, CmdCode::kCommand, nullptr)) return false;
    emit commandExecuted(id);
    return true;
}

CCmdUI CMainFrame::UpdateCommand(int id) {
    CCmdUI ui(id);
    if (!OnCmdMsg(id, CmdCode::kUpdate, &ui)) {
        ui.Enable(OnCmdMsg(id, CmdCode::kQuery, nullptr));
        ui.SetCheck(false);
    }
    return ui;
}

bool CMainFrame::OnCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    if (auto* view = dynamic_cast<CCmdTarget*>(GetActiveView())) {
        if (view->OnCmdMsg(id, code, ui)) return true;
    }
    if (m_pDocument && m_pDocument->OnCmdMsg(id, code, ui)) return true;
    if (OnFrameCmdMsg(id, code, ui)) return true;
    return m_pApp && m_pApp->OnCmdMsg(id, code, ui);
}

bool CMainFrame::OnFrameCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    if (CLeftForm::HandlesCommand(id)) return m_pLeftForm && m_pLeftForm->OnCmdMsg(id, code, ui);
    return OnPageCmdMsg(id, code, ui) || OnViewCmdMsg(id, code, ui) || OnListCmdMsg(id, code, ui) ||
           OnWindowCmdMsg(id, code);
}

bool CMainFrame::OnPageCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    if (id != ID_PRINT_SETUP && id != ID_PRINT_NOW && id != ID_EDIT_COPY && id != ID_SELECT_ALL) return false;
    if (code == CmdCode::kUpdate) {
        // Nothing to print or copy until a page has been shown.
        ui->Enable(m_pBookView && m_pBookView->GetLocationURL() != QLatin1String(CBookView::kBlank));
    } else if (code == CmdCode::kCommand && m_pBookView) {
        if (id == ID_PRINT_SETUP) {
            m_pBookView->ExecWB(OLECMDID_PRINTPREVIEW, OLECMDEXECOPT_DONTPROMPTUSER);
        } else if (id == ID_PRINT_NOW) {
            m_pBookView->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER);
        } else if (id == ID_EDIT_COPY) {
            // A field of the panel with a selection copies that itself; the page's
            // copy, which lands later, would replace it.
            if (!CopyPanelFieldSelection()) m_pBookView->CopyLimited();
        } else {
            m_pBookView->SelectAll();
        }
    }
    return true;
}

bool CMainFrame::OnViewCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    switch (id) {
        case ID_VIEW_FULL:
            if (code == CmdCode::kUpdate) {
                ui->Enable(true);
                ui->SetCheck(false);
            } else if (code == CmdCode::kCommand) {
                m_wndSplitter.ToggleColumn(0);
            }
            return true;
        case ID_VIEW_TOOLBAR:
            if (code == CmdCode::kUpdate) {
                ui->Enable(true);
                ui->SetCheck(!m_wndToolBar.isHidden());
            } else if (code == CmdCode::kCommand) {
                m_wndToolBar.setVisible(m_wndToolBar.isHidden());
            }
            return true;
        case ID_VIEW_STATUS_BAR:
            // There is no status bar: enabled, unchecked, nothing to do.
            if (code == CmdCode::kUpdate) {
                ui->Enable(true);
                ui->SetCheck(false);
            }
            return true;
        case ID_ZOOM_IN:
        case ID_ZOOM_OUT:
        case ID_ZOOM_RESET: {
            const int direction = id == ID_ZOOM_IN ? 1 : id == ID_ZOOM_OUT ? -1 : 0;
            if (code == CmdCode::kUpdate) {
                ui->Enable(m_pBookView && m_pBookView->CanStepZoom(direction));
            } else if (code == CmdCode::kCommand && m_pBookView) {
                m_pBookView->StepZoom(direction);
            }
            return true;
        }
        default:
            return false;
    }
}

bool CMainFrame::OnListCmdMsg(int id, CmdCode code, CCmdUI* ui) {
    if (id != ID_KWIC_WINDOW && id != ID_EXPORT_RESULTS) return false;
    if (code == CmdCode::kUpdate) {
        ui->Enable(HasResults());
    } else if (code == CmdCode::kCommand) {
        if (id == ID_KWIC_WINDOW) {
            ShowKwicWindow();
        } else {
            ExportResults();
        }
    }
    return true;
}

bool CMainFrame::OnWindowCmdMsg(int id, CmdCode code) {
    switch (id) {
        case ID_NEXT_PANE:
        case ID_PREV_PANE:
            if (code == CmdCode::kCommand) m_wndSplitter.ActivateNext(id == ID_PREV_PANE);
            return code != CmdCode::kUpdate;
        case ID_HELP_OPEN:
            if (code == CmdCode::kCommand) OpenWithDefaultHandler(FileBesideExecutable(kHelpFile));
            return code != CmdCode::kUpdate;
        default:
            return false;
    }
}

bool CMainFrame::HasResults() const {
    return m_pLeftForm && !m_pLeftForm->Logic().Search().Results().empty();
}

void CMainFrame::ShowKwicWindow() {
    if (!m_pLeftForm) return;
    if (!m_kwicWindow) {
        m_kwicWindow = new CKwicWindow(this);
        connect(m_kwicWindow, &CKwicWindow::openHit, this, [this](std::uint32_t record, int anchor) {
            if (!m_pLeftForm || !m_pLeftForm->OpenResultHit(record, anchor)) return;
            activateWindow();
            SetActiveView(m_pBookView);
        });
    }
    m_kwicWindow->SetSearch(m_pLeftForm->Logic().HitsOfSearch());
    m_kwicWindow->show();
    m_kwicWindow->raise();
    m_kwicWindow->activateWindow();
}

void CMainFrame::ExportResults() {
    if (!HasResults()) return;
    const CSearchCommand& search = m_pLeftForm->Logic().Search();
    const auto choice = AskExportFile(this, QStringLiteral("検索結果の書き出し"),
                                      QStringLiteral("resultsExportDialog"),
                                      FileNameStem(FromUtf16(search.Keyword()), QStringLiteral("検索結果")));
    if (!choice) return;
    if (!WriteExportFile(choice->path, vyn::ExportResults(search.Results(), search.Total(), choice->format,
                                                               m_pLeftForm->Logic().Data()->MemberBases()))) {
        ShowWarning(this, QStringLiteral("ファイルに書き出せませんでした。"));
    }
}

bool CMainFrame::CopyPanelFieldSelection() {
    auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!field || !IsInside(m_pLeftForm, field) || !field->hasSelectedText()) return false;
    field->copy();
    return true;
}

void CMainFrame::UpdateActions(const QList<QAction*>& actions) {
    for (QAction* action : actions) {
        bool ok = false;
        const int id = action->objectName().section(u'_', 1).toInt(&ok);
        if (!ok) continue;
        const CCmdUI state = UpdateCommand(id);
        action->setEnabled(state.m_bEnabled);
        action->setCheckable(state.m_bChecked);
        action->setChecked(state.m_bChecked);
    }
}

// Every event of the application's widgets passes here before delivery. Clicks make
// their pane the active view; the page view sees its own events first and may keep
// them; a key of accelerator table 128 runs its command and is then delivered to the
// focused widget all the same: keys are never reported as consumed here.
bool CMainFrame::PreTranslateMessage(QObject* receiver, QEvent* event) {
    if (m_destroyed || !receiver->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(receiver);
    if (widget->window() != this) {
        return event->type() == QEvent::KeyPress && RunPopupKey(widget, static_cast<QKeyEvent*>(event));
    }
    const bool inView = IsInside(m_pBookView, widget);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (inView) {
                SetActiveView(m_pBookView);
                return m_pBookView->PreTranslateMessage(receiver, event);
            }
            if (IsInside(m_pLeftForm, widget)) SetActiveView(m_pLeftForm);
            return false;
        case QEvent::ContextMenu:
            return inView && m_pBookView->PreTranslateMessage(receiver, event);
        case QEvent::KeyRelease:
            m_handledKey = nullptr;  // the next press may reuse the address
            return false;
        case QEvent::KeyPress: {
            // A key goes first to the focus widget, then up its parents: act once.
            const QWidget* focus = QApplication::focusWidget();
            if (event == m_handledKey || (focus ? widget != focus : !widget->isWindow())) return false;
            if (inView && m_pBookView->PreTranslateMessage(receiver, event)) return true;
            const auto* key = static_cast<QKeyEvent*>(event);
            if (const int id = FindAccelerator(key->key(), key->modifiers())) {
                OnCommand(id);
                m_handledKey = event;
                QTimer::singleShot(0, this, [this] { m_handledKey = nullptr; });
            }
            return false;
        }
        default:
            return false;
    }
}

// A list popup of the frame's (the keyword entry's history) takes the keys while the
// focus stays in the frame: the frame's keys act as they do without it. Menus keep
// their own keys.
bool CMainFrame::RunPopupKey(QWidget* widget, QKeyEvent* key) {
    QWidget* popup = widget->window();
    const QWidget* focus = QApplication::focusWidget();
    if (popup->windowType() != Qt::Popup || qobject_cast<QMenu*>(popup) || !focus || focus->window() != this ||
        QApplication::activePopupWidget() != popup) {
        return false;
    }
    const int id = FindAccelerator(key->key(), key->modifiers());
    if (id == 0) return false;
    popup->hide();
    OnCommand(id);
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    event->accept();
    DestroyWindow();
    PostNcDestroy();
}

// The window goes before the object: the panel (which removes its page files and
// closes the index) and the page view first, then the toolbar and the frame.
void CMainFrame::DestroyWindow() {
    if (m_destroyed) return;
    m_destroyed = true;
    m_idleUpdate.stop();
    if (m_keyFilter) qApp->removeEventFilter(m_keyFilter.get());
    delete m_kwicWindow.data();
    hide();
    m_pLeftForm = nullptr;
    m_pBookView = nullptr;
    m_wndToolBar.m_pLeftForm = nullptr;
    m_wndSplitter.DestroyPanes();
    m_wndToolBar.hide();
}

void CMainFrame::PostNcDestroy() {
    StartCompanion(FileBesideExecutable(QString::fromUtf8(kCompanionProgram)));
    deleteLater();
}

}  // namespace vyn
