// The running reader for the panel's GUI tests: starts it on a data folder, finds
// the panel's controls by their accessible object names and works them as a user
// does.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

#include "panel/htmlctrl.h"
#include "panel/leftform.h"
#include "shelltest.h"

namespace vyn::test {

// Types text key by key; QTest::keyClicks takes Latin-1 only.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

class CReaderHarness {
protected:
    // Starts the reader on data folder (none: nothing beside the executable) and
    // waits until its frame is shown.
    bool Start(const QString& data) {
        m_env = std::make_unique<CShellEnvironment>();
        if (!data.isEmpty()) OverrideExecutableFolder(data);
        m_messages = std::make_unique<CRecordingPresenter>();
        m_app = std::make_unique<CBookApp>();
        if (!m_app->InitInstance(kNoSplash)) return false;
        m_frame = m_app->GetMainWnd();
        m_panel = m_frame->m_pLeftForm;
        m_view = m_frame->m_pBookView;
        return m_panel && m_view && QTest::qWaitForWindowExposed(m_frame);
    }

    // Closes the reader and its environment.
    void Stop() {
        m_app.reset();
        m_messages.reset();
        m_env.reset();
        m_frame = nullptr;
        m_panel = nullptr;
        m_view = nullptr;
    }

    template <typename T = QWidget>
    T* Control(const char* name) const {
        return m_panel->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* KeywordField() const { return Control<CHtmlCtrl>("keywordEntry")->TextField(); }

    void ShowTab(int index) {
        QTabBar* bar = Control<QTabWidget>("panelTabs")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    // Types keyword into the keyword entry and presses "検索".
    void Search(const QString& keyword) {
        ShowTab(1);
        KeywordField()->clear();
        TypeText(KeywordField(), keyword);
        QTest::mouseClick(Control<QPushButton>("searchButton"), Qt::LeftButton);
    }

    std::unique_ptr<CShellEnvironment> m_env;
    std::unique_ptr<CRecordingPresenter> m_messages;
    std::unique_ptr<CBookApp> m_app;
    CMainFrame* m_frame = nullptr;
    CLeftForm* m_panel = nullptr;
    CBookView* m_view = nullptr;
};

}  // namespace vyn::test
