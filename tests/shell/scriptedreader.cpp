// The reader as main() runs it, worked by a script on its standard input, for tests
// that drive whole processes and end them from outside:
//
//   scriptedreader DATA_DIR        the data folder stands in for the program's folder
//
// Each line of input is one step, run from the main event loop as a user's click is:
//
//   page SLOT PAGE    opens the page of the volume in catalog slot SLOT and waits for it
//   search TEXT       types TEXT into the keyword entry and presses 検索
//   command ID        runs command ID through the frame, as its menu item does
//   kwicexport        presses 書き出し… in the hits-in-context window once it is filled
//   note TEXT         types TEXT into the bookmark note dialog and presses 挟む
//   rows              tells the rows of the list in the dialog shown
//   scope SLOT        selects the catalog tree's item of slot SLOT, as a click does
//   open ROW          selects row ROW (0-based) of the result list and waits for its page
//   shot FILE         saves a picture of the main window to FILE
//   tab N             shows the panel's tab N (0 目録, 1 検索)
//   expand            opens the catalog tree's top-level items
//
// Replies, one line each on standard output: "ready" once the frame is up, "done"
// when a step returned, "dialog NAME" when a dialog shows (NAME its object name or
// class), "rows N". The process ends as the reader does: when its frame closes, by
// 終了, a signal or the end of the session, with the reader's exit code.
#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTest>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <cstdio>
#include <unistd.h>

#include "gui/platform.h"
#include "panelui/htmlctrl.h"
#include "panelui/leftform.h"
#include "shell/bookapp.h"
#include "shell/bookview.h"
#include "shell/kwicwindow.h"
#include "shell/mainframe.h"

using namespace vyn;

namespace {

void Reply(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QDialog* ShownDialog() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog && dialog->isVisible()) return dialog;
    }
    return nullptr;
}

QString NameOf(const QObject* object) {
    return object->objectName().isEmpty() ? QString::fromLatin1(object->metaObject()->className())
                                          : object->objectName();
}

class CScript : public QObject {
public:
    explicit CScript(CBookApp& app) : m_app(app), m_input(STDIN_FILENO, QSocketNotifier::Read) {
        connect(&m_input, &QSocketNotifier::activated, this, [this] { ReadInput(); });
        // Every dialog that shows is told once, whichever step opened it.
        m_watch.setInterval(20);
        connect(&m_watch, &QTimer::timeout, this, [this] {
            QDialog* dialog = ShownDialog();
            if (dialog && dialog != m_told) Reply(QStringLiteral("dialog ") + NameOf(dialog));
            m_told = dialog;
        });
        m_watch.start();
    }

private:
    void ReadInput() {
        char buffer[4096];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            m_input.setEnabled(false);
            return;
        }
        m_pending += QByteArray(buffer, static_cast<int>(got));
        for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
            // From the main loop, as a click would come; a step that opens a dialog
            // runs that dialog's loop inside it.
            QTimer::singleShot(0, this, [this, line] {
                Run(line);
                Reply(QStringLiteral("done"));
            });
        }
    }

    void Run(const QString& line) {
        const QString verb = line.section(u' ', 0, 0);
        const QString rest = line.section(u' ', 1);
        CMainFrame* frame = m_app.GetMainWnd();
        CLeftForm* panel = frame ? frame->m_pLeftForm : nullptr;
        if (!panel) return;
        if (verb == QLatin1String("page")) {
            QSignalSpy loaded(frame->m_pBookView, &QWebEngineView::loadFinished);
            if (panel->OpenPlace({rest.section(u' ', 0, 0).toInt(), rest.section(u' ', 1, 1).toInt()})) {
                loaded.wait(30000);
            }
        } else if (verb == QLatin1String("search")) {
            auto* entry = panel->findChild<CHtmlCtrl*>(QStringLiteral("keywordEntry"));
            if (!entry || !entry->TextField()) return;
            entry->TextField()->setText(rest);
            QTest::mouseClick(panel->findChild<QPushButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
        } else if (verb == QLatin1String("command")) {
            frame->OnCommand(rest.toInt());
        } else if (verb == QLatin1String("kwicexport")) {
            auto* button = frame->m_kwicWindow ? frame->m_kwicWindow->findChild<QPushButton*>(
                                                     QStringLiteral("kwicExport"))
                                               : nullptr;
            if (button && QTest::qWaitFor([button] { return button->isEnabled(); }, 30000)) button->click();
        } else if (verb == QLatin1String("note")) {
            auto* dialog = qobject_cast<QInputDialog*>(ShownDialog());
            if (!dialog) return;
            dialog->setTextValue(rest);
            dialog->accept();
        } else if (verb == QLatin1String("scope")) {
            auto* tree = panel->findChild<QTreeWidget*>(QStringLiteral("catalogTree"));
            for (QTreeWidgetItemIterator it(tree); tree && *it; ++it) {
                if ((*it)->data(0, Qt::UserRole).toInt() == rest.toInt()) {
                    tree->scrollToItem(*it);
                    tree->setCurrentItem(*it);
                    break;
                }
            }
        } else if (verb == QLatin1String("open")) {
            auto* list = panel->findChild<QTreeWidget*>(QStringLiteral("resultList"));
            QTreeWidgetItem* item = list ? list->topLevelItem(rest.toInt()) : nullptr;
            if (!item) return;
            QSignalSpy loaded(frame->m_pBookView, &QWebEngineView::loadFinished);
            list->setCurrentItem(item);
            loaded.wait(30000);
        } else if (verb == QLatin1String("expand")) {
            auto* tree = panel->findChild<QTreeWidget*>(QStringLiteral("catalogTree"));
            for (int i = 0; tree && i < tree->topLevelItemCount(); ++i) tree->topLevelItem(i)->setExpanded(true);
        } else if (verb == QLatin1String("tab")) {
            if (auto* tabs = panel->findChild<QTabWidget*>(QStringLiteral("panelTabs"))) tabs->setCurrentIndex(rest.toInt());
        } else if (verb == QLatin1String("shot")) {
            QTest::qWait(500);
            frame->screen()->grabWindow(frame->winId()).save(rest);
        } else if (verb == QLatin1String("rows")) {
            QDialog* dialog = ShownDialog();
            auto* list = dialog ? dialog->findChild<QTreeWidget*>() : nullptr;
            Reply(QStringLiteral("rows %1").arg(list ? list->topLevelItemCount() : -1));
        }
    }

    CBookApp& m_app;
    QSocketNotifier m_input;
    QByteArray m_pending;
    QTimer m_watch;
    QDialog* m_told = nullptr;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) return 2;
    OverrideExecutableFolder(QString::fromLocal8Bit(argv[1]));
    CBookApp theApp;
    // No splash: it would take the first key or click.
    if (!theApp.InitInstance({QStringLiteral("vyn"), QStringLiteral("-Embedding")})) return 1;
    CScript script(theApp);
    Reply(QStringLiteral("ready"));
    const int result = QApplication::exec();
    theApp.ExitInstance();
    return result;
}
