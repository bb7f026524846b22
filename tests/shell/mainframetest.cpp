// The main frame: start-up, menus, command states and routing, accelerators, full
// display, panes, about box and shut-down.
#include <QClipboard>
#include <QDir>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTimer>

#include "gui/resources.h"
#include "shell/aboutdlg.h"
#include "shelltest.h"

using namespace vyn;
using namespace vyn::test;

namespace {

// Records the keys that reach a widget.
class CKeyRecorder : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Alt && key != Qt::Key_Shift && key != Qt::Key_Control) keys.append(key);
        return false;
    }
    QList<int> keys;
};

QString MenuText(QMenu* menu) {
    QStringList items;
    for (QAction* action : menu->actions()) items.append(action->isSeparator() ? "-" : action->text());
    return items.join(u'|');
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_env = std::make_unique<CShellEnvironment>();
        m_messages = std::make_unique<CRecordingPresenter>();
        m_app = std::make_unique<CProbeApp>();
        QVERIFY(m_app->InitInstance(kNoSplash));
        m_frame = m_app->GetMainWnd();
        QVERIFY(m_frame);
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame));
    }
    void cleanup() {
        m_app.reset();
        m_messages.reset();
        m_env.reset();
    }

    void dataOptionNamesTheDataFolder_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("splash");
        const QString cwd = QDir::currentPath();
        QTest::newRow("none") << QStringList{"vyn"} << QString() << true;
        QTest::newRow("absolute") << QStringList{"vyn", "--data", "/srv/texts"} << "/srv/texts" << true;
        QTest::newRow("relative") << QStringList{"vyn", "--data", "kanripo"} << cwd + "/kanripo" << true;
        QTest::newRow("with =") << QStringList{"vyn", "--data=/srv/texts"} << "/srv/texts" << true;
        QTest::newRow("with other flags") << QStringList{"vyn", "-Embedding", "--data", "/srv/texts"} << "/srv/texts"
                                          << false;
        QTest::newRow("without its folder") << QStringList{"vyn", "--data"} << QString() << true;
    }
    void dataOptionNamesTheDataFolder() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, folder);
        QFETCH(bool, splash);
        CCommandLineInfo info;
        info.ParseCommandLine(arguments);
        QCOMPARE(info.m_dataFolder, folder);
        QCOMPARE(info.m_bShowSplash, splash);
        // Without --data the data lie beside the program.
        QCOMPARE(DataFolder(), ExecutableFolder());
        SetDataFolder(QStringLiteral("/srv/texts"));
        QCOMPARE(DataFolder(), QStringLiteral("/srv/texts"));
        SetDataFolder({});
        QCOMPARE(DataFolder(), m_env->ProgramFolder());
    }

    void startUpBuildsTheWindowInOrder() {
        const CProbeLeftForm::Seen& built = m_app->panel->seenAtConstruction;
        QCOMPARE(built.panesBefore, 0);  // the panel is made before the page view
        QVERIFY(!built.viewPointerSet);
        QVERIFY(!built.toolBarInFrame);
        QVERIFY(built.caption.isEmpty());

        const CProbeLeftForm::Seen& updated = m_app->panel->seenAtInitialUpdate;
        QVERIFY(updated.viewPointerSet);
        QVERIFY(updated.toolBarInFrame);
        QCOMPARE(updated.caption, QString::fromUtf8("Velmora--Tessaline（Corvath）"));
        QVERIFY(updated.viewUrlEmpty);  // the page view's own update comes after
        QVERIFY(!updated.frameVisible);

        QVERIFY(m_frame->windowState().testFlag(Qt::WindowMaximized));
        QCOMPARE(m_frame->m_wndSplitter.GetPane(0, 0), static_cast<QWidget*>(m_app->panel));
        QCOMPARE(m_frame->m_wndSplitter.GetPane(0, 1), static_cast<QWidget*>(m_frame->m_pBookView));
        QCOMPARE(m_frame->m_wndSplitter.sizes().value(0), 260);
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_app->panel));
        QTRY_COMPARE(m_frame->m_pBookView->url(), QUrl(QStringLiteral("about:blank")));
        QTRY_COMPARE(m_frame->windowTitle(), QString::fromUtf8("Velmora--Tessaline⑦（Corvath）"));
        QVERIFY(!m_frame->windowIcon().isNull());
        // Nothing lies beside the test's "executable": the index could not be opened.
        QCOMPARE(m_messages->messages, QStringList{QString::fromUtf8("データを開けませんでした。")});
    }

    void menuHoldsTheCaptions_data() {
        QTest::addColumn<int>("popup");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("items");
        QTest::newRow("file") << 0 << QString::fromUtf8("ファイル(&F)")
                              << QString::fromUtf8("印刷設定(&S)|印刷(&P)|終了(&X)");
        QTest::newRow("edit") << 1 << QString::fromUtf8("編集(&E)")
                              << QString::fromUtf8("コピー(&C)|すべて選択(&Q)");
        QTest::newRow("view") << 2 << QString::fromUtf8("表示(&V)")
                              << QString::fromUtf8("ツールバー(&T)|状態バー(&S)|全表示(&p)|"
                                                   // added after the form's items
                                                   "-|文字を大きく|文字を小さく|標準の大きさ");
        QTest::newRow("list") << 3 << QString::fromUtf8("一覧")
                              << QString::fromUtf8("上の頁へ(&P)|次の頁へ(&N)|-|上の巻へ|次の巻へ|-|"
                                                   "上の検索結果|次の検索結果|"
                                                   // added after the form's items
                                                   "-|文脈一覧|検索結果を書き出す…|-|前の結果頁|次の結果頁|-|移動…|"
                                                   "この頁から読み進める");
        QTest::newRow("help") << 4 << QString::fromUtf8("ヘルプ(&H)")
                              << QString::fromUtf8("バージョン(&A)...|ヘルプ");
        // A popup added after the form's.
        QTest::newRow("bookmarks") << 5 << QString::fromUtf8("しおり(&B)")
                                   << QString::fromUtf8("この頁をしおりに挟む…|しおり一覧…|しおりの削除を元に戻す");
    }
    void menuHoldsTheCaptions() {
        QFETCH(int, popup);
        QFETCH(QString, caption);
        QFETCH(QString, items);
        const QList<QAction*> popups = m_frame->menuBar()->actions();
        QCOMPARE(popups.size(), 6);
        QCOMPARE(popups[popup]->text(), caption);
        QCOMPARE(MenuText(popups[popup]->menu()), items);
    }

    // The keys show beside the captions; Shift+F3 joins Alt+F3.
    void menusShowTheKeys() {
        const QList<QAction*> popups = m_frame->menuBar()->actions();
        QMap<QString, QString> keys;
        for (int popup : {2, 3, 5}) {
            for (QAction* action : popups[popup]->menu()->actions()) {
                keys[action->text()] = QKeySequence::listToString(action->shortcuts());
            }
        }
        const struct {
            const char* item;
            QString keys;
        } expected[] = {
            {"次の検索結果", QStringLiteral("F3")},
            {"上の検索結果", QStringLiteral("Alt+F3; Shift+F3")},
            {"文脈一覧", QStringLiteral("F7")},
            {"次の結果頁", QStringLiteral("F8")},
            {"前の結果頁", QStringLiteral("Shift+F8")},
            {"移動…", QStringLiteral("F4")},
            {"この頁をしおりに挟む…", QStringLiteral("F9")},
            {"しおり一覧…", QStringLiteral("Shift+F9")},
            {"文字を大きく", QStringLiteral("Alt++; Alt+Shift++; Alt+=")},
            {"文字を小さく", QStringLiteral("Alt+-")},
            {"標準の大きさ", QStringLiteral("Alt+0")},
        };
        for (const auto& e : expected) QCOMPARE(keys.value(QString::fromUtf8(e.item)), e.keys);
        // A menu draws the first key only: the item's tool tip names every key.
        for (int popup : {2, 3, 5}) {
            QVERIFY(popups[popup]->menu()->toolTipsVisible());
            for (QAction* action : popups[popup]->menu()->actions()) {
                if (action->shortcuts().size() < 2) continue;
                for (const QKeySequence& key : action->shortcuts()) {
                    QVERIFY2(action->toolTip().contains(key.toString(QKeySequence::NativeText)),
                             qPrintable(action->toolTip()));
                }
            }
        }
        QCOMPARE(keys.value(QStringLiteral("この頁から読み進める")), QStringLiteral("Shift+F4"));
        // No added key is one of the table's, and none takes Ctrl, which the page
        // view refuses.
        for (const Accelerator& added : ExtraAccelerators()) {
            QVERIFY(!added.modifiers.testFlag(Qt::ControlModifier));
            for (const Accelerator& own : AcceleratorTable()) {
                QVERIFY(!(own.key == added.key && own.modifiers == added.modifiers));
            }
        }
        for (QAction* action : popups[1]->menu()->actions()) {
            if (action->text() == QString::fromUtf8("コピー(&C)")) {
                QCOMPARE(QKeySequence::listToString(action->shortcuts()), QStringLiteral("Ctrl+C; Ctrl+Ins"));
            }
        }
    }

    void frameCommandsFollowThePage_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("print setup") << 32776;
        QTest::newRow("print") << 32777;
        QTest::newRow("copy") << 57634;
        QTest::newRow("select all") << 32778;
    }
    void frameCommandsFollowThePage() {
        QFETCH(int, id);
        QAction* item = m_frame->CommandAction(id);
        QVERIFY(item);
        QMenu* menu = qobject_cast<QMenu*>(item->parent());
        QVERIFY(menu);
        menu->popup(m_frame->mapToGlobal(QPoint(10, 10)));
        QVERIFY(!item->isEnabled());
        menu->close();
        if (QAction* button = m_frame->ToolBarAction(id)) QTRY_VERIFY(!button->isEnabled());

        QTemporaryDir pages;
        const QString page = WritePage(pages.path(), QStringLiteral("p.html"), QStringLiteral("<p>頁</p>"));
        QVERIFY(NavigateAndWait(m_frame->m_pBookView, page));
        menu->popup(m_frame->mapToGlobal(QPoint(10, 10)));
        QVERIFY(item->isEnabled());
        menu->close();
        if (QAction* button = m_frame->ToolBarAction(id)) QTRY_VERIFY(button->isEnabled());
    }

    void copyFollowsTheSelectionWhileThePageIsActive() {
        QTemporaryDir pages;
        const QString page = WritePage(pages.path(), QStringLiteral("p.html"), QStringLiteral("<p>頁の本文</p>"));
        QVERIFY(NavigateAndWait(m_frame->m_pBookView, page));
        m_frame->SetActiveView(m_frame->m_pBookView);
        QVERIFY(!m_frame->UpdateCommand(57634).m_bEnabled);
        QVERIFY(m_frame->UpdateCommand(32776).m_bEnabled);  // still the frame's rule
        m_frame->m_pBookView->SelectAll();
        QTRY_VERIFY(m_frame->UpdateCommand(57634).m_bEnabled);

        // Back in the panel, the frame's limited copy takes the page's selection.
        QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
        m_frame->SetActiveView(m_app->panel);
        QSignalSpy finished(m_frame->m_pBookView, &CBookView::limitedCopyFinished);
        QVERIFY(m_frame->OnCommand(57634));
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(QGuiApplication::clipboard()->text().trimmed(), QString::fromUtf8("頁の本文"));
    }

    void statusAndToolBarItems() {
        const CCmdUI status = m_frame->UpdateCommand(59393);
        QVERIFY(status.m_bEnabled);
        QVERIFY(!status.m_bChecked);
        QVERIFY(m_frame->UpdateCommand(59392).m_bChecked);
        QVERIFY(m_frame->OnCommand(59392));
        QVERIFY(m_frame->m_wndToolBar.isHidden());
        QVERIFY(!m_frame->UpdateCommand(59392).m_bChecked);
        QVERIFY(m_frame->OnCommand(59392));
        QVERIFY(!m_frame->m_wndToolBar.isHidden());
        // Commands nobody handles are disabled.
        QVERIFY(!m_frame->UpdateCommand(57600).m_bEnabled);
        QVERIFY(!m_frame->OnCommand(57600));
    }

    void acceleratorReachesCommandAndFocusedWidget_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("command");
        QTest::newRow("F3 next hit") << int(Qt::Key_F3) << int(Qt::NoModifier) << 32806;
        QTest::newRow("Alt+F3 previous hit") << int(Qt::Key_F3) << int(Qt::AltModifier) << 32805;
        QTest::newRow("key without accelerator") << int(Qt::Key_F4) << int(Qt::NoModifier) << 0;
    }
    void acceleratorReachesCommandAndFocusedWidget() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, command);
        QLineEdit* edit = m_app->panel->edit;
        edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
        CKeyRecorder recorder;
        edit->installEventFilter(&recorder);
        QSignalSpy executed(m_frame, &CMainFrame::commandExecuted);
        QTest::keyClick(edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(recorder.keys, QList<int>{key});
        if (command) {
            QCOMPARE(m_app->panel->commandCount.value(command), 1);
            QCOMPARE(executed.size(), 1);
            QCOMPARE(executed[0][0].toInt(), command);
        } else {
            QCOMPARE(executed.size(), 0);
        }
    }

    void ctrlVStillPastesIntoThePanel() {
        QGuiApplication::clipboard()->setText(QString::fromUtf8("貼り付け"));
        QLineEdit* edit = m_app->panel->edit;
        edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString::fromUtf8("貼り付け"));
    }

    void fullDisplayTogglesThePanel() {
        ST_SplitterWnd& splitter = m_frame->m_wndSplitter;
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_app->panel));
        m_frame->CommandAction(32774)->trigger();
        QVERIFY(m_app->panel->isHidden());
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_frame->m_pBookView));
        QVERIFY(splitter.IsColumnHidden(0));
        const CCmdUI state = m_frame->UpdateCommand(32774);
        QVERIFY(state.m_bEnabled);
        QVERIFY(!state.m_bChecked);
        m_frame->CommandAction(32774)->trigger();
        QVERIFY(!m_app->panel->isHidden());
        QTRY_COMPARE(splitter.sizes().value(0), 260);
        // The page view stays active after the panel comes back.
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_frame->m_pBookView));
    }

    void clickAndF6MoveTheActivePane() {
        QLineEdit* edit = m_app->panel->edit;
        edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
        QTest::keyClick(edit, Qt::Key_F6);
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_frame->m_pBookView));
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_F6, Qt::ShiftModifier);
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_app->panel));
        QTest::mouseClick(m_frame->m_pBookView->focusProxy() ? m_frame->m_pBookView->focusProxy()
                                                             : m_frame->m_pBookView,
                          Qt::LeftButton);
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_frame->m_pBookView));
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_app->panel));
    }

    void aboutBoxCloses_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("left button release") << "release";
        QTest::newRow("enter") << "enter";
        QTest::newRow("escape") << "escape";
    }
    void aboutBoxCloses() {
        QFETCH(QString, how);
        QPointer<QWidget> seen;
        QSize seenSize;
        QTimer::singleShot(0, this, [&] {
            seen = QApplication::activeModalWidget();
            if (!seen) return;
            seenSize = seen->size();
            if (how == "release") {
                QTest::mouseRelease(seen, Qt::LeftButton, {}, QPoint(100, 100));
            } else {
                QTest::keyClick(seen, how == "enter" ? Qt::Key_Return : Qt::Key_Escape);
            }
        });
        // Never left open if the test above fails.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] {
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        });
        guard.start(20000);
        QVERIFY(m_frame->OnCommand(57664));
        QVERIFY(guard.isActive());
        QVERIFY(qobject_cast<CAboutDlg*>(seen.data()) || seen.isNull());
        QCOMPARE(seenSize, QSize(CAboutDlg::kWidth, CAboutDlg::kHeight));
    }

    void shutDownWritesTheLayoutAndStartsTheCompanion_data() {
        QTest::addColumn<int>("panelWidth");
        QTest::addColumn<bool>("hidePanel");
        QTest::addColumn<bool>("companion");
        QTest::newRow("as started") << 260 << false << false;
        QTest::newRow("bar dragged to 300") << 300 << false << true;
        QTest::newRow("panel hidden") << 300 << true << true;
    }
    void shutDownWritesTheLayoutAndStartsTheCompanion() {
        QFETCH(int, panelWidth);
        QFETCH(bool, hidePanel);
        QFETCH(bool, companion);
        const QString marker = m_env->ProgramFolder() + QStringLiteral("/end.ran");
        if (companion) {
            QFile program(m_env->ProgramFolder() + QStringLiteral("/end.exe"));
            QVERIFY(program.open(QIODevice::WriteOnly));
            program.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/end.ran\"\n");
            program.close();
            program.setPermissions(program.permissions() | QFileDevice::ExeOwner);
        }
        ST_SplitterWnd& splitter = m_frame->m_wndSplitter;
        const int total = splitter.sizes().value(0) + splitter.sizes().value(1);
        splitter.setSizes({panelWidth, total - panelWidth});
        const int viewWidth = splitter.sizes().value(1);
        QCOMPARE(splitter.sizes().value(0), panelWidth);
        if (hidePanel) m_frame->OnCommand(32774);
        const QString pageFile = m_app->panel->PageFilePath(CLeftForm::kCatalogPageFile);
        QVERIFY(!pageFile.isEmpty());

        QPointer<CMainFrame> frame = m_frame;
        QVERIFY(m_frame->OnCommand(57665));
        QVERIFY(!frame.isNull() && !frame->isVisible());
        QVERIFY(!QFileInfo::exists(QFileInfo(pageFile).absolutePath()));  // panel removed it
        m_app->ExitInstance();
        QVERIFY(frame.isNull());
        const QString expected =
            QStringLiteral("%1 %2 -1 %3").arg(hidePanel ? 0 : -1).arg(panelWidth).arg(viewWidth);
        QCOMPARE(m_env->ProfileValue(QStringLiteral("SplitterWnd/Panes_0")), expected);
        if (companion) {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 20000);
        } else {
            QVERIFY(!QFileInfo::exists(marker));
        }
    }

private:
    std::unique_ptr<CShellEnvironment> m_env;
    std::unique_ptr<CRecordingPresenter> m_messages;
    std::unique_ptr<CProbeApp> m_app;
    CMainFrame* m_frame = nullptr;
};

QTEST_MAIN(MainFrameTest)
#include "mainframetest.moc"
