// The running reader for the panel's GUI tests: starts it on a data folder, finds
// the panel's controls by their accessible object names and works them as a user
// does.
#pragma once

#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

#include "builder/databuilder.h"
#include "panelui/htmlctrl.h"
#include "panelui/leftform.h"
#include "panelui/sortlistctrl.h"
#include "shelltest.h"

namespace vyn::test {

// Types text key by key; QTest::keyClicks takes Latin-1 only.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

inline CorpusPage Page(const std::string& title, const std::string& text) {
    return {title, {Paragraph{{TextRun{TextRun::kMain, text}}}}};
}

// The corpus of the panel's GUI tests. Slots and store indexes:
//
//   slot  record        store  pages (number: text)
//    1    詩部           0..5
//    2      唐詩         0..4
//    3        巻一       0..2   1: 山水山山  2: 明月  3: 山月
//    4        巻二       3..4   4: 花落  5: 青山
//    5      宋詩         5
//    6        巻一       5      1: 白雪
//    7    文部           6..135
//    8      文選         6..135
//    9        巻一       6..135 1..130: 清風 and the page number
constexpr int kWindPages = 130;

inline Corpus PanelCorpus() {
    Corpus corpus;
    CorpusVolume tang1{"巻一", 1, {Page("1", "山水山山"), Page("2", "明月"), Page("3", "山月")}};
    CorpusVolume tang2{"巻二", 4, {Page("4", "花落"), Page("5", "青山")}};
    CorpusVolume song1{"巻一", 1, {Page("1", "白雪")}};
    CorpusVolume wen1{"巻一", 1, {}};
    for (int page = 1; page <= kWindPages; ++page) {
        wen1.pages.push_back(Page(std::to_string(page), "清風" + std::to_string(page)));
    }
    corpus.categories.push_back({"詩部", {{"唐詩", {tang1, tang2}}, {"宋詩", {song1}}}});
    corpus.categories.push_back({"文部", {{"文選", {wen1}}}});
    return corpus;
}

inline bool BuildCorpus(const QString& folder) {
    CDataBuilder builder;
    BuildStats stats;
    return builder.Build(PanelCorpus(), folder.toStdString(), stats);
}

class CReaderHarness {
protected:
    // Starts the reader on data folder (none: nothing beside the executable) and
    // waits until its frame is shown and active for the keyboard.
    bool Start(const QString& data) {
        m_env = std::make_unique<CShellEnvironment>();
        if (!data.isEmpty()) OverrideExecutableFolder(data);
        m_messages = std::make_unique<CRecordingPresenter>();
        return Launch();
    }

    // Closes the reader and starts it again in the same environment (its profile).
    bool Restart() {
        m_app.reset();
        return Launch();
    }

    bool Launch() {
        m_app = std::make_unique<CBookApp>();
        if (!m_app->InitInstance(kNoSplash)) return false;
        m_frame = m_app->GetMainWnd();
        m_panel = m_frame->m_pLeftForm;
        m_view = m_frame->m_pBookView;
        if (!m_panel || !m_view || !QTest::qWaitForWindowExposed(m_frame)) return false;
        m_frame->activateWindow();
        return QTest::qWaitForWindowActive(m_frame);
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

    QTreeWidget* Tree() const { return Control<QTreeWidget>("catalogTree"); }
    CSortListCtrl* List() const { return Control<CSortListCtrl>("resultList"); }

    // Finds the tree item of a path such as "詩部\\唐詩\\巻二".
    QTreeWidgetItem* TreeItem(const QString& path) const {
        QTreeWidgetItem* item = nullptr;
        for (const QString& name : path.split(u'\\')) {
            const int count = item ? item->childCount() : Tree()->topLevelItemCount();
            QTreeWidgetItem* found = nullptr;
            for (int i = 0; i < count && !found; ++i) {
                QTreeWidgetItem* child = item ? item->child(i) : Tree()->topLevelItem(i);
                if (child->text(0) == name) found = child;
            }
            if (!found) return nullptr;
            item = found;
        }
        return item;
    }

    // Clicks the tree item of path and waits until its page is loaded.
    bool OpenInTree(const QString& path) {
        QTreeWidgetItem* item = TreeItem(path);
        if (!item) return false;
        ShowTab(0);
        Tree()->scrollToItem(item);
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, Tree()->visualItemRect(item).center());
        return Tree()->currentItem() == item && (loaded.wait(30000) || !loaded.isEmpty());
    }

    // Clicks the tree item of a node with children: the scope changes, no page opens.
    bool SelectInTree(const QString& path) {
        QTreeWidgetItem* item = TreeItem(path);
        if (!item) return false;
        ShowTab(0);
        Tree()->scrollToItem(item);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, Tree()->visualItemRect(item).center());
        return Tree()->currentItem() == item;
    }

    // Clicks row of the result list and waits for its page.
    bool ChooseRow(int row) {
        QTreeWidgetItem* item = List()->topLevelItem(row);
        if (!item) return false;
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        List()->scrollToItem(item);
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, List()->visualItemRect(item).center());
        return loaded.wait(30000) || !loaded.isEmpty();
    }

    bool RunCommand(int id) { return m_frame->OnCommand(id); }
    bool Enabled(int id) { return m_frame->UpdateCommand(id).m_bEnabled; }
    QString ShownFile() const { return QFileInfo(m_view->url().toLocalFile()).fileName(); }
    QString PageText() { return RunJs(m_view, QStringLiteral("document.body.innerText")).toString(); }

    std::unique_ptr<CShellEnvironment> m_env;
    std::unique_ptr<CRecordingPresenter> m_messages;
    std::unique_ptr<CBookApp> m_app;
    CMainFrame* m_frame = nullptr;
    CLeftForm* m_panel = nullptr;
    CBookView* m_view = nullptr;
};

}  // namespace vyn::test
