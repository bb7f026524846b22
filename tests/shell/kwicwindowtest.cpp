// The hits-in-context window on a corpus built by the test: its rows agree with the
// hit rows of the search, sort in the background, filter by form, copy and export,
// open a hit, and follow a new search.
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "builder/databuilder.h"
#include "gui/qtstrings.h"
#include "index/index.h"
#include "textstore/catalog.h"
#include "shell/kwicwindow.h"

using namespace vyn;

namespace {

Paragraph Para(std::string text) { return Paragraph{{{TextRun::kMain, std::move(text)}}}; }

// One volume of `pages` pages; page i holds 明月 or, every seventh page, 朙月, after
// a context that varies with i so that sorting by it reorders the rows.
bool BuildCorpus(const std::filesystem::path& folder, int pages) {
    static const char* const kBefore[] = {"甲", "乙", "丙", "丁", "戊"};
    CorpusVolume volume{"卷一", 1, {}};
    for (int i = 0; i < pages; ++i) {
        const std::string word = i % 7 == 3 ? "朙月" : "明月";
        volume.pages.push_back({std::to_string(i + 1),
                                {Para(std::string(kBefore[i % 5]) + kBefore[(i / 5) % 5] + word + "照人"),
                                 Para("山高")}});
    }
    Corpus corpus;
    corpus.categories.push_back({"詩", {{"全唐詩", {volume}}}});
    corpus.variantGroups = {{0x660E, 0x6719}};
    CDataBuilder builder;
    BuildStats stats;
    return builder.Build(corpus, folder, stats);
}

KwicSearch Search(const std::filesystem::path& folder, const std::u16string& query) {
    CIndex index;
    CSearchCommand command;
    command.SelectTextPart(index, folder, TextPart::kWhole);
    CCatalog catalog;
    catalog.LoadCatalog(folder / "vyn.dir", {});
    const std::optional<std::u16string> field = query;
    command.OnSearch(index, catalog, 1, u"", {&field, 1});
    return {folder, TextPart::kWhole, KwicQuery::Of(command), command.Results()};
}

}  // namespace

class KwicWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::filesystem::path m_data;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_data = m_dir.filePath(QStringLiteral("data")).toStdString();
        std::filesystem::create_directory(m_data);
        QVERIFY(BuildCorpus(m_data, 3000));
    }

    void rowsAgreeWithTheSearchAndSortByLeftContext() {
        CKwicWindow window;
        QSignalSpy filled(&window, &CKwicWindow::filled);
        window.show();
        const KwicSearch search = Search(m_data, u"明月");
        QCOMPARE(search.entries.size(), std::size_t(3000));
        window.SetSearch(search);
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        CKwicModel& model = window.Model();
        QCOMPARE(model.rowCount(), 3000);
        QCOMPARE(model.headerData(CKwicModel::kLeft, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("前"));
        // The hit in red, the left context right-aligned, as on the page.
        QCOMPARE(model.data(model.index(0, CKwicModel::kHit), Qt::ForegroundRole).value<QColor>(),
                 QColor(Qt::red));
        QVERIFY(model.data(model.index(0, CKwicModel::kLeft), Qt::TextAlignmentRole).toInt() &
                Qt::AlignRight);
        QCOMPARE(model.RowAt(0).left, u"甲甲");
        QCOMPARE(model.RowAt(0).right, u"照人／山高");

        // Sorted by the left context read from the hit outward, in code point order.
        QSignalSpy sorted(&model, &CKwicModel::sorted);
        window.View()->horizontalHeader()->sectionClicked(CKwicModel::kLeft);
        QTRY_COMPARE(sorted.count(), 1);
        QCOMPARE(model.rowCount(), 3000);
        for (int r = 1; r < model.rowCount(); ++r) {
            const std::u16string a(model.RowAt(r - 1).left.rbegin(), model.RowAt(r - 1).left.rend());
            const std::u16string b(model.RowAt(r).left.rbegin(), model.RowAt(r).left.rend());
            QVERIFY2(a <= b, qPrintable(QString::number(r)));
            if (a == b) QVERIFY(model.RowAt(r - 1).record < model.RowAt(r).record);  // stable
        }
        QCOMPARE(model.RowAt(0).left, u"丁丁");
        QCOMPARE(model.RowAt(1).left, u"丁丁");
        window.View()->horizontalHeader()->sectionClicked(CKwicModel::kPage);
        QTRY_COMPARE(sorted.count(), 2);
        QCOMPARE(model.RowAt(1).record, 1u);
    }

    void formsFilterTheRows() {
        CKwicWindow window;
        QSignalSpy filled(&window, &CKwicWindow::filled);
        window.SetSearch(Search(m_data, u"明月"));
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        const auto forms = window.Model().Forms();
        QCOMPARE(forms.size(), std::size_t(2));
        QCOMPARE(forms[0].first, u"明月");
        QCOMPARE(forms[1].first, u"朙月");
        QCOMPARE(forms[0].second + forms[1].second, std::size_t(3000));
        auto* label = window.findChild<QLabel*>(QStringLiteral("kwicForms"));
        QVERIFY(label->text().contains(QStringLiteral("朙月 %1").arg(forms[1].second)));
        emit label->linkActivated(QStringLiteral("1"));
        QCOMPARE(window.Model().rowCount(), int(forms[1].second));
        for (int r = 0; r < window.Model().rowCount(); ++r) QCOMPARE(window.Model().RowAt(r).hit, u"朙月");
        emit label->linkActivated(QStringLiteral("all"));
        QCOMPARE(window.Model().rowCount(), 3000);
    }

    void copyExportAndOpen() {
        CKwicWindow window;
        QSignalSpy filled(&window, &CKwicWindow::filled);
        QSignalSpy opened(&window, &CKwicWindow::openHit);
        window.show();
        window.SetSearch(Search(m_data, u"朙月"));
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        QTableView* view = window.View();
        view->setFocus();
        view->selectRow(1);
        view->selectionModel()->select(view->model()->index(2, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        const QString copied = QApplication::clipboard()->text();
        QCOMPARE(copied.count(QLatin1Char('\n')), 2);
        QVERIFY2(copied.startsWith(QStringLiteral("%1\t0\t詩\t全唐詩\t卷一\t").arg(window.Model().RowAt(1).record)),
                 qPrintable(copied));

        view->setCurrentIndex(view->model()->index(2, CKwicModel::kHit));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).value<std::uint32_t>(), window.Model().RowAt(2).record);
        QCOMPARE(opened.at(0).at(1).toInt(), 0);

        QCOMPARE(window.SuggestedFileName(ExportFormat::kCsv), QStringLiteral("朙月.csv"));
        const QString path = m_dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(window.ExportTo(path, ExportFormat::kCsv));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(bytes.count('\n'), window.Model().rowCount() + 1);
        QVERIFY(!window.ExportTo(m_dir.filePath(QStringLiteral("missing/out.csv")), ExportFormat::kCsv));
    }

    void newSearchReplacesARunningFill() {
        CKwicWindow window;
        QSignalSpy filled(&window, &CKwicWindow::filled);
        window.SetSearch(Search(m_data, u"明月"));
        window.SetSearch(Search(m_data, u"山高"));  // the first fill is cancelled
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        const auto forms = window.Model().Forms();
        QCOMPARE(forms.size(), std::size_t(1));
        QCOMPARE(forms[0].first, u"山高");
        window.SetSearch(Search(m_data, u"明月"));
        window.close();  // closing stops the fill
        QVERIFY(!window.IsFilling());
    }
};

QTEST_MAIN(KwicWindowTest)
#include "kwicwindowtest.moc"
