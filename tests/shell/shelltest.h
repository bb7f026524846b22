// Support of the shell's GUI tests: a message recorder, a private profile and program
// folder, a panel that counts the commands it receives, and page files.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QMap>
#include <QSettings>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineLoadingInfo>

#include "gui/messagebox.h"
#include "gui/platform.h"
#include "gui/resources.h"
#include "panelui/leftform.h"
#include "shell/bookapp.h"
#include "shell/bookview.h"
#include "shell/mainframe.h"

namespace vyn::test {

// A command line that starts the reader without the splash screen, which would take
// the first key or mouse press of a test.
inline const QStringList kNoSplash{QStringLiteral("vyn"), QStringLiteral("-Embedding")};

// Records every message instead of showing a box.
class CRecordingPresenter : public CMessagePresenter {
public:
    CRecordingPresenter() { m_previous = SetMessagePresenter(this); }
    ~CRecordingPresenter() override { SetMessagePresenter(m_previous); }
    void Warning(QWidget*, const QString& text) override { messages.append(text); }
    QStringList messages;

private:
    CMessagePresenter* m_previous = nullptr;
};

// A fresh profile folder and program folder (nothing beside the "executable").
class CShellEnvironment {
public:
    CShellEnvironment() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
        OverrideExecutableFolder(m_program.path());
        m_previousCache = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
    }
    ~CShellEnvironment() {
        OverrideExecutableFolder({});
        qputenv("XDG_CACHE_HOME", m_previousCache);
    }
    QString CacheFolder() const { return m_cache.path(); }
    QString ProgramFolder() const { return m_program.path(); }
    QString ProfileValue(const QString& key) const {
        QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromUtf8(kRegistryKey), AppName());
        return settings.value(key).toString();
    }
    void SetProfileValue(const QString& key, const QString& value) {
        QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromUtf8(kRegistryKey), AppName());
        settings.setValue(key, value);
    }

private:
    QTemporaryDir m_config;
    QTemporaryDir m_program;
    QTemporaryDir m_cache;
    QByteArray m_previousCache;
};

// A panel with a line edit that enables the two hit commands and counts them.
class CProbeLeftForm : public CLeftForm {
public:
    explicit CProbeLeftForm(QWidget* parent) : CLeftForm(parent) {
        edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("probeEdit"));
        edit->setAccessibleName(QStringLiteral("probe"));
        edit->move(8, 40);
        edit->show();
        auto* frame = qobject_cast<CMainFrame*>(parent ? parent->window() : nullptr);
        seenAtConstruction.panesBefore = parent ? parent->findChildren<CBookView*>().size() : -1;
        if (frame) {
            seenAtConstruction.viewPointerSet = frame->m_pBookView != nullptr;
            seenAtConstruction.toolBarInFrame = frame->m_wndToolBar.parentWidget() == frame;
            seenAtConstruction.caption = frame->windowTitle();
        }
    }
    void OnInitialUpdate() override {
        auto* frame = qobject_cast<CMainFrame*>(window());
        seenAtInitialUpdate.viewPointerSet = frame && frame->m_pBookView;
        seenAtInitialUpdate.toolBarInFrame = frame && frame->m_wndToolBar.parentWidget() == frame;
        seenAtInitialUpdate.caption = frame ? frame->windowTitle() : QString();
        seenAtInitialUpdate.viewUrlEmpty = frame && frame->m_pBookView->url().isEmpty();
        seenAtInitialUpdate.frameVisible = frame && frame->isVisible();
    }
    bool OnCmdMsg(int id, CmdCode code, CCmdUI* ui) override {
        if (id != 32805 && id != 32806) return CLeftForm::OnCmdMsg(id, code, ui);
        if (code == CmdCode::kUpdate) ui->Enable(true);
        if (code == CmdCode::kCommand) ++commandCount[id];
        return true;
    }

    struct Seen {
        int panesBefore = -1;
        bool viewPointerSet = false;
        bool toolBarInFrame = false;
        QString caption;
        bool viewUrlEmpty = false;
        bool frameVisible = false;
    };
    Seen seenAtConstruction;
    Seen seenAtInitialUpdate;
    QMap<int, int> commandCount;
    QLineEdit* edit = nullptr;
};

class CProbeApp : public CBookApp {
public:
    CProbeLeftForm* panel = nullptr;

protected:
    CLeftForm* CreatePanel(QWidget* parent) override {
        panel = new CProbeLeftForm(parent);
        return panel;
    }
};

// Writes an HTML page into folder and returns its path.
inline QString WritePage(const QString& folder, const QString& name, const QString& body) {
    const QString path = folder + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    file.write("<html><head><meta charset=\"UTF-8\"></head><body>");
    file.write(body.toUtf8());
    file.write("</body></html>");
    return path;
}

// Waits for the page view to finish loading target. A load still running from before
// (the blank start page) may finish in between; only target's own load counts.
inline bool NavigateAndWait(CBookView* view, const QString& target) {
    const QString file = target.section(u'#', 0, 0);
    const QUrl url = QUrl(file).scheme().isEmpty() ? QUrl::fromLocalFile(file) : QUrl(file);
    int status = -1;
    const QMetaObject::Connection watch = QObject::connect(
        view->page(), &QWebEnginePage::loadingChanged, [&](const QWebEngineLoadingInfo& info) {
            if (info.url().adjusted(QUrl::RemoveFragment) != url.adjusted(QUrl::RemoveFragment)) return;
            if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus ||
                info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
                status = info.status();
            }
        });
    view->Navigate2(target);
    const bool done = QTest::qWaitFor([&] { return status != -1; }, 30000);
    QObject::disconnect(watch);
    return done && status == QWebEngineLoadingInfo::LoadSucceededStatus;
}

// Runs script in the page and returns its result.
inline QVariant RunJs(CBookView* view, const QString& script) {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 30000)) return {};
    return result;
}

}  // namespace vyn::test
