// The platform layer without windows: the copy limit's byte count and the private
// temporary folder.
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "shell/copylimit.h"
#include "shell/qtstrings.h"
#include "shell/tempfolder.h"

using namespace vyn;

namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Read(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
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

    void tempFolderRefusesLinksAndOtherNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plantLink");
        QTest::newRow("planted symbolic link") << "windows1.html" << true;
        QTest::newRow("path outside") << "../escape.html" << false;
        QTest::newRow("empty name") << "" << false;
        QTest::newRow("dot dot") << ".." << false;
    }
    void tempFolderRefusesLinksAndOtherNames() {
        QFETCH(QString, name);
        QFETCH(bool, plantLink);
        QTemporaryDir elsewhere;
        const std::filesystem::path victim = elsewhere.filePath("victim").toStdString();
        { std::ofstream(victim) << "keep"; }
        CTempFolder folder;
        QVERIFY(folder.Create());
        const std::string fileName = name.toStdString();
        if (plantLink) std::filesystem::create_symlink(victim, folder.PagePath(fileName));
        QVERIFY(!folder.WritePage(fileName, Bytes("overwritten")));
        QCOMPARE(Read(victim), std::string("keep"));
        const std::filesystem::path root = folder.PagePath("x").parent_path().parent_path();
        QVERIFY(!std::filesystem::exists(root / "escape.html"));
        folder.Remove();
        QVERIFY(!std::filesystem::exists(root));
        QCOMPARE(Read(victim), std::string("keep"));
    }
};

QTEST_APPLESS_MAIN(PlatformTest)
#include "platformtest.moc"
