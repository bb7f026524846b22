// The reader on damaged data: each data file missing, empty, cut to half its size or
// with bits flipped, one at a time. The reader starts, tells the user what the file's
// failure calls for, and stays usable: the tree, a search, a result page and the
// other text parts still answer.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTreeWidget>

#include "builder/databuilder.h"
#include "panelui/leftform.h"
#include "panelui/sortlistctrl.h"
#include "readerharness.h"
#include "shelltest.h"

using namespace vyn;
using namespace vyn::test;

namespace {

enum class Damage { kMissing, kEmpty, kHalf, kFlipped };

CorpusPage Page(const std::string& title, const std::string& text, const std::string& note) {
    return {title, {Paragraph{{TextRun{TextRun::kMain, text}, TextRun{TextRun::kNote, note}}}}};
}

Corpus DamageCorpus() {
    Corpus corpus;
    CorpusVolume first{"巻一", 1, {Page("1", "山水山山", "注山"), Page("2", "明月", "注月")}};
    CorpusVolume second{"巻二", 3, {Page("3", "青山", "注青")}};
    corpus.categories.push_back({"詩部", {{"唐詩", {first, second}}}});
    corpus.variantGroups = {{0x5C71, 0x3C7D}, {0x6708, 0x4E48}};
    return corpus;
}

bool Apply(Damage damage, const QString& path) {
    if (damage == Damage::kMissing) return QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return false;
    if (damage == Damage::kEmpty) return file.resize(0);
    if (damage == Damage::kHalf) return file.resize(file.size() / 2);
    // The low bit of every 61st byte: the header fields at offsets 4 to 7 keep theirs.
    QByteArray bytes = file.readAll();
    for (qsizetype i = 0; i < bytes.size(); i += 61) bytes[i] = static_cast<char>(bytes[i] ^ 1);
    return file.seek(0) && file.write(bytes) == bytes.size();
}

const QString kOpenFailed = QString::fromUtf8("データを開けませんでした。");
const QString kCatalogMissing = QStringLiteral("you delete data file!");

}  // namespace

class DamagedDataTest : public QObject, private CReaderHarness {
    Q_OBJECT

private:
    // Clicks the first row of the result list, if any, and waits for its page.
    bool ChooseFirstRow() {
        auto* list = Control<CSortListCtrl>("resultList");
        QTreeWidgetItem* item = list->topLevelItem(0);
        if (!item) return true;
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
        return loaded.wait(30000) || !loaded.isEmpty();
    }

    // Clicks the first or last leaf of the tree, if any, and waits for its page.
    bool OpenVolume(bool last) {
        auto* tree = Control<QTreeWidget>("catalogTree");
        ShowTab(0);
        tree->expandAll();
        const int tops = tree->topLevelItemCount();
        QTreeWidgetItem* item = tops ? tree->topLevelItem(last ? tops - 1 : 0) : nullptr;
        while (item && item->childCount()) item = item->child(last ? item->childCount() - 1 : 0);
        if (!item || item == tree->currentItem()) return true;
        tree->scrollToItem(item);
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
        return tree->currentItem() == item && (loaded.wait(30000) || !loaded.isEmpty());
    }

    QString CountLine() const { return Control<QLabel>("countLine")->text(); }

private slots:
    void initTestCase() {
        QVERIFY(m_cwd.isValid());
        QVERIFY(QDir::setCurrent(m_cwd.path()));
    }

    void cleanup() { Stop(); }

    void readerSurvivesADamagedFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("damage");
        QTest::addColumn<QStringList>("atStart");
        // The text part chosen after the start ("" none), and what choosing it says.
        QTest::addColumn<QString>("part");
        QTest::addColumn<QStringList>("onPart");

        const QStringList none;
        const QStringList openFailed{kOpenFailed};
        struct FileCase {
            const char* file;
            const char* part;
            // Messages for missing, empty, half and flipped.
            QStringList messages[4];
            bool atStart;
        };
        const FileCase cases[] = {
            {"Index-idx.h", "", {openFailed, openFailed, openFailed, none}, true},
            {"Index-idx.m", "", {openFailed, openFailed, none, none}, true},
            {"Index-fl.h", "", {openFailed, openFailed, none, none}, true},
            {"Index-fl.cnt", "", {openFailed, none, none, none}, true},
            {"vyn.dir", "", {{kCatalogMissing}, none, none, none}, true},
            {"yitizi.txt", "", {none, none, none, none}, true},
            {"Index_content-idx.h", "mainTextRadio", {openFailed, openFailed, openFailed, none}, false},
            {"Index_content-idx.m", "mainTextRadio", {openFailed, openFailed, none, none}, false},
            {"Index_desc-idx.h", "notesRadio", {openFailed, openFailed, openFailed, none}, false},
            {"Index_desc-idx.m", "notesRadio", {openFailed, openFailed, none, none}, false},
        };
        const char* damageNames[] = {"missing", "empty", "half", "flipped"};
        for (const FileCase& c : cases) {
            for (int damage = 0; damage < 4; ++damage) {
                QTest::addRow("%s %s", c.file, damageNames[damage])
                    << QString::fromLatin1(c.file) << damage << (c.atStart ? c.messages[damage] : none)
                    << QString::fromLatin1(c.part) << (c.atStart ? none : c.messages[damage]);
            }
        }
    }

    void readerSurvivesADamagedFile() {
        QFETCH(QString, file);
        QFETCH(int, damage);
        QFETCH(QStringList, atStart);
        QFETCH(QString, part);
        QFETCH(QStringList, onPart);

        QTemporaryDir data;
        CDataBuilder builder;
        BuildStats stats;
        QVERIFY(builder.Build(DamageCorpus(), data.path().toStdString(), stats));
        QVERIFY(Apply(static_cast<Damage>(damage), data.path() + u'/' + file));

        QVERIFY(Start(data.path()));
        QCOMPARE(m_messages->messages, atStart);
        m_messages->messages.clear();

        QVERIFY(OpenVolume(true));
        Search(QStringLiteral("山"));
        QVERIFY2(CountLine().startsWith(QStringLiteral("全部で")), qPrintable(CountLine()));
        QVERIFY(ChooseFirstRow());
        QVERIFY(m_messages->messages.isEmpty());

        if (!part.isEmpty()) {
            ShowTab(1);
            auto* radio = Control<QRadioButton>(part.toLatin1().constData());
            QVERIFY(radio);
            QTest::mouseClick(radio, Qt::LeftButton);
            QTRY_VERIFY(radio->isChecked());
            QCOMPARE(m_messages->messages, onPart);
            m_messages->messages.clear();
            Search(QStringLiteral("注"));
            QVERIFY2(CountLine().startsWith(QStringLiteral("全部で")), qPrintable(CountLine()));
            QVERIFY(ChooseFirstRow());
            QVERIFY(m_messages->messages.isEmpty());
        }
        // The reader still answers: another search and the tree.
        Search(QStringLiteral("月 山"));
        QVERIFY(ChooseFirstRow());
        QVERIFY(OpenVolume(false));
        QVERIFY(m_messages->messages.isEmpty());
    }

private:
    QTemporaryDir m_cwd;
};

QTEST_MAIN(DamagedDataTest)
#include "damageddatatest.moc"
