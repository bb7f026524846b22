// Whole reader processes (scriptedreader) with a private profile and runtime folder,
// ended from outside by SIGTERM: with a dialog open, the reader still closes as 終了
// does; two readers on one profile keep each other's bookmarks and queries.
#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QPrinterInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "gui/resource.h"
#include "gui/resources.h"
#include "readerharness.h"

using namespace vyn;

namespace {

constexpr int kWaitMs = 60000;

// Folders of their own for the readers of one test: profile, home, runtime folder.
class CUserFolders {
public:
    CUserFolders() {
        for (const char* name : {"config", "home", "run"}) QDir(m_root.path()).mkdir(QString::fromLatin1(name));
        // The page folders go into the runtime folder only when it is private.
        chmod(Path("run").toLocal8Bit().constData(), 0700);
    }
    QString Path(const char* name) const { return m_root.filePath(QString::fromLatin1(name)); }
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("config"));
        env.insert(QStringLiteral("HOME"), Path("home"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Path("run"));
        return env;
    }
    QString ProfileFile() const {
        return Path("config") + u'/' + QString::fromUtf8(kRegistryKey) + u'/' + AppName() + QStringLiteral(".ini");
    }
    QString ProfileValue(const QString& key) const {
        return QSettings(ProfileFile(), QSettings::IniFormat).value(key).toString();
    }
    void SetProfileValue(const QString& key, const QString& value) const {
        QSettings settings(ProfileFile(), QSettings::IniFormat);
        settings.setValue(key, value);
    }
    // The page folders the readers left in the runtime folder.
    QStringList PageFolders() const {
        return QDir(Path("run")).entryList({QStringLiteral("vyn-*")}, QDir::Dirs | QDir::Hidden);
    }

private:
    QTemporaryDir m_root;
};

// One reader process, worked line by line (see scriptedreader.cpp).
class CReaderProcess {
public:
    bool Start(const QString& data, const CUserFolders& folders) {
        m_process.setProcessEnvironment(folders.Environment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(VYN_SCRIPTED_READER), {data});
        return m_process.waitForStarted(kWaitMs) && !WaitFor(QStringLiteral("ready")).isEmpty();
    }
    // Sends step and returns the first reply starting with expected; empty when none
    // came.
    QString Run(const QString& step, const QString& expected = QStringLiteral("done")) {
        m_process.write(step.toUtf8() + '\n');
        return WaitFor(expected);
    }
    QString WaitFor(const QString& expected) {
        QDeadlineTimer deadline(kWaitMs);
        while (!deadline.hasExpired()) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                if (line.startsWith(expected)) return line;
            }
            if (m_process.state() != QProcess::Running) return {};
            m_process.waitForReadyRead(100);
        }
        return {};
    }
    void Terminate() { kill(static_cast<pid_t>(m_process.processId()), SIGTERM); }
    // True when the process ended by itself with exit code 0.
    bool EndedCleanly() {
        if (!m_process.waitForFinished(kWaitMs)) return false;
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
};

QString Command(int id) { return QStringLiteral("command %1").arg(id); }

}  // namespace

class TerminationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid());
        QVERIFY(test::BuildCorpus(m_data.path()));
    }

    // The dialog shown when SIGTERM comes is rejected and its caller returns before the
    // frame closes: the layout is written and the page folder removed, whether the
    // dialog runs its own event loop (exec) or not.
    void sigtermWithADialogOpenClosesAsExitDoes_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("dialog");
        const QString page = QStringLiteral("page 3 2");
        QTest::newRow("go-to") << QStringList{Command(ID_GOTO_PAGE)} << "gotoDialog";
        QTest::newRow("bookmark note") << QStringList{page, Command(ID_BOOKMARK_ADD)} << "bookmarkNoteDialog";
        QTest::newRow("bookmark list")
            << QStringList{page, Command(ID_BOOKMARK_ADD), QStringLiteral("note 甲"), Command(ID_BOOKMARK_LIST)}
            << "bookmarkDialog";
        QTest::newRow("hits in context, save dialog (exec)")
            << QStringList{QStringLiteral("search 山"), Command(ID_KWIC_WINDOW), QStringLiteral("kwicexport")}
            << "kwicExportDialog";
        QTest::newRow("result export, save dialog (exec)")
            << QStringList{QStringLiteral("search 山"), Command(ID_EXPORT_RESULTS)} << "resultsExportDialog";
        QTest::newRow("PDF save dialog (exec)") << QStringList{page, Command(ID_PRINT_NOW)} << "pdfSaveDialog";
        QTest::newRow("no searchable word, message box (exec)") << QStringList{QStringLiteral("search ？")}
                                                                << "warningBox";
    }
    void sigtermWithADialogOpenClosesAsExitDoes() {
        QFETCH(QStringList, steps);
        QFETCH(QString, dialog);
        if (dialog == QLatin1String("pdfSaveDialog") && !QPrinterInfo::availablePrinterNames().isEmpty()) {
            QSKIP("a printer is installed: printing shows no save dialog");
        }
        CUserFolders folders;
        CReaderProcess reader;
        QVERIFY(reader.Start(m_data.path(), folders));
        QCOMPARE(folders.PageFolders().size(), 1);
        const QString last = steps.takeLast();
        for (const QString& step : steps) QVERIFY2(!reader.Run(step).isEmpty(), qPrintable(step));
        QCOMPARE(reader.Run(last, QStringLiteral("dialog")), QStringLiteral("dialog ") + dialog);
        reader.Terminate();
        QVERIFY(reader.EndedCleanly());
        QVERIFY(!folders.ProfileValue(QStringLiteral("SplitterWnd/Panes_0")).isEmpty());
        QCOMPARE(folders.PageFolders(), QStringList());
    }

    // Each reader adds a bookmark and a query without having read the other's; a line
    // neither reader can read is in the profile from before. Both end by SIGTERM, the
    // second writing its layout after the first's lists: everything is kept.
    void twoReadersOnOneProfileKeepEachOthersLists() {
        CUserFolders folders;
        const QString later = QStringLiteral("3\t1\t2020-01-01 00:00\t唐詩\t巻一\tnote\tfield of a later form\n");
        folders.SetProfileValue(QStringLiteral("Bookmarks/Items"), later);
        CReaderProcess first;
        CReaderProcess second;
        QVERIFY(first.Start(m_data.path(), folders));
        QVERIFY(second.Start(m_data.path(), folders));

        const QString add = Command(ID_BOOKMARK_ADD);
        const struct {
            CReaderProcess* reader;
            QString step;
        } steps[] = {
            {&first, QStringLiteral("page 3 2")},  {&first, add},  {&first, QStringLiteral("note 甲")},
            {&first, QStringLiteral("search 山")}, {&second, QStringLiteral("page 4 5")}, {&second, add},
            {&second, QStringLiteral("note 乙")},  {&second, QStringLiteral("search 明月")},
        };
        for (const auto& step : steps) QVERIFY2(!step.reader->Run(step.step).isEmpty(), qPrintable(step.step));
        // The first reader's list shows the second's bookmark when it opens.
        QCOMPARE(first.Run(Command(ID_BOOKMARK_LIST), QStringLiteral("dialog")), QStringLiteral("dialog bookmarkDialog"));
        QCOMPARE(first.Run(QStringLiteral("rows"), QStringLiteral("rows")), QStringLiteral("rows 2"));

        first.Terminate();
        QVERIFY(first.EndedCleanly());
        second.Terminate();
        QVERIFY(second.EndedCleanly());
        const QStringList bookmarks = folders.ProfileValue(QStringLiteral("Bookmarks/Items")).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(bookmarks.size(), 3);
        QVERIFY2(bookmarks[0].startsWith(QStringLiteral("4\t5\t")) && bookmarks[0].endsWith(QStringLiteral("\t乙")),
                 qPrintable(bookmarks[0]));
        QVERIFY2(bookmarks[1].startsWith(QStringLiteral("3\t2\t")) && bookmarks[1].endsWith(QStringLiteral("\t甲")),
                 qPrintable(bookmarks[1]));
        QCOMPARE(bookmarks[2] + u'\n', later);
        QCOMPARE(folders.ProfileValue(QStringLiteral("Search/History")), QStringLiteral("明月\n山"));
        QVERIFY(!folders.ProfileValue(QStringLiteral("SplitterWnd/Panes_0")).isEmpty());
    }

private:
    QTemporaryDir m_data;
};

QTEST_MAIN(TerminationTest)
#include "terminationtest.moc"
