// The reading flow in the running reader: result to result, hit marks on the page
// slider, the query history, bookmarks, going to a citation and the citation of the
// page shown. Each test starts the reader on a corpus built in code.
#include <QAbstractItemView>
#include <QCompleter>
#include <QHelpEvent>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolTip>

#include "builder/databuilder.h"
#include "gui/resource.h"
#include "panelui/bookmarkdialog.h"
#include "panelui/gotodialog.h"
#include "readerharness.h"
#include "shell/scrolltoolbar.h"
#include "shell/xsliderctrl.h"

using namespace vyn;
using namespace vyn::test;

namespace {

template <typename T>
T* OpenDialog() {
    T* found = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<T*>(w); d && d->isVisible()) found = d;
        }
        return found != nullptr;
    });
    return shown ? found : nullptr;
}

}  // namespace

class ReadingFlowTest : public QObject, private CReaderHarness {
    Q_OBJECT

private:
    CXSliderCtrl* Slider() const { return m_frame->m_wndToolBar.Slider(); }
    QString ListPage() const { return Control<QLineEdit>("listPageEdit")->text(); }
    int CurrentRow() const {
        QTreeWidgetItem* item = List()->currentItem();
        return item && item->isSelected() ? List()->indexOfTopLevelItem(item) : -1;
    }
    // Runs a command and waits for the page it shows.
    bool RunAndWait(int id) {
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        return RunCommand(id) && (loaded.wait(30000) || !loaded.isEmpty());
    }
    QList<QPair<int, QString>> Marks() const {
        QList<QPair<int, QString>> marks;
        for (const PageSliderMark& mark : Slider()->Marks()) marks.append({mark.page, mark.toolTip});
        return marks;
    }
    QMenu* BookmarkMenu() const {
        QMenu* menu = m_frame->menuBar()->actions().value(5)->menu();
        menu->popup(m_frame->mapToGlobal(QPoint(10, 10)));  // lists the bookmarks
        return menu;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid() && m_cwd.isValid());
        QVERIFY(BuildCorpus(m_data.path()));
        QVERIFY(QDir::setCurrent(m_cwd.path()));
    }

    void cleanup() { Stop(); }

    // Next and previous result open entries at their first hit, turning list pages.
    void resultToResult() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(!Enabled(ID_NEXT_RESULT_PAGE));
        QVERIFY(!Enabled(ID_PREV_RESULT_PAGE));
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        Search(QStringLiteral("清風"));
        QCOMPARE(ListPage(), QStringLiteral("1"));
        // Nothing opened yet: next is the first entry.
        QVERIFY(Enabled(ID_NEXT_RESULT_PAGE));
        QVERIFY(!Enabled(ID_PREV_RESULT_PAGE));
        QVERIFY(RunAndWait(ID_NEXT_RESULT_PAGE));
        QCOMPARE(CurrentRow(), 0);
        QCOMPARE(m_view->url().fragment(), QStringLiteral("0000"));
        QVERIFY(!Enabled(ID_PREV_RESULT_PAGE));

        const struct {
            int chosenRow;  // on the list page shown; -1: none chosen
            int command;
            QString listPage;
            int row;
            QString text;
        } steps[] = {
            {98, ID_NEXT_RESULT_PAGE, QStringLiteral("1"), 99, QStringLiteral("清風100")},
            {-1, ID_NEXT_RESULT_PAGE, QStringLiteral("2"), 0, QStringLiteral("清風101")},
            {-1, ID_PREV_RESULT_PAGE, QStringLiteral("1"), 99, QStringLiteral("清風100")},
            {-1, ID_PREV_RESULT_PAGE, QStringLiteral("1"), 98, QStringLiteral("清風99")},
        };
        for (const auto& step : steps) {
            if (step.chosenRow >= 0) QVERIFY(ChooseRow(step.chosenRow));
            QVERIFY(RunAndWait(step.command));
            QCOMPARE(ListPage(), step.listPage);
            QCOMPARE(CurrentRow(), step.row);
            QTRY_VERIFY(PageText().contains(step.text));
        }
        // The last entry ends it; F8 from the page view is the key.
        QVERIFY(RunCommand(ID_PREV_RESULT_PAGE));  // 98 → 97, to step with the key next
        QTRY_VERIFY(PageText().contains(QStringLiteral("清風98")));
        m_frame->SetActiveView(m_view);
        QTRY_VERIFY(m_view->focusProxy());
        QWidget* inner = m_view->focusProxy();
        QTest::mouseClick(inner, Qt::LeftButton, {}, QPoint(30, 30));
        QTRY_COMPARE(QApplication::focusWidget(), inner);
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QTest::keyClick(inner, Qt::Key_F8);
        QVERIFY(loaded.wait(30000) || !loaded.isEmpty());
        QTRY_VERIFY(PageText().contains(QStringLiteral("清風99")));
        // The last entry ends it.
        QTest::mouseClick(Control<QPushButton>("listPageNext"), Qt::LeftButton);
        QCOMPARE(ListPage(), QStringLiteral("2"));
        QVERIFY(ChooseRow(kWindPages - 101));
        QVERIFY(!Enabled(ID_NEXT_RESULT_PAGE));
        QVERIFY(Enabled(ID_PREV_RESULT_PAGE));
        // A new search starts from nothing opened.
        Search(QStringLiteral("清風"));
        QVERIFY(Enabled(ID_NEXT_RESULT_PAGE));
        QVERIFY(!Enabled(ID_PREV_RESULT_PAGE));
    }

    // A result page keeps the page commands on the catalog volume; この頁から読み進める
    // moves them to the result page's volume at that page, from the menu, the key or
    // the page's menu.
    void readingOnFromAResultPage() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        QVERIFY(!Enabled(ID_READ_ON));  // the shown page is the current one
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        Search(QStringLiteral("清風"));
        QVERIFY(ChooseRow(49));
        QTRY_VERIFY(PageText().contains(QStringLiteral("清風50")));
        QVERIFY(Enabled(ID_READ_ON));
        QVERIFY(RunCommand(ID_READ_ON));
        QVERIFY(!Enabled(ID_READ_ON));
        QCOMPARE(Slider()->value(), 50);
        QCOMPARE(Tree()->currentItem(), TreeItem(QStringLiteral("文部\\文選\\巻一")));
        QVERIFY(RunAndWait(ID_NEXT_PAGE));
        QTRY_VERIFY(PageText().contains(QStringLiteral("清風51")));
        QCOMPARE(m_panel->ShownPlace(), (PagePlace{9, 51}));
        // The page's menu offers it after its own items, enabled as the command is.
        QVERIFY(ChooseRow(48));
        QTRY_VERIFY(PageText().contains(QStringLiteral("清風49")));
        QVERIFY(Enabled(ID_READ_ON));
        QMenu* menu = nullptr;
        connect(m_view, &CBookView::contextMenuShown, this, [&](QMenu* shown) { menu = shown; });
        m_view->ShowContextMenu(m_view->mapToGlobal(QPoint(20, 20)));
        QTRY_VERIFY(menu);
        QAction* readOn = menu->findChild<QAction*>(QStringLiteral("rightClick_%1").arg(ID_READ_ON));
        QVERIFY(readOn);
        QCOMPARE(menu->actions().last(), readOn);
        QVERIFY(readOn->isEnabled());
        readOn->trigger();
        menu->close();
        QCOMPARE(m_panel->Logic().Session().Navigator().CurPage(), 49);
    }

    // The slider marks the result pages of the open volume; the marks follow each
    // search.
    void sliderMarksTheResultPagesOfTheOpenVolume() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        QVERIFY(Marks().isEmpty());
        // Opening the volume made it the scope: search the whole category.
        QVERIFY(SelectInTree(QStringLiteral("詩部")));
        Search(QStringLiteral("山"));  // the volume stays open: its marks come at once
        using Mark = QPair<int, QString>;
        QCOMPARE(Marks(), (QList<Mark>{{1, QString::fromUtf8("第1頁（3箇所）")},
                                       {3, QString::fromUtf8("第3頁（1箇所）")}}));
        const struct {
            const char* volume;
            QList<Mark> marks;
        } volumes[] = {
            {"詩部\\唐詩\\巻二", {{5, QString::fromUtf8("第5頁（1箇所）")}}},
            {"詩部\\宋詩\\巻一", {}},
            {"文部\\文選\\巻一", {}},
        };
        for (const auto& v : volumes) {
            QVERIFY(OpenInTree(QString::fromUtf8(v.volume)));
            QCOMPARE(Marks(), v.marks);
        }
        // Drawn in red under the groove, with the page's count as tool tip.
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        const QImage image = Slider()->grab().toImage();
        for (int page : {1, 3}) {
            const int x = Slider()->PageX(page);
            const QColor colour = image.pixelColor(x, Slider()->height() - 2);
            QVERIFY2(colour.red() > 200 && colour.green() < 60 && colour.blue() < 60,
                     qPrintable(colour.name()));
            QHelpEvent help(QEvent::ToolTip, QPoint(x, Slider()->height() - 3),
                            Slider()->mapToGlobal(QPoint(x, Slider()->height() - 3)));
            QApplication::sendEvent(Slider(), &help);
            QTRY_COMPARE(QToolTip::text(), page == 1 ? QString::fromUtf8("第1頁（3箇所）")
                                                     : QString::fromUtf8("第3頁（1箇所）"));
        }
        QCOMPARE(Slider()->accessibleDescription(),
                 QString::fromUtf8("検索結果のある頁：第1頁（3箇所）、第3頁（1箇所）"));
        const QColor between = image.pixelColor(Slider()->PageX(2), Slider()->height() - 2);
        QVERIFY2(!(between.red() > 200 && between.green() < 60), qPrintable(between.name()));
        // The slider still turns pages as before.
        QCOMPARE(Slider()->minimum(), 1);
        QCOMPARE(Slider()->maximum(), 3);
        // Another search moves them; one that finds nothing clears them.
        Search(QStringLiteral("明月"));
        QCOMPARE(Marks(), (QList<Mark>{{2, QString::fromUtf8("第2頁（1箇所）")}}));
        Search(QStringLiteral("海"));
        QVERIFY(Marks().isEmpty());
        QVERIFY(Slider()->accessibleDescription().isEmpty());
    }

    // Earlier queries come back as the user types, most recent first, across starts.
    void historyOffersEarlierQueries() {
        QVERIFY(Start(m_data.path()));
        for (const char* query : {"山", "明月", "青山", "山"}) Search(QString::fromUtf8(query));
        const std::vector<std::u16string> expected = {u"山", u"青山", u"明月"};
        QCOMPARE(m_panel->History().Queries(), expected);
        QVERIFY(Restart());
        QCOMPARE(m_panel->History().Queries(), expected);

        // Down in the empty entry offers all of them; typing narrows them down.
        ShowTab(1);
        QLineEdit* field = KeywordField();
        field->clear();
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        QCompleter* completer = m_panel->HistoryCompleter();
        QTest::keyClick(field, Qt::Key_Down);
        QTRY_VERIFY(completer->popup()->isVisible());
        QCOMPARE(completer->completionCount(), 3);
        completer->popup()->hide();
        TypeText(field, QStringLiteral("山"));
        QTRY_VERIFY(completer->popup()->isVisible());
        QCOMPARE(completer->completionCount(), 2);
        // Choosing one fills the entry; Enter then searches.
        const QString before = Control<QLabel>("countLine")->text();
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Return);
        QCOMPARE(field->text(), QStringLiteral("青山"));
        QCOMPARE(Control<QLabel>("countLine")->text(), before);
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE(Control<QLabel>("countLine")->text(), QStringLiteral("全部で 1 頁で、1 箇所でした。"));
        QCOMPARE(m_panel->History().Queries().front(), u"青山");
        // Enter while the list is open but nothing chosen searches what was typed.
        field->clear();
        TypeText(field, QStringLiteral("明"));
        QTRY_VERIFY(completer->popup()->isVisible());
        QTest::keyClick(completer->popup(), Qt::Key_Return);
        QTRY_COMPARE(m_panel->History().Queries().front(), u"明");
        QVERIFY(!completer->popup()->isVisible());

        // The list holds what CQueryHistory::Matching finds: letters keep their case,
        // an ideographic space counts as a blank.
        Search(QStringLiteral("Li 山"));
        QTRY_COMPARE(m_panel->History().Queries().front(), u"Li 山");
        const struct {
            QString typed;
            int offered;
        } rows[] = {
            {QStringLiteral("li"), 0},
            {QStringLiteral("Li"), 1},
            {QStringLiteral("i　山"), 1},
            {QStringLiteral("　青"), 1},
        };
        for (const auto& row : rows) {
            field->clear();
            TypeText(field, row.typed);
            QCOMPARE(completer->completionCount(), row.offered);
            QTRY_COMPARE(completer->popup()->isVisible(), row.offered > 0);
        }
    }

    // F3, Alt+F3 / Shift+F3 and F6 act while the history list is open, as without it.
    void frameKeysActWithTheHistoryOpen() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        Search(QStringLiteral("山"));
        QVERIFY(ChooseRow(0));  // 山水山山: hits 0..2
        QTRY_COMPARE(m_view->url().fragment(), QStringLiteral("0000"));
        QLineEdit* field = KeywordField();
        QCompleter* completer = m_panel->HistoryCompleter();
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            QString fragment;  // the page's anchor after the key; empty: F6
        } keys[] = {
            {Qt::Key_F3, Qt::NoModifier, QStringLiteral("0001")},
            {Qt::Key_F3, Qt::NoModifier, QStringLiteral("0002")},
            {Qt::Key_F3, Qt::AltModifier, QStringLiteral("0001")},
            {Qt::Key_F3, Qt::ShiftModifier, QStringLiteral("0000")},
            {Qt::Key_F6, Qt::NoModifier, QString()},
        };
        for (const auto& k : keys) {
            m_frame->SetActiveView(m_panel);
            field->setFocus();
            QTRY_VERIFY(field->hasFocus());
            field->clear();
            TypeText(field, QStringLiteral("山"));  // the list shows by itself
            QTRY_VERIFY(completer->popup()->isVisible());
            QTest::keyClick(completer->popup(), k.key, k.modifiers);
            if (k.fragment.isEmpty()) {
                QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_view));
            } else {
                QTRY_COMPARE(m_view->url().fragment(), k.fragment);
            }
            QTRY_VERIFY(!completer->popup()->isVisible());
        }
    }

    // Bookmarks: add the page shown, list, open, remove and undo once, across starts.
    void bookmarksKeepPages() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(!Enabled(ID_BOOKMARK_ADD));
        QVERIFY(!Enabled(ID_BOOKMARK_LIST));
        QVERIFY(!Enabled(ID_BOOKMARK_UNDO));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻二")));
        QVERIFY(RunAndWait(ID_NEXT_PAGE));
        QCOMPARE(m_panel->CitationText(), QString::fromUtf8("（唐詩・巻二・第5頁）"));
        QVERIFY(RunCommand(ID_BOOKMARK_ADD));
        auto* note = OpenDialog<QInputDialog>();
        QVERIFY(note);
        QCOMPARE(note->findChild<QLineEdit*>()->accessibleName(), QString::fromUtf8("しおりのメモ"));
        note->setTextValue(QString::fromUtf8("青の用例"));
        note->accept();
        QCOMPARE(int(m_panel->Bookmarks().Items().size()), 1);
        // A result page is bookmarked as its volume's page.
        QVERIFY(SelectInTree(QStringLiteral("詩部")));
        Search(QStringLiteral("白雪"));
        QVERIFY(ChooseRow(0));
        QCOMPARE(m_panel->CitationText(), QString::fromUtf8("（宋詩・巻一・第1頁）"));
        QVERIFY(m_panel->AddBookmark(QString()));

        QStringList items;
        for (QAction* action : BookmarkMenu()->actions()) {
            if (action->property("bookmarkItem").toBool() && !action->isSeparator()) items << action->text();
        }
        BookmarkMenu()->close();
        QCOMPARE(items, (QStringList{QString::fromUtf8("宋詩・巻一・第1頁"),
                                     QString::fromUtf8("唐詩・巻二・第5頁　青の用例")}));

        // Remove from the list without a question; undo once.
        QVERIFY(RunCommand(ID_BOOKMARK_LIST));
        auto* list = OpenDialog<CBookmarkDialog>();
        QVERIFY(list);
        QCOMPARE(list->List()->topLevelItemCount(), 2);
        QCOMPARE(list->List()->topLevelItem(1)->text(4), QString::fromUtf8("青の用例"));
        QCOMPARE(list->List()->topLevelItem(1)->text(2), QStringLiteral("5"));
        list->List()->setCurrentItem(list->List()->topLevelItem(1));
        list->RemoveSelected();
        QCOMPARE(list->List()->topLevelItemCount(), 1);
        list->reject();
        QVERIFY(Enabled(ID_BOOKMARK_UNDO));
        QVERIFY(RunCommand(ID_BOOKMARK_UNDO));
        QVERIFY(!Enabled(ID_BOOKMARK_UNDO));
        QCOMPARE(int(m_panel->Bookmarks().Items().size()), 2);

        // Kept in the profile; opening one turns the tree, slider and box to it.
        QVERIFY(Restart());
        QCOMPARE(int(m_panel->Bookmarks().Items().size()), 2);
        QVERIFY(RunAndWait(ID_BOOKMARK_FIRST + 1));
        QTRY_VERIFY(PageText().contains(QStringLiteral("青山")));
        QCOMPARE(Tree()->currentItem(), TreeItem(QStringLiteral("詩部\\唐詩\\巻二")));
        QCOMPARE(Slider()->value(), 5);
        QCOMPARE(m_panel->ShownPlace(), (PagePlace{4, 5}));
        QVERIFY(!Enabled(ID_BOOKMARK_FIRST + 2));
        // 開く in the list opens one too, and the list goes.
        QVERIFY(RunCommand(ID_BOOKMARK_LIST));
        QPointer<CBookmarkDialog> chooser = OpenDialog<CBookmarkDialog>();
        QVERIFY(chooser);
        chooser->List()->setCurrentItem(chooser->List()->topLevelItem(0));
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QTest::mouseClick(chooser->findChild<QPushButton*>(QStringLiteral("bookmarkOpen")), Qt::LeftButton);
        QVERIFY(loaded.wait(30000) || !loaded.isEmpty());
        QTRY_VERIFY(PageText().contains(QStringLiteral("白雪")));
        QCOMPARE(m_panel->ShownPlace(), (PagePlace{6, 1}));
        QTRY_VERIFY(!chooser || !chooser->isVisible());
    }

    // 移動… opens what a scholar types, or says what it could not find.
    void goToOpensACitation() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(Enabled(ID_GOTO_PAGE));
        const struct {
            const char* text;
            const char* shows;    // page text, or nothing when it fails
            const char* problem;  // the dialog's reason
        } cases[] = {
            {"唐詩 巻二 第５頁", "青山", ""},
            {"巻一 2", "明月", ""},  // the book shown: 唐詩
            {"3", "山月", ""},       // a page of the volume shown
            {"宋詩 巻一", "白雪", ""},
            {"巻一 2", "", "巻一には第2頁がありません（第1頁～第1頁）。"},  // 宋詩's, one page
            {"巻九 1", "", "「巻九」という巻は見つかりませんでした。"},
            // What was typed is shown as typed, never as markup.
            {"<i>巻九 1", "", "「<i>巻九」という巻は見つかりませんでした。"},
            {"唐詩 巻二 第五頁", "青山", ""},
        };
        for (const auto& c : cases) {
            QVERIFY(RunCommand(ID_GOTO_PAGE));
            // The dialog deletes itself once closed.
            QPointer<CGotoDialog> dialog = OpenDialog<CGotoDialog>();
            QVERIFY(dialog);
            dialog->Field()->setText(QString::fromUtf8(c.text));
            QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
            dialog->accept();
            if (*c.shows) {
                QVERIFY(loaded.wait(30000) || !loaded.isEmpty());
                QTRY_VERIFY2(PageText().contains(QString::fromUtf8(c.shows)), c.text);
                QTRY_VERIFY(!dialog || !dialog->isVisible());
            } else {
                QVERIFY(dialog->isVisible());
                QVERIFY(dialog->Problem()->isVisible());
                QCOMPARE(dialog->Problem()->text(), QString::fromUtf8(c.problem));
                QCOMPARE(dialog->Problem()->textFormat(), Qt::PlainText);
                dialog->reject();
            }
        }
    }

private:
    QTemporaryDir m_data;
    QTemporaryDir m_cwd;
};

QTEST_MAIN(ReadingFlowTest)
#include "readingflowtest.moc"
