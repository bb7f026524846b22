// A data folder rebuilt under the running reader: the reader goes on showing the build
// it opened (catalog, pages, a text part chosen afterwards, searches, hits in context)
// and offers the new build in a bar; reopening shows the new build.
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolBar>

#include "gui/qtstrings.h"
#include "gui/resource.h"
#include "readerharness.h"
#include "shell/databar.h"
#include "shell/kwicwindow.h"
#include "support/rebuild.h"

using namespace vyn;
using namespace vyn::test;

namespace {

// 巻一 of 唐詩 with other pages, no 宋詩.
Corpus RebuiltCorpus() {
    Corpus corpus = PanelCorpus();
    CorpusVolume tang1{"巻一", 1, {Page("1", "海上明月"), Page("2", "白雲"), Page("3", "海月")}};
    CorpusVolume tang2{"巻二", 4, {Page("4", "花落"), Page("5", "青海")}};
    corpus.categories[0].books = {{"唐詩", {tang1, tang2}}};
    return corpus;
}

}  // namespace

class RebuildTest : public QObject, private CReaderHarness {
    Q_OBJECT

private:
    QToolBar* DataBar() const { return m_frame->findChild<QToolBar*>(QStringLiteral("dataBar")); }
    QString CountLine() const { return Control<QLabel>("countLine")->text(); }
    CKwicWindow* KwicWindow() const { return m_frame->findChild<CKwicWindow*>(QStringLiteral("kwicWindow")); }
    // The hit forms of the window's rows, once it is filled.
    QStringList KwicHits() const {
        QStringList hits;
        if (!QTest::qWaitFor([this] { return !KwicWindow()->IsFilling(); })) return {QStringLiteral("filling")};
        for (int row = 0; row < KwicWindow()->Model().rowCount(); ++row) {
            const KwicRow& hit = KwicWindow()->Model().Table().RowAt(static_cast<std::size_t>(row));
            hits.append(FromUtf16(hit.left + u"[" + hit.hit + u"]" + hit.right));
        }
        return hits;
    }

private slots:
    void initTestCase() { QVERIFY(m_cwd.isValid() && QDir::setCurrent(m_cwd.path())); }

    void cleanup() { Stop(); }

    void readerKeepsItsBuildUntilReopened() {
        QTemporaryDir data;
        QVERIFY(data.isValid());
        QVERIFY(BuildCorpus(data.path()));
        QVERIFY(Start(data.path()));
        QVERIFY(DataBar() && DataBar()->isHidden());
        QCOMPARE(DataBar()->accessibleName(), QStringLiteral("データの更新"));

        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        QVERIFY(PageText().trimmed().endsWith(QStringLiteral("山水山山")));
        QVERIFY(SelectInTree(QStringLiteral("詩部")));
        Search(QStringLiteral("山"));
        const QString oldCount = CountLine();
        QVERIFY(oldCount.contains(QStringLiteral("3 頁")));
        QVERIFY(RunCommand(ID_KWIC_WINDOW));
        QVERIFY(KwicWindow());
        const QStringList oldHits = KwicHits();
        QCOMPARE(oldHits.size(), 5);

        std::string reason;
        QVERIFY2(RebuildFolder(RebuiltCorpus(), data.path().toStdString(), reason), reason.c_str());
        QTRY_VERIFY_WITH_TIMEOUT(DataBar()->isVisible(), 20000);
        auto* reopen = DataBar()->findChild<QPushButton*>(QStringLiteral("dataBarReopen"));
        QVERIFY(reopen);
        QCOMPARE(reopen->accessibleName(), QStringLiteral("データを開き直す"));

        // A text part chosen now, its search and its hits: all of the build opened.
        ShowTab(1);
        QTest::mouseClick(Control<QRadioButton>("mainTextRadio"), Qt::LeftButton);
        Search(QStringLiteral("山"));
        QCOMPARE(CountLine(), oldCount);
        QCOMPARE(List()->topLevelItemCount(), 3);
        QCOMPARE(KwicHits(), oldHits);
        QVERIFY(ChooseRow(2));
        QVERIFY(PageText().contains(QStringLiteral("青山")));
        QVERIFY(TreeItem(QStringLiteral("詩部\\宋詩\\巻一")));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\唐詩\\巻一")));
        QVERIFY(PageText().trimmed().endsWith(QStringLiteral("山水山山")));
        QVERIFY(DataBar()->isVisible());

        // Reopened: the new catalog, the page shown read anew, the search gone.
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QTest::mouseClick(reopen, Qt::LeftButton);
        QVERIFY(loaded.wait(30000) || !loaded.isEmpty());
        QVERIFY(DataBar()->isHidden());
        QVERIFY(!TreeItem(QStringLiteral("詩部\\宋詩")));
        QCOMPARE(Tree()->currentItem(), TreeItem(QStringLiteral("詩部\\唐詩\\巻一")));
        QVERIFY(PageText().trimmed().endsWith(QStringLiteral("海上明月")));
        QCOMPARE(List()->topLevelItemCount(), 0);
        QCOMPARE(CountLine(), QStringLiteral("検索集計："));
        QVERIFY(!Enabled(ID_KWIC_WINDOW));
        QCOMPARE(KwicHits(), QStringList());
        QVERIFY(Control<QRadioButton>("mainTextRadio")->isChecked());
        QVERIFY(SelectInTree(QStringLiteral("詩部")));
        Search(QStringLiteral("海"));
        QCOMPARE(List()->topLevelItemCount(), 3);
        QCOMPARE(KwicHits().size(), 3);
        // The new build is the one read now: the bar has nothing to tell.
        QVERIFY(!m_panel->NewerDataThere());
        static_cast<CDataBar*>(DataBar())->Check();
        QVERIFY(DataBar()->isHidden());
    }

    // The page shown is gone from the new build: no page stays on view.
    void reopeningWithoutThePageShownShowsNone() {
        QTemporaryDir data;
        QVERIFY(data.isValid());
        QVERIFY(BuildCorpus(data.path()));
        QVERIFY(Start(data.path()));
        QVERIFY(OpenInTree(QStringLiteral("詩部\\宋詩\\巻一")));
        QVERIFY(PageText().trimmed().endsWith(QStringLiteral("白雪")));
        std::string reason;
        QVERIFY2(RebuildFolder(RebuiltCorpus(), data.path().toStdString(), reason), reason.c_str());
        QTRY_VERIFY_WITH_TIMEOUT(DataBar()->isVisible(), 20000);
        QVERIFY(m_panel->ReopenData());
        QTRY_COMPARE(m_view->url().toString(), QStringLiteral("about:blank"));
        QCOMPARE(Tree()->currentItem(), nullptr);
        QCOMPARE(m_panel->Logic().Session().Navigator().CurItem(), 0);
        QCOMPARE(Control<QLabel>("scopeLabel")->text(), QStringLiteral("詩部"));
    }

private:
    QTemporaryDir m_cwd;
};

QTEST_MAIN(RebuildTest)
#include "rebuildtest.moc"
