// The platform layer without windows: the copy limit's byte count and the private
// temporary folder.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "gui/copylimit.h"
#include "gui/zoom.h"
#include "gui/qtstrings.h"
#include "gui/savefolder.h"
#include "gui/tempfolder.h"

using namespace vyn;

namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Read(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Field 22 of /proc/<pid>/stat.
unsigned long long StartTime(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), {});
    std::size_t at = stat.rfind(')');
    for (int field = 2; field < 22 && at != std::string::npos; ++field) at = stat.find(' ', at + 1);
    return at == std::string::npos ? 0 : std::stoull(stat.substr(at + 1));
}

// The pid of a process that has ended and been reaped.
pid_t DeadPid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    void limitedPrefix_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<int>("keptUnits");
        QTest::addColumn<int>("countedBytes");
        const QString pair = QString::fromUcs4(U"\U00020000");
        QTest::newRow("empty") << QString() << 600 << 0 << 0;
        QTest::newRow("ascii fits exactly") << QStringLiteral("abc") << 3 << 3 << 3;
        QTest::newRow("ideograph counts two") << QString::fromUtf8("天地") << 3 << 1 << 4;
        QTest::newRow("kana counts two") << QString::fromUtf8("あいう") << 4 << 2 << 6;
        QTest::newRow("ideograph never halved") << QString::fromUtf8("a天") << 2 << 1 << 3;
        QTest::newRow("surrogate pair is one character") << pair + pair << 2 << 2 << 4;
        QTest::newRow("surrogate pair never split") << QStringLiteral("a") + pair << 2 << 1 << 3;
        QTest::newRow("lone high surrogate at end") << QStringLiteral("a") + pair.left(1) << 3 << 2 << 3;
        QTest::newRow("zero limit") << QStringLiteral("a") << 0 << 0 << 1;
    }
    void limitedPrefix() {
        QFETCH(QString, text);
        QFETCH(int, maxBytes);
        QFETCH(int, keptUnits);
        QFETCH(int, countedBytes);
        const std::u16string units = ToUtf16(text);
        QCOMPARE(int(LimitedPrefixLength(units, std::size_t(maxBytes))), keptUnits);
        QCOMPARE(int(CodePageByteCount(units)), countedBytes);
    }

    void citationFollowsTheLimitedText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString cjk = QString::fromUtf8("天地玄黃宇宙洪荒");
        const QString cite = QString::fromUtf8("（唐詩・巻一・第1頁）");
        QTest::newRow("short") << cjk << cjk + u'\n' + cite;
        QTest::newRow("cut to 300 ideographs, citation whole") << cjk.repeated(50)
                                                               << cjk.repeated(50).left(300) + u'\n' + cite;
        QTest::newRow("trailing line break not doubled") << cjk + QStringLiteral("\r\n") << cjk + u'\n' + cite;
        QTest::newRow("nothing: the citation alone") << QString() << cite;
    }
    void citationFollowsTheLimitedText() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(FromUtf16(WithCitation(ToUtf16(text), u"（唐詩・巻一・第1頁）")), expected);
    }

    // A suggested file name fits a file system's 255 bytes, cut between characters.
    void fileNamesFitTheFileSystem_data() {
        QTest::addColumn<QString>("stem");
        QTest::addColumn<QString>("expected");
        const QString ideographs = QString(100, QChar(u'明'));  // 300 bytes
        QString pairs;
        for (int i = 0; i < 70; ++i) pairs += QString::fromUtf16(u"\U00020001");  // 280 bytes
        QTest::newRow("short") << QStringLiteral("明月") << QStringLiteral("明月.csv");
        QTest::newRow("ideographs") << ideographs << QString(83, QChar(u'明')) + QStringLiteral(".csv");
        QTest::newRow("surrogate pairs") << pairs << pairs.left(2 * 62) + QStringLiteral(".csv");
        QTest::newRow("exactly 255") << QString(251, QChar(u'a')) << QString(251, QChar(u'a')) + QStringLiteral(".csv");
    }
    void fileNamesFitTheFileSystem() {
        QFETCH(QString, stem);
        QFETCH(QString, expected);
        const QString name = FitFileName(stem, QStringLiteral(".csv"));
        QCOMPARE(name, expected);
        QVERIFY(name.toUtf8().size() <= 255);
    }

    void zoomSteps_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("expected");
        QTest::newRow("in from standard") << 100 << 1 << 110;
        QTest::newRow("out from standard") << 100 << -1 << 90;
        QTest::newRow("top stays") << 300 << 1 << 300;
        QTest::newRow("bottom stays") << 50 << -1 << 50;
        QTest::newRow("between steps, in") << 130 << 1 << 150;
        QTest::newRow("between steps, out") << 130 << -1 << 125;
        QTest::newRow("reset") << 250 << 0 << 100;
    }
    void zoomSteps() {
        QFETCH(int, percent);
        QFETCH(int, direction);
        QFETCH(int, expected);
        QCOMPARE(NextZoom(percent, direction), expected);
    }

    // A profile value from elsewhere comes back as a step, or the standard size.
    void storedZoomIsValidated() {
        const int cases[][2] = {{110, 110}, {130, 125}, {0, 100}, {-5, 100}, {301, 100}, {49, 100}, {300, 300}};
        for (const auto& c : cases) QCOMPARE(ValidZoom(c[0]), c[1]);
    }

    void tempFolderIsPrivateAndRemoved() {
        std::filesystem::path root;
        std::filesystem::path page;
        {
            CTempFolder folder;
            QVERIFY(folder.Create());
            page = folder.PagePath("windows.html");
            root = page.parent_path().parent_path();
            struct stat st {};
            QCOMPARE(lstat(root.c_str(), &st), 0);
            QCOMPARE(int(st.st_mode & 0777), 0700);
            QCOMPARE(st.st_uid, geteuid());
            QVERIFY(root.filename().string().starts_with("vyn-"));
            QVERIFY(folder.WritePage("windows.html", Bytes("<p>一</p>")));
            QVERIFY(folder.WritePage("windows.html", Bytes("<p>二</p>")));
            QCOMPARE(Read(page), std::string("<p>二</p>"));
            QVERIFY(folder.WriteShared("Back.gif", Bytes("GIF")));
            QCOMPARE(Read(root / "Back.gif"), std::string("GIF"));
        }
        QVERIFY(!std::filesystem::exists(root));
    }

    // A reader killed hard leaves its folder; the next reader removes it, and only it:
    // not a live reader's folder, not one too young to be locked yet, not a folder
    // others may read.
    void tempFolderLeftByAKilledReaderIsRemoved() {
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", base.path().toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", oldRuntime); });
        const std::filesystem::path basePath = base.path().toStdString();

        auto killedReaderFolder = [] {
            int fds[2];
            if (pipe(fds) != 0) return std::filesystem::path();
            const pid_t child = fork();
            if (child == 0) {
                auto* folder = new CTempFolder;  // never destroyed: the process is killed
                folder->Create();
                folder->WritePage("result.html", Bytes("<p>頁</p>"));
                const std::string root = folder->PagePath("x").parent_path().parent_path().string();
                (void)!write(fds[1], root.data(), root.size());
                close(fds[1]);
                pause();
                _exit(0);
            }
            close(fds[1]);
            char buffer[4096];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            close(fds[0]);
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            return n > 0 ? std::filesystem::path(std::string(buffer, std::size_t(n)))
                         : std::filesystem::path();
        };
        auto age = [](const std::filesystem::path& path) {
            const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 60, 0}};
            return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
        };

        const std::filesystem::path killed = killedReaderFolder();
        const std::filesystem::path killedJustNow = killedReaderFolder();
        QVERIFY(std::filesystem::exists(killed / "pages" / "result.html"));
        QVERIFY(std::filesystem::exists(killedJustNow));
        CTempFolder live;
        QVERIFY(live.Create());
        const std::filesystem::path liveRoot = live.PagePath("x").parent_path().parent_path();
        const std::filesystem::path shared = basePath / "vyn-shared";
        QVERIFY(std::filesystem::create_directory(shared));
        std::filesystem::permissions(shared, std::filesystem::perms(0755));
        QVERIFY(age(killed) && age(liveRoot) && age(shared));

        QCOMPARE(CTempFolder::RemoveStale(), 1);
        QVERIFY(!std::filesystem::exists(killed));
        QVERIFY(std::filesystem::exists(killedJustNow));
        QVERIFY(std::filesystem::exists(liveRoot));
        QVERIFY(std::filesystem::exists(shared));
        QVERIFY(live.WritePage("result.html", Bytes("<p>頁</p>")));

        QVERIFY(age(killedJustNow));
        CTempFolder next;
        QVERIFY(next.Create());
        QVERIFY(!std::filesystem::exists(killedJustNow));
        QVERIFY(std::filesystem::exists(liveRoot));
    }

    // Only a folder marked by a reader whose process is gone goes; unlocked folders
    // stay when unmarked (another program's, or a reader's from before the mark) or
    // when the process they name is alive.
    void staleFolderNeedsTheMarkOfADeadOwner_data() {
        QTest::addColumn<QString>("owner");  // the owner file's text; "-" for none
        QTest::addColumn<bool>("removed");
        const QString self = QString::number(getpid());
        QTest::newRow("unmarked") << QStringLiteral("-") << false;
        QTest::newRow("marked, owner alive") << self + u' ' + QString::number(StartTime(getpid())) << false;
        QTest::newRow("marked, owner alive, start time unknown") << self + QStringLiteral(" 0") << false;
        QTest::newRow("marked, pid reused by another process") << self + QStringLiteral(" 1") << true;
        QTest::newRow("marked, owner gone") << QStringLiteral("%1 5").arg(DeadPid()) << true;
        QTest::newRow("mark unreadable") << QStringLiteral("x") << false;
    }
    void staleFolderNeedsTheMarkOfADeadOwner() {
        QFETCH(QString, owner);
        QFETCH(bool, removed);
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", base.path().toUtf8());
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", oldRuntime); });
        const std::filesystem::path folder = std::filesystem::path(base.path().toStdString()) / "vyn-a1B2c3";
        QVERIFY(std::filesystem::create_directories(folder / "pages"));
        std::filesystem::permissions(folder, std::filesystem::perms(0700));
        { std::ofstream(folder / "pages" / "windows.html") << "<p>頁</p>"; }
        if (owner != QLatin1String("-")) std::ofstream(folder / ".vyn-owner") << owner.toStdString();
        const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 60, 0}};
        QCOMPARE(utimensat(AT_FDCWD, folder.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        QCOMPARE(CTempFolder::RemoveStale(), removed ? 1 : 0);
        QCOMPARE(std::filesystem::exists(folder), !removed);
        // A reader's own folder carries the mark naming it.
        CTempFolder fresh;
        QVERIFY(fresh.Create());
        const std::filesystem::path root = fresh.PagePath("x").parent_path().parent_path();
        QCOMPARE(Read(root / ".vyn-owner"),
                 std::to_string(getpid()) + ' ' + std::to_string(StartTime(getpid())) + '\n');
        QVERIFY(!fresh.WriteShared(".vyn-owner", Bytes("0 0")));
    }

    void tempFolderRefusesOtherNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("path outside") << "../escape.html";
        QTest::newRow("empty name") << "";
        QTest::newRow("dot dot") << "..";
    }
    void tempFolderRefusesOtherNames() {
        QFETCH(QString, name);
        CTempFolder folder;
        QVERIFY(folder.Create());
        QVERIFY(!folder.WritePage(name.toStdString(), Bytes("page")));
        const std::filesystem::path root = folder.PagePath("x").parent_path().parent_path();
        QVERIFY(!std::filesystem::exists(root / "escape.html"));
        folder.Remove();
        QVERIFY(!std::filesystem::exists(root));
    }

    // Something planted at each file name the reader writes: the write never reaches
    // another file, never blocks, and leaves a file of ours, or fails on a folder.
    void tempFolderWithstandsPlantedEntries_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("shared");
        QTest::addColumn<QString>("planted");
        const struct {
            const char* name;
            bool shared;
        } files[] = {{"windows.html", false}, {"windows1.html", false}, {"windows2.html", false},
                     {"Back.gif", true}};
        for (const auto& file : files) {
            for (const char* planted : {"symlink", "dangling symlink", "hard link", "fifo",
                                        "read-only file", "folder"}) {
                QTest::addRow("%s %s", file.name, planted)
                    << QString::fromLatin1(file.name) << file.shared << QString::fromLatin1(planted);
            }
        }
    }
    void tempFolderWithstandsPlantedEntries() {
        QFETCH(QString, name);
        QFETCH(bool, shared);
        QFETCH(QString, planted);
        QTemporaryDir elsewhere;
        const std::filesystem::path outside = elsewhere.filePath("victim").toStdString();
        const std::filesystem::path missing = elsewhere.filePath("created").toStdString();
        { std::ofstream(outside) << "keep"; }
        CTempFolder folder;
        QVERIFY(folder.Create());
        const std::string fileName = name.toStdString();
        const std::filesystem::path pages = folder.PagePath("x").parent_path();
        const std::filesystem::path root = pages.parent_path();
        const std::filesystem::path target = (shared ? root : pages) / fileName;
        // A hard link needs its file on the same file system: the other folder's.
        const std::filesystem::path inside = (shared ? pages : root) / "victim";
        { std::ofstream(inside) << "keep"; }

        if (planted == "symlink") std::filesystem::create_symlink(outside, target);
        if (planted == "dangling symlink") std::filesystem::create_symlink(missing, target);
        if (planted == "hard link") std::filesystem::create_hard_link(inside, target);
        if (planted == "fifo") QCOMPARE(mkfifo(target.c_str(), 0600), 0);
        if (planted == "read-only file") {
            { std::ofstream(target) << "foreign"; }
            std::filesystem::permissions(target, std::filesystem::perms::owner_read);
        }
        if (planted == "folder") std::filesystem::create_directory(target);

        const bool written = shared ? folder.WriteShared(fileName, Bytes("page"))
                                    : folder.WritePage(fileName, Bytes("page"));
        QCOMPARE(Read(outside), std::string("keep"));
        QCOMPARE(Read(inside), std::string("keep"));
        QVERIFY(!std::filesystem::exists(missing));
        if (planted == "folder") {
            QVERIFY(!written);
            QVERIFY(std::filesystem::is_directory(target));
        } else {
            QVERIFY(written);
            struct stat st {};
            QCOMPARE(lstat(target.c_str(), &st), 0);
            QVERIFY(S_ISREG(st.st_mode));
            QCOMPARE(int(st.st_nlink), 1);
            QCOMPARE(int(st.st_mode & 0777), 0600);
            QCOMPARE(Read(target), std::string("page"));
        }
        folder.Remove();
        QVERIFY(!std::filesystem::exists(root));
        QCOMPARE(Read(outside), std::string("keep"));
    }
};

QTEST_APPLESS_MAIN(PlatformTest)
#include "platformtest.moc"
