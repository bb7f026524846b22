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
#include "gui/messagebox.h"
#include "index/datageneration.h"
#include "panel/panellogic.h"
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

// The hits of a search of the panel's logic on folder.
CSearchHits Search(const std::filesystem::path& folder, const std::u16string& query) {
    CPanelLogic panel;
    panel.OpenIndex(folder);
    panel.LoadCatalog(folder, {});
    const std::optional<std::u16string> field = query;
    panel.OnSearch(u"", {&field, 1});
    return panel.HitsOfSearch();
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
        CSearchHits hits = Search(m_data, u"明月");
        QCOMPARE(hits.Entries().size(), std::size_t(3000));
        window.SetSearch(std::move(hits));
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        CKwicModel& model = window.Model();
        const CKwicTable& table = model.Table();
        QCOMPARE(model.rowCount(), 3000);
        QCOMPARE(model.headerData(CKwicModel::kLeft, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("前"));
        // The hit in red, the left context right-aligned, as on the page.
        QCOMPARE(model.data(model.index(0, CKwicModel::kHit), Qt::ForegroundRole).value<QColor>(),
                 QColor(Qt::red));
        QVERIFY(model.data(model.index(0, CKwicModel::kLeft), Qt::TextAlignmentRole).toInt() &
                Qt::AlignRight);
        QCOMPARE(table.RowAt(0).left, u"甲甲");
        QCOMPARE(table.RowAt(0).right, u"照人／山高");

        // Sorted by the left context read from the hit outward, in code point order.
        QSignalSpy sorted(&model, &CKwicModel::sorted);
        window.View()->horizontalHeader()->sectionClicked(CKwicModel::kLeft);
        QTRY_COMPARE(sorted.count(), 1);
        QCOMPARE(model.rowCount(), 3000);
        for (std::size_t r = 1; r < table.ViewSize(); ++r) {
            const std::u16string a(table.RowAt(r - 1).left.rbegin(), table.RowAt(r - 1).left.rend());
            const std::u16string b(table.RowAt(r).left.rbegin(), table.RowAt(r).left.rend());
            QVERIFY2(a <= b, qPrintable(QString::number(r)));
            if (a == b) QVERIFY(table.RowAt(r - 1).record < table.RowAt(r).record);  // stable
        }
        QCOMPARE(table.RowAt(0).left, u"丁丁");
        QCOMPARE(table.RowAt(1).left, u"丁丁");
        window.View()->horizontalHeader()->sectionClicked(CKwicModel::kPage);
        QTRY_COMPARE(sorted.count(), 2);
        QCOMPARE(table.RowAt(1).record, 1u);
    }

    void formsFilterTheRows() {
        CKwicWindow window;
        QSignalSpy filled(&window, &CKwicWindow::filled);
        window.SetSearch(Search(m_data, u"明月"));
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        const auto forms = window.Model().Table().Forms();
        QCOMPARE(forms.size(), std::size_t(2));
        QCOMPARE(forms[0].first, u"明月");
        QCOMPARE(forms[1].first, u"朙月");
        QCOMPARE(forms[0].second + forms[1].second, std::size_t(3000));
        auto* label = window.findChild<QLabel*>(QStringLiteral("kwicForms"));
        QVERIFY(label->text().contains(QStringLiteral("朙月 %1").arg(forms[1].second)));
        emit label->linkActivated(QStringLiteral("1"));
        QCOMPARE(window.Model().rowCount(), int(forms[1].second));
        for (std::size_t r = 0; r < window.Model().Table().ViewSize(); ++r) QCOMPARE(window.Model().Table().RowAt(r).hit, u"朙月");
        emit label->linkActivated(QStringLiteral("all"));
        QCOMPARE(window.Model().rowCount(), 3000);
    }

    // A wildcard search lists one row per match with the matched text; a long "*"
    // match shows shortened, whole in its tool tip. With VYN_SCREENSHOT_KWIC set, the
    // window for 明?月 is saved there.
    void wildcardMatchesAreOneRowEach() {
        QTemporaryDir dir;
        const std::filesystem::path data = dir.path().toStdString();
        static const char* const kLines[] = {
            "清明日月旦，蕭索煙雲渙。", "金鈿明漢月，玉箸染胡塵。", "天淨明秋月，霜清夜未央。",
            "鏡中明似月，簾外動微風。", "清明日月照，山水自相依。", "樓上明漢月，城頭落曉星。",
            "明朝江上遠行客，一路到天涯見月。",
        };
        CorpusVolume volume{"卷一", 1, {}};
        for (int i = 0; i < 7; ++i) volume.pages.push_back({std::to_string(i + 1), {Para(kLines[i])}});
        Corpus corpus;
        corpus.categories.push_back({"詩", {{"全唐詩", {volume}}}});
        CDataBuilder builder;
        BuildStats stats;
        QVERIFY(builder.Build(corpus, data, stats));

        CKwicWindow window;
        window.resize(900, 420);
        window.show();
        QSignalSpy filled(&window, &CKwicWindow::filled);
        window.SetSearch(Search(data, u"明?月"));
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        QCOMPARE(window.Model().rowCount(), 6);
        const auto forms = window.Model().Table().Forms();
        const std::vector<HitFormCount> expected = {
            {u"明日月", 2}, {u"明漢月", 2}, {u"明秋月", 1}, {u"明似月", 1}};
        QVERIFY(forms == expected);
        auto* label = window.findChild<QLabel*>(QStringLiteral("kwicForms"));
        QVERIFY(label->text().contains(QStringLiteral("明日月 2")));
        const QString shot = qEnvironmentVariable("VYN_SCREENSHOT_KWIC");
        if (!shot.isEmpty()) {
            QTest::qWait(300);
            QVERIFY(window.screen()->grabWindow(window.winId()).save(shot));
        }

        window.SetSearch(Search(data, u"明*月"));
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 2, 60000);
        QCOMPARE(window.Model().rowCount(), 7);
        const QString whole = QStringLiteral("明朝江上遠行客，一路到天涯見月");
        bool found = false;
        for (int r = 0; r < window.Model().rowCount(); ++r) {
            const QModelIndex hit = window.Model().index(r, CKwicModel::kHit);
            if (window.Model().data(hit, Qt::ToolTipRole).toString() != whole) continue;
            found = true;
            QCOMPARE(window.Model().data(hit, Qt::DisplayRole).toString(), QStringLiteral("明朝江上遠行…到天涯見月"));
        }
        QVERIFY(found);
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
        QVERIFY2(copied.startsWith(QStringLiteral("%1\t0\t詩\t全唐詩\t卷一\t").arg(window.Model().Table().RowAt(1).record)),
                 qPrintable(copied));

        view->setCurrentIndex(view->model()->index(2, CKwicModel::kHit));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).value<std::uint32_t>(), window.Model().Table().RowAt(2).record);
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
        const auto forms = window.Model().Table().Forms();
        QCOMPARE(forms.size(), std::size_t(1));
        QCOMPARE(forms[0].first, u"山高");
        window.SetSearch(Search(m_data, u"明月"));
        window.close();  // closing stops the fill
        QVERIFY(!window.IsFilling());
    }

    void headingChoosesTheOrder_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("indicator");
        QTest::addColumn<int>("key");
        const int location = int(KwicSortKey::kLocation);
        QTest::newRow("book") << int(CKwicModel::kBook) << int(CKwicModel::kPage) << location;
        QTest::newRow("volume") << int(CKwicModel::kVolume) << int(CKwicModel::kPage) << location;
        QTest::newRow("page") << int(CKwicModel::kPage) << int(CKwicModel::kPage) << location;
        QTest::newRow("left") << int(CKwicModel::kLeft) << int(CKwicModel::kLeft) << int(KwicSortKey::kLeft);
        QTest::newRow("hit") << int(CKwicModel::kHit) << int(CKwicModel::kHit) << int(KwicSortKey::kHit);
        QTest::newRow("right") << int(CKwicModel::kRight) << int(CKwicModel::kRight) << int(KwicSortKey::kRight);
    }

    void headingChoosesTheOrder() {
        QFETCH(int, section);
        QFETCH(int, indicator);
        QFETCH(int, key);
        CKwicWindow window;
        QSignalSpy filled(&window, &CKwicWindow::filled);
        window.SetSearch(Search(m_data, u"朙月"));
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        QSignalSpy sorted(&window.Model(), &CKwicModel::sorted);
        QHeaderView* header = window.View()->horizontalHeader();
        // From another order, so that the one chosen shows.
        const int other = section == CKwicModel::kRight ? CKwicModel::kHit : CKwicModel::kRight;
        emit header->sectionClicked(other);
        QTRY_COMPARE(sorted.count(), 1);
        emit header->sectionClicked(section);
        QTRY_COMPARE(sorted.count(), 2);
        QCOMPARE(header->sortIndicatorSection(), indicator);
        QCOMPARE(int(window.Model().Table().SortedBy()), key);
        // A new search keeps the order and its indicator.
        window.SetSearch(Search(m_data, u"朙月"));
        QCOMPARE(header->sortIndicatorSection(), indicator);
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 2, 60000);
        QCOMPARE(int(window.Model().Table().SortedBy()), key);
    }

    void dataThatCannotBeOpenedWarns() {
        struct Recorder : CMessagePresenter {
            void Warning(QWidget*, const QString& text) override { messages << text; }
            QStringList messages;
        } recorder;
        CMessagePresenter* before = SetMessagePresenter(&recorder);
        const std::filesystem::path copy = m_data.parent_path() / "copy";
        std::filesystem::copy(m_data, copy);
        const CSearchHits searched = Search(copy, u"朙月");
        QVERIFY(!searched.Entries().empty());
        // The same search on data whose index files are gone.
        for (const auto& file : std::filesystem::directory_iterator(copy)) {
            if (file.path().filename().string().find("-idx.") != std::string::npos) {
                std::filesystem::remove(file.path());
            }
        }
        auto data = std::make_shared<CDataGeneration>();
        QVERIFY(data->Open(copy));
        CSearchHits hits(data, TextPart::kWhole, searched.Query(), searched.Entries());
        CKwicWindow window;
        QSignalSpy filled(&window, &CKwicWindow::filled);
        window.SetSearch(std::move(hits));
        QTRY_COMPARE_WITH_TIMEOUT(filled.count(), 1, 60000);
        SetMessagePresenter(before);
        QCOMPARE(recorder.messages, QStringList{QStringLiteral("データを開けませんでした。")});
        QCOMPARE(window.Model().rowCount(), 0);
    }
};

QTEST_MAIN(KwicWindowTest)
#include "kwicwindowtest.moc"
