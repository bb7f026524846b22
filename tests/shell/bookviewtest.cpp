// The page view in the running frame: navigation with fragments, the limited copy,
// the right-click menu, the refused Ctrl key and printing without a printer.
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPrinterInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QWebEngineSettings>

#include <QScreen>

#include <sys/stat.h>

#include "gui/copylimit.h"
#include "gui/qtstrings.h"
#include "shelltest.h"
#include "textstore/storeformat.h"

using namespace vyn;
using namespace vyn::test;

namespace {

QString Repeat(const QString& piece, int times) { return piece.repeated(times); }

// Records events of the page: mouse presses and key presses.
const char* kEventLog =
    "<script>window.log=[];"
    "document.addEventListener('mousedown',e=>log.push('mouse'+e.button));"
    "document.addEventListener('keydown',e=>log.push('key'+e.key));</script>";

}  // namespace

class BookViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_env = std::make_unique<CShellEnvironment>();
        m_messages = std::make_unique<CRecordingPresenter>();
        m_app = std::make_unique<CProbeApp>();
        QVERIFY(m_app->InitInstance(kNoSplash));
        m_frame = m_app->GetMainWnd();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame));
        m_view = m_frame->m_pBookView;
        QTRY_COMPARE(m_view->GetLocationURL(), QStringLiteral("about:blank"));
    }
    void init() {
        m_messages->messages.clear();
        m_frame->SetActiveView(m_app->panel);
    }
    void cleanupTestCase() {
        m_app.reset();
        m_messages.reset();
        m_env.reset();
    }

    void rightClickOnTheBlankPageShowsNothing() {
        QVERIFY(m_view->GetLocationURL() == QLatin1String("about:blank"));
        QSignalSpy shown(m_view, &CBookView::contextMenuShown);
        QTRY_VERIFY(m_view->focusProxy());
        QTest::mouseClick(m_view->focusProxy(), Qt::RightButton, {}, QPoint(50, 50));
        QCOMPARE(shown.size(), 0);
        QVERIFY(!QApplication::activePopupWidget());
    }

    void navigateLandsOnTheAnchor_data() {
        QTest::addColumn<QString>("fragment");
        QTest::newRow("no fragment") << QString();
        QTest::newRow("first hit") << QStringLiteral("0000");
        QTest::newRow("middle hit") << QStringLiteral("0002");
        QTest::newRow("last hit") << QStringLiteral("0004");
    }
    void navigateLandsOnTheAnchor() {
        QFETCH(QString, fragment);
        QString body = QStringLiteral("<p>頁首</p>");
        for (int i = 0; i < 5; ++i) {
            body += QStringLiteral("<div style='height:1500px'>本文</div><a name=\"%1\"></a><b>%2</b>")
                        .arg(i, 4, 10, QChar(u'0'))
                        .arg(i);
        }
        body += QStringLiteral("<div style='height:1500px'></div>");
        const QString page = WritePage(m_pages.path(), QStringLiteral("anchors-%1.html").arg(QTest::currentDataTag()), body);
        const QString target = fragment.isEmpty() ? page : page + u'#' + fragment;
        QVERIFY(NavigateAndWait(m_view, target));
        QCOMPARE(m_view->url().fragment(), fragment.isEmpty() ? QString() : fragment);
        QVERIFY(m_view->GetLocationURL().endsWith(fragment.isEmpty() ? QStringLiteral(".html") : u'#' + fragment));
        if (fragment.isEmpty()) {
            QCOMPARE(RunJs(m_view, QStringLiteral("window.scrollY")).toInt(), 0);
        } else {
            const QString top = QStringLiteral(
                "Math.round(document.getElementsByName('%1')[0].getBoundingClientRect().top)").arg(fragment);
            QTRY_VERIFY(qAbs(RunJs(m_view, top).toInt()) <= 2);
            QVERIFY(RunJs(m_view, QStringLiteral("window.scrollY")).toInt() > 1000);
        }
    }

    void limitedCopyKeepsWholeCharactersWithinTheLimit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("expected");
        const QString cjk = QString::fromUtf8("天地玄黃宇宙洪荒");
        const QString extB = QString::fromUcs4(U"\U00020000\U0002A6D6");
        QTest::newRow("ideographs 400 give 300") << Repeat(cjk, 50) << true << Repeat(cjk, 50).left(300);
        QTest::newRow("ascii 700 gives 600") << Repeat(QStringLiteral("abcdefg"), 100) << true
                                             << Repeat(QStringLiteral("abcdefg"), 100).left(600);
        QTest::newRow("ideograph would straddle byte 600")
            << Repeat(QStringLiteral("a"), 599) + Repeat(cjk, 2) << true << Repeat(QStringLiteral("a"), 599);
        QTest::newRow("surrogate pairs stay whole")
            << Repeat(QStringLiteral("a"), 1) + Repeat(extB, 200) << true
            << QStringLiteral("a") + Repeat(extB, 200).left(2 * 299);
        QTest::newRow("exactly 600 stays") << Repeat(cjk, 37) + QStringLiteral("abcdefgh") << true
                                           << Repeat(cjk, 37) + QStringLiteral("abcdefgh");
        QTest::newRow("short text stays") << cjk << true << cjk;
        // The engine reports no new selection when its text is the last one's.
        QTest::newRow("same selection on a new page") << cjk << true << cjk;
    }
    void limitedCopyKeepsWholeCharactersWithinTheLimit() {
        QFETCH(QString, text);
        QFETCH(bool, select);
        QFETCH(QString, expected);
        const QString page = WritePage(m_pages.path(), QStringLiteral("copy.html"),
                                       QStringLiteral("<p id='t'>%1</p>").arg(text));
        QVERIFY(NavigateAndWait(m_view, page));
        QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
        if (select) {
            m_frame->OnCommand(32778);
            QTRY_VERIFY(!RunJs(m_view, QStringLiteral("window.getSelection().toString()")).toString().isEmpty());
        }
        QSignalSpy finished(m_view, &CBookView::limitedCopyFinished);
        QVERIFY(m_frame->OnCommand(57634));  // the panel is active: the limited copy
        QVERIFY(finished.wait(20000) || finished.size() == 1);
        const QString copied = QGuiApplication::clipboard()->text().trimmed();
        QCOMPARE(copied, expected);
        QVERIFY(CodePageByteCount(ToUtf16(copied)) <= kCopyLimitBytes);
        const bool shortened = finished[0][0].toBool();
        QCOMPARE(shortened, expected != text);
        // A copy within the limit keeps every format the browser put there.
        if (!shortened) QVERIFY(QGuiApplication::clipboard()->mimeData()->hasHtml());
    }

    void limitedCopyWithoutSelectionCutsWhatTheClipboardHolds_data() {
        QTest::addColumn<QString>("earlier");
        QTest::addColumn<QString>("expected");
        QTest::newRow("long text is cut") << Repeat(QStringLiteral("x"), 700) << Repeat(QStringLiteral("x"), 600);
        QTest::newRow("short text stays") << QStringLiteral("short") << QStringLiteral("short");
    }
    void limitedCopyWithoutSelectionCutsWhatTheClipboardHolds() {
        QFETCH(QString, earlier);
        QFETCH(QString, expected);
        const QString page = WritePage(m_pages.path(), QStringLiteral("nosel.html"), QStringLiteral("<p>本文</p>"));
        QVERIFY(NavigateAndWait(m_view, page));
        QVERIFY(!m_view->hasSelection());
        QGuiApplication::clipboard()->setText(earlier);
        QSignalSpy finished(m_view, &CBookView::limitedCopyFinished);
        m_view->CopyLimited();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    }

    void copyWithCitationAddsTheSourceOutsideTheLimit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("expected");
        const QString cjk = QString::fromUtf8("天地玄黃宇宙洪荒");
        const QString cite = QString::fromUtf8("（御定全唐詩・卷一・第1頁）");
        QTest::newRow("short") << cjk << true << cjk + u'\n' + cite;
        QTest::newRow("ideographs 400 give 300") << Repeat(cjk, 50) << true
                                                 << Repeat(cjk, 50).left(300) + u'\n' + cite;
        QTest::newRow("nothing selected: the citation alone") << cjk << false << cite;
    }
    void copyWithCitationAddsTheSourceOutsideTheLimit() {
        QFETCH(QString, text);
        QFETCH(bool, select);
        QFETCH(QString, expected);
        const QString page = WritePage(m_pages.path(), QStringLiteral("cite.html"),
                                       QStringLiteral("<p id='t'>%1</p>").arg(text));
        QVERIFY(NavigateAndWait(m_view, page));
        QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
        if (select) {
            // The same text as the last page's selection: the engine reports no change
            // of selection, and the copy must take it all the same.
            QVERIFY(m_frame->OnCommand(32778));
            QTRY_VERIFY(!RunJs(m_view, QStringLiteral("window.getSelection().toString()")).toString().isEmpty());
        }
        m_view->SetCitationSource([] { return QString::fromUtf8("（御定全唐詩・卷一・第1頁）"); });
        QSignalSpy shown(m_view, &CBookView::contextMenuShown);
        m_view->ShowContextMenu(m_view->mapToGlobal(QPoint(40, 40)));
        QCOMPARE(shown.size(), 1);
        auto* menu = shown[0][0].value<QMenu*>();
        QAction* cited = menu->findChild<QAction*>(QStringLiteral("rightClick_32913"));
        QVERIFY(cited && cited->isEnabled());
        QSignalSpy finished(m_view, &CBookView::limitedCopyFinished);
        cited->trigger();
        menu->close();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);

        // A page without a citation offers none.
        m_view->SetCitationSource([] { return QString(); });
        m_view->ShowContextMenu(m_view->mapToGlobal(QPoint(40, 40)));
        menu = shown.last()[0].value<QMenu*>();
        QVERIFY(!menu->findChild<QAction*>(QStringLiteral("rightClick_32913"))->isEnabled());
        menu->close();
    }

    void zoomStepsAreKeptAcrossPagesAndStarts() {
        QCOMPARE(m_view->settings()->fontFamily(QWebEngineSettings::StandardFont),
                 QStringLiteral("Noto Serif CJK JP"));
        const QString page = WritePage(m_pages.path(), QStringLiteral("zoom.html"), QStringLiteral("<p>頁</p>"));
        QVERIFY(NavigateAndWait(m_view, page));
        QCOMPARE(m_view->ZoomPercent(), 100);
        const struct {
            int id;
            int percent;
        } steps[] = {{32905, 110}, {32905, 125}, {32906, 110}, {32907, 100}, {32906, 90}};
        for (const auto& step : steps) {
            QVERIFY(m_frame->OnCommand(step.id));
            QCOMPARE(m_view->ZoomPercent(), step.percent);
            QTRY_COMPARE(qRound(m_view->zoomFactor() * 100), step.percent);
        }
        // A new page keeps it, and so does the next start (the profile).
        const QString other = WritePage(m_pages.path(), QStringLiteral("zoom2.html"), QStringLiteral("<p>次</p>"));
        QVERIFY(NavigateAndWait(m_view, other));
        QTRY_COMPARE(qRound(m_view->zoomFactor() * 100), 90);
        CBookView again;
        QCOMPARE(again.ZoomPercent(), 90);
        // At the ends the commands are disabled.
        while (m_frame->OnCommand(32906)) {
        }
        QCOMPARE(m_view->ZoomPercent(), 50);
        QVERIFY(!m_frame->UpdateCommand(32906).m_bEnabled);
        QVERIFY(m_frame->OnCommand(32907));
        QVERIFY(!m_frame->UpdateCommand(32907).m_bEnabled);
        // Alt+- is the key of 文字を小さく, also from inside the page.
        QTRY_VERIFY(m_view->focusProxy());
        QWidget* inner = m_view->focusProxy();
        QTest::mouseClick(inner, Qt::LeftButton, {}, QPoint(30, 30));
        QTRY_COMPARE(QApplication::focusWidget(), inner);
        QTest::keyClick(inner, Qt::Key_Minus, Qt::AltModifier);
        QCOMPARE(m_view->ZoomPercent(), 90);
        QVERIFY(m_frame->OnCommand(32907));
    }

    void rightClickOnAPageOpensTheMenuAndKeepsThePress() {
        const QString page = WritePage(m_pages.path(), QStringLiteral("menu.html"),
                                       QString::fromUtf8(kEventLog) + QStringLiteral("<p>右クリックの頁</p>"));
        QVERIFY(NavigateAndWait(m_view, page));
        QSignalSpy shown(m_view, &CBookView::contextMenuShown);
        QTRY_VERIFY(m_view->focusProxy());
        QTest::mousePress(m_view->focusProxy(), Qt::RightButton, {}, QPoint(60, 40));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(m_frame->GetActiveView(), static_cast<QWidget*>(m_view));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->objectName(), QStringLiteral("rightClickMenu"));
        QStringList texts;
        for (QAction* action : menu->actions()) texts << action->text();
        // The form's two items, then those added after them.
        QCOMPARE(texts, (QStringList{QString::fromUtf8("コピー(300字以内に制限しています。)"),
                                     QString::fromUtf8("すべて選択。"), QString(),
                                     QString::fromUtf8("出典付きでコピー"),
                                     QString::fromUtf8("この頁から読み進める")}));
        menu->actions()[1]->trigger();
        menu->close();
        QTest::mouseRelease(m_view->focusProxy(), Qt::RightButton, {}, QPoint(60, 40));
        QTRY_VERIFY(m_view->hasSelection());
        QCOMPARE(RunJs(m_view, QStringLiteral("log.join(',')")).toString(), QString());
    }

    void ctrlInsideThePageIsRefused() {
        const QString page = WritePage(m_pages.path(), QStringLiteral("ctrl.html"),
                                       QString::fromUtf8(kEventLog) + QStringLiteral("<p>鍵の頁</p>"));
        QVERIFY(NavigateAndWait(m_view, page));
        QTRY_VERIFY(m_view->focusProxy());
        QWidget* inner = m_view->focusProxy();
        QTest::mouseClick(inner, Qt::LeftButton, {}, QPoint(30, 30));
        QTRY_COMPARE(QApplication::focusWidget(), inner);
        QSignalSpy executed(m_frame, &CMainFrame::commandExecuted);
        QTest::keyClick(inner, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(m_messages->messages, QStringList{QString::fromUtf8("マウスの右ボタンでコピーして下さい。")});
        QCOMPARE(executed.size(), 0);
        // A plain key still reaches the page.
        QTest::keyClick(inner, Qt::Key_A);
        // Only that key: neither Ctrl nor C got there.
        QTRY_COMPARE(RunJs(m_view, QStringLiteral("log.filter(e=>e.startsWith('key')).join(',')")).toString(),
                     QStringLiteral("keya"));
    }

    void panelPageIsShownWithItsBackground() {
        CLeftForm* panel = m_app->panel;
        const std::string page = std::string(kT1) + "卷一" + std::string(kT2) + "卷一" +
                                 std::string(kT3) +
                                 "<p>天地玄黃，宇宙洪荒。日月盈昃，辰宿列張。</p>"
                                 "<p>\xF0\xA0\x80\x80\xF0\xAA\x9B\x96" +
                                 std::string(kNoteOpen) + "注：擴展B區の字" + std::string(kNoteClose) +
                                 "</p>" + std::string(kT4);
        QVERIFY(panel->WritePageFile(CLeftForm::kCatalogPageFile,
                                     std::span(reinterpret_cast<const std::uint8_t*>(page.data()), page.size())));
        QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
        emit panel->navigateRequested(panel->PageFilePath(CLeftForm::kCatalogPageFile));
        QVERIFY(loaded.wait(30000));
        QVERIFY(loaded.last().value(0).toBool());
        QCOMPARE(m_view->title(), QString::fromUtf8("卷一"));
        // The template's "../Back.gif" is there, and it is a picture.
        RunJs(m_view, QStringLiteral("window.bg=new Image();window.bg.src='../Back.gif';0"));
        QTRY_VERIFY(RunJs(m_view, QStringLiteral("window.bg.naturalWidth")).toInt() > 0);
        const QString shot = qEnvironmentVariable("VYN_SCREENSHOT");
        if (!shot.isEmpty()) {
            QTRY_VERIFY(RunJs(m_view, QStringLiteral("document.readyState")).toString() == "complete");
            QVERIFY(m_frame->screen()->grabWindow(0).save(shot));
        }
    }

    // Without a printer the print commands save the page as a PDF, through a save
    // dialog that suggests the page's name.
    void printingWithoutPrinterSavesAPdf_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("viewActive");
        QTest::newRow("print, panel active") << 32777 << false;
        QTest::newRow("print, page view active") << 32777 << true;
        QTest::newRow("Ctrl+P, page view active") << 57607 << true;
    }
    void printingWithoutPrinterSavesAPdf() {
        QFETCH(int, command);
        QFETCH(bool, viewActive);
        if (!QPrinterInfo::availablePrinterNames().isEmpty()) QSKIP("a printer is installed");
        const QString page = WritePage(m_pages.path(), QStringLiteral("print.html"),
                                       QStringLiteral("<html><head><title>御定全唐詩 卷一 第1頁</title>"
                                                      "</head><body><p>秦川雄帝宅</p></body></html>"));
        QVERIFY(NavigateAndWait(m_view, page));
        QTRY_COMPARE(m_view->title(), QStringLiteral("御定全唐詩 卷一 第1頁"));
        if (viewActive) m_frame->SetActiveView(m_view);
        const QString pdf = m_pages.filePath(QStringLiteral("saved-%1.pdf").arg(QTest::currentDataTag()));
        QString suggested;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != QLatin1String("pdfSaveDialog")) return;
            suggested = dialog->selectedFiles().value(0).section(u'/', -1);
            dialog->selectFile(pdf);
            static_cast<QDialog*>(dialog)->accept();
        });
        QSignalSpy saved(m_view, &CBookView::pdfSaved);
        if (command == 57607) {
            // The page view refuses Ctrl keys typed into it; from a field the key
            // reaches the active view's print command.
            QLineEdit* field = m_app->panel->edit;
            field->setFocus();
            QTRY_VERIFY(field->hasFocus());
            m_frame->SetActiveView(m_view);
            QTest::keyClick(field, Qt::Key_P, Qt::ControlModifier);
        } else {
            QVERIFY(m_frame->OnCommand(command));
        }
        QCOMPARE(suggested, QStringLiteral("御定全唐詩_卷一_第1頁.pdf"));
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 30000);
        QVERIFY(saved.at(0).at(0).toBool());
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
        QVERIFY(m_messages->messages.isEmpty());
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty()) return;
        QProcess extract;
        extract.start(pdftotext, {pdf, QStringLiteral("-")});
        QVERIFY(extract.waitForFinished(30000));
        QVERIFY2(QString::fromUtf8(extract.readAllStandardOutput()).contains(QStringLiteral("秦川雄帝宅")),
                 "the PDF holds the page's text");
    }

    // Ctrl+P from the keyword box prints only while the page view is active, and once
    // per press.
    void ctrlPPrintsOnceOnlyWithThePageViewActive_data() {
        QTest::addColumn<bool>("viewActive");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("panel active") << false << 0;
        QTest::newRow("page view active") << true << 1;
    }
    void ctrlPPrintsOnceOnlyWithThePageViewActive() {
        QFETCH(bool, viewActive);
        QFETCH(int, dialogs);
        if (!QPrinterInfo::availablePrinterNames().isEmpty()) QSKIP("a printer is installed");
        const QString page = WritePage(m_pages.path(), QStringLiteral("ctrlp.html"),
                                       QStringLiteral("<html><head><title>頁</title></head>"
                                                      "<body><p>秦川雄帝宅</p></body></html>"));
        QVERIFY(NavigateAndWait(m_view, page));
        int opened = 0;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != QLatin1String("pdfSaveDialog")) return;
            ++opened;
            dialog->reject();
            // A window manager gives the focus back only when the frame is active
            // again: until then no widget has it.
            if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
        });
        closer.start(20);
        QWidget* target = m_app->panel->edit;
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        if (!viewActive) QTest::mouseClick(target, Qt::LeftButton);  // as a user puts the caret there
        m_frame->SetActiveView(viewActive ? static_cast<QWidget*>(m_view) : m_app->panel);
        QTest::keyClick(target, Qt::Key_P, Qt::ControlModifier);
        QTest::qWait(500);
        QCOMPARE(opened, dialogs);
    }

    // A saved PDF gets the user's usual mode, and the next save dialog starts where
    // the last save went.
    void savedPdfHasTheUsualModeAndTheNextSaveStartsThere() {
        if (!QPrinterInfo::availablePrinterNames().isEmpty()) QSKIP("a printer is installed");
        const QString page = WritePage(m_pages.path(), QStringLiteral("mode.html"),
                                       QStringLiteral("<html><head><title>頁</title></head>"
                                                      "<body><p>秦川雄帝宅</p></body></html>"));
        QVERIFY(NavigateAndWait(m_view, page));
        QTemporaryDir folder;
        const QString pdf = folder.filePath(QStringLiteral("mode.pdf"));
        QString startedIn;
        auto answer = [&](const QString& file) {
            QTimer::singleShot(0, this, [&, file] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!dialog || dialog->objectName() != QLatin1String("pdfSaveDialog")) return;
                startedIn = dialog->directory().absolutePath();
                if (file.isEmpty()) {
                    dialog->reject();
                } else {
                    dialog->selectFile(file);
                    static_cast<QDialog*>(dialog)->accept();
                }
            });
        };
        QSignalSpy saved(m_view, &CBookView::pdfSaved);
        answer(pdf);
        m_frame->SetActiveView(m_view);
        QVERIFY(m_frame->OnCommand(32777));
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 30000);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(pdf).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0666 & ~mask);
        answer({});
        QVERIFY(m_frame->OnCommand(32777));
        QCOMPARE(startedIn, QDir(folder.path()).absolutePath());
    }

private:
    std::unique_ptr<CShellEnvironment> m_env;
    std::unique_ptr<CRecordingPresenter> m_messages;
    std::unique_ptr<CProbeApp> m_app;
    CMainFrame* m_frame = nullptr;
    CBookView* m_view = nullptr;
    QTemporaryDir m_pages;
};

QTEST_MAIN(BookViewTest)
#include "bookviewtest.moc"
