// The search and catalog panel in the running reader: its controls and layout, the
// catalog tree and the pages it opens, the page slider and box, page and volume
// commands, the search with its result list and list pages, result pages with their
// hits, and the messages. Each test starts the reader on a corpus built in code.
#include <signal.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QAccessible>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolTip>
#include <QTreeWidget>

#include "builder/databuilder.h"
#include "gui/resource.h"
#include "index/library.h"
#include "gui/tooltipresourcebutton.h"
#include "panelui/leftform.h"
#include "panelui/sortlistctrl.h"
#include "readerharness.h"
#include "shell/kwicwindow.h"
#include "shell/scrolltoolbar.h"
#include "shelltest.h"

using namespace vyn;
using namespace vyn::test;

namespace {

// Gives the catalog record in slot (1-based) another first page number.
bool SetFirstPageNumber(const QString& folder, int slot, quint16 pageNumber) {
    QFile catalog(folder + QStringLiteral("/vyn.dir"));
    if (!catalog.open(QIODevice::ReadWrite)) return false;
    const char bytes[2] = {static_cast<char>(pageNumber & 0xFF), static_cast<char>(pageNumber >> 8)};
    return catalog.seek((slot - 1) * 216 + 212) && catalog.write(bytes, 2) == 2;
}

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList Column(const CSortListCtrl* list, int column) {
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row) texts.append(list->topLevelItem(row)->text(column));
    return texts;
}

}  // namespace

class LeftFormTest : public QObject, private CReaderHarness {
    Q_OBJECT

private:

    CSCrollToolBar& Bar() const { return m_frame->m_wndToolBar; }

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid() && m_badData.isValid() && m_cwd.isValid());
        QVERIFY(BuildCorpus(m_data.path()));
        QVERIFY(BuildCorpus(m_badData.path()));
        // 宋詩 巻一 claims page 50, which only 文選 holds.
        QVERIFY(SetFirstPageNumber(m_badData.path(), 6, 50));
        // The catalog listing is written to the current folder.
        QVERIFY(QDir::setCurrent(m_cwd.path()));
    }

    void cleanup() { Stop(); }

    void startsWithTheControlsOfTheForm() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(m_messages->messages.isEmpty());
        QTRY_COMPARE(m_frame->windowTitle(), QString::fromUtf8("Velmora--Tessaline⑦（Corvath）"));
        auto* tabs = Control<QTabWidget>("panelTabs");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("目録"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("検索"));
        QCOMPARE(tabs->currentIndex(), 0);

        const struct {
            const char* name;
            int id;
            const char* text;
        } controls[] = {
            {"keywordPrompt", 1004, "キーワードを入力して下さい。"},
            {"searchButton", 1011, "検索"},
            {"variantsCheck", 1061, "簡繁・中日等の異体字の関連"},
            {"andRadio", 1019, "and"},
            {"orRadio", 1020, "or"},
            {"wholeTextRadio", 1042, "全文"},
            {"mainTextRadio", 1043, "正文"},
            {"notesRadio", 1044, "注釈"},
            {"methodGroup", 1022, "検索方法："},
            {"partGroup", 1045, "検索対象："},
            {"scopeGroup", 1033, "検索範囲："},
            {"countLine", 1030, "検索集計："},
            {"listPagePrev", 1055, "<"},
            {"listPageNext", 1057, ">"},
            {"catalogTree", 1009, nullptr},
            {"keywordEntry", 1041, nullptr},
            {"hiddenKeyword", 1001, nullptr},
            {"resultList", 1007, nullptr},
            {"listPageEdit", 1058, nullptr},
            {"listPageLabel", 1059, nullptr},
            {"scopeLabel", 1035, nullptr},
            {"separatorLine", 1062, nullptr},
            {"panelTabs", 1010, nullptr},
        };
        for (const auto& control : controls) {
            QWidget* widget = Control(control.name);
            QVERIFY2(widget, control.name);
            QCOMPARE(widget->property("controlId").toInt(), control.id);
            QVERIFY2(!widget->accessibleName().isEmpty(), control.name);
            if (!control.text) continue;
            QString text;
            if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
            if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
            QCOMPARE(text, QString::fromUtf8(control.text));
        }
        QVERIFY(!KeywordField()->accessibleName().isEmpty());
        QVERIFY(Control<QCheckBox>("variantsCheck")->isChecked());
        QVERIFY(Control<QRadioButton>("andRadio")->isChecked());
        QVERIFY(Control<QRadioButton>("wholeTextRadio")->isChecked());
        // The scope starts at slot 1, the first category, in red.
        QCOMPARE(Control<QLabel>("scopeLabel")->text(), QStringLiteral("詩部"));
        QCOMPARE(Control<QLabel>("scopeLabel")->palette().color(QPalette::WindowText), QColor(255, 0, 0));

        QTreeWidget* list = List();
        QCOMPARE(list->columnCount(), 4);
        const QStringList headings{"類別", "書名", "巻", "頁"};
        const QList<int> widths{45, 80, 60, 60};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(list->headerItem()->text(column), headings[column]);
            QCOMPARE(list->columnWidth(column), widths[column]);
        }
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);

        auto* prev = Control<CToolTipResourceButton>("listPagePrev");
        auto* next = Control<CToolTipResourceButton>("listPageNext");
        QCOMPARE(prev->size(), QSize(32, 32));
        const QList<QPair<QWidget*, QString>> tips{{prev, QStringLiteral("Previous Page")},
                                                   {next, QStringLiteral("Next Page")}};
        ShowTab(1);
        Search(QStringLiteral("山"));
        for (const auto& [button, tip] : tips) {
            QVERIFY(button->isVisible());
            QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(button, &help);
            QTRY_COMPARE(QToolTip::text(), tip);
            QToolTip::hideText();
        }
        ShowTab(0);

        // The tree: one item per record under its parent, 20 x 20 images, no buttons.
        QTreeWidget* tree = Tree();
        QCOMPARE(tree->topLevelItemCount(), 2);
        QVERIFY(TreeItem(QStringLiteral("詩部\\唐詩\\巻二")));
        QVERIFY(TreeItem(QStringLiteral("詩部\\宋詩\\巻一")));
        QVERIFY(TreeItem(QStringLiteral("文部\\文選\\巻一")));
        QVERIFY(!tree->rootIsDecorated());
        QCOMPARE(tree->iconSize(), QSize(20, 20));
        const QIcon icon = TreeItem(QStringLiteral("詩部"))->icon(0);
        const QImage normal = icon.pixmap(QSize(20, 20), QIcon::Normal).toImage();
        const QImage selected = icon.pixmap(QSize(20, 20), QIcon::Selected).toImage();
        QCOMPARE(normal.size(), QSize(20, 20));
        QVERIFY(normal != selected);
        QVERIFY(tree->selectedItems().isEmpty());
        QTRY_COMPARE(m_view->url(), QUrl(QStringLiteral("about:blank")));

        // The listing of the catalog went to the user's cache folder, not the current one.
        QVERIFY(!QFileInfo::exists(QDir::current().filePath(QStringLiteral("vyn.txt"))));
        const QString listing = ReadFile(m_env->CacheFolder() + QStringLiteral("/vyn/vyn.txt"));
        QVERIFY(listing.startsWith(QStringLiteral("name=詩部\tdocID=1\tdocNo=6\tcurFileName=1\n")));
        QVERIFY(listing.contains(QStringLiteral("\t\tname=巻二\tdocID=4\tdocNo=2\tcurFileName=4\n")));
    }

    // ArrangeControls: the rectangles of every control on each tab, before and after a
    // search that gives a page row, and after the splitter widened the panel. Nothing
    // is painted in between: the layout follows the change itself.
    void arrangesTheControls_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("pageRow");
        QTest::addColumn<bool>("widened");
        QTest::newRow("catalog tab") << 0 << false << false;
        QTest::newRow("search tab, no results yet") << 1 << false << false;
        QTest::newRow("search tab with the page row") << 1 << true << false;
        QTest::newRow("catalog tab, panel widened") << 0 << false << true;
        QTest::newRow("page row, panel widened") << 1 << true << true;
    }
    void arrangesTheControls() {
        QFETCH(int, tab);
        QFETCH(bool, pageRow);
        QFETCH(bool, widened);
        QVERIFY(Start(m_data.path()));
        if (pageRow) {
            QVERIFY(SelectInTree(QStringLiteral("文部")));
            Search(QStringLiteral("風"));
        }
        ShowTab(tab);
        if (widened) {
            QSplitter& splitter = m_frame->m_wndSplitter;
            const int total = splitter.sizes().value(0) + splitter.sizes().value(1);
            const int wide = m_panel->width() + 90;
            splitter.setSizes({wide, total - wide});
            QTRY_COMPARE(m_panel->width(), wide);
        }
        const int W = m_panel->width();
        const int H = m_panel->height();
        QVERIFY(W > 200 && H > 300);
        QCOMPARE(Control("panelTabs")->geometry(), QRect(0, 0, W - 1, H - 1));

        const QStringList searchControls{
            "keywordPrompt", "keywordEntry", "searchButton", "separatorLine", "variantsCheck",
            "methodGroup",   "andRadio",     "orRadio",      "partGroup",     "wholeTextRadio",
            "mainTextRadio", "notesRadio",   "scopeGroup",   "scopeLabel",    "countLine",
            "resultList"};
        const QStringList rowControls{"listPagePrev", "listPageNext", "listPageEdit", "listPageLabel"};
        QVERIFY(Control("hiddenKeyword")->isHidden());
        if (tab == 0) {
            QVERIFY(Tree()->isVisible());
            QCOMPARE(Tree()->geometry(), QRect(5, 26, W - 10, H - 30));
            for (const QString& name : searchControls + rowControls) {
                QVERIFY2(Control(name.toLatin1())->isHidden(), qPrintable(name));
            }
            return;
        }
        QVERIFY(Tree()->isHidden());
        const int e = pageRow ? 34 : 0;
        const QMap<QString, QRect> expected{
            {"keywordPrompt", {5, 28, W - 10, 15}},   {"keywordEntry", {5, 45, W - 60, 25}},
            {"searchButton", {W - 50, 45, 45, 25}},   {"separatorLine", {4, 75, W - 8, 1}},
            {"variantsCheck", {5, 80, W - 15, 15}},   {"methodGroup", {5, 100, W - 10, 40}},
            {"andRadio", {10, 115, 50, 20}},          {"orRadio", {W - 70, 115, 50, 20}},
            {"partGroup", {5, 145, W - 10, 40}},      {"wholeTextRadio", {10, 160, 60, 20}},
            {"mainTextRadio", {97, 160, 60, 20}},     {"notesRadio", {189, 160, 60, 20}},
            {"scopeGroup", {5, 190, W - 10, 40}},     {"scopeLabel", {10, 205, W - 30, 20}},
            {"countLine", {5, 235, W - 15, 15}},      {"resultList", {5, 250, W - 10, H - 254 - e}},
        };
        for (const QString& name : searchControls) {
            QWidget* control = Control(name.toLatin1());
            QVERIFY2(control->isVisible(), qPrintable(name));
            QTRY_COMPARE(control->geometry(), expected[name]);
        }
        for (const QString& name : rowControls) {
            QCOMPARE(Control(name.toLatin1())->isVisible(), pageRow);
        }
        if (!pageRow) return;
        const int y0 = H - 32 - 5;
        const int editX = (W - 139) / 2 + 37;
        QCOMPARE(Control("listPagePrev")->geometry(), QRect(5, y0, 32, 32));
        QCOMPARE(Control("listPageNext")->geometry(), QRect(W - 37, y0, 32, 32));
        QCOMPARE(Control("listPageEdit")->geometry(), QRect(editX, y0 + 6, 35, 20));
        QCOMPARE(Control("listPageLabel")->geometry(), QRect(editX + 37, y0 + 8, 30, 24));
    }

    // Choosing a node sets the scope and its path; a leaf opens at its first page and
    // sets the slider and the page-position box.
    void catalogSelectionOpensVolumes() {
        QVERIFY(Start(m_data.path()));
        auto* scope = Control<QLabel>("scopeLabel");
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        QCOMPARE(scope->text(), QStringLiteral("文部"));
        QTRY_COMPARE(m_view->url(), QUrl(QStringLiteral("about:blank")));
        QVERIFY(!Enabled(ID_NEXT_PAGE));

        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻二")));
        QCOMPARE(scope->text(), QStringLiteral("詩部\\唐詩\\巻二"));
        QCOMPARE(ShownFile(), QStringLiteral("windows.html"));
        QVERIFY(m_view->url().fragment().isEmpty());
        QVERIFY(PageText().contains(QStringLiteral("花落")));
        QCOMPARE(Bar().Slider()->minimum(), 4);
        QCOMPARE(Bar().Slider()->maximum(), 5);
        QCOMPARE(Bar().Slider()->value(), 4);
        const QString header = QString::number(m_panel->Index().GetHeaderNumber());
        QCOMPARE(Bar().PageBox()->text(), header + QStringLiteral("/4"));

        // A book chosen now changes the scope only.
        QVERIFY(SelectInTree(QStringLiteral("詩部\\宋詩")));
        QCOMPARE(scope->text(), QStringLiteral("詩部\\宋詩"));
        QCOMPARE(Bar().Slider()->maximum(), 5);
        QVERIFY(Enabled(ID_NEXT_PAGE));
    }

    // Page commands within a volume and the slider release; each shows the page and
    // the box; the ends of the volume disable the page commands.
    void pageCommandsAndSliderTurnPages() {
        QVERIFY(Start(m_data.path()));
        for (int id : {ID_PREV_PAGE, ID_NEXT_PAGE, ID_PREV_VOLUME, ID_NEXT_VOLUME, ID_PREV_HIT, ID_NEXT_HIT}) {
            QVERIFY2(!Enabled(id), qPrintable(QString::number(id)));
        }
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        const QString header = QString::number(m_panel->Index().GetHeaderNumber());
        QVERIFY(!Enabled(ID_PREV_PAGE));
        QVERIFY(!Enabled(ID_PREV_VOLUME));
        QVERIFY(Enabled(ID_NEXT_VOLUME));

        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QVERIFY(RunCommand(ID_NEXT_PAGE));
        QVERIFY(loaded.wait(30000));
        QVERIFY(PageText().contains(QStringLiteral("明月")));
        QCOMPARE(Bar().Slider()->value(), 2);
        QCOMPARE(Bar().PageBox()->text(), header + QStringLiteral("/2"));
        QVERIFY(RunCommand(ID_NEXT_PAGE));
        QVERIFY(loaded.wait(30000));
        QVERIFY(PageText().contains(QStringLiteral("山月")));
        QVERIFY(!Enabled(ID_NEXT_PAGE));
        QVERIFY(!RunCommand(ID_NEXT_PAGE));
        QVERIFY(RunCommand(ID_PREV_PAGE));
        QVERIFY(loaded.wait(30000));
        QCOMPARE(Bar().PageBox()->text(), header + QStringLiteral("/2"));

        // The slider: a key step ends a move and shows exactly that page.
        Bar().Slider()->setFocus();
        QTest::keyClick(Bar().Slider(), Qt::Key_End);
        QVERIFY(loaded.wait(30000));
        QVERIFY(PageText().contains(QStringLiteral("山月")));
        QCOMPARE(Bar().PageBox()->text(), header + QStringLiteral("/3"));
        QVERIFY(!Enabled(ID_NEXT_PAGE));
        QVERIFY(Enabled(ID_PREV_PAGE));
    }

    // Volume steps cross books and categories, the tree and the scope follow, and the
    // ends say so.
    void volumeCommandsStepThroughTheCatalog() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻二")));
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        const struct {
            const char* path;
            const char* text;
            int first, last;
        } steps[] = {
            {"詩部\\宋詩\\巻一", "白雪", 1, 1},
            {"文部\\文選\\巻一", "清風1", 1, kWindPages},
        };
        for (const auto& step : steps) {
            QVERIFY(RunCommand(ID_NEXT_VOLUME));
            QVERIFY(loaded.wait(30000));
            const QString path = QString::fromUtf8(step.path);
            QVERIFY2(PageText().contains(QString::fromUtf8(step.text)), step.path);
            QCOMPARE(Tree()->currentItem(), TreeItem(path));
            QCOMPARE(Control<QLabel>("scopeLabel")->text(), path);
            QCOMPARE(Bar().Slider()->minimum(), step.first);
            QCOMPARE(Bar().Slider()->maximum(), step.last);
            QCOMPARE(Bar().Slider()->value(), step.first);
        }
        QVERIFY(!Enabled(ID_NEXT_VOLUME));
        QVERIFY(Enabled(ID_PREV_VOLUME));
        // Run regardless of its state, the command says there is no further volume.
        QVERIFY(m_panel->OnCmdMsg(ID_NEXT_VOLUME, CmdCode::kCommand, nullptr));
        QCOMPARE(m_messages->messages, QStringList{QString::fromUtf8("もう最後の巻まで至りました。")});
        QCOMPARE(Tree()->currentItem(), TreeItem(QStringLiteral("文部\\文選\\巻一")));

        QVERIFY(RunCommand(ID_PREV_VOLUME));
        QVERIFY(loaded.wait(30000));
        QCOMPARE(Tree()->currentItem(), TreeItem(QStringLiteral("詩部\\宋詩\\巻一")));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        m_messages->messages.clear();
        QVERIFY(m_panel->OnCmdMsg(ID_PREV_VOLUME, CmdCode::kCommand, nullptr));
        QCOMPARE(m_messages->messages,
                 QStringList{QString::fromUtf8("これ以上戻れません。もう巻一に至っています。")});
    }

    // A volume whose first page number the store does not hold in it: a notice, not
    // the page of that number in another volume.
    void aPageTheVolumeLacksIsNotShown() {
        QVERIFY(Start(m_badData.path()));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\宋詩\\巻一")));
        QCOMPARE(ShownFile(), QStringLiteral("windows.html"));
        const QString text = PageText();
        QVERIFY2(text.contains(QStringLiteral("第50頁はこの巻のデータにありません。")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("清風")));
        QVERIFY(!text.contains(QStringLiteral("白雪")));
        QVERIFY(m_messages->messages.isEmpty());
    }

    // The search within the scope, its count line and rows, with ideographic spaces,
    // "or", and the scope of a volume.
    void searchFillsTheList_data() {
        QTest::addColumn<QString>("scope");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("orSearch");
        QTest::addColumn<QString>("countLine");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("category") << QString() << QStringLiteral("山") << false
                                  << QStringLiteral("全部で 3 頁で、5 箇所でした。")
                                  << QStringList{"詩部|唐詩|巻一|1", "詩部|唐詩|巻一|3", "詩部|唐詩|巻二|5"};
        QTest::newRow("volume") << QStringLiteral("詩部\\唐詩\\巻二") << QStringLiteral("山") << false
                                << QStringLiteral("全部で 1 頁で、1 箇所でした。")
                                << QStringList{"詩部|唐詩|巻二|5"};
        QTest::newRow("and with an ideographic space")
            << QString() << QStringLiteral("山\u3000月") << false
            << QStringLiteral("全部で 1 頁で、2 箇所でした。") << QStringList{"詩部|唐詩|巻一|3"};
        QTest::newRow("or") << QString() << QStringLiteral("雪 花") << true
                            << QStringLiteral("全部で 2 頁で、2 箇所でした。")
                            << QStringList{"詩部|宋詩|巻一|1", "詩部|唐詩|巻二|4"};
        QTest::newRow("no match") << QString() << QStringLiteral("海") << false
                                  << QStringLiteral("全部で 0 頁で、0 箇所でした。") << QStringList{};
    }
    void searchFillsTheList() {
        QFETCH(QString, scope);
        QFETCH(QString, keyword);
        QFETCH(bool, orSearch);
        QFETCH(QString, countLine);
        QFETCH(QStringList, rows);
        QVERIFY(Start(m_data.path()));
        if (!scope.isEmpty()) QVERIFY(OpenInTree(scope));
        ShowTab(1);
        if (orSearch) QTest::mouseClick(Control<QRadioButton>("orRadio"), Qt::LeftButton);
        Search(keyword);
        QCOMPARE(Control<QLabel>("countLine")->text(), countLine);
        QStringList shown;
        for (int row = 0; row < List()->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = List()->topLevelItem(row);
            shown.append(QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(u'|'));
        }
        QCOMPARE(shown, rows);
        QCOMPARE(Control("listPageEdit")->isVisible(), !rows.isEmpty());
        if (!rows.isEmpty()) {
            QCOMPARE(Control<QLineEdit>("listPageEdit")->text(), QStringLiteral("1"));
            QVERIFY(Control<QLineEdit>("listPageEdit")->isReadOnly());
            QCOMPARE(Control<QLabel>("listPageLabel")->text(), QStringLiteral("/1"));
            QVERIFY(!Control("listPagePrev")->isEnabled());
            QVERIFY(!Control("listPageNext")->isEnabled());
        }
        QVERIFY(m_messages->messages.isEmpty());
    }

    // A screen reader's toggle changes the option the search uses, as a click does.
    void optionsFollowAnAccessibleToggle_data() {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("countLine");
        QTest::addColumn<int>("part");
        QTest::newRow("or") << QStringLiteral("orRadio") << QStringLiteral("雪 花")
                            << QStringLiteral("全部で 2 頁で、2 箇所でした。") << int(TextPart::kWhole);
        QTest::newRow("main text") << QStringLiteral("mainTextRadio") << QStringLiteral("山")
                                   << QStringLiteral("全部で 3 頁で、5 箇所でした。") << int(TextPart::kMain);
        QTest::newRow("notes") << QStringLiteral("notesRadio") << QStringLiteral("山")
                               << QStringLiteral("全部で 0 頁で、0 箇所でした。") << int(TextPart::kNotes);
    }
    void optionsFollowAnAccessibleToggle() {
        QFETCH(QString, radio);
        QFETCH(QString, keyword);
        QFETCH(QString, countLine);
        QFETCH(int, part);
        QVERIFY(Start(m_data.path()));
        ShowTab(1);
        auto* button = Control<QRadioButton>(radio.toUtf8().constData());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QVERIFY(accessible && accessible->actionInterface());
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QTRY_VERIFY(button->isChecked());
        QCOMPARE(int(m_panel->Logic().Search().Part()), part);
        Search(keyword);
        QCOMPARE(Control<QLabel>("countLine")->text(), countLine);
    }

    // Enter in the keyword entry searches and still reaches the entry; an empty
    // keyword is refused and keeps the previous results.
    void enterSearchesAndEmptyKeywordsAreRefused() {
        QVERIFY(Start(m_data.path()));
        ShowTab(1);
        KeywordField()->setFocus();
        TypeText(KeywordField(), QStringLiteral("月"));
        QSignalSpy returned(KeywordField(), &QLineEdit::returnPressed);
        QTest::keyClick(KeywordField(), Qt::Key_Return);
        QCOMPARE(returned.size(), 1);
        QCOMPARE(Control<QLabel>("countLine")->text(), QStringLiteral("全部で 2 頁で、2 箇所でした。"));

        KeywordField()->clear();
        QTest::keyClick(KeywordField(), Qt::Key_Return);
        QCOMPARE(m_messages->messages, QStringList{QString::fromUtf8("何かキーワードを入力して検索をして下さい。")});
        QCOMPARE(Control<QLabel>("countLine")->text(), QStringLiteral("全部で 2 頁で、2 箇所でした。"));
        QCOMPARE(List()->topLevelItemCount(), 2);
        // The previous keyword still marks the pages chosen from the list.
        QVERIFY(ChooseRow(0));
        QVERIFY(RunJs(m_view, QStringLiteral("document.getElementsByName('0000').length")).toInt() == 1);
    }

    // Typing through an input method and pasting both reach the keyword entry.
    void inputMethodsAndPastingFillTheKeyword() {
        QVERIFY(Start(m_data.path()));
        ShowTab(1);
        QLineEdit* field = KeywordField();
        field->setFocus();
        QVERIFY(field->testAttribute(Qt::WA_InputMethodEnabled));
        QInputMethodEvent composing(QStringLiteral("しろ"), {});
        QApplication::sendEvent(field, &composing);
        QInputMethodEvent committed;
        committed.setCommitString(QStringLiteral("白"));
        QApplication::sendEvent(field, &committed);
        QCOMPARE(field->text(), QStringLiteral("白"));
        QGuiApplication::clipboard()->setText(QStringLiteral("雪"));
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field->text(), QStringLiteral("白雪"));
        QTest::mouseClick(Control<QPushButton>("searchButton"), Qt::LeftButton);
        QCOMPARE(Control<QLabel>("countLine")->text(), QStringLiteral("全部で 1 頁で、1 箇所でした。"));
    }

    // 130 entries: two list pages; the buttons, the page edit and Enter.
    void listPagesStepThroughTheEntries() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        Search(QStringLiteral("風"));
        QCOMPARE(Control<QLabel>("countLine")->text(), QStringLiteral("全部で 130 頁で、130 箇所でした。"));
        auto* edit = Control<QLineEdit>("listPageEdit");
        auto* label = Control<QLabel>("listPageLabel");
        auto* prev = Control<QAbstractButton>("listPagePrev");
        auto* next = Control<QAbstractButton>("listPageNext");
        QCOMPARE(List()->topLevelItemCount(), 100);
        QCOMPARE(Column(List(), 3).first(), QStringLiteral("1"));
        QCOMPARE(label->text(), QStringLiteral("/2"));
        QCOMPARE(edit->text(), QStringLiteral("1"));
        QVERIFY(!edit->isReadOnly());
        QVERIFY(!prev->isEnabled());
        QVERIFY(next->isEnabled());

        // A new list page is shown from its first row, wherever the last one was.
        List()->scrollToBottom();
        QVERIFY(List()->verticalScrollBar()->value() > 0);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(List()->topLevelItemCount(), 30);
        QCOMPARE(List()->verticalScrollBar()->value(), 0);
        QCOMPARE(Column(List(), 3).first(), QStringLiteral("101"));
        QCOMPARE(edit->text(), QStringLiteral("2"));
        QVERIFY(prev->isEnabled());
        QVERIFY(!next->isEnabled());
        QTest::mouseClick(prev, Qt::LeftButton);
        QCOMPARE(List()->topLevelItemCount(), 100);

        // Leaving the edit with a page that does not exist brings back the current one.
        for (const QString& typed : {QStringLiteral("0"), QStringLiteral("3"), QStringLiteral("ab")}) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, typed);
            KeywordField()->setFocus();
            QCOMPARE(edit->text(), QStringLiteral("1"));
            QTRY_COMPARE(edit->selectedText(), QStringLiteral("1"));
            QCOMPARE(List()->topLevelItemCount(), 100);
        }
        // With two list pages Enter applies the edit and does not search again.
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("2"));
        KeywordField()->setText(QStringLiteral("山"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(List()->topLevelItemCount(), 30);
        QCOMPARE(Control<QLabel>("countLine")->text(), QStringLiteral("全部で 130 頁で、130 箇所でした。"));
        QVERIFY(m_messages->messages.isEmpty());
    }

    // The "頁" header orders the rows of the list page, keeps the chosen row without
    // showing it again; other headers do nothing.
    void pageHeaderSortsTheRows() {
        CSortListCtrl list;
        list.InsertColumn(QStringLiteral("類別"), 45);
        list.InsertColumn(QStringLiteral("書名"), 80);
        list.InsertColumn(QStringLiteral("巻"), 60);
        list.InsertColumn(QStringLiteral("頁"), 60);
        list.resize(300, 200);
        std::vector<ResultRow> rows;
        for (const char* page : {"12", "3", "100", "3", "7"}) {
            rows.push_back({u"c", u"b", u"v", page, static_cast<std::uint32_t>(rows.size()), {}});
        }
        list.SetRows(rows);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy chosen(&list, &CSortListCtrl::rowSelected);
        list.setCurrentItem(list.topLevelItem(2));
        QCOMPARE(chosen.size(), 1);

        QHeaderView* header = list.header();
        auto clickHeader = [&](int column) {
            const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        };
        clickHeader(1);
        QCOMPARE(Column(&list, 3), (QStringList{"12", "3", "100", "3", "7"}));
        clickHeader(3);
        QCOMPARE(Column(&list, 3), (QStringList{"3", "3", "7", "12", "100"}));
        // Equal pages keep their order; the chosen row ("100", entry 2) stays chosen.
        QCOMPARE(list.Rows()[0].pageIndex, 1u);
        QCOMPARE(list.Rows()[1].pageIndex, 3u);
        QCOMPARE(list.SelectedRow(), 4);
        QCOMPARE(chosen.size(), 1);
    }

    // In the reader: the sort of a list page, and paging back to the entries' order.
    void sortedListPageReturnsToTheEntriesOrder() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        Search(QStringLiteral("風"));
        const QStringList entries = Column(List(), 3);
        QHeaderView* header = List()->header();
        const int x = header->sectionViewportPosition(3) + header->sectionSize(3) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        QStringList sorted = Column(List(), 3);
        QVERIFY(std::is_sorted(sorted.begin(), sorted.end(),
                               [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); }));
        QTest::mouseClick(Control<QAbstractButton>("listPageNext"), Qt::LeftButton);
        QTest::mouseClick(Control<QAbstractButton>("listPagePrev"), Qt::LeftButton);
        QCOMPARE(Column(List(), 3), entries);
    }

    // Chosen rows go to the two result files in turn and open at the first hit; F3
    // and Alt+F3 step through the anchors and come back after catalog pages.
    void resultPagesAlternateAndHitsStep() {
        QVERIFY(Start(m_data.path()));
        Search(QStringLiteral("山"));
        QCOMPARE(List()->topLevelItemCount(), 3);

        QVERIFY(ChooseRow(1));
        const QString first = ShownFile();
        QVERIFY(first == QStringLiteral("windows1.html") || first == QStringLiteral("windows2.html"));
        QCOMPARE(m_view->url().fragment(), QStringLiteral("0000"));
        QVERIFY(!Enabled(ID_NEXT_HIT));  // one hit on page 3

        QVERIFY(ChooseRow(0));
        const QString second = ShownFile();
        QVERIFY(second != first);
        QCOMPARE(m_view->url().fragment(), QStringLiteral("0000"));
        QCOMPARE(RunJs(m_view, QStringLiteral("document.querySelectorAll('a[name]').length")).toInt(), 3);
        QVERIFY(ReadFile(m_panel->PageFilePath(second.toStdString())).contains(QStringLiteral("name=\"0002\"")));

        // Three hits: F3 twice, then greyed; the key goes on to the list.
        QVERIFY(!Enabled(ID_PREV_HIT));
        for (const char* fragment : {"0001", "0002"}) {
            QVERIFY(Enabled(ID_NEXT_HIT));
            QTest::keyClick(List(), Qt::Key_F3);
            QTRY_COMPARE(m_view->url().fragment(), QString::fromLatin1(fragment));
        }
        QVERIFY(!Enabled(ID_NEXT_HIT));
        QTest::keyClick(List(), Qt::Key_F3, Qt::AltModifier);
        QTRY_COMPARE(m_view->url().fragment(), QStringLiteral("0001"));
        // Shift+F3 as well, for desktops that keep Alt+F3 for themselves.
        QTest::keyClick(List(), Qt::Key_F3, Qt::ShiftModifier);
        QTRY_COMPARE(m_view->url().fragment(), QStringLiteral("0000"));
        QTest::keyClick(List(), Qt::Key_F3);
        QTRY_COMPARE(m_view->url().fragment(), QStringLiteral("0001"));

        QVERIFY(ChooseRow(2));
        QCOMPARE(ShownFile(), first);
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        QCOMPARE(ShownFile(), QStringLiteral("windows.html"));
        // Hit steps go back to the last result page (one hit): nothing further.
        QVERIFY(!Enabled(ID_NEXT_HIT));
        ShowTab(1);
        QVERIFY(ChooseRow(0));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻二")));
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QTest::keyClick(Tree(), Qt::Key_F3);
        QVERIFY(loaded.wait(30000));
        QCOMPARE(ShownFile(), second);
        QCOMPARE(m_view->url().fragment(), QStringLiteral("0001"));
    }

    // Without data the reader says so twice and stays usable with an empty tree.
    // Tab goes down the search tab in the order the eye reads it.
    void tabFollowsThePanel() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        Search(QStringLiteral("風"));
        KeywordField()->setFocus();
        QTRY_VERIFY(KeywordField()->hasFocus());
        QStringList order;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order.append(QApplication::focusWidget()->objectName());
        }
        // The radio buttons of a group take one stop; "<" is greyed on the first page.
        QCOMPARE(order, (QStringList{"searchButton", "variantsCheck", "andRadio", "wholeTextRadio",
                                     "resultList", "listPageNext", "listPageEdit"}));
    }

    // Labels that change are read by their current text; the panel keeps its width.
    void changingLabelsAndWidth() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        Search(QStringLiteral("風"));
        for (const char* name : {"countLine", "scopeLabel", "listPageLabel"}) {
            auto* label = Control<QLabel>(name);
            QVERIFY(!label->text().isEmpty());
            QCOMPARE(label->accessibleName(), label->text());
        }
        m_frame->m_wndSplitter.setSizes({10, 2000});
        QVERIFY(m_frame->m_wndSplitter.sizes().value(0) >= CLeftForm::kMinimumWidth);
        QCOMPARE(Control<QRadioButton>("notesRadio")->geometry().right() < m_panel->width(), true);
        // 全表示 still hides it.
        QVERIFY(RunCommand(ID_VIEW_FULL));
        QVERIFY(m_panel->isHidden());
        QVERIFY(RunCommand(ID_VIEW_FULL));
    }

    // A query of letters, wildcards or digits finds nothing and says why.
    void queryThatSearchesNothingSaysWhy_data() {
        QTest::addColumn<QString>("query");
        QTest::newRow("letters") << QStringLiteral("abc");
        QTest::newRow("wildcards") << QStringLiteral("*?");
        QTest::newRow("full-width wildcard") << QString::fromUtf8("？");
    }
    void queryThatSearchesNothingSaysWhy() {
        QFETCH(QString, query);
        QVERIFY(Start(m_data.path()));
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        Search(QStringLiteral("風"));
        Search(query);
        QCOMPARE(m_messages->messages,
                 QStringList{QString::fromUtf8(CSearchCommand::kNothingSearchableMessage.data(),
                                               CSearchCommand::kNothingSearchableMessage.size())});
        QCOMPARE(Control<QLabel>("countLine")->text(), QStringLiteral("全部で 0 頁で、0 箇所でした。"));
    }

    // Ctrl+C in a field of the panel leaves the field's selection on the clipboard,
    // also while the page has a selection of its own.
    void copyInAFieldKeepsTheFieldsText() {
        QVERIFY(Start(m_data.path()));
        Search(QStringLiteral("山"));
        QVERIFY(ChooseRow(0));
        QVERIFY(RunCommand(ID_SELECT_ALL));
        QTRY_VERIFY(m_view->hasSelection());
        QLineEdit* field = KeywordField();
        field->setText(QStringLiteral("明月"));
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        field->selectAll();
        QSignalSpy pageCopy(m_view, &CBookView::limitedCopyFinished);
        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("明月"));
        QVERIFY(!pageCopy.wait(1500));  // no copy of the page lands afterwards
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("明月"));
    }

    // The hits-in-context window follows the search and opens a hit in the reader;
    // each result row tells its first hit in a tool tip.
    void kwicWindowFollowsTheSearch() {
        QVERIFY(Start(m_data.path()));
        QVERIFY(!Enabled(ID_KWIC_WINDOW));
        QVERIFY(!Enabled(ID_EXPORT_RESULTS));
        Search(QStringLiteral("山"));
        QVERIFY(Enabled(ID_KWIC_WINDOW));
        QVERIFY(List()->topLevelItem(0)->toolTip(0).contains(QStringLiteral("【山】")));
        QVERIFY(RunCommand(ID_KWIC_WINDOW));
        auto* window = m_frame->findChild<CKwicWindow*>(QStringLiteral("kwicWindow"));
        QVERIFY(window);
        QTRY_VERIFY(!window->IsFilling());
        QTRY_COMPARE(window->Model().rowCount(), 5);
        // The last row: the third hit on the first result page.
        const KwicRow row = window->Model().Table().RowAt(2);
        QCOMPARE(row.anchor, 2);
        emit window->openHit(row.record, row.anchor);
        QTRY_COMPARE(m_view->url().fragment(), QStringLiteral("0002"));
        QCOMPARE(List()->SelectedRow(), 0);
        QCOMPARE(m_panel->Logic().Session().Navigator().CurHit(), 2);
        // A new search refills the open window.
        QVERIFY(SelectInTree(QStringLiteral("文部")));
        Search(QStringLiteral("風"));
        QTRY_VERIFY(!window->IsFilling());
        QTRY_COMPARE(window->Model().rowCount(), 130);
    }

    // A hit whose result row is the selected row opens as well, after a catalog page
    // took the view's place.
    void openingAHitOfTheSelectedRowShowsItsPage() {
        QVERIFY(Start(m_data.path()));
        Search(QStringLiteral("山"));
        QVERIFY(ChooseRow(0));
        const std::uint32_t record = m_panel->Logic().Search().Results().front().pageIndex;
        const struct {
            int anchor;
            QString volume;
        } cases[] = {{0, QStringLiteral("詩部\\唐詩\\巻二")}, {1, QStringLiteral("詩部\\唐詩\\巻一")}};
        for (const auto& c : cases) {
            QVERIFY(OpenInTree(c.volume));
            QTRY_COMPARE(ShownFile(), QStringLiteral("windows.html"));
            QCOMPARE(List()->SelectedRow(), 0);
            QVERIFY(m_panel->OpenResultHit(record, c.anchor));
            QTRY_VERIFY(ShownFile() != QStringLiteral("windows.html"));
            QTRY_COMPARE(m_view->url().fragment(), QStringLiteral("%1").arg(c.anchor, 4, 10, QLatin1Char('0')));
            QCOMPARE(m_panel->Logic().Session().Navigator().CurHit(), c.anchor);
        }
    }

    // SIGTERM closes the reader as 終了 does: layout written, page files removed.
    void terminationClosesAsExitDoes() {
        QVERIFY(Start(m_data.path()));
        Search(QStringLiteral("山"));
        QVERIFY(ChooseRow(0));
        const QString pages = QFileInfo(m_panel->PageFilePath("windows.html")).absolutePath();
        QVERIFY(QDir(pages).exists());
        QPointer<CMainFrame> frame = m_frame;
        QCOMPARE(raise(SIGTERM), 0);
        QTRY_VERIFY(!frame);
        QVERIFY(!QDir(pages).exists());
        QVERIFY(!m_env->ProfileValue(QStringLiteral("SplitterWnd/Panes_0")).isEmpty());
    }

    // A library of two copies of the corpus: the whole library and each folder are
    // scopes, a search lists the folders one after the other, and their pages open.
    void aLibraryIsOneCatalogAndOneSearch() {
        QTemporaryDir library;
        QVERIFY(QDir(library.path()).mkdir(QStringLiteral("a")) && QDir(library.path()).mkdir(QStringLiteral("b")));
        QVERIFY(BuildCorpus(library.path() + QStringLiteral("/a")));
        QVERIFY(BuildCorpus(library.path() + QStringLiteral("/b")));
        QVERIFY(WriteFolderTitle((library.path() + QStringLiteral("/b")).toStdString(), "第二"));
        QVERIFY(Start(library.path()));
        QCOMPARE(Tree()->topLevelItemCount(), 3);
        QCOMPARE(Tree()->topLevelItem(0)->text(0), QStringLiteral("ライブラリ全体"));
        QCOMPARE(Tree()->topLevelItem(1)->text(0), QStringLiteral("a"));
        QCOMPARE(Tree()->topLevelItem(2)->text(0), QStringLiteral("第二"));
        const QStringList single{"詩部|唐詩|巻一|1", "詩部|唐詩|巻一|3", "詩部|唐詩|巻二|5"};
        const struct {
            QString scope, countLine;
            QStringList rows;
        } cases[] = {
            {QStringLiteral("ライブラリ全体"), QStringLiteral("全部で 6 頁で、10 箇所でした。"), single + single},
            {QStringLiteral("第二"), QStringLiteral("全部で 3 頁で、5 箇所でした。"), single},
            {QStringLiteral("第二\\詩部\\唐詩\\巻二"), QStringLiteral("全部で 1 頁で、1 箇所でした。"), {single.last()}},
        };
        for (const auto& c : cases) {
            if (c.scope.count(u'\\') == 2) {
                QVERIFY(OpenInTree(c.scope));
            } else {
                QVERIFY(SelectInTree(c.scope));
            }
            Search(QStringLiteral("山"));
            QCOMPARE(Control<QLabel>("countLine")->text(), c.countLine);
            QStringList shown;
            for (int row = 0; row < List()->topLevelItemCount(); ++row) {
                QTreeWidgetItem* item = List()->topLevelItem(row);
                shown.append(QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(u'|'));
            }
            QCOMPARE(shown, c.rows);
        }
        // The second folder's first hit page, and from it back to the first folder's last.
        QVERIFY(SelectInTree(QStringLiteral("ライブラリ全体")));
        Search(QStringLiteral("山"));
        QVERIFY(ChooseRow(3));
        QVERIFY(PageText().contains(QStringLiteral("山")));
        QCOMPARE(m_panel->Logic().Session().CurrentEntry(), std::optional<std::size_t>(3));
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QVERIFY(RunCommand(ID_PREV_RESULT_PAGE));
        QVERIFY(loaded.wait(30000) || !loaded.isEmpty());
        QCOMPARE(m_panel->Logic().Session().CurrentEntry(), std::optional<std::size_t>(2));
        QVERIFY(m_messages->messages.isEmpty());
    }

    void withoutDataTheUserIsTold() {
        QVERIFY(Start(QString()));
        QCOMPARE(m_messages->messages,
                 (QStringList{QString::fromUtf8("データを開けませんでした。"),
                              QString::fromUtf8("you delete data file!")}));
        QCOMPARE(Tree()->topLevelItemCount(), 0);
        m_messages->messages.clear();
        Search(QStringLiteral("山"));
        QCOMPARE(Control<QLabel>("countLine")->text(), QStringLiteral("全部で 0 頁で、0 箇所でした。"));
        QVERIFY(m_messages->messages.isEmpty());
    }

private:
    QTemporaryDir m_data;
    QTemporaryDir m_badData;
    QTemporaryDir m_cwd;
};

QTEST_MAIN(LeftFormTest)
#include "leftformtest.moc"
